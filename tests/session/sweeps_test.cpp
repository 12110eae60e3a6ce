#include "session/sweeps.h"

#include <gtest/gtest.h>

#include "../params/params_test_support.h"
#include "params/database_loader.h"
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
        "Rf,p4=IFL,4,UINT,R-W,0,f:p3*2,1,A,A,f:p3,Current limit,Лимит тока,0,0,1,1,0,0",
        "Rf,p5=IWL,5,UINT,R,0,f:p4*2,1,A,A,f:p4*0.9,Warning limit,Порог,0,0,1,2,0,0",
    });
}

class SweepsTest : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        messages.load(dir.write("mess.dic", test::messageFile()), ui);
        const auto loaded = loadDatabaseLines(sweepDatabase(), model, messages, ui, false);
        ASSERT_TRUE(loaded.ok()) << loaded.badLine;
        // Rows as the page builder gives them: every parameter with Mode_mes 0 gets one.
        for (int p = 0; p < sweepLength(model); ++p)
            model.parameter(p).indexFrame = getsPageRow(model.parameter(p)) ? 0 : kNoFrame;
        model.setRowValuesToDefaults();
        link.state().connected = 1;
        drive([](sim::SimDrive& d) {
            for (uint8_t i = 1; i <= 8; ++i)
                d.setRaw(i, i);
            d.setRaw(2, 1);  // the drive type as the database defaults it
        });
    }

    int at(const char* name) { return *model.find(name); }

    test::TempDir dir;
    MessageTable messages;
    ParameterModel model;
    Sweeps sweeps{link, model, messages};
};

TEST_F(SweepsTest, ReadsEveryPositionIntoTheValueTable) {
    drive([](sim::SimDrive& d) { d.setRaw(7, 123); });
    const ReadAllResult r = sweeps.ReadParamAll();
    ASSERT_TRUE(r.ran);
    EXPECT_EQ(r.positions, 8);
    EXPECT_TRUE(r.gaveUp.empty());
    EXPECT_EQ(model.value(at("MPI")), 3);
    EXPECT_EQ(model.value(at("IWL")), 5);
    EXPECT_DOUBLE_EQ(model.value(at("SCL")), 12.3);
    EXPECT_EQ(model.valueOrigin(), 1);
    EXPECT_EQ(model.parameterSetState(), ParameterSetState::Ram);
    EXPECT_FALSE(link.state().linkBusy);
    EXPECT_EQ(model.previousValues(), model.values());
    EXPECT_EQ(ui.rows.size(), 7u);  // the hidden parameter has no row
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
}

TEST_F(SweepsTest, UnchangedTypesLeaveTheFormulasAlone) {
    const ReadAllResult r = sweeps.ReadParamAll();
    EXPECT_EQ(r.formulaPasses, 0);
    EXPECT_EQ(model.parameter(at("IFL")).ind_of_change, 0);
}

TEST_F(SweepsTest, SilentParameterIsGivenUpOnceAndTheSweepGoesOn) {
    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 0, kReadAttempts + 1}); });
    const ReadAllResult r = sweeps.ReadParamAll();
    EXPECT_EQ(r.gaveUp, std::vector<int>{0});
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "E26MT");
    EXPECT_EQ(ui.boxes[0].caption, "Attention");
    EXPECT_EQ(model.value(at("MPI")), 3);
    EXPECT_FALSE(link.state().linkBusy);
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
    EXPECT_EQ(r.written, 7);
    EXPECT_EQ(r.refused, 1);
    EXPECT_EQ(log.front(), "MTE64");
    EXPECT_EQ(log.back(), "LIME63");
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

TEST(SerialNumber, JoinsTheFirstTwoValues) {
    ParameterModel model;
    model.setValue(0, 1.9);
    model.setValue(1, 2.2);
    EXPECT_EQ(serialNumber(model), 65538);
}

}  // namespace
}  // namespace zrd::session
