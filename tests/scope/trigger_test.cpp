// The offline scope's known answers: data frames, tick codes, trigger ranges and levels.
#include "scope/trigger.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zrd::scope {
namespace {

TEST(OfflineFrames, DecodeChannelSampleIndexAndRawWord) {
    struct Case {
        std::array<uint8_t, 4> bytes;
        std::optional<int> channel;
        int index;
        uint16_t raw;
    };
    for (const Case& c : {
             Case{{0x65, 0x02, 0xFF, 0xFE}, 3, 1282, 0xFFFE},
             Case{{0x20, 0x00, 0x00, 0x01}, 1, 0, 1},
             Case{{0x87, 0xFF, 0xE1, 0xE4}, 4, 2047, 0xE1E4},
             Case{{0x5F, 0xFF, 0x12, 0x34}, 2, 8191, 0x1234},
             Case{{0x05, 0x02, 0, 0}, std::nullopt, 0, 0},
             Case{{0xA0, 0x00, 0, 0}, std::nullopt, 0, 0},
             Case{{0xE7, 0xFF, 0, 0}, std::nullopt, 0, 0},
         }) {
        SCOPED_TRACE(c.bytes[0]);
        const auto s = decodeOfflineSample(c.bytes);
        ASSERT_EQ(s.has_value(), c.channel.has_value());
        if (!s)
            continue;
        EXPECT_EQ(s->channel, *c.channel);
        EXPECT_EQ(s->sampleIndex, c.index);
        EXPECT_EQ(s->raw, c.raw);
    }
}

TEST(OfflineTicks, CodesGiveTickFrequencyAndRecordLength) {
    EXPECT_DOUBLE_EQ(offlineTick(0), 0.00025);
    EXPECT_DOUBLE_EQ(offlineFrequency(0), 4000);
    EXPECT_DOUBLE_EQ(offlineTick(9), 0.128);
    EXPECT_DOUBLE_EQ(offlineFrequency(9), 7.8125);
    EXPECT_DOUBLE_EQ(recordSeconds(9), 262.144);
    EXPECT_DOUBLE_EQ(recordSeconds(0), 0.512);
    // A code outside 0..9 is taken as the fastest tick, never a shift past the table.
    EXPECT_DOUBLE_EQ(offlineTick(10), 0.00025);
    EXPECT_DOUBLE_EQ(offlineTick(-1), 0.00025);
}

TEST(TriggerLimits, LevelAndPositionRanges) {
    struct Case {
        double typed;
        bool level;
        bool position;
    };
    for (const Case& c : {
             Case{30000, true, false},
             Case{30000.1, false, false},
             Case{-30000, true, false},
             Case{-30000.1, false, false},
             Case{2047, true, true},
             Case{2048, true, false},
             Case{-1, true, false},
             Case{0, true, true},
             Case{std::nan(""), false, false},
         }) {
        SCOPED_TRACE(c.typed);
        EXPECT_EQ(levelInRange(c.typed), c.level);
        EXPECT_EQ(positionInRange(c.typed), c.position);
    }
}

TEST(TriggerLevels, TheDriveSideLevelStaysWhenTheSourceChanges) {
    // Scale 0.1 to scale 2 with the text 5: the drive holds 50, the text becomes 100.
    EXPECT_DOUBLE_EQ(levelToDrive(5, 0.1), 50);
    EXPECT_DOUBLE_EQ(convertLevel(5, 0.1, 2), 100);
    EXPECT_DOUBLE_EQ(levelToDrive(convertLevel(5, 0.1, 2), 2), 50);
    // A scale of 0 shows the level raw, both ways.
    EXPECT_DOUBLE_EQ(levelToDrive(9, 0), 9);
    EXPECT_DOUBLE_EQ(levelFromDrive(9, 0), 9);
    EXPECT_DOUBLE_EQ(convertLevel(7, 0, 0.5), 3.5);
}

}  // namespace
}  // namespace zrd::scope
