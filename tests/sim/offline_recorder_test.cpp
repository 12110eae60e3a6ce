// The simulated drive's offline recorder as the frames and its clock drive it.
#include <gtest/gtest.h>

#include "shipped_drive.h"

namespace zrd::sim::test {
namespace {

namespace lk = zrd::link;

class OfflineRecorderTest : public ShippedDrive {};

// Data frames in the bytes (the frames' start bytes followed by the data code).
size_t dataFrames(const std::vector<uint8_t>& bytes) {
    size_t n = 0;
    for (size_t i = 0; i + 1 < bytes.size(); ++i)
        n += bytes[i] == lk::kStartByte && bytes[i + 1] == lk::kReplyScopeSample;
    return n;
}

TEST_F(OfflineRecorderTest, StopsTriggersAndAbandonsAsThePcAsks) {
    enum class Step { Start, Stop, Generator, Run100Ms, Run600Ms };
    struct Case {
        const char* name;
        int trigger;
        int tick;
        std::vector<Step> steps;
        std::vector<int> acks;  // of Start, Stop and Generator, in order
        RecorderPhase phase;
        bool ackBeforeRecord;  // a stop that waited: its "p" 0 comes with the record
        int triggerSample;     // "OSCTRG" afterwards
    };
    using S = Step;
    for (const Case& c : {
             Case{"a stop before the ring is full: busy, then the record",
                  0,
                  0,
                  {S::Start, S::Run100Ms, S::Stop, S::Run600Ms},
                  {0, 3},
                  RecorderPhase::Sending,
                  true,
                  0},
             Case{"a stop after the record time: the record at once",
                  0,
                  0,
                  {S::Start, S::Run600Ms, S::Stop},
                  {0, 0},
                  RecorderPhase::Sending,
                  false,
                  0},
             Case{"a second stop abandons the record",
                  0,
                  0,
                  {S::Start, S::Run100Ms, S::Stop, S::Stop, S::Run600Ms},
                  {0, 3, 0},
                  RecorderPhase::Idle,
                  false,
                  0},
             Case{"the generator's start with 100 samples before it",
                  4,
                  0,
                  {S::Start, S::Run100Ms, S::Generator, S::Run600Ms},
                  {0, 0},
                  RecorderPhase::Sending,
                  false,
                  100},
             Case{"armed for the generator, nothing comes without it",
                  4,
                  0,
                  {S::Start, S::Run600Ms},
                  {0},
                  RecorderPhase::AwaitGenerator,
                  false,
                  0},
             Case{"a tick code past 9 is refused",
                  0,
                  10,
                  {S::Start},
                  {3},
                  RecorderPhase::Idle,
                  false,
                  0},
         }) {
        SCOPED_TRACE(c.name);
        drive = SimDrive{};
        SetUp();
        ASSERT_EQ(write("OSCMOD", 0), lk::kReplyAccepted);
        ASSERT_EQ(write("TRGTYP", c.trigger), lk::kReplyAccepted);
        ASSERT_EQ(write("TRGPOS", 100), lk::kReplyAccepted);
        // The generator runs the servo of an internal command source.
        ASSERT_EQ(write("INST", 0), lk::kReplyAccepted);
        ASSERT_EQ(command(lk::kCmdServoOn), 0);
        std::vector<int> acks;
        for (const Step s : c.steps) {
            switch (s) {
                case S::Start:
                    acks.push_back(command(lk::kCmdStartOnlineScope, static_cast<uint8_t>(c.tick)));
                    break;
                case S::Stop:
                    acks.push_back(command(lk::kCmdScope, static_cast<uint8_t>(c.tick)));
                    break;
                case S::Generator:
                    acks.push_back(command(lk::kCmdStartGenerator));
                    break;
                case S::Run100Ms:
                    runMs(100);
                    break;
                case S::Run600Ms:
                    runMs(600);
                    break;
            }
        }
        EXPECT_EQ(acks, c.acks);
        EXPECT_EQ(drive.offline().phase(), c.phase);
        EXPECT_EQ(raw("OSCTRG"), c.triggerSample);
        const std::vector<uint8_t> bytes = drive.offline().takeRecord(8192);
        if (c.phase != RecorderPhase::Sending) {
            EXPECT_TRUE(bytes.empty());
            continue;
        }
        EXPECT_EQ(dataFrames(bytes), 8192u);
        const std::vector<uint8_t> ack = {lk::kStartByte, lk::kReplyAck, 0, lk::kEndByte};
        EXPECT_EQ(std::vector<uint8_t>(bytes.begin(), bytes.begin() + 4) == ack, c.ackBeforeRecord);
        // The last frame: channel 4, sample 2047.
        const size_t last = bytes.size() - 7;
        EXPECT_EQ((std::vector<uint8_t>(bytes.begin() + static_cast<long>(last),
                                        bytes.begin() + static_cast<long>(last) + 4)),
                  (std::vector<uint8_t>{lk::kStartByte, lk::kReplyScopeSample, 0x87, 0xFF}));
        EXPECT_EQ(drive.offline().phase(), RecorderPhase::Idle);
    }
}

}  // namespace
}  // namespace zrd::sim::test
