#include "session/sweeps.h"

#include <gtest/gtest.h>

#include "../params/params_test_support.h"
#include "formula/configuration.h"
#include "params/database_loader.h"
#include "session/parameter_access.h"
#include "sim_fixture.h"

namespace zrd::session {
namespace {

using namespace zrd::params;

using test::ParamFields;

ParamFields param(const std::string& key, const std::string& name, int index,
                  const std::string& min, const std::string& max, const std::string& def,
                  const std::string& pType = "R-W") {
    ParamFields p;
    p.key = key;
    p.name = name;
    p.index = std::to_string(index);
    p.minVal = min;
    p.maxVal = max;
    p.defValue = def;
    p.pType = pType;
    return p;
}

std::vector<std::string> sweepDatabase() {
    ParamFields hidden = param("p6", "HID", 6, "0", "100", "7");
    hidden.modeMes = "1";
    ParamFields scaled = param("p7", "SCL", 7, "0", "1000", "10");
    scaled.scale = "0.1";
    return test::database({
        "[Group]",
        "Name_group=Drive,",
        "[Subgroup]",
        "Name_subgroup=Limits,",
        param("p1", "MT", 1, "0", "20", "1").line(),
        param("p2", "DT", 2, "0", "20", "1").line(),
        param("p3", "MPI", 3, "0", "1000", "10").line(),
        param("p4", "IFL", 4, "0", "1000", "5").line(),
        param("p5", "IWL", 5, "0", "1000", "4", "R").line(),
        hidden.line(),
        scaled.line(),
        param("p8", "LIM", 8, "0", "100", "50").line(),
        param("p9", "DTCOMP", 9, "0", "100", "5").line(),
        "Rf,p4=IFL,4,UINT,R-W,0,f:p3*2,1,A,A,f:p3,Current limit,Лимит тока,0,0,1,1,0,0",
        "Rf,p5=IWL,5,UINT,R,0,f:p4*2,1,A,A,f:p4*0.9,Warning limit,Порог,0,0,1,2,0,0",
    });
}

class SweepsTest : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        messages.load(dir.write("mess.dic", test::messageFile()), ui);
        load();
        link.state().connected = 1;
        drive([](sim::SimDrive& d) {
            for (uint8_t i = 1; i <= 8; ++i)
                d.setRaw(i, i);
            d.setRaw(2, 1);  // the drive type as the database defaults it
            d.setRaw(9, 5);
        });
    }

    void load() {
        const auto loaded = loadDatabaseLines(sweepDatabase(), model, messages, ui, false);
        ASSERT_TRUE(loaded.ok()) << loaded.badLine;
        // Rows as the page builder gives them: every parameter with Mode_mes 0 gets one.
        for (int p = 0; p < sweepLength(model); ++p)
            model.parameter(p).indexFrame = getsPageRow(model.parameter(p)) ? 0 : kNoFrame;
        model.setRowValuesToDefaults();
    }

    int at(const char* name) { return *model.find(name); }

    uint16_t raw(uint8_t index) {
        uint16_t value = 0;
        drive([&](sim::SimDrive& d) { value = d.raw(index); });
        return value;
    }

    int framesSeen() {
        int n = 0;
        drive([&](sim::SimDrive& d) { n = d.framesSeen(); });
        return n;
    }

    // The last text shown in the row of a position, when any.
    std::optional<std::string> shown(int position) const {
        for (auto it = ui.rows.rbegin(); it != ui.rows.rend(); ++it)
            if (it->position == position)
                return it->text;
        return std::nullopt;
    }

    // Every row shows what the value table holds.
    void expectRowsAgree() const {
        for (int p = 0; p < sweepLength(model); ++p) {
            if (model.hasPageRow(p)) {
                EXPECT_EQ(shown(p), valueText(model.value(p))) << model.parameter(p).Pname;
            }
        }
    }

    test::TempDir dir;
    MessageTable messages;
    ParameterModel model;
    Sweeps sweeps{link, model, messages};
};

