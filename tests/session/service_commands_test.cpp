#include "session/service_commands.h"

#include <gtest/gtest.h>

#include "../params/params_test_support.h"
#include "params/database_loader.h"
#include "params/message_numbers.h"
#include "sim_fixture.h"

namespace zrd::session {
namespace {

namespace lk = zrd::link;
namespace pm = zrd::params;
using test::fields;

// The service commands against the simulated drive on a pseudo-terminal: the frames that go
// out, what the drive's answers make of the messages and the buttons.
class ServiceCommandsTest : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        if (HasFatalFailure())
            return;
        messages.load(dir.write("mess.dic", test::messageFile()), ui);
        std::vector<std::string> body = {
            fields("P3", "HVER", 3, "UINT", "R", 0, 65535, "1", 0).line(),
            fields("P5", "OPMOD", 5, "UINT", "R-W", 1, 3, "1", 2).line(),
            fields("P6", "INST", 6, "UINT", "R-W", 0, 3, "1", 1).line(),
            fields("P7", "ENMOD", 7, "UINT", "R-W", 0, 2, "1", 1).line(),
            fields("P20", "KPV", 20, "UINT", "R-W", 0, 10000, "1", 500).line(),
        };
        test::ParamFields state = fields("P240", "STATE", 240, "UINT", "R", 0, 65535, "1", 0);
        state.indexGroup = "9";
        body.push_back(state.line());
        ASSERT_TRUE(pm::loadDatabaseLines(test::database(body), model, messages, ui, false).ok());
        drive([&](sim::SimDrive& d) { d.loadParameters(model); });
        link.state().connected = 1;
        setValue("ENMOD", 1);
    }

    int framesSeen() {
        int n = 0;
        drive([&](sim::SimDrive& d) { n = d.framesSeen(); });
        return n;
    }
    uint16_t raw(const char* name) {
        uint16_t v = 0;
        drive([&](sim::SimDrive& d) { v = d.raw(*d.indexOf(name)); });
        return v;
    }
    void setDrive(const char* name, uint16_t v) {
        drive([&](sim::SimDrive& d) { d.setRaw(*d.indexOf(name), v); });
    }
    void setValue(const char* name, double v) { model.setKnownValue(*model.find(name), v); }
    std::vector<std::string> texts() const {
        std::vector<std::string> t;
        for (const auto& b : ui.boxes)
            t.push_back(b.text);
        return t;
    }
    static std::string msg(int n) { return "E" + std::to_string(n); }

    test::TempDir dir;
    pm::MessageTable messages;
    pm::ParameterModel model;
    ParameterAccess access{link, model, messages};
    ServiceCommands svc{link, access, model, messages};
};

// 0x6F: the acknowledge's status, a silent drive, noise and a hang-up each end as they should;
// only "done" sets the parameter-set state "EEPROM".
TEST_F(ServiceCommandsTest, StoreCommandTellsEachAnswerApart) {
    struct Case {
        const char* fault;  // "" none
        ServiceOutcome outcome;
        int message;
    };
    for (const Case& c : {Case{"", ServiceOutcome::Done, pm::kMsgEepromDone},
                          Case{"busy", ServiceOutcome::Refused, pm::kMsgEepromRefused},
                          Case{"silent", ServiceOutcome::NoAnswer, pm::kMsgCommandNoAnswer},
                          Case{"cut=3", ServiceOutcome::Foreign, pm::kMsgCommandForeign},
                          Case{"hangup", ServiceOutcome::HungUp, 0}}) {
        ui.boxes.clear();
        model.setParameterSetState(pm::ParameterSetState::Ram);
        drive([&](sim::SimDrive& d) {
            d.clearFaults();
            if (*c.fault)
                d.addFault(*sim::parseFault(c.fault));
        });
        const ServiceResult r = svc.WritePar();
        EXPECT_EQ(r.outcome, c.outcome) << c.fault;
        EXPECT_EQ(r.message, c.message) << c.fault;
        if (c.message != 0) {
            EXPECT_EQ(texts(), std::vector<std::string>{msg(c.message)}) << c.fault;
        }
        EXPECT_EQ(model.parameterSetState(), c.outcome == ServiceOutcome::Done
                                                 ? pm::ParameterSetState::Eeprom
                                                 : pm::ParameterSetState::Ram)
            << c.fault;
        EXPECT_FALSE(link.state().linkBusy) << c.fault;
    }
}

