#pragma once

// The online capture: a state machine fed with the bytes the drive streams. The front end
// drives it from readiness of the port (a socket notifier in the window, poll() in zrdctl) and
// from a timer for the silent end; nothing here waits for input.

#include <array>
#include <chrono>
#include <cstdint>
#include <span>
#include <vector>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/oscillogram.h"
#include "scope/sample_stream.h"

namespace zrd::scope {

using CaptureClock = std::chrono::steady_clock;

// A drive that sends nothing this long (or ten sample periods, when longer) has fallen silent.
inline constexpr int kSilentEndMs = 1000;
inline constexpr int kSilentEndPeriods = 10;

// The live preview strip: its size, centre line and the half height a trace may use.
inline constexpr int kPreviewWidth = 785;
inline constexpr int kPreviewHeight = 144;
inline constexpr int kPreviewCentre = 65;
inline constexpr int kPreviewAmplitude = 60;
// The running peaks start here, so that the first sample does not divide by zero.
inline constexpr double kInitialPeak = 0.001;

// How a capture ended.
enum class CaptureEnd {
    Running,      // not ended yet
    BufferFull,   // 10000 samples: the stop frame was sent
    UserStop,     // stop() sent the stop frame
    Silent,       // no byte within the silent bound
    Refused,      // the drive answered the start with status 3 (message 11 shown)
    WriteFailed,  // the start or stop frame could not be written (message 7 shown)
    HungUp,       // the port went away; the link is offline (its message shown)
};

// One step of the live preview: a line per channel from the previous to this column, in
// preview pixels. `restart` asks the window to clear the strip and draw the axes first.
struct PreviewStep {
    bool restart = false;
    int column = 0;  // 1..kPreviewWidth + 1; the line runs from column − 1
    std::array<int, 2> from{};
    std::array<int, 2> to{};
};

// Preview steps kept until the window takes them; older ones are dropped (only the picture
// loses them, never the buffer).
inline constexpr size_t kPreviewQueue = 512;

class OnlineCapture {
public:
    OnlineCapture(link::DriveLink& link, Oscillogram& oscillogram,
                  const params::ParameterModel& model, const params::MessageTable& messages);

    // Prepares the buffer (online, zeroed, channels 3 and 4 none), takes the link (busy flag,
    // polls paused) and sends the start frame with the oscillogram's rate code and the
    // signals of channels 1 and 2. False when the link was busy or the frame could not be
    // written (message 7; the link is freed again).
    [[nodiscard]] bool start(int cpuSpeedClass, CaptureClock::time_point now);

    // Reads what waits on the port, without blocking, and feeds it. A port that hung up ends
    // the capture at once (HungUp), keeping what was captured.
    void onReadable(CaptureClock::time_point now);
    // Feeds received bytes: acknowledge, samples, noise.
    void feed(std::span<const uint8_t> bytes, CaptureClock::time_point now);
    // Ends the capture quietly when the drive has sent nothing within the silent bound.
    void checkSilence(CaptureClock::time_point now);
    // When checkSilence must run next.
    [[nodiscard]] CaptureClock::time_point silenceDeadline() const;
    // The user's stop: sends the stop frame and ends (UserStop, or WriteFailed).
    void stop();

    [[nodiscard]] bool running() const { return m_end == CaptureEnd::Running; }
    [[nodiscard]] CaptureEnd end() const { return m_end; }
    // Samples stored; frames dropped for a bad closing byte or a broken escape.
    [[nodiscard]] int samples() const { return m_samples; }
    [[nodiscard]] int dropped() const { return m_dropped; }
    // Sample rate achieved between the first and the last stored sample (Hz; 0 below two).
    [[nodiscard]] double achievedRate() const;
    // Preview steps since the last call, oldest first.
    [[nodiscard]] std::vector<PreviewStep> takePreview();

private:
    link::DriveLink& m_link;
    Oscillogram& m_oscillogram;
    const params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    SampleStreamDecoder m_decoder;
    CaptureEnd m_end = CaptureEnd::Running;
    int m_samples = 0;
    int m_dropped = 0;
    // Further state (peaks, preview counter and column, times) is the implementation's.
};

}  // namespace zrd::scope