TEST_F(SweepsTest, ReadsEveryPositionIntoTheValueTable) {
    drive([](sim::SimDrive& d) { d.setRaw(7, 123); });
    const ReadAllResult r = sweeps.ReadParamAll();
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.positions, 9);
    EXPECT_TRUE(r.gaveUp.empty());
    EXPECT_EQ(model.value(at("MPI")), 3);
    EXPECT_EQ(model.value(at("IWL")), 5);
    EXPECT_DOUBLE_EQ(model.value(at("SCL")), 12.3);
    EXPECT_EQ(model.valueOrigin(), 1);
    EXPECT_EQ(model.parameterSetState(), ParameterSetState::Ram);
    EXPECT_FALSE(link.state().linkBusy);
    EXPECT_EQ(model.previousValues(), model.values());
    EXPECT_EQ(ui.rows.size(), 8u);  // the hidden parameter has no row
}

TEST_F(SweepsTest, OutOfRangeValueBecomesTheDefault) {
    drive([](sim::SimDrive& d) { d.setRaw(8, 150); });
    (void)sweeps.ReadParamAll();
    EXPECT_EQ(model.value(at("LIM")), 50);
}

TEST_F(SweepsTest, ParameterWithoutARowIsReadButNotStored) {
    model.setValue(at("HID"), -3);
    const ReadAllResult r = sweeps.ReadParamAll();
    EXPECT_EQ(model.value(at("HID")), -3);
    EXPECT_EQ(r.read[static_cast<size_t>(at("HID"))], 6);
}

TEST_F(SweepsTest, ZeroCurrentLimitFollowsThePeakCurrent) {
    drive([](sim::SimDrive& d) {
        d.setRaw(3, 10);
        d.setRaw(4, 0);
    });
    const ReadAllResult r = sweeps.ReadParamAll();
    EXPECT_TRUE(r.currentLimitsFollowedMpi);
    EXPECT_EQ(model.value(at("IFL")), 10);
    EXPECT_EQ(model.value(at("IWL")), 9);
}

TEST_F(SweepsTest, MotorTypeChangeReevaluatesTheFormulas) {
    drive([](sim::SimDrive& d) {
        d.setRaw(1, 2);  // MT differs from its default 1
        d.setRaw(3, 40);
    });
    const ReadAllResult r = sweeps.ReadParamAll();
    EXPECT_TRUE(r.motorChanged);
    EXPECT_FALSE(r.driveChanged);
    EXPECT_GE(r.formulaPasses, 2);
    const TPar& ifl = model.parameter(at("IFL"));
    EXPECT_EQ(ifl.MaxVal, 80);
    EXPECT_EQ(ifl.DefValue, 40);
    EXPECT_EQ(ifl.ind_of_change, 6);
    EXPECT_EQ(model.value(at("IFL")), 40);
    // The second pass sees the first pass's default of IFL.
    const TPar& iwl = model.parameter(at("IWL"));
    EXPECT_EQ(iwl.MaxVal, 80);
    EXPECT_EQ(iwl.DefValue, 36);
    // The defaults the formulas put into the value table are on the pages, and marked: what
    // write-all sends is what the user sees.
    expectRowsAgree();
    EXPECT_EQ(shown(at("IFL")), "40");
    EXPECT_EQ(shown(at("IWL")), "36");
    EXPECT_TRUE(model.isKnown(at("IFL")));
    const std::vector<formula::ChangeMark> marks = formula::changeMarks(model);
    ASSERT_EQ(marks.size(), 2u);
    EXPECT_EQ(marks[1].position, at("IWL"));
    EXPECT_EQ(marks[1].mark, 6);
}

// Only the motor type and the drive type themselves count as a type change: a parameter whose
// mnemonic merely begins with "DT" does not.
TEST_F(SweepsTest, OnlyTheTypeParametersThemselvesRunTheFormulas) {
    struct Case {
        uint8_t index;
        uint16_t raw;
        bool formulas;
    };
    for (const Case& c : {Case{1, 2, true}, Case{2, 3, true}, Case{9, 6, false}}) {
        load();
        drive([&](sim::SimDrive& d) {
            d.setRaw(1, 1);
            d.setRaw(2, 1);
            d.setRaw(9, 5);
            d.setRaw(c.index, c.raw);
        });
        const ReadAllResult r = sweeps.ReadParamAll();
        EXPECT_EQ(r.formulaPasses > 0, c.formulas) << static_cast<int>(c.index);
    }
}

