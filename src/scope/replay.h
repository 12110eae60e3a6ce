#pragma once

// Replay of an online capture into the live preview strip, and the rows of the data record
// viewer.
//
// How the windows use it:
// - "Replay" (Replay_startClick): Replay::start(link, buffer, rateCode, now); false means the
//   link is busy and nothing happens. Then a single-shot timer set to nextStepAt() calls
//   step(now): each step returned is drawn as the capture's preview steps are (a restart clears
//   the strip and draws the red vertical and the black centre axis; channel 1 lime, channel 2
//   blue), Gauge2 shows gauge(). While running() the timer is set again; at the end
//   "Replay" goes up. "Stop replay" (Replay_stopClick) calls stop(); "Reset Oscilloscope" and
//   opening the online viewer call abort(). The link stays busy for the whole replay.
// - "See OscDatRec" (TOscDatRec_Form::FormActivate): dataRecordRows(capture.raw(), buffer)
//   gives the 2048 rows of StringGrid1.

#include <array>
#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "link/drive_link.h"
#include "scope/offline_capture.h"
#include "scope/online_capture.h"
#include "scope/oscillogram.h"
#include "session/link_busy_guard.h"

namespace zrd::scope {

// Records the replay looks at (0..9998), and the empty records after the peak that end it.
inline constexpr int kReplayRecords = kRecordCount - 1;
inline constexpr int kReplayEmptyLimit = 11;
// Rows of the data record viewer.
inline constexpr int kDataRecordRows = kOfflineSamples;

// Peaks (at least kInitialPeak) and length of a replay of channels 1 and 2.
struct ReplayPlan {
    std::array<double, kOnlineChannelCount> peak{kInitialPeak, kInitialPeak};
    int peakPosition = 0;  // the record of the last new maximum of either channel
    // Records replayed: every record up to the 11th empty one, not counting the empty ones (both
    // channels exactly 0, after the peak position).
    int length = 0;
};
ReplayPlan planReplay(const RecordTable& buffer);

// The least time between two steps: 1, 6, 11, 16 ms for rate codes 1..4, none for others.
std::chrono::milliseconds replayStepDelay(int rateCode);

enum class ReplayEnd {
    Idle,      // never started
    Running,   // steps remain
    Finished,  // every record of the length was drawn
    Stopped,   // "Stop replay": no step after it
    Aborted,   // the abort flag: the step drawn when it was seen is the last
};

class Replay {
public:
    // Takes the link (busy flag, polls paused) and plans the replay of the buffer, which must
    // outlive the replay. False, and nothing started, when the link is busy or a replay runs.
    [[nodiscard]] bool start(link::DriveLink& link, const RecordTable& buffer, int rateCode,
                             CaptureClock::time_point now);

    // The next step when it is due (never sooner than the step delay after the previous one);
    // nullopt when it is not due yet or the replay has ended. The last step frees the link.
    [[nodiscard]] std::optional<PreviewStep> step(CaptureClock::time_point now);
    // When step() has the next step.
    [[nodiscard]] CaptureClock::time_point nextStepAt() const { return m_next; }

    // "Stop replay": ends at the next step, drawing nothing more; frees the link.
    void stop();
    // The abort flag: the next step is drawn and ends the replay.
    void abort();

    [[nodiscard]] bool running() const { return m_end == ReplayEnd::Running; }
    [[nodiscard]] ReplayEnd end() const { return m_end; }
    [[nodiscard]] const ReplayPlan& plan() const { return m_plan; }
    // Steps drawn so far.
    [[nodiscard]] int steps() const { return m_step; }
    // Gauge2's position: 0 at the start, step + 2 after each step.
    [[nodiscard]] int gauge() const { return m_gauge; }
    [[nodiscard]] std::chrono::milliseconds stepDelay() const { return m_delay; }

private:
    void finish(ReplayEnd end);
    [[nodiscard]] int row(int channel, int record) const;

    const RecordTable* m_buffer = nullptr;
    std::optional<session::LinkBusyGuard> m_busy;
    ReplayPlan m_plan;
    ReplayEnd m_end = ReplayEnd::Idle;
    std::chrono::milliseconds m_delay{0};
    CaptureClock::time_point m_next{};
    int m_step = 0;
    int m_column = 0;
    int m_gauge = 0;
    bool m_abort = false;
};

// Row r of the data record viewer: " ", per channel the raw value, " --> ", the scaled value and
// "   |   ", then the sample index and "   "; numbers as shortest general texts.
std::string dataRecordRow(const RawRecords& raw, const RecordTable& buffer, int row);
// All 2048 rows.
std::vector<std::string> dataRecordRows(const RawRecords& raw, const RecordTable& buffer);

}  // namespace zrd::scope
