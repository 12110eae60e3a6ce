#pragma once

// The online capture: a state machine fed with the bytes the drive streams. The front end
// drives it from readiness of the port (a socket notifier in the window, poll() in zrdctl) and
// from a timer for the silent end; nothing here waits for input.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <vector>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/oscillogram.h"
#include "scope/sample_stream.h"
#include "session/link_busy_guard.h"

namespace zrd::scope {

using CaptureClock = std::chrono::steady_clock;

// A drive that sends nothing this long (or ten sample periods, when longer) has fallen silent.
inline constexpr int kSilentEndMs = 1000;
inline constexpr int kSilentEndPeriods = 10;
// The silent bound of a rate code (an unknown code counts as 1000 Hz).
CaptureClock::duration silentBound(int rateCode);

// The live preview strip: its size, centre line and the half height a trace may use.
inline constexpr int kPreviewWidth = 785;
inline constexpr int kPreviewHeight = 144;
inline constexpr int kPreviewCentre = 65;
inline constexpr int kPreviewAmplitude = 60;
// The running peaks start here, so that the first sample does not divide by zero.
inline constexpr double kInitialPeak = 0.001;

// How a capture ended.
enum class CaptureEnd {
    Idle,         // never started
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

// Samples per preview step: 5 − rate code + CPU speed class (every 6th sample at 1000 Hz on a
// fast PC, class 2). Never below 1.
int previewStride(int rateCode, int cpuSpeedClass);

class OnlineCapture {
public:
    OnlineCapture(link::DriveLink& link, Oscillogram& oscillogram,
                  const params::ParameterModel& model, const params::MessageTable& messages);

    // Prepares the buffer (online, zeroed, channels 3 and 4 none, the header's frequency and
    // tick from the rate code), takes the link (busy flag, polls paused) and sends the start
    // frame with the oscillogram's rate code and the signals of channels 1 and 2. False when
    // a capture runs, the link was busy, or the frame could not be written (message 7, or the
    // link's message when the port hung up; the link is freed again).
    [[nodiscard]] bool start(int cpuSpeedClass, CaptureClock::time_point now);

    // Reads what waits on the port, without blocking, and feeds it. A port that hung up ends
    // the capture at once (HungUp), keeping what was captured. Does nothing when not running:
    // the front end stops watching the port when the capture ends.
    void onReadable(CaptureClock::time_point now);
    // Feeds received bytes: acknowledge, samples, noise. Ignored when not running.
    void feed(std::span<const uint8_t> bytes, CaptureClock::time_point now);
    // Ends the capture quietly when the drive has sent nothing within the silent bound.
    void checkSilence(CaptureClock::time_point now);
    // When checkSilence must run next: the last byte (or the start) plus silentBound().
    [[nodiscard]] CaptureClock::time_point silenceDeadline() const;
    // The user's stop: sends the stop frame and ends (UserStop, or WriteFailed).
    void stop();
    // Stops by itself, as the user's stop, once this many samples are stored (1..10000; the
    // default 10000 ends as BufferFull). Set before start().
    void setSampleLimit(int samples);

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
    void accept(const StreamEvent& sample, CaptureClock::time_point now);
    void previewStep();
    void pushPreview(const PreviewStep& step);
    // Preview row of a raw value of channel c (0 or 1), truncated toward zero.
    [[nodiscard]] int previewRow(int c, int raw) const;
    // Sends the stop frame and ends so; WriteFailed (message 7) or HungUp when it failed.
    void endWithStopFrame(CaptureEnd end);
    // Frees the link and resumes the polls.
    void finish(CaptureEnd end);

    link::DriveLink& m_link;
    Oscillogram& m_oscillogram;
    const params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    SampleStreamDecoder m_decoder;
    CaptureEnd m_end = CaptureEnd::Idle;
    int m_samples = 0;
    int m_dropped = 0;
    int m_sampleLimit = kRecordCount;

    std::optional<session::LinkBusyGuard> m_busy;
    std::array<bool, kOnlineChannelCount> m_signed{};
    std::array<double, kOnlineChannelCount> m_scale{};
    std::array<double, kOnlineChannelCount> m_peak{};
    // Raw values of the last two samples, which a preview step joins.
    std::array<int, kOnlineChannelCount> m_previousRaw{};
    std::array<int, kOnlineChannelCount> m_currentRaw{};
    int m_stride = 1;
    int m_previewCounter = 0;
    int m_previewColumn = 0;
    std::array<PreviewStep, kPreviewQueue> m_preview{};
    size_t m_previewFirst = 0;
    size_t m_previewCount = 0;

    CaptureClock::duration m_silentBound{};
    CaptureClock::time_point m_lastByte{};
    CaptureClock::time_point m_firstSample{};
    CaptureClock::time_point m_lastSample{};
};

// Takes what waits on the link's port without blocking, in chunks of at most 512 bytes and at
// most 16 reads (a longer burst waits for the next readiness, so that the window gets its turn),
// handing each chunk to `take` while `active()` holds. False when the port turned out to have
// hung up (the link has gone offline and told the user).
[[nodiscard]] bool drainPort(link::DriveLink& link, const std::function<bool()>& active,
                             const std::function<void(std::span<const uint8_t>)>& take);

// Front ends read the port at most this often during a capture. The bytes wait in the line's
// input buffer meanwhile (about 35 at 1000 Hz): read in batches, a front end wakes 200 times a
// second instead of once per sample.
inline constexpr int kReadBatchMs = 5;

// What a capture's poll loop needs of its state machine.
struct CaptureLoop {
    std::function<bool()> active;
    // When `checkDeadline` must run next; none: only the longest wait bounds the sleep.
    std::function<std::optional<CaptureClock::time_point>()> deadline;
    std::function<void(CaptureClock::time_point)> checkDeadline;
    std::function<void(CaptureClock::time_point)> onReadable;
    // Ends the capture when waiting on the port failed.
    std::function<void()> abandon;
    int longestWaitMs = 0;
};

// Runs a capture to its end on the caller's thread, for front ends without an event loop
// (zrdctl, benchmarks): sleeps in poll() on the port until bytes arrive, the deadline comes or
// the longest wait is over, then feeds or checks, reading in batches of kReadBatchMs. `afterWake`
// runs after every wake. False when waiting on the port failed (the capture is abandoned then;
// the port's lastError() says why).
[[nodiscard]] bool runCaptureLoop(const CaptureLoop& loop, link::SerialPort& port,
                                  const std::function<void()>& afterWake);

// runCaptureLoop for a started online capture, bounded by its silence deadline.
[[nodiscard]] bool runCapture(OnlineCapture& capture, link::SerialPort& port,
                              const std::function<void()>& afterWake = {});

}  // namespace zrd::scope
