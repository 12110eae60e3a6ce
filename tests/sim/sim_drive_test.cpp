#include "sim_drive.h"

#include <gtest/gtest.h>

#include "link/frame_codec.h"

namespace zrd::sim {
namespace {

using Bytes = std::vector<uint8_t>;

TEST(SimFaultParsing, AcceptsEveryNamedFault) {
    struct Case {
        const char* text;
        FaultKind kind;
        int value;
        int at;
    };
    for (const Case& c :
         {Case{"silent", FaultKind::Silent, 0, 4}, Case{"delay=200", FaultKind::Delay, 200, 4},
          Case{"drop=2", FaultKind::Drop, 2, 4}, Case{"corrupt=1", FaultKind::Corrupt, 1, 4},
          Case{"refuse", FaultKind::Refuse, 0, 4}, Case{"busy", FaultKind::Busy, 0, 4},
          Case{"split=40", FaultKind::Split, 40, 4}, Case{"split=40@2", FaultKind::Split, 40, 2},
          Case{"hangup", FaultKind::HangUp, 0, 4}, Case{"hangup=3", FaultKind::HangUp, 3, 4},
          Case{"cut=4", FaultKind::Cut, 4, 4}, Case{"late=80", FaultKind::Late, 80, 4},
          Case{"duplicate=30", FaultKind::Duplicate, 30, 4},
          Case{"noise=30,E1,30", FaultKind::Noise, 0, 4}}) {
        const auto f = parseFault(c.text);
        ASSERT_TRUE(f) << c.text;
        EXPECT_EQ(f->kind, c.kind) << c.text;
        EXPECT_EQ(f->value, c.value) << c.text;
        EXPECT_EQ(f->at, c.at) << c.text;
    }
    EXPECT_EQ(parseFault("noise=30E130")->bytes, (Bytes{0x30, 0xE1, 0x30}));
    for (const char* bad : {"", "loud", "delay", "delay=x", "delay=-5", "silent=3", "split=1@",
                            "hangup=x", "cut", "late=", "noise=", "noise=3G"})
        EXPECT_FALSE(parseFault(bad)) << bad;
}

TEST(SimDriveAnswers, ReadWriteAndCommands) {
    SimDrive d;
    d.setRaw(0xE1, 0xE2E4);
    EXPECT_EQ(d.answer({0x20, 0xE1})->bytes,
              (Bytes{0xE1, 0x30, 0xE4, 0x02, 0xE4, 0x03, 0xE4, 0x00, 0xE2}));
    EXPECT_EQ(d.answer({0x40, 0x07, 0x12, 0x34})->bytes, (Bytes{0xE1, 0x50, 0x07, 0xE2}));
    EXPECT_EQ(d.raw(7), 0x1234);
    EXPECT_EQ(d.answer({0x69, 0, 0, 0})->bytes, (Bytes{0xE1, 0x70, 0x00, 0xE2}));
    EXPECT_FALSE(d.answer({0x99}));
}

TEST(SimDriveAnswers, FaultsApplyForTheirCount) {
    SimDrive d;
    d.addFault({FaultKind::Refuse, 0, 4, 1});
    d.addFault({FaultKind::Busy, 0, 4, 1});
    EXPECT_EQ(d.answer({0x40, 0x07, 0x00, 0x01})->bytes, (Bytes{0xE1, 0x51, 0x07, 0xE2}));
    EXPECT_EQ(d.raw(7), 0);
    EXPECT_EQ(d.answer({0x6F, 0, 0, 0})->bytes, (Bytes{0xE1, 0x70, 0x03, 0xE2}));
    EXPECT_EQ(d.answer({0x6F, 0, 0, 0})->bytes, (Bytes{0xE1, 0x70, 0x00, 0xE2}));

    d.addFault({FaultKind::Drop, 1, 4, 1});
    EXPECT_EQ(d.answer({0x40, 0x07, 0x00, 0x01})->bytes, (Bytes{0xE1, 0x07, 0xE2}));
    d.addFault({FaultKind::Corrupt, 1, 4, 1});
    EXPECT_EQ(d.answer({0x40, 0x07, 0x00, 0x01})->bytes, (Bytes{0xE1, 0x50 ^ 0x5A, 0x07, 0xE2}));
    d.addFault({FaultKind::Silent, 0, 4, 2});
    EXPECT_FALSE(d.answer({0x20, 1}));
    EXPECT_FALSE(d.answer({0x20, 1}));
    EXPECT_TRUE(d.answer({0x20, 1}));

    // Never the end byte, even when the cut is longer than the reply.
    d.addFault({FaultKind::Cut, 3, 4, 1});
    EXPECT_EQ(d.answer({0x20, 7})->bytes, (Bytes{0xE1, 0x30, 0x07}));
    d.addFault({FaultKind::Cut, 40, 4, 1});
    EXPECT_EQ(d.answer({0x20, 7})->bytes, (Bytes{0xE1, 0x30, 0x07, 0x00, 0x01}));
    d.addFault({FaultKind::Noise, 0, 4, 1, {0x30, 0xE1}});
    EXPECT_EQ(d.answer({0x20, 7})->bytes, (Bytes{0x30, 0xE1, 0xE1, 0x30, 0x07, 0x00, 0x01, 0xE2}));
}

}  // namespace
}  // namespace zrd::sim
