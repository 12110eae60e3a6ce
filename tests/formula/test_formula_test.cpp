#include <gtest/gtest.h>
#include <algorithm>

#include "core/number_text.h"
#include "formula/formula.h"
#include "formula_test_support.h"

namespace zrd::formula {
namespace {

struct PrepareCase {
    const char* text;
    const char* info;
    const char* converted;
};

class Prepare : public testing::TestWithParam<PrepareCase> {};

TEST_P(Prepare, RewritesTheText) {
    const PreparedFormula p = PrepareTestFormula(GetParam().text);
    EXPECT_EQ(p.info, GetParam().info);
    EXPECT_EQ(p.converted, GetParam().converted);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Prepare,
    testing::Values(PrepareCase{"-5 + 3", "(0-5)+3", "(0 - 5) + 3"},
                    PrepareCase{"2 * -3", "2 *(0-3)", "2 *(0 - 3)"},
                    PrepareCase{"if p1>0 then -5 else 3", "if p1>0 then(0-5 )else 3",
                                "if p1>0 then(0 - 5 )else 3"},
                    PrepareCase{"SIN(-P1)", "sin((0-p1))", "sin((0 - p1))"},
                    PrepareCase{"10 - 4 - 3", "10-4-3", "10 - 4 - 3"},
                    // The six blank removals, in their order.
                    PrepareCase{"a  +  b", "a+b", "a + b"}, PrepareCase{"1 -  2", "1- 2", "1 -  2"},
                    // A minus after the last letter of if/then/else starts a negative operand, and
                    // the first letter of then/else ends it.
                    PrepareCase{"if -1 then 2", "if(0-1 )then 2", "if(0 - 1 )then 2"},
                    PrepareCase{"2^-1|3", "2^(0-1)|3", "2^(0 - 1)|3"}, PrepareCase{"", "", ""}),
    caseName<PrepareCase>);

TEST(PrepareTestFormula, TheDialogRoadGivesTheExpectedResults) {
    struct Case {
        const char* text;
        const char* result;
    };
    for (const Case& c :
         {Case{"-5 + 3", "-2"}, Case{"2 * -3", "-6"}, Case{"- 5 + 3", "-2"}, Case{"2 ^ -1", "0.5"},
          Case{"if (1)>(2) then (3) else if (4)<>(5)then(6)else(7)", "6"}}) {
        ScriptedAnswers ui({});
        PostfixList list;
        ParseStringAsk(PrepareTestFormula(c.text).converted, list, ui);
        EXPECT_EQ(formatGeneral(EvaluatePostfix(list)), c.result) << c.text;
    }
}

// Texts the dialog's rewriting once got wrong: a minus before "(" negated only the first number
// inside, the sign of an exponent was taken for a minus, and a double minus left a parenthesis
// open. Answers with a sign, a blank or no leading digit ended in a list error.
TEST(PrepareTestFormula, SignsAndExponentsMeanWhatTheyMeanInArithmetic) {
    struct Case {
        const char* text;
        const char* answer;  // to the question for p1; nullptr: none asked
        const char* result;
    };
    for (const Case& c :
         {Case{"-(1+2)", nullptr, "-3"}, Case{"2*-(3-1)", nullptr, "-4"},
          Case{"-(2*(1+1))+1", nullptr, "-3"}, Case{"1e-5", nullptr, "1E-5"},
          Case{"1E+2 - 1e-1*2", nullptr, "99.8"}, Case{"-1e-5", nullptr, "-1E-5"},
          Case{"--5", nullptr, "5"}, Case{"2 - --5", nullptr, "-3"}, Case{"-exp(0)", nullptr, "-1"},
          Case{"p1 * 2", "+5", "10"}, Case{"p1 * 2", " 5", "10"}, Case{"p1 * 2", ".5", "1"},
          Case{"p1 - 1", "-0", "-1"}}) {
        ScriptedAnswers ui(c.answer ? std::deque<std::optional<std::string>>{c.answer}
                                    : std::deque<std::optional<std::string>>{});
        PostfixList list;
        ParseStringAsk(PrepareTestFormula(c.text).converted, list, ui);
        EXPECT_EQ(formatGeneral(EvaluatePostfix(list)), c.result) << c.text;
    }
}

TEST(PrepareTestFormula, NegativeAnswerEntersAsSubtraction) {
    ScriptedAnswers ui({"-3"});
    PostfixList list;
    ParseStringAsk(PrepareTestFormula("if p1>0 then -5 else 3").converted, list, ui);
    EXPECT_EQ(joined(list), "0 3 - 0 > 0 5 - j 3 o f");
    EXPECT_EQ(EvaluatePostfix(list), 3);
}

// The test dialog's table lists exactly the references the converter resolves, each once, in
// the order it meets them, also where the text ends in an error.
TEST(TestFormulaValues, RowsAreTheReferencesTheConverterResolves) {
    for (const char* text : {"p1 + p22 * p1", "P12 - p4567 + max(p3|p12)", "pi * 2 + exp(p7)",
                             "'p9' + p2", "p1 + 'p2", "if p5 > 0 then -p6 else p5"}) {
        ScriptedAnswers ui({});
        PostfixList list;
        const PreparedFormula prepared = PrepareTestFormula(text);
        try {
            ParseStringAsk(prepared.converted, list, ui);
        } catch (const FormulaError&) {
            // The names asked before the failure are the rows.
        }
        std::vector<std::string> asked;
        for (const auto& q : ui.questions) {
            const std::string name = q.title.substr(kAskTitlePrefix.size());
            if (std::find(asked.begin(), asked.end(), name) == asked.end())
                asked.push_back(name);
        }
        TestFormulaValues values;
        values.setFormula(text);
        EXPECT_EQ(values.names(), asked) << text;
    }
}

}  // namespace
}  // namespace zrd::formula