// A motor chosen before the read (its values written to the drive and so already in the value
// table) still moves the limits to the motor in the drive.
TEST_F(SweepsTest, MotorChosenBeforeReadAllMovesTheLimits) {
    drive([](sim::SimDrive& d) {
        d.setRaw(1, 2);
        d.setRaw(3, 40);
    });
    ASSERT_TRUE(sweeps.ReadParamAll().motorChanged);
    ASSERT_EQ(model.parameter(at("IFL")).MaxVal, 80);

    // The motor choice: each value of the type line stored and written, as the window does.
    ParameterAccess access(link, model, messages);
    for (const auto& [name, value] : {std::pair{"MT", 3.0}, std::pair{"MPI", 24.0}}) {
        model.setCurrentParameter(at(name));
        model.setValue(at(name), value);
        access.SetParam();
        ASSERT_EQ(access.lastReply(), link::kReplyAccepted) << name;
    }
    const ReadAllResult r = sweeps.ReadParamAll();
    EXPECT_TRUE(r.motorChanged);
    EXPECT_EQ(model.parameter(at("IFL")).MaxVal, 48);
    EXPECT_EQ(model.parameter(at("IFL")).DefValue, 24);
    EXPECT_EQ(model.parameter(at("IWL")).MaxVal, 48);
    // Read again with nothing changed: the limits stand for this motor already.
    EXPECT_FALSE(sweeps.ReadParamAll().motorChanged);
}

TEST_F(SweepsTest, UnchangedTypesLeaveTheFormulasAlone) {
    const ReadAllResult r = sweeps.ReadParamAll();
    EXPECT_EQ(r.formulaPasses, 0);
    EXPECT_EQ(model.parameter(at("IFL")).ind_of_change, 0);
}

TEST_F(SweepsTest, SilentParameterIsGivenUpOnceAndTheSweepGoesOn) {
    // Few attempts: each silent one waits out the whole reply bound.
    constexpr int kAttempts = 3;
    Sweeps few(link, model, messages, kAttempts);
    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 0, kAttempts + 1}); });
    const ReadAllResult r = few.ReadParamAll();
    EXPECT_EQ(r.gaveUp, std::vector<int>{0});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "E26MT");
    EXPECT_EQ(ui.boxes[0].caption, "Attention");
    EXPECT_EQ(model.value(at("MPI")), 3);
    EXPECT_FALSE(link.state().linkBusy);
}

// The drive goes silent from IFL on: after three parameters without any answer the sweep stops
// with one message and keeps what it read; the formulas wait for a whole read.
TEST_F(SweepsTest, SilentDriveStopsReadAllWithOneMessage) {
    Sweeps quick(link, model, messages, 1);
    drive([](sim::SimDrive& d) {
        d.setRaw(1, 2);  // another motor: the formulas would run after a whole read
        for (uint8_t i = 4; i <= 9; ++i)
            d.setSilent(i);
    });
    const ReadAllResult r = quick.ReadParamAll();
    EXPECT_TRUE(r.linkLost);
    EXPECT_EQ(r.stoppedAt, at("IFL"));
    EXPECT_TRUE(r.gaveUp.empty());
    EXPECT_EQ(r.attempts, 3 + 3 * 2);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "E92IFL");
    EXPECT_EQ(model.value(at("MPI")), 3);
    EXPECT_TRUE(model.isKnown(at("MPI")));
    EXPECT_EQ(model.value(at("LIM")), 50);
    EXPECT_FALSE(model.isKnown(at("LIM")));
    EXPECT_EQ(r.formulaPasses, 0);
    EXPECT_FALSE(link.state().linkBusy);
}

// A port that hangs up ends the sweep at once; the link has told the user.
TEST_F(SweepsTest, HungUpPortStopsReadAllAtOnce) {
    const ReadAllResult r = sweeps.ReadParamAll([&](int done, int) {
        if (done == 2)
            link.state().hungUp = true;
    });
    EXPECT_TRUE(r.linkLost);
    EXPECT_EQ(r.stoppedAt, 2);
    EXPECT_EQ(r.attempts, 2);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(SweepsTest, NothingRunsWithoutADriveOrWhileTheLinkIsBusy) {
    link.state().connected = 0;
    EXPECT_FALSE(sweeps.ReadParamAll().ran);
    EXPECT_FALSE(sweeps.writeAll({}).ran);
    link.state().connected = 1;
    link.state().linkBusy = true;
    EXPECT_FALSE(sweeps.ReadParamAll().ran);
}

TEST_F(SweepsTest, WriteAllSkipsReadOnlyParametersAndLogsEachWrite) {
    for (int p = 0; p < sweepLength(model); ++p)
        model.setKnown(p, true);
    model.setValue(at("LIM"), 77);
    model.setValue(at("SCL"), 2.25);  // 22.5 raw: halves to even
    drive([](sim::SimDrive& d) {
        // The first write is refused.
        d.addFault({sim::FaultKind::Refuse, 0, 0, 1});
    });
    std::vector<std::string> log;
    const WriteAllResult r =
        sweeps.writeAll([&](int, bool, const std::string& a) { log.push_back(a); });
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.written, 8);
    EXPECT_EQ(r.refused, 1);
    EXPECT_EQ(log.front(), "MTE64");
    EXPECT_EQ(log.back(), "DTCOMPE63");
    for (const auto& entry : log)
        EXPECT_EQ(entry.find("IWL"), std::string::npos);
    uint16_t lim = 0, scl = 0;
    drive([&](sim::SimDrive& d) {
        lim = d.raw(8);
        scl = d.raw(7);
    });
    EXPECT_EQ(lim, 77);
    EXPECT_EQ(scl, 22);
    EXPECT_EQ(model.valueOrigin(), 1);
    EXPECT_FALSE(link.state().linkBusy);
}

