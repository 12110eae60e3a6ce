#pragma once

// The offline capture: the drive records four channels into its own memory at a fixed tick and
// sends the record back frame by frame. A state machine fed with the bytes the drive sends,
// like the online capture: the front end drives it from readiness of the port and from a timer
// for its deadline; nothing here waits for input.

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/online_capture.h"
#include "scope/oscillogram.h"
#include "session/link_busy_guard.h"

namespace zrd::scope {

// Tick codes 0..9: tick = 0.25 ms × 2^code, frequency = 4000 Hz / 2^code.
inline constexpr int kOfflineTickCodes = 10;
inline constexpr double kFastestOfflineTick = 0.00025;      // s
inline constexpr double kFastestOfflineFrequency = 4000.0;  // Hz
// Tick (s) and frequency (Hz) of a code; codes outside 0..9 count as 0.
double offlineTick(int tickCode);
double offlineFrequency(int tickCode);
// Seconds one record takes to record: tick × 2048.
double recordSeconds(int tickCode);

// The trigger types as "TRGTYP" numbers them.
enum class TriggerType { None = 0, Rising = 1, Falling = 2, FullBuffer = 3, Generator = 4 };
inline constexpr bool isEdge(TriggerType t) {
    return t == TriggerType::Rising || t == TriggerType::Falling;
}

// The last sample index of a record, and the 13-bit range the drive numbers samples in.
inline constexpr int kLastSampleIndex = kOfflineSamples - 1;
inline constexpr int kSampleIndexMask = 0x1FFF;
// "p" with the busy status this many times abandons the read-back (message 11, stop frame).
inline constexpr int kBusyReplyLimit = 100;
// Time bounds (the read-back's poll counts, as times):
// - the acknowledge of the start frame is awaited for the link's reply-wait bound; a drive that
//   stays silent then ends nothing with no trigger (it may be recording: the stop tells), and
//   changes nothing for a triggered capture, which waits for its record anyway;
// - while the record comes in (or the stop's answers are awaited), a pause longer than
//   kRecordSilenceMs between bytes ends the read-back (Silent). The drive still recording
//   answers busy every 100 ms, so this pause never cuts a drive that is merely busy short;
// - a full-buffer record must begin to arrive within its record time plus kFullBufferMarginMs;
// - an edge or generator trigger waits without a bound: the user cancels.
inline constexpr int kRecordSilenceMs = 1000;
inline constexpr int kFullBufferMarginMs = 2000;

// One data frame of the record: channel 1..4, the drive's sample index 0..8191, the raw word.
struct OfflineSample {
    int channel = 0;
    int sampleIndex = 0;
    uint16_t raw = 0;
};
// Decodes the four de-escaped data bytes b0..b3: channel = b0 >> 5, index = (b0 & 0x1F) × 256
// + b1, raw = b2 × 256 + b3. nullopt for a channel outside 1..4.
std::optional<OfflineSample> decodeOfflineSample(std::span<const uint8_t, 4> data);

// The raw record kept beside the scaled buffer: the decoded values (signed by the channel's
// signal type) and the sample index of each record.
inline constexpr int kRawRecords = kOfflineRecordCount + 1;
struct RawRecord {
    std::array<int, kChannelCount> values{};
    int sampleIndex = 0;
};
using RawRecords = std::array<RawRecord, kRawRecords>;

// Where a capture stands.
enum class OfflinePhase {
    Idle,       // never started, or cleared
    Recording,  // no trigger: the drive records until the stop; the link is free meanwhile
    Armed,      // waiting for the trigger, the full buffer or the generator's motion; link held
    Reading,    // the record is coming in (or the stop was sent and its answer is awaited)
    Ended,      // see end()
};

// How a capture ended.
enum class OfflineEnd {
    None,         // not ended
    Complete,     // record index past 2047, or the channel-4 sample index 2047 arrived
    Silent,       // nothing within the deadline: what came is kept, no message
    Busy,         // 100 busy replies: message 11 shown, stop frame sent
    WriteFailed,  // a start or stop frame not written: message 7 (11 for the abandon frame)
    Refused,      // the drive answered the start with status 3: message 11
    HungUp,       // the port went away; the link is offline (its message shown)
    Cancelled,    // cancel(): the abandon frame was sent, the record is dropped
};

// The message the status line shows for a capture that ended short of its record (%1: the
// records that came); nullopt for one that is complete, cancelled or still running.
[[nodiscard]] std::optional<int> offlineEndMessage(OfflineEnd end);

// What starts a capture.
struct OfflineStart {
    TriggerType trigger = TriggerType::None;
    // The function generator runs: a rising-edge or generator record is then started by it.
    bool generatorRunning = false;
};

class OfflineCapture {
public:
    OfflineCapture(link::DriveLink& link, Oscillogram& oscillogram,
                   const params::ParameterModel& model, const params::MessageTable& messages);

