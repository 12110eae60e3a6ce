#include "session/parameter_access.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "../params/params_test_support.h"
#include "params/database_loader.h"
#include "sim_fixture.h"

namespace zrd::session {
namespace {

using namespace zrd::link;

namespace pm = zrd::params;
using test::ParamFields;

using test::fields;

class ParameterAccessTest : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        if (HasFatalFailure())
            return;
        messages.load(dir.write("mess.dic", test::messageFile()), ui);
        const auto result = pm::loadDatabaseLines(
            test::database({
                fields("P1", "HALF", 10, "UINT", "R-W", 0, 100, "0.5", 50).line(),
                fields("P2", "SIGNED", 11, "INT", "R-W", -10, 10, "1", 0).line(),
                fields("P3", "RO", 12, "UINT", "R", 0, 65535, "1", 5).line(),
                fields("P4", "NOREAD", 13, "UINT", "-", 0, 100, "1", 1).line(),
                fields("P5", "NOTYPE", 14, "UINT", "", 0, 100, "1", 1).line(),
                fields("P6", "WIDE", 15, "UINT", "R-W", 0, 65535, "0.01", 0).line(),
                fields("P7", "WIDES", 16, "INT", "R-W", -32768, 32767, "0.1", 0).line(),
            }),
            model, messages, ui, false);
        ASSERT_TRUE(result.ok());
        drive([&](sim::SimDrive& d) { d.loadParameters(model); });
        link.state().connected = 1;
    }

    int position(const std::string& name) {
        const auto p = model.find(name);
        EXPECT_TRUE(p) << name;
        return p.value_or(0);
    }

    uint16_t driveRaw(uint8_t index) {
        uint16_t raw = 0;
        drive([&](sim::SimDrive& d) { raw = d.raw(index); });
        return raw;
    }

    int framesSeen() {
        int n = 0;
        drive([&](sim::SimDrive& d) { n = d.framesSeen(); });
        return n;
    }

    // The caller's order: current parameter, old value kept, new value stored, SetParam.
    void write(const std::string& name, double value) {
        const int pos = position(name);
        model.setCurrentParameter(pos);
        model.setPreviousValue(pos, model.value(pos));
        model.setValue(pos, value);
        access.SetParam();
    }

    double read(const std::string& name) {
        const int pos = position(name);
        model.setCurrentParameter(pos);
        access.ReadParam();
        return model.value(pos);
    }

    test::TempDir dir;
    pm::MessageTable messages;
    std::unique_ptr<pm::ParameterModel> owner = std::make_unique<pm::ParameterModel>();
    pm::ParameterModel& model = *owner;
    ParameterAccess access{link, model, messages};
};

