#include "session/configuration_setting.h"

#include <gtest/gtest.h>

#include <map>

#include "../sim/shipped_drive.h"
#include "params/message_numbers.h"
#include "sim_fixture.h"

namespace zrd::session {
namespace {

namespace pm = zrd::params;

// "Set" and CALCPARA on the shipped data set against the simulated drive on a pseudo-terminal:
// the drive and the motor of the type tables, the formulas, and what reaches the drive. The
// data set's drive is a ZRD-KT16 (DT 6) with a ZSM80-075 (MT 5).
class ConfigurationSettingTest : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        if (HasFatalFailure())
            return;
        messages.load(sim::test::shippedFile(pm::kMessageFileName), ui);
        (void)tables.load(sim::test::shippedFile(pm::kMotorTypeFileName),
                          sim::test::shippedFile(pm::kDriveTypeFileName), messages, ui, "Eng");
        ASSERT_GT(tables.motorTypes().count(), 2);
        fresh();
    }

    // The database's values in the table and on the drive.
    void fresh() {
        ASSERT_TRUE(sim::test::loadShippedDatabase(model));
        model.setLanguage("Eng");
        drive([&](sim::SimDrive& d) {
            d.loadParameters(model);
            d.recalculation().refuse = false;
            d.clearFaults();
        });
        link.state().connected = 1;
        ui.boxes.clear();
    }

    int raw(const char* name) {
        int v = -1;
        drive([&](sim::SimDrive& d) { v = d.raw(*d.indexOf(name)); });
        return v;
    }
    int framesSeen() {
        int n = 0;
        drive([&](sim::SimDrive& d) { n = d.framesSeen(); });
        return n;
    }
    int recalculations() {
        int n = 0;
        drive([&](sim::SimDrive& d) { n = d.recalculation().runs; });
        return n;
    }
    std::vector<std::string> boxes() const {
        std::vector<std::string> t;
        for (const auto& b : ui.boxes)
            t.push_back(b.text);
        return t;
    }
    std::vector<std::string> shown(int message) const { return {messages.text(message, "Eng")}; }

    pm::MessageTable messages;
    pm::TypeTables tables;
    pm::ParameterModel model;
    ParameterAccess access{link, model, messages};
};

// Each way through "Set": the raw values the drive holds afterwards, whether CALCPARA ran on it
// and whether anything went out at all.
TEST_F(ConfigurationSettingTest, SetLeavesTheDriveWithTheChosenTypesAndTheirLimits) {
    struct Case {
        const char* name;
        const char* drive;
        const char* motor;
        bool connected;
        bool refuse;  // the drive refuses CALCPARA
        std::map<std::string, int> driveRaw;
        int recalculations;
        bool sends;
        int message;  // 0: no box
    };
    const std::vector<Case> cases = {
        // The motor's line and the limits that follow it: the speed limit is the motor's maximum
        // speed, the current limits the smaller of drive and motor.
        {"new motor",
         "ZRD-KT16",
         "ZSM130-300",
         true,
         false,
         {{"MT", 9},
          {"MPI", 3750},
          {"MICONT", 1250},
          {"MVMAX", 3000},
          {"ENCR", 32768},
          {"VLIM", 3000},
          {"MOVSPD", 3600},
          {"ICONT", 1250},
          {"IFL", 3750},
          {"IWL", 3375}},
         1,
         true,
         0},
        // The drive's own ratings come from CALCPARA, the motor's limits stay.
        {"new drive",
         " ZRD-KT64 ",
         "ZSM80-075",
         true,
         false,
         {{"DT", 10},
          {"DICONT", 6400},
          {"DIPEAK", 19200},
          {"DVBUS", 5600},
          {"ICONT", 440},
          {"IFL", 1320}},
         1,
         true,
         0},
        {"a line with fewer values",
         "ZRD-KT16",
         "Custom",
         true,
         false,
         {{"MT", 1}, {"MPI", 1320}, {"VLIM", 4500}},
         1,
         true,
         0},
        {"the types configured already",
         "ZRD-KT16",
         "ZSM80-075",
         true,
         false,
         {{"MT", 5}, {"DT", 6}, {"VLIM", 4500}},
         0,
         false,
         0},
        {"link down",
         "ZRD-KT64",
         "ZSM130-300",
         false,
         false,
         {{"MT", 5}, {"DT", 6}, {"MPI", 1320}, {"VLIM", 4500}},
         0,
         false,
         0},
        // Refused: the motor's line is on the drive, but no default follows.
        {"CALCPARA refused",
         "ZRD-KT16",
         "ZSM130-300",
         true,
         true,
         {{"MT", 9}, {"MPI", 3750}, {"VLIM", 4500}, {"ICONT", 440}},
         0,
         true,
         pm::kMsgCalcParaRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fresh();
        link.state().connected = c.connected ? 1 : 0;
        drive([&](sim::SimDrive& d) { d.recalculation().refuse = c.refuse; });
        const int frames = framesSeen();
        const int runs = recalculations();
        const ConfigurationResult r =
            applyConfiguration(link, access, model, messages, tables, {c.drive, c.motor, true});
        EXPECT_TRUE(r.ran);
        EXPECT_FALSE(link.state().linkBusy);
        for (const auto& [name, value] : c.driveRaw)
            EXPECT_EQ(raw(name.c_str()), value) << name;
        EXPECT_EQ(recalculations() - runs, c.recalculations);
        EXPECT_EQ(framesSeen() > frames, c.sends);
        EXPECT_EQ(boxes(), c.message ? shown(c.message) : std::vector<std::string>{});
        EXPECT_EQ(r.keepOpen, c.refuse);
    }
}

// CALCPARA from the menu: refused by the program while the servo is on, by the drive with
// status 3; silence and a hang-up are never taken for success.
TEST_F(ConfigurationSettingTest, CalcParaTellsEachAnswerApart) {
    struct Case {
        const char* name;
        bool servoOn;
        const char* fault;  // "" none
        bool refuse;
        ServiceOutcome outcome;
        int message;
        bool sends;
    };
    for (const Case& c : {
             Case{"done", false, "", false, ServiceOutcome::Done, 0, true},
             Case{"servo on", true, "", false, ServiceOutcome::Refused, pm::kMsgServoIsOn, false},
             Case{"refused", false, "", true, ServiceOutcome::Refused, pm::kMsgCalcParaRefused,
                  true},
             Case{"silent", false, "silent", false, ServiceOutcome::NoAnswer,
                  pm::kMsgCommandNoAnswer, true},
             // Last: the line is gone afterwards.
             Case{"hang-up", false, "hangup", false, ServiceOutcome::HungUp, 0, true},
         }) {
        SCOPED_TRACE(c.name);
        fresh();
        drive([&](sim::SimDrive& d) {
            d.recalculation().refuse = c.refuse;
            if (*c.fault)
                d.addFault(*sim::parseFault(c.fault));
        });
        const int frames = framesSeen();
        const int runs = recalculations();
        const CalcParaResult r = sendCalcPara(link, model, messages, c.servoOn);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(boxes(), c.message ? shown(c.message) : std::vector<std::string>{});
        EXPECT_EQ(framesSeen() > frames, c.sends);
        EXPECT_EQ(recalculations() - runs, c.outcome == ServiceOutcome::Done ? 1 : 0);
        EXPECT_EQ(r.readAllDueMs, c.outcome == ServiceOutcome::Done ? kCalcParaReadAllDelayMs : -1);
        EXPECT_FALSE(link.state().linkBusy);
    }
}

}  // namespace
}  // namespace zrd::session