// Commands refused by the program itself: not a single frame reaches the drive.
TEST_F(ServiceCommandsTest, RefusedCommandsSendNothing) {
    struct Case {
        const char* name;
        std::function<ServiceResult(DriveControls&)> run;
        DriveControls controls;
        double enmod;
        std::string text;
    };
    DriveControls on;
    on.servoOn = true;
    const std::vector<Case> cases = {
        {"RESET while on", [&](DriveControls& c) { return svc.reset(c, ResetKind::Checked); }, on,
         1, msg(pm::kMsgServoIsOn)},
        {"Write while on", [&](DriveControls& c) { return svc.writeButton(c); }, on, 1,
         msg(pm::kMsgServoIsOn)},
        {"On with ENMOD 0", [&](DriveControls& c) { return svc.servoOn(c); }, {}, 0, kEnmodTextEng},
        {"Off with ENMOD 0", [&](DriveControls& c) { return svc.servoOff(c); }, on, 0,
         kEnmodTextEng},
        {"store before the first poll",
         [&](DriveControls&) { return svc.storeInEeprom(); },
         {},
         1,
         msg(pm::kMsgNothingKnown)},
    };
    for (Case c : cases) {
        ui.boxes.clear();
        setValue("ENMOD", c.enmod);
        const int before = framesSeen();
        const ServiceResult r = c.run(c.controls);
        EXPECT_EQ(framesSeen(), before) << c.name;
        EXPECT_NE(r.outcome, ServiceOutcome::Done) << c.name;
        EXPECT_EQ(texts(), std::vector<std::string>{c.text}) << c.name;
        EXPECT_FALSE(link.state().linkBusy) << c.name;
    }
}

// "Save parameters to EEPROM" writes the values on screen and stores them; a reset brings the
// stored values back, not those written since.
TEST_F(ServiceCommandsTest, StoredValuesSurviveAReset) {
    setValue("KPV", 1234);
    setValue("OPMOD", 3);
    setValue("INST", 1);
    model.setValueOrigin(0);
    const ServiceResult stored = svc.storeInEeprom();
    ASSERT_TRUE(stored.ok()) << outcomeText(stored.outcome);
    EXPECT_EQ(model.parameterSetState(), pm::ParameterSetState::Eeprom);
    setDrive("KPV", 99);

    DriveControls controls;
    const ServiceResult r = svc.reset(controls, ResetKind::Forced);
    ASSERT_EQ(r.outcome, ServiceOutcome::Done);
    EXPECT_EQ(r.readAllDueMs, kResetPauseMs);
    EXPECT_TRUE(link.state().linkBusy);  // held for the pause
    const ReadAllResult read = svc.completeReset();
    ASSERT_TRUE(read.ran);
    EXPECT_FALSE(link.state().linkBusy);
    EXPECT_EQ(raw("KPV"), 1234);
    EXPECT_EQ(read.read.at(static_cast<size_t>(*model.find("KPV"))), 1234);
    EXPECT_EQ(read.read.at(static_cast<size_t>(*model.find("OPMOD"))), 3);
}

// "External" writes "INST" 2 in position mode and 3 otherwise, then stops the generator and
// switches the servo off.
TEST_F(ServiceCommandsTest, ExternalSourceFollowsTheOperatingMode) {
    struct Case {
        int mode;
        uint16_t inst;
    };
    for (const Case& c :
         {Case{kModePosition, kSourceExternalPosition}, Case{kModeSpeed, kSourceExternal}}) {
        setDrive("INST", kSourceInternal);
        drive([](sim::SimDrive& d) {
            ASSERT_EQ(d.answer({lk::kCmdServoOn, 0, 0, 0})->bytes[2], 0);
        });
        DriveControls controls;
        controls.operatingMode = c.mode;
        controls.internalSource = true;
        controls.servoOn = true;
        controls.generatorRunning = true;
        const ControlResult r =
            svc.selectCommandSource(controls, ServiceCommands::Source::External);
        EXPECT_EQ(r.outcome, ServiceOutcome::Done) << c.mode;
        EXPECT_EQ(raw("INST"), c.inst) << c.mode;
        EXPECT_FALSE(controls.internalSource);
        EXPECT_FALSE(controls.servoOn);
        EXPECT_FALSE(controls.generatorRunning);
        EXPECT_EQ(r.generatorPanel, false);
        bool servo = true;
        drive([&](sim::SimDrive& d) { servo = d.servoOn(); });
        EXPECT_FALSE(servo) << c.mode;
    }
    // A busy link undoes the click of a mode button and shows the mode that stands.
    DriveControls controls;
    link.state().linkBusy = true;
    const int before = framesSeen();
    const ControlResult undone = svc.selectOperatingMode(controls, kModePosition);
    link.state().linkBusy = false;
    EXPECT_TRUE(undone.undone);
    EXPECT_EQ(controls.operatingMode, kModeSpeed);
    EXPECT_EQ(undone.caption, msg(pm::kMsgModeSpeed));
    EXPECT_EQ(framesSeen(), before);
}

}  // namespace
}  // namespace zrd::session
