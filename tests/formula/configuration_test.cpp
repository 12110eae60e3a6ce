#include "formula/configuration.h"

#include <gtest/gtest.h>

#include "../params/params_test_support.h"
#include "formula/formula_error.h"
#include "params/database_loader.h"
#include "recording_ui.h"

namespace zrd::formula {
namespace {

// P1 feeds the formulas of P2 (UINT, 0..1000, scale 0.5) and P3 (INT).
std::vector<std::string> database(const std::string& maxFormula, const std::string& defFormula) {
    test::ParamFields in = test::fields("p1", "IN", 1, "UINT", "R-W", 0, 60000, "1", 100);
    test::ParamFields out = test::fields("p2", "OUT", 2, "UINT", "R-W", 0, 1000, "0.5", 10);
    test::ParamFields other = test::fields("p3", "OTHER", 3, "INT", "R-W", -10, 10, "1", 0);
    return test::database({
        in.line(),
        out.line(),
        other.line(),
        "Rf,p2=OUT,2,UINT,R-W,0," + maxFormula + ",0.5,,," + defFormula + ",a,b,0,0,1,1,0,0",
    });
}

class ConfigurationTest : public ::testing::Test {
protected:
    void load(const std::string& maxFormula, const std::string& defFormula) {
        ASSERT_TRUE(
            params::loadDatabaseLines(database(maxFormula, defFormula), model, *messages, ui, false)
                .ok());
        model.parameter(1).indexFrame = 0;
    }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    std::unique_ptr<params::MessageTable> messages = test::loadMessages(dir, ui);
    std::unique_ptr<params::ParameterModel> owner = std::make_unique<params::ParameterModel>();
    params::ParameterModel& model = *owner;
};

// A limit or default must be a 16-bit raw value of its parameter: anything else would wrap on
// the wire. The formulas stop there, and the value table keeps what it had.
TEST_F(ConfigurationTest, ResultsBeyondTheRawRangeStopTheFormulas) {
    struct Case {
        const char* max;
        const char* def;
        bool fits;
    };
    for (const Case& c :
         {Case{"f:p1*2", "f:p1", true}, Case{"f:p1*1000", "f:p1", false},
          Case{"f:p1*2", "f:0-p1", false}, Case{"f:p1*2", "f:p1*p1*p1*p1*p1*p1", false},
          Case{"f:p1*2", "f:p1*655.35", true}}) {
        load(c.max, c.def);
        model.setValue(1, 7);
        ui.rows.clear();
        if (!c.fits) {
            EXPECT_THROW(reevaluateFormulas(model, kReadAllFormulaPasses, ui), FormulaError)
                << c.max << " " << c.def;
            EXPECT_EQ(model.value(1), 7) << c.def;
            EXPECT_TRUE(ui.rows.empty()) << c.def;
            continue;
        }
        (void)reevaluateFormulas(model, kReadAllFormulaPasses, ui);
        EXPECT_EQ(model.parameter(1).MaxVal, 200);
        // The new value is shown at once and counts as known.
        ASSERT_EQ(ui.rows.size(), 1u);
        EXPECT_EQ(ui.rows[0].text, params::valueText(model.value(1)));
        EXPECT_TRUE(model.isKnown(1));
    }
}

// Calculated entries freed by a later load keep their old links; the marks stop before them.
TEST_F(ConfigurationTest, MarksEndAtTheLastCalculatedEntry) {
    std::vector<std::string> two = database("f:p1*2", "f:p1");
    two.push_back("Rf,p3=OTHER,3,INT,R-W,-10,f:1,1,,,f:0,a,b,0,0,1,1,0,0");
    ASSERT_TRUE(params::loadDatabaseLines(two, model, *messages, ui, false).ok());
    load("f:p1*2", "f:p1");
    (void)reevaluateFormulas(model, kReadAllFormulaPasses, ui);
    const std::vector<ChangeMark> marks = changeMarks(model);
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].position, 1);
    EXPECT_EQ(marks[0].mark, kMarkMax + kMarkDefault);
}

}  // namespace
}  // namespace zrd::formula
