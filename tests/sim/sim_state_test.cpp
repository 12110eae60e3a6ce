// The simulated drive's state on the shipped database: servo enable, errors and warnings,
// inputs, process values, overrides and EEPROM, driven by explicit time steps.
#include <gtest/gtest.h>

#include <filesystem>

#include "eeprom_file.h"
#include "shipped_drive.h"
#include "temp_dir.h"

namespace zrd::sim {
namespace {

namespace lk = zrd::link;
using test::ShippedDrive;

constexpr int kAckDone = 0;
constexpr int kAckRefused = lk::kAckStatusRefused;

using SimState = ShippedDrive;

TEST_F(SimState, EnableFollowsTheEnableMode) {
    struct Case {
        const char* name;
        int enableMode;
        bool input1;  // the shipped DIN1 is the servo-enable input
        int onStatus;
        bool on;
        int offStatus;
    };
    for (const Case& c :
         {Case{"PC", 1, false, kAckDone, true, kAckDone},
          Case{"PC ignores the input", 1, true, kAckDone, true, kAckDone},
          Case{"input only refuses the PC", 0, false, kAckRefused, false, kAckRefused},
          Case{"input only, input on", 0, true, kAckRefused, true, kAckRefused},
          Case{"input and PC, input off", 2, false, kAckDone, false, kAckDone},
          Case{"input and PC, both", 2, true, kAckDone, true, kAckDone}}) {
        ASSERT_EQ(write("ENMOD", c.enableMode), lk::kReplyAccepted) << c.name;
        ASSERT_TRUE(drive.setInput(1, c.input1));
        EXPECT_EQ(command(lk::kCmdServoOn), c.onStatus) << c.name;
        EXPECT_EQ(drive.servoOn(), c.on) << c.name;
        EXPECT_EQ(stateBit(kStateServoOn), c.on) << c.name;
        EXPECT_EQ(appBit(kAppDriveOn), c.on) << c.name;
        EXPECT_EQ(stateBit(kStatePcEnable), c.onStatus == kAckDone) << c.name;
        EXPECT_EQ(stateBit(kStateEnableInput), c.input1) << c.name;
        EXPECT_EQ(command(lk::kCmdServoOff), c.offStatus) << c.name;
        // Only the input keeps a drive on that the PC may not switch.
        EXPECT_EQ(drive.servoOn(), c.enableMode == 0 && c.input1) << c.name;
        ASSERT_TRUE(drive.setInput(1, false));
    }
}

TEST_F(SimState, ServoFollowsTheInternalCommandInDatabaseUnits) {
    ASSERT_EQ(write("INST", 1), lk::kReplyAccepted);
    // The drive computes VSET: the program cannot write it, the control channel can.
    EXPECT_EQ(write("VSET", 1500), lk::kReplyRefused);
    drive.setRaw(index("VSET"), 1500);
    ASSERT_EQ(command(lk::kCmdServoOn), kAckDone);
    runMs(1500);
    EXPECT_NEAR(raw("VACT"), 1500, 1);
    EXPECT_EQ(raw("VSET"), 1500);
    // ISET and IACT in 0.01 A: the friction current at 1500 rpm.
    EXPECT_GT(raw("ISET"), 0);
    EXPECT_LT(raw("ISET"), 20);
    EXPECT_FALSE(stateBit(kStateSpeedZero));
    EXPECT_FALSE(stateBit(kStateExternalControl));
    EXPECT_TRUE(appBit(kAppMotion));
    EXPECT_TRUE(appBit(kAppSpeedReached));

    ASSERT_EQ(command(lk::kCmdServoOff), kAckDone);
    runMs(50);
    EXPECT_EQ(raw("ISET"), 0);
    EXPECT_EQ(raw("IACT"), 0);
    EXPECT_FALSE(appBit(kAppDriveOn));
}

TEST_F(SimState, AnalogInputScalesIntoTheSpeedCommand) {
    // The shipped command source is the analog input, 4500 rpm at 10 V.
    EXPECT_TRUE(stateBit(kStateExternalControl));
    drive.setAnalogInput(2000);
    ASSERT_EQ(command(lk::kCmdServoOn), kAckDone);
    runMs(2000);
    EXPECT_EQ(raw("AINVOL"), 2000);
    EXPECT_EQ(raw("VSET"), 900);
    EXPECT_NEAR(raw("VACT"), 900, 1);
    EXPECT_TRUE(appBit(kAppAnalogCommand));
}

TEST_F(SimState, PositionsSplitIntoRevolutionsAndCounts) {
    ASSERT_EQ(write("INST", 1), lk::kReplyAccepted);
    drive.setRaw(index("VSET"), static_cast<uint16_t>(-600));
    ASSERT_EQ(command(lk::kCmdServoOn), kAckDone);
    runMs(1000);
    const int perRev = raw("ENCR");
    ASSERT_EQ(perRev, 16384);
    const PlantState& st = drive.plant().state();
    struct Case {
        const char* rev;
        const char* counts;
        int64_t position;
    };
    for (const Case& c :
         {Case{"PRREV", "PRCTS", st.positionCommand}, Case{"PFREV", "PFCTS", st.positionActual}}) {
        EXPECT_LT(raw(c.rev), 0) << c.rev;
        EXPECT_GE(raw(c.counts), 0) << c.counts;
        EXPECT_LT(raw(c.counts), perRev) << c.counts;
        EXPECT_EQ(int64_t{raw(c.rev)} * perRev + raw(c.counts), c.position) << c.rev;
    }
    EXPECT_EQ(raw("PERR"), st.positionCommand - st.positionActual);
}

TEST_F(SimState, HeartbeatChangesBetweenTheProgramsStatusPolls) {
    // The program reads the status words every 2 s, starting at any moment.
    constexpr int kPollMs = 2000;
    for (const int startMs : {0, 400, 900, 1300, 2100}) {
        runMs(startMs);
        bool seen[2] = {false, false};
        for (int poll = 0; poll < 3; ++poll) {
            seen[appBit(kAppHeartbeat)] = true;
            runMs(kPollMs);
        }
        EXPECT_TRUE(seen[0] && seen[1]) << "polls starting a further " << startMs << " ms on";
    }
}

TEST_F(SimState, RaisedBitsShowInTheirWords) {
    struct Case {
        const char* name;
        BitList list;
        uint8_t word;
        int presentBit;  // of word 240; -1: none
        bool trips;
    };
    for (const Case& c : {Case{"errors", BitList::Errors, 241, kStateErrors, true},
                          Case{"warnings", BitList::Warnings, 242, kStateWarnings, false},
                          Case{"appendix errors", BitList::AppendixErrors, 246, -1, false}}) {
        ASSERT_EQ(command(lk::kCmdServoOn), kAckDone) << c.name;
        ASSERT_TRUE(drive.raise(c.list, 3));
        ASSERT_TRUE(drive.raise(c.list, 15));
        EXPECT_FALSE(drive.raise(c.list, 16));
        EXPECT_EQ(drive.raw(c.word), 0x8008) << c.name;
        if (c.presentBit >= 0) {
            EXPECT_TRUE(stateBit(c.presentBit)) << c.name;
        }
        EXPECT_EQ(drive.servoOn(), !c.trips) << c.name;
        EXPECT_EQ(stateBit(kStateReady), !c.trips) << c.name;
        ASSERT_TRUE(drive.clear(c.list, 15));
        EXPECT_EQ(drive.raw(c.word), 0x0008) << c.name;
        drive.clearAll(c.list);
        EXPECT_EQ(drive.raw(c.word), 0) << c.name;
        if (c.presentBit >= 0) {
            EXPECT_FALSE(stateBit(c.presentBit)) << c.name;
        }
        ASSERT_EQ(command(lk::kCmdServoOff), kAckDone);
    }
}

TEST_F(SimState, ErrorTripsTheServoUntilReset) {
    ASSERT_EQ(command(lk::kCmdServoOn), kAckDone);
    ASSERT_TRUE(drive.raise(BitList::Errors, 5));
    ASSERT_TRUE(drive.raise(BitList::Warnings, 2));
    ASSERT_TRUE(drive.raise(BitList::AppendixErrors, 1));
    EXPECT_FALSE(drive.servoOn());
    EXPECT_FALSE(drive.pcEnabled());
    EXPECT_EQ(command(lk::kCmdServoOn), kAckRefused);

    EXPECT_EQ(command(lk::kCmdReset), kAckDone);
    EXPECT_EQ(drive.raw(241), 0);
    EXPECT_EQ(drive.raw(246), 0);
    EXPECT_TRUE(stateBit(kStateReady));
    EXPECT_FALSE(stateBit(kStateErrors));
    // A warning is a condition, not a latched fault: the reset leaves it.
    EXPECT_EQ(drive.raw(242), 0x0004);
    EXPECT_FALSE(drive.servoOn());
    EXPECT_EQ(command(lk::kCmdServoOn), kAckDone);
    EXPECT_TRUE(drive.servoOn());
    EXPECT_EQ(command(lk::kCmdReset), kAckDone);
    EXPECT_FALSE(drive.servoOn());
}

TEST_F(SimState, InputsShowInvertedAndTheFaultResetInputClearsErrors) {
    ASSERT_TRUE(drive.setInput(3, true));
    EXPECT_EQ(drive.raw(244), 0x0004);
    ASSERT_EQ(write("DINLEV", 0x0005), lk::kReplyAccepted);
    runMs(1);
    EXPECT_EQ(drive.raw(244), 0x0001);
    EXPECT_FALSE(drive.setInput(17, true));
    EXPECT_FALSE(drive.setInput(0, true));

    ASSERT_EQ(write("DINLEV", 0), lk::kReplyAccepted);
    ASSERT_TRUE(drive.raise(BitList::Errors, 4));
    // The shipped DIN2 is the fault reset: its rising edge clears the errors.
    ASSERT_TRUE(drive.setInput(2, true));
    EXPECT_EQ(drive.raw(241), 0);
    ASSERT_TRUE(drive.raise(BitList::Errors, 4));
    runMs(10);
    EXPECT_EQ(drive.raw(241), 0x0010);
}

TEST_F(SimState, DriveRaisesItsOwnFaults) {
    struct Case {
        const char* name;
        int mode;
        const char* limit;
        int limitValue;
        int speed;
        int errorBit;
    };
    for (const Case& c : {Case{"overspeed", 2, "MOVSPD", 1000, 1500, kErrorOverspeed},
                          Case{"following error", 3, "PERRMX", 100, 3000, kErrorFollowing}}) {
        ASSERT_EQ(write("OPMOD", c.mode), lk::kReplyAccepted) << c.name;
        ASSERT_EQ(write("INST", 1), lk::kReplyAccepted);
        ASSERT_EQ(write(c.limit, c.limitValue), lk::kReplyAccepted) << c.name;
        drive.setRaw(index("VSET"), static_cast<uint16_t>(c.speed));
        ASSERT_EQ(command(lk::kCmdServoOn), kAckDone) << c.name;
        runMs(1000);
        EXPECT_EQ(drive.raw(241), 1 << c.errorBit) << c.name;
        EXPECT_FALSE(drive.servoOn()) << c.name;
        ASSERT_EQ(command(lk::kCmdReset), kAckDone);
        drive.setRaw(index("VSET"), 0);
        runMs(3000);
    }
}

TEST_F(SimState, FollowingErrorWarnsWhileItLasts) {
    ASSERT_EQ(write("OPMOD", 3), lk::kReplyAccepted);
    ASSERT_EQ(write("INST", 1), lk::kReplyAccepted);
    ASSERT_EQ(write("PERRWL", 50), lk::kReplyAccepted);
    drive.setRaw(index("VSET"), 1000);
    ASSERT_EQ(command(lk::kCmdServoOn), kAckDone);
    runMs(200);
    EXPECT_EQ(drive.raw(242), 1 << kWarningFollowing);
    EXPECT_TRUE(stateBit(kStateWarnings));
    drive.setRaw(index("VSET"), 0);
    runMs(2000);
    EXPECT_EQ(drive.raw(242), 0);
    EXPECT_TRUE(stateBit(kStateInPosition));
    EXPECT_TRUE(appBit(kAppTargetReached));
}

TEST_F(SimState, GeneratorStartsOnlyOnARunningServoWithInternalCommand) {
    EXPECT_EQ(command(lk::kCmdStartGenerator), kAckRefused);  // servo off
    ASSERT_EQ(command(lk::kCmdServoOn), kAckDone);
    EXPECT_EQ(command(lk::kCmdStartGenerator), kAckRefused);  // analog command source
    ASSERT_EQ(write("INST", 0), lk::kReplyAccepted);
    EXPECT_EQ(command(lk::kCmdStartGenerator), kAckDone);
    EXPECT_TRUE(stateBit(kStateGenerator));
    EXPECT_EQ(command(lk::kCmdStopGenerator), kAckDone);
    EXPECT_FALSE(stateBit(kStateGenerator));
    EXPECT_EQ(command(lk::kCmdStartGenerator), kAckDone);
    ASSERT_EQ(command(lk::kCmdServoOff), kAckDone);
    EXPECT_FALSE(drive.generatorRunning());
    EXPECT_EQ(command(lk::kCmdCalcPara), kAckDone);
}

TEST_F(SimState, SilentAndOverriddenIndexes) {
    const uint8_t enmod = index("ENMOD");
    drive.setSilent(enmod);
    const int seen = drive.framesSeen();
    EXPECT_FALSE(drive.answer({lk::kCmdReadParameter, enmod}));
    EXPECT_FALSE(drive.answer({lk::kCmdWriteParameter, enmod, 0, 2}));
    EXPECT_EQ(drive.framesSeen(), seen + 2);
    EXPECT_EQ(raw("ENMOD"), 1);

    // A value outside the limits 0..2: what the program's read-all must cope with.
    drive.setAnswer(enmod, 0xFFF7);
    EXPECT_EQ(
        drive.answer({lk::kCmdReadParameter, enmod})->bytes,
        (std::vector<uint8_t>{lk::kStartByte, lk::kReplyRead, enmod, 0xFF, 0xF7, lk::kEndByte}));
    EXPECT_EQ(write("ENMOD", 2), lk::kReplyAccepted);
    EXPECT_EQ(drive.answer({lk::kCmdReadParameter, enmod})->bytes.at(4), 0xF7);
    drive.setNormal(enmod);
    EXPECT_EQ(drive.answer({lk::kCmdReadParameter, enmod})->bytes.at(4), 2);
}

TEST_F(SimState, EepromGivesBackTheParametersOnly) {
    const uint8_t kpv = index("KPV");
    const uint8_t dicont = index("DICONT");  // a rating: read only
    ASSERT_EQ(write("KPV", 700), lk::kReplyAccepted);
    EXPECT_EQ(command(lk::kCmdStoreWorkingParameters), kAckDone);
    EXPECT_EQ(drive.eeprom()[kpv], 700);
    ASSERT_EQ(write("KPV", 900), lk::kReplyAccepted);
    drive.setRaw(dicont, 1234);
    EXPECT_EQ(command(lk::kCmdLoadEeprom), kAckDone);
    EXPECT_EQ(raw("KPV"), 700);
    EXPECT_EQ(raw("DICONT"), 1234);

    // 65 01 stores the program's part and says so with status 1; 65 00 stores everything.
    ASSERT_EQ(write("KPV", 800), lk::kReplyAccepted);
    EXPECT_EQ(command(lk::kCmdStoreEeprom, 1), 1);
    EXPECT_EQ(drive.eeprom()[kpv], 800);
    EXPECT_NE(drive.eeprom()[dicont], 1234);
    EXPECT_EQ(command(lk::kCmdStoreEeprom, 0), kAckDone);
    EXPECT_EQ(drive.eeprom()[dicont], 1234);
}

TEST_F(SimState, EepromFileOutlivesTheDrive) {
    zrd::test::TempDir dir;
    const std::string file = dir.file("eeprom.txt");
    drive.setEepromFile(file);
    ASSERT_EQ(write("KPV", 700), lk::kReplyAccepted);
    ASSERT_EQ(command(lk::kCmdStoreWorkingParameters), kAckDone);

    SimDrive next;
    next.loadParameters(model);
    std::string error;
    ASSERT_TRUE(next.loadEepromFile(file, error)) << error;
    EXPECT_EQ(next.raw(index("KPV")), 700);
}

TEST_F(SimState, EepromFileFailuresAreReported) {
    zrd::test::TempDir dir;
    std::vector<std::string> reports;
    drive.setReporter([&](const std::string& text) { reports.push_back(text); });
    drive.setEepromFile(dir.file("missing-folder/eeprom.txt"));
    const RawMemory before = drive.eeprom();
    ASSERT_EQ(write("KPV", 700), lk::kReplyAccepted);
    EXPECT_EQ(command(lk::kCmdStoreWorkingParameters), kAckRefused);
    EXPECT_EQ(drive.eeprom(), before);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_NE(reports[0].find("missing-folder"), std::string::npos) << reports[0];

    struct Case {
        const char* name;
        const char* text;
        const char* reason;
    };
    for (const Case& c :
         {Case{"index too large", "# image\n1 5\n256 1\n", "line 3"},
          Case{"raw too large", "7 65536\n", "line 1"}, Case{"extra field", "7 1 2\n", "line 1"},
          Case{"not a number", "seven 1\n", "line 1"}}) {
        std::string error;
        RawMemory image{};
        EXPECT_FALSE(readEepromFile(dir.write("bad.txt", c.text), image, error)) << c.name;
        EXPECT_NE(error.find(c.reason), std::string::npos) << c.name << ": " << error;
        EXPECT_EQ(image, RawMemory{}) << c.name;
    }
    std::string error;
    EXPECT_FALSE(drive.loadEepromFile(dir.file("none.txt"), error));
    EXPECT_NE(error.find("none.txt"), std::string::npos);
}

TEST(SimStateBare, DriveWithoutDatabaseLeavesItsMemoryAlone) {
    SimDrive d;
    d.setRaw(240, 0x1234);
    d.setRaw(198, 77);
    d.advance(std::chrono::seconds(1));
    EXPECT_EQ(d.raw(240), 0x1234);
    EXPECT_EQ(d.raw(198), 77);
    EXPECT_FALSE(d.indexOf("VACT"));
    EXPECT_EQ(d.indexOf("0xF0"), 240);
    EXPECT_EQ(d.indexOf("17"), 17);
    EXPECT_FALSE(d.indexOf("256"));
}

}  // namespace
}  // namespace zrd::sim