    // Marks the buffer offline and zeroes it (header frequency and tick from the oscillogram's
    // tick code), takes the link and sends the start frame "c" with the tick code and the
    // signals of channels 1 and 2. With no trigger the drive records until stop(): the link is
    // freed once the acknowledge came (phase Recording). Otherwise the capture stays Armed with
    // the link held until the record arrives. False when a capture runs, the link was busy, or
    // the frame could not be written (message 7; HungUp when the port went away).
    [[nodiscard]] bool start(const OfflineStart& how, CaptureClock::time_point now);
    // The stop: sends "d" with the tick code and signals, then reads the record back (phase
    // Reading; takes the link again when Recording). From Armed it asks the drive for what it
    // has. False when the frame was not written (message 7) or the link is busy elsewhere.
    [[nodiscard]] bool stop(CaptureClock::time_point now);
    // Collects a record the drive sends by itself, without any command (after a trigger or a
    // generator motion that was not armed from here). Takes the link; false when busy.
    [[nodiscard]] bool collect(CaptureClock::time_point now);
    // Abandons the capture: sends the abandon frame ("d" 0 0 0), frees the link; Cancelled.
    void cancel();

    // Reads what waits on the port without blocking and feeds it; a port that hung up ends the
    // capture (HungUp), keeping what came.
    void onReadable(CaptureClock::time_point now);
    void feed(std::span<const uint8_t> bytes, CaptureClock::time_point now);
    // Ends the capture as Silent when its deadline passed (Armed with a full buffer: record time
    // plus margin; Reading: kRecordSilenceMs after the last byte). Armed for an edge or the
    // generator it waits without a bound: the user cancels.
    void checkDeadline(CaptureClock::time_point now);
    // When checkDeadline must run next; nullopt when nothing is bounded.
    [[nodiscard]] std::optional<CaptureClock::time_point> deadline() const;

    // Zeroes the buffer, the raw records and the counters; phase Idle. Not while Armed or
    // Reading (cancel first).
    void clear();

    [[nodiscard]] OfflinePhase phase() const { return m_phase; }
    [[nodiscard]] OfflineEnd end() const { return m_end; }
    // The front end watches the port in these phases, and while the start's acknowledge is
    // awaited (the link is held meanwhile, also with no trigger).
    [[nodiscard]] bool listening() const {
        return m_phase == OfflinePhase::Armed || m_phase == OfflinePhase::Reading ||
               m_startAckDue.has_value();
    }
    // The drive acknowledged the start frame (or a record without trigger outlived the wait).
    [[nodiscard]] bool startAcknowledged() const { return !m_startAckDue.has_value(); }
    // Until when the start frame's acknowledge is awaited; nullopt once it is no longer.
    [[nodiscard]] std::optional<CaptureClock::time_point> startAcknowledgeDue() const {
        return m_startAckDue;
    }
    // Armed for the generator's start (trigger type 4), and the drive has said so: a command
    // sent before the start's acknowledge would take that acknowledge for its own.
    [[nodiscard]] bool waitingForGenerator() const;
    [[nodiscard]] TriggerType trigger() const { return m_how.trigger; }
    // Records completed (channel-4 frames), frames dropped, busy replies counted.
    [[nodiscard]] int records() const { return m_records; }
    [[nodiscard]] int dropped() const { return m_dropped; }
    [[nodiscard]] int busyReplies() const { return m_busy; }
    // The sample index of the last channel-4 frame.
    [[nodiscard]] int lastSampleIndex() const { return m_lastIndex; }
    [[nodiscard]] const RawRecords& raw() const { return m_raw; }

private:
    // Zeroes the buffer and the counters and marks it offline with the tick's header.
    void prepare(CaptureClock::time_point now);
    void onAck(uint8_t status);
    void onSample(const StreamEvent& e);
    // Sends the abandon frame after the 100th busy reply; Busy.
    void abandonBusy();
    // Frees the link and ends so.
    void finish(OfflineEnd end);
    // Ends a failed frame write: HungUp when the port went away, else message `message`.
    void writeFailed(int message);

    link::DriveLink& m_link;
    Oscillogram& m_oscillogram;
    const params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    OfflinePhase m_phase = OfflinePhase::Idle;
    OfflineEnd m_end = OfflineEnd::None;
    int m_records = 0;
    int m_dropped = 0;
    int m_busy = 0;
    int m_lastIndex = 0;
    std::optional<session::LinkBusyGuard> m_busyGuard;
    RawRecords m_raw{};
    SampleStreamDecoder m_decoder;
    OfflineStart m_how{};
    int m_record = 0;  // the record the next frames fill
    bool m_stopSent = false;
    std::array<bool, kChannelCount> m_signed{};
    std::array<double, kChannelCount> m_scale{};
    double m_tick = kFastestOfflineTick;
    std::optional<CaptureClock::time_point> m_startAckDue;
    CaptureClock::time_point m_started{};
    CaptureClock::time_point m_lastByte{};
};

// Runs a capture that listens to its end on the caller's thread (zrdctl, benchmarks): sleeps in
// poll() on the port until bytes arrive or the deadline comes, and wakes at least every
// kOfflineWakeMs, so that `afterWake` (run after every wake) can show progress or cancel. Returns
// when the capture no longer listens. False when waiting on the port failed (the capture is
// cancelled then).
inline constexpr int kOfflineWakeMs = 200;
[[nodiscard]] bool runOfflineCapture(OfflineCapture& capture, link::SerialPort& port,
                                     const std::function<void()>& afterWake = {});

// Before a command goes out under the hold of a capture whose start frame is still
// unacknowledged (the command would take that acknowledge for its own): sleeps in poll() on the
// port, feeding the capture what arrives, until the acknowledge came, the capture stopped
// listening, or the acknowledge's time bound passed. False when waiting on the port failed.
[[nodiscard]] bool awaitStartAcknowledge(OfflineCapture& capture, link::SerialPort& port);

}  // namespace zrd::scope