TEST_F(ParameterAccessTest, WriteSendsHalvesToEvenOrTheDefault) {
    struct Case {
        const char* name;
        uint8_t index;
        double value;
        uint16_t raw;
        double stands;          // the value-table entry afterwards
        const char* said = "";  // the message when the default stands in
    };
    for (const Case& c :
         {Case{"HALF", 10, 10.0, 20, 10.0}, Case{"HALF", 10, 10.25, 20, 10.25},
          Case{"HALF", 10, 10.75, 22, 10.75}, Case{"HALF", 10, 50.0, 100, 50.0},
          Case{"HALF", 10, 50.5, 50, 25.0, "P1 HALF: 50.5\nE8325"},
          Case{"HALF", 10, -0.5, 50, 25.0, "P1 HALF: -0.5\nE8325"}, Case{"HALF", 10, 0.0, 0, 0.0},
          Case{"SIGNED", 11, -0.5, 0, -0.5}, Case{"SIGNED", 11, -1.5, 0xFFFE, -1.5},
          Case{"SIGNED", 11, -10, 0xFFF6, -10}, Case{"SIGNED", 11, 10.5, 10, 10.5},
          Case{"SIGNED", 11, 10.6, 0, 0, "P2 SIGNED: 10.6\nE830"},
          Case{"WIDES", 16, -3276.8, 0x8000, -3276.8}}) {
        std::vector<std::string> logged;
        access.setSubstitutionReport([&](const std::string& action) { logged.push_back(action); });
        model.setParameterSetState(pm::ParameterSetState::Eeprom);
        const int passes = ui.eventPasses;
        ui.boxes.clear();
        write(c.name, c.value);
        EXPECT_EQ(access.lastReply(), kReplyAccepted) << c.name << " " << c.value;
        EXPECT_EQ(driveRaw(c.index), c.raw) << c.name << " " << c.value;
        EXPECT_DOUBLE_EQ(model.value(position(c.name)), c.stands) << c.name << " " << c.value;
        EXPECT_EQ(model.parameterSetState(), pm::ParameterSetState::Ram);
        EXPECT_EQ(ui.eventPasses, passes + 1);
        // The substitution of the default is never silent.
        EXPECT_EQ(access.substitutedDefault(), *c.said != '\0') << c.name << " " << c.value;
        if (*c.said) {
            ASSERT_EQ(ui.boxes.size(), 1u) << c.name << " " << c.value;
            EXPECT_EQ(ui.boxes[0].text, c.said);
            // ... and goes to the action log as well.
            std::string line = c.said;
            std::replace(line.begin(), line.end(), '\n', ' ');
            EXPECT_EQ(logged, std::vector<std::string>{line});
        } else {
            EXPECT_TRUE(ui.boxes.empty()) << c.name << " " << c.value;
            EXPECT_TRUE(logged.empty()) << c.name << " " << c.value;
        }
    }
}

// A typed value is checked in raw units before anything is sent; outside the limits the
// message names them and the drive sees no frame.
TEST_F(ParameterAccessTest, EnteredValueOutsideTheLimitsIsRefusedBeforeWriting) {
    struct Case {
        const char* name;
        double value;
        bool accepted;
        const char* said;
    };
    for (const Case& c :
         {Case{"HALF", 50, true, ""}, Case{"HALF", 0, true, ""},
          Case{"HALF", 50.5, false, "P1 HALF: 50.5\nE850 .. 50"},
          Case{"HALF", -0.5, false, "P1 HALF: -0.5\nE850 .. 50"}, Case{"SIGNED", -10.4, true, ""},
          Case{"SIGNED", 1e300, false, "P2 SIGNED: 1E300\nE85-10 .. 10"},
          Case{"WIDES", -3276.8, true, ""}}) {
        ui.boxes.clear();
        const int frames = framesSeen();
        model.setCurrentParameter(position(c.name));
        EXPECT_EQ(access.acceptsEntered(c.value), c.accepted) << c.name << " " << c.value;
        EXPECT_EQ(framesSeen(), frames);
        if (*c.said) {
            ASSERT_EQ(ui.boxes.size(), 1u) << c.name << " " << c.value;
            EXPECT_EQ(ui.boxes[0].text, c.said);
        } else {
            EXPECT_TRUE(ui.boxes.empty()) << c.name << " " << c.value;
        }
    }
}

TEST_F(ParameterAccessTest, AcceptedWriteWithoutConnectedFlagLeavesTheSetState) {
    link.state().connected = 0;
    write("HALF", 10);
    EXPECT_EQ(access.lastReply(), kReplyAccepted);
    EXPECT_EQ(driveRaw(10), 20);
    EXPECT_EQ(model.parameterSetState(), pm::ParameterSetState::Init);
}