// Only values that came from somewhere are written: not the one given up, not the one without a
// row (read but not kept), and one message names them.
TEST_F(SweepsTest, WriteAllSendsOnlyKnownValues) {
    Sweeps quick(link, model, messages, 1);
    // Both attempts at the first position go unanswered.
    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 4, 2}); });
    const ReadAllResult read = quick.ReadParamAll();
    ASSERT_EQ(read.gaveUp, std::vector<int>{at("MT")});
    drive([](sim::SimDrive& d) {
        d.setRaw(1, 11);
        d.setRaw(6, 66);
    });
    ui.boxes.clear();
    const WriteAllResult r = quick.writeAll({});
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.skipped, (std::vector<int>{at("MT"), at("HID")}));
    EXPECT_EQ(r.written, 6);
    EXPECT_EQ(raw(1), 11);
    EXPECT_EQ(raw(6), 66);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "E90MT, HID");
}

// After a load that stopped nothing is known: the zeros it left are never sent.
TEST_F(SweepsTest, WriteAllWithNothingKnownWritesNothing) {
    ASSERT_TRUE(sweeps.ReadParamAll().ran);
    std::vector<std::string> broken = sweepDatabase();
    broken.insert(broken.begin() + 8, "p99=BROKEN,x");
    ASSERT_EQ(loadDatabaseLines(broken, model, messages, ui, false).status, LoadStatus::Stopped);
    ui.boxes.clear();
    const int frames = framesSeen();
    const WriteAllResult r = sweeps.writeAll({});
    EXPECT_FALSE(r.ran);
    EXPECT_TRUE(r.nothingKnown);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "E53");
    EXPECT_EQ(framesSeen(), frames);
}

// A write without an answer is logged as such, not as a refusal; three in a row end the sweep.
TEST_F(SweepsTest, UnansweredWritesAreNotRefusalsAndThreeInARowStop) {
    ASSERT_TRUE(sweeps.ReadParamAll().ran);
    drive([](sim::SimDrive& d) {
        d.addFault({sim::FaultKind::Refuse, 0, 4, 1});
        d.addFault({sim::FaultKind::Silent, 0, 4, 1});
    });
    std::vector<std::string> log;
    WriteAllResult r = sweeps.writeAll([&](int, bool, const std::string& a) { log.push_back(a); });
    EXPECT_EQ(r.refused, 1);
    EXPECT_EQ(r.unanswered, 1);
    EXPECT_FALSE(r.linkLost);
    ASSERT_GE(log.size(), 2u);
    EXPECT_EQ(log[0], "MTE64");
    EXPECT_EQ(log[1], "DTE75");

    drive([](sim::SimDrive& d) {
        for (uint8_t i = 1; i <= 3; ++i)
            d.setSilent(i);
    });
    ui.boxes.clear();
    r = sweeps.writeAll({});
    EXPECT_TRUE(r.linkLost);
    EXPECT_EQ(r.written, 3);
    EXPECT_EQ(r.unanswered, 3);
    EXPECT_EQ(r.stoppedAt, at("IFL"));
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "E91IFL");
    EXPECT_FALSE(link.state().linkBusy);
}

TEST(SerialNumber, JoinsTheFirstTwoValues) {
    ParameterModel model;
    model.setValue(0, 1.9);
    model.setValue(1, 2.2);
    EXPECT_EQ(serialNumber(model), 65538);
}

}  // namespace
}  // namespace zrd::session
