#include "scope/replay.h"

#include <gtest/gtest.h>

#include <memory>

#include "recording_ui.h"

namespace zrd::scope {
namespace {

using Clock = CaptureClock;
using std::chrono::milliseconds;

// Channels non-zero on records 0..499 with their largest values at record 300, zero after.
std::unique_ptr<RecordTable> fiveHundredRecords() {
    auto buffer = std::make_unique<RecordTable>();
    for (int r = 0; r < 500; ++r) {
        buffer->setValue(r, 0, r == 300 ? 8.0 : 1.0 + (r % 5));
        buffer->setValue(r, 1, r == 300 ? -4.0 : 0.5);
    }
    return buffer;
}

struct Rig {
    test::RecordingUserInterface ui;
    std::unique_ptr<link::SerialPort> port = link::makeSystemSerialPort();
    link::DriveLink link{*port, ui};
    std::unique_ptr<RecordTable> buffer = fiveHundredRecords();
    Replay replay;
};

TEST(Replay, PlaysTheRecordsUpToTheEmptyOnesNoFasterThanTheRateAllows) {
    struct Case {
        const char* name;
        int rateCode;
        int stopAfter;  // steps before "Stop replay"; 0 never
        int abortAfter;
        ReplayEnd end;
        int steps;
    };
    for (const Case& c : {
             Case{"125 Hz to the end", 4, 0, 0, ReplayEnd::Finished, 500},
             Case{"1000 Hz to the end", 1, 0, 0, ReplayEnd::Finished, 500},
             Case{"unknown rate: no delay", 9, 0, 0, ReplayEnd::Finished, 500},
             Case{"Stop replay: nothing more drawn", 2, 120, 0, ReplayEnd::Stopped, 120},
             Case{"abort: the step that sees it is the last", 3, 0, 120, ReplayEnd::Aborted, 121},
         }) {
        SCOPED_TRACE(c.name);
        Rig rig;
        const auto start = Clock::time_point{} + std::chrono::hours(1);
        ASSERT_TRUE(rig.replay.start(rig.link, *rig.buffer, c.rateCode, start));
        EXPECT_EQ(rig.replay.plan().length, 500);
        EXPECT_EQ(rig.replay.plan().peakPosition, 300);
        EXPECT_TRUE(rig.link.state().linkBusy);
        // A second replay, or anything else, finds the link taken.
        Replay other;
        EXPECT_FALSE(other.start(rig.link, *rig.buffer, c.rateCode, start));

        const milliseconds delay = replayStepDelay(c.rateCode);
        std::vector<PreviewStep> drawn;
        auto now = start;
        while (rig.replay.running()) {
            if (c.stopAfter && static_cast<int>(drawn.size()) == c.stopAfter)
                rig.replay.stop();
            if (c.abortAfter && static_cast<int>(drawn.size()) == c.abortAfter)
                rig.replay.abort();
            // Never sooner than the step delay: a microsecond early there is no step.
            if (!drawn.empty() && delay.count() > 0) {
                ASSERT_FALSE(
                    rig.replay.step(rig.replay.nextStepAt() - std::chrono::microseconds(1)));
            }
            now = std::max(now, rig.replay.nextStepAt());
            if (auto s = rig.replay.step(now))
                drawn.push_back(*s);
        }
        EXPECT_EQ(rig.replay.end(), c.end);
        EXPECT_EQ(static_cast<int>(drawn.size()), c.steps);
        EXPECT_FALSE(rig.link.state().linkBusy);
        EXPECT_GE(now - start, delay * (c.steps - 1));
        if (c.end == ReplayEnd::Finished) {
            EXPECT_EQ(rig.replay.gauge(), 501);
        }

        // The peaks reach 60 pixels from the centre line, lime above, blue below; record 0
        // joins itself; the strip starts again after 785 columns.
        EXPECT_TRUE(drawn[0].restart);
        EXPECT_EQ(drawn[0].column, 1);
        EXPECT_EQ(drawn[0].from, drawn[0].to);
        if (c.steps > 300) {
            EXPECT_EQ(drawn[300].to, (std::array<int, 2>{65 - 60, 65 + 60}));
            EXPECT_EQ(drawn[300].from, (std::array<int, 2>{65 - 37, 65 - 7}));
        }
    }
}

TEST(Replay, AnAllZeroBufferReplaysOneRecordAndAStripWrapsAfterItsWidth) {
    Rig rig;
    auto zero = std::make_unique<RecordTable>();
    ASSERT_TRUE(rig.replay.start(rig.link, *zero, 0, Clock::now()));
    EXPECT_EQ(rig.replay.plan().length, 1);

    Rig wide;
    auto full = std::make_unique<RecordTable>();
    for (int r = 0; r < kRecordCount; ++r)
        full->setValue(r, 0, 1.0);
    ASSERT_TRUE(wide.replay.start(wide.link, *full, 0, Clock::now()));
    EXPECT_EQ(wide.replay.plan().length, kReplayRecords);
    std::vector<int> restarts;
    for (int i = 0; wide.replay.running(); ++i) {
        const auto s = wide.replay.step(wide.replay.nextStepAt());
        ASSERT_TRUE(s);
        if (s->restart)
            restarts.push_back(i);
    }
    EXPECT_EQ(restarts,
              (std::vector<int>{0, 786, 2 * 786, 3 * 786, 4 * 786, 5 * 786, 6 * 786, 7 * 786,
                                8 * 786, 9 * 786, 10 * 786, 11 * 786, 12 * 786}));
}

TEST(DataRecord, RowsShowRawAndScaledValuesWithTheSampleIndex) {
    auto raw = std::make_unique<RawRecords>();
    auto buffer = std::make_unique<RecordTable>();
    (*raw)[7].values = {-2, 65534, 3, 0};
    (*raw)[7].sampleIndex = 1282;
    buffer->setValue(7, 0, -0.02);
    buffer->setValue(7, 1, 65534);
    buffer->setValue(7, 2, 0.75);
    const std::vector<std::string> rows = dataRecordRows(*raw, *buffer);
    ASSERT_EQ(rows.size(), 2048u);
    EXPECT_EQ(rows[7],
              " -2 --> -0.02   |   65534 --> 65534   |   3 --> 0.75   |   0 --> 0   |   "
              "1282   ");
    EXPECT_EQ(rows[2047], " 0 --> 0   |   0 --> 0   |   0 --> 0   |   0 --> 0   |   0   ");
}

}  // namespace
}  // namespace zrd::scope