TEST_F(ParameterAccessTest, ReadConvertsBySignednessAndScale) {
    struct Case {
        const char* name;
        uint8_t index;
        uint16_t raw;
        double value;
    };
    for (const Case& c : {Case{"SIGNED", 11, 0xFFFF, -1}, Case{"WIDE", 15, 0xFFFF, 655.35},
                          Case{"WIDES", 16, 0x8000, -3276.8}, Case{"HALF", 10, 0x00E4, 114},
                          // Outside the limits, still shown and stored.
                          Case{"HALF", 10, 1000, 500}, Case{"SIGNED", 11, 0x00E1, 225}}) {
        drive([&](sim::SimDrive& d) { d.setRaw(c.index, c.raw); });
        const int pos = position(c.name);
        const double before = model.value(pos);
        EXPECT_DOUBLE_EQ(read(c.name), c.value) << c.name;
        EXPECT_DOUBLE_EQ(model.previousValue(pos), before) << c.name;
        EXPECT_EQ(access.lastReply(), kReplyRead);
    }
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ParameterAccessTest, RefusedWriteRestoresThePreviousValue) {
    const int ro = position("RO");
    model.parameter(ro).indexFrame = 3;
    write("RO", 7);
    EXPECT_EQ(access.lastReply(), kReplyRefused);
    EXPECT_DOUBLE_EQ(model.value(ro), 5);
    EXPECT_EQ(driveRaw(12), 5);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Attention");
    EXPECT_EQ(ui.boxes[0].text, "P3 RO: refused");
    ASSERT_EQ(ui.rows.size(), 1u);
    EXPECT_EQ(ui.rows[0].position, ro);
    EXPECT_EQ(ui.rows[0].text, "5");

    // A drive that refuses a value inside the limits is treated alike.
    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Refuse, 0, 4, 1}); });
    write("HALF", 10);
    EXPECT_DOUBLE_EQ(model.value(position("HALF")), 25);
    EXPECT_EQ(driveRaw(10), 50);
    EXPECT_EQ(model.parameterSetState(), pm::ParameterSetState::Init);
}

TEST_F(ParameterAccessTest, SilentDriveRestoresThePreviousValueWithMessage38) {
    for (const char* language : {"Eng", "Rus"}) {
        ui.boxes.clear();
        model.setLanguage(language);
        drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 4, 1}); });
        const int idle = ui.idleRestores;
        write("HALF", 10);
        EXPECT_EQ(access.lastReply(), 0);
        EXPECT_DOUBLE_EQ(model.value(position("HALF")), 25) << language;
        EXPECT_EQ(driveRaw(10), 50);
        EXPECT_EQ(ui.idleRestores, idle + 1);
        ASSERT_EQ(ui.boxes.size(), 1u);
        if (pm::isEnglish(language)) {
            EXPECT_EQ(ui.boxes[0].caption, "Attention");
            EXPECT_EQ(ui.boxes[0].text, "HALF eng: no answer");
        } else {
            EXPECT_EQ(ui.boxes[0].caption, "Внимание");
            EXPECT_EQ(ui.boxes[0].text, "HALF рус: нет ответа");
        }
    }
}

TEST_F(ParameterAccessTest, SilentDriveLeavesAReadValueAloneAndQuiet) {
    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 4, 1}); });
    EXPECT_DOUBLE_EQ(read("HALF"), 25);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(ui.idleRestores, 1);
}

TEST_F(ParameterAccessTest, NothingIsReadWithoutConnectionOrForAccessDashOrEmpty) {
    for (const char* name : {"NOREAD", "NOTYPE"}) {
        model.parameter(position(name)).indexFrame = 0;
        drive([](sim::SimDrive& d) { d.setRaw(13, 99), d.setRaw(14, 99); });
        EXPECT_DOUBLE_EQ(read(name), 1) << name;
    }
    link.state().connected = 0;
    EXPECT_DOUBLE_EQ(read("HALF"), 25);
    EXPECT_EQ(framesSeen(), 0);
    EXPECT_TRUE(ui.rows.empty());
}

TEST_F(ParameterAccessTest, OnlyParametersWithAFrameUpdateTheirRow) {
    const int half = position("HALF");
    drive([](sim::SimDrive& d) { d.setRaw(10, 21); });
    EXPECT_DOUBLE_EQ(read("HALF"), 10.5);
    EXPECT_TRUE(ui.rows.empty());
    model.parameter(half).indexFrame = 199;
    EXPECT_DOUBLE_EQ(read("HALF"), 10.5);
    write("HALF", 7.25);
    ASSERT_EQ(ui.rows.size(), 2u);
    EXPECT_EQ(ui.rows[0].position, half);
    EXPECT_EQ(ui.rows[0].text, "10.5");
    EXPECT_EQ(ui.rows[1].text, "7.25");
}

}  // namespace
}  // namespace zrd::session
