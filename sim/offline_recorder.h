#pragma once

// The simulated drive's offline recorder: one sample of four channels per tick of the drive's
// own clock into a ring of 2048 samples, started by the start frame and by a trigger, and the
// record sent back as data frames.

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zrd::sim {

inline constexpr int kRecorderSamples = 2048;
inline constexpr int kRecorderChannels = 4;
inline constexpr int kRecorderTickCodes = 10;
// The fastest tick; code k records every 2^k of it.
inline constexpr std::chrono::nanoseconds kRecorderBaseTick{250'000};
// While a stop waits for the ring to fill, the drive repeats its busy answer this often.
inline constexpr std::chrono::milliseconds kBusyReplyInterval{100};

// What the recorder takes from the drive at the start frame.
struct RecorderSettings {
    int trigger = 0;   // "TRGTYP": 0 none, 1 rising, 2 falling, 3 full buffer, 4 generator
    int source = 1;    // "TRGSRC" 1..4
    int level = 0;     // "TRGLEV", raw, signed
    int position = 0;  // "TRGPOS" 0..2047
    // Drive index sampled by each channel (none: the channel records 0), and its sign.
    std::array<std::optional<uint8_t>, kRecorderChannels> indexes{};
    std::array<bool, kRecorderChannels> isSigned{};
    std::optional<uint8_t> triggerIndex;  // where "OSCTRG" lives
};

enum class RecorderPhase {
    Idle,
    Recording,       // no trigger: until the stop
    PreTrigger,      // an edge trigger armed
    AwaitGenerator,  // waits for the generator's start
    PostTrigger,     // triggered (or full buffer): the rest of the record
    Busy,            // stopped before the ring was full: busy answers until it is
    Sending,         // the record goes out
};

std::string_view phaseName(RecorderPhase phase);

class OfflineRecorder {
public:
    // The start frame's tick code: the acknowledge status (3 for a bad code or a refusal).
    uint8_t start(uint8_t tickCode, const RecorderSettings& settings);
    // The stop frame: the acknowledge status. 0 and the record when the ring is full; 3 and
    // busy answers until it is; a second stop abandons the record.
    uint8_t stop();
    // One drive cycle of the given length, with the drive's memory as it stands after it.
    void cycle(std::chrono::nanoseconds period, std::array<uint16_t, 256>& memory);
    // The line is gone: nothing more is recorded or sent.
    void abandon() { m_phase = RecorderPhase::Idle; }
    // The function generator's start was accepted.
    void generatorStarted();

    // The next bytes to send: an acknowledge that precedes the record, then up to `frames`
    // data frames (escaped, start to end byte). Empty when nothing is to be sent.
    std::vector<uint8_t> takeRecord(size_t frames);
    // True while busy answers are due (a stop waits for the ring).
    [[nodiscard]] bool busy() const { return m_phase == RecorderPhase::Busy; }

    [[nodiscard]] RecorderPhase phase() const { return m_phase; }
    [[nodiscard]] uint64_t samples() const { return m_samples; }
    [[nodiscard]] uint64_t framesSent() const { return m_framesSent; }
    [[nodiscard]] uint8_t tickCode() const { return m_tickCode; }
    // The control channel's refusal of the start frame.
    bool refuse = false;

private:
    void take(const std::array<uint16_t, 256>& memory);
    void triggered(int before, std::array<uint16_t, 256>& memory);
    void beginSending(bool ackFirst);
    [[nodiscard]] int sourceValue(size_t slot) const;

    RecorderPhase m_phase = RecorderPhase::Idle;
    RecorderSettings m_settings;
    uint8_t m_tickCode = 0;
    std::chrono::nanoseconds m_tick = kRecorderBaseTick;
    std::chrono::nanoseconds m_clock{0};  // drive time since the start frame
    std::chrono::nanoseconds m_nextSample{0};
    std::array<std::array<uint16_t, kRecorderChannels>, kRecorderSamples> m_ring{};
    uint64_t m_samples = 0;  // recorded since the start frame
    int m_remaining = 0;     // after the trigger, samples still to record
    // The record being sent: 2048 samples oldest first, and the next frame of it.
    std::array<std::array<uint16_t, kRecorderChannels>, kRecorderSamples> m_record{};
    size_t m_nextFrame = 0;
    bool m_ackFirst = false;
    uint64_t m_framesSent = 0;
    // "OSCTRG" of a generator start, written by the next cycle.
    std::optional<int> m_pendingTrigger;
};

}  // namespace zrd::sim
