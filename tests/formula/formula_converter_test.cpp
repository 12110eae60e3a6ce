#include <gtest/gtest.h>

#include "formula/formula.h"
#include "formula_test_support.h"

namespace zrd::formula {
namespace {

struct PostfixCase {
    const char* text;
    const char* postfix;
};

class ConvertToPostfix : public testing::TestWithParam<PostfixCase> {};

TEST_P(ConvertToPostfix, GivesTheItems) {
    EXPECT_EQ(joined(convert(GetParam().text, noParameters())), GetParam().postfix);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ConvertToPostfix,
    testing::Values(
        PostfixCase{"if (1)>(2) then (3) else if (4)<>(5)then(6)else(7)",
                    "1 2 > 3 j 4 5 q 6 j 7 o f o f"},
        // Precedence, and left grouping of every two-operand operator.
        PostfixCase{"2 + 3 * 4", "2 3 4 * +"}, PostfixCase{"(2 + 3) * 4", "2 3 + 4 *"},
        PostfixCase{"2 ^ 3 ^ 2", "2 3 ^ 2 ^"}, PostfixCase{"10 - 4 - 3", "10 4 - 3 -"},
        PostfixCase{"8 / 4 * 2", "8 4 / 2 *"}, PostfixCase{"min(1|2) max 3", "1 2 m 3 x"},
        PostfixCase{"n 2 ^ 3", "2 n 3 ^"}, PostfixCase{"5 > 2 and 3 > 1", "5 2 3 w > 1 >"},
        PostfixCase{"(5 > 2) or (3 > 1)", "5 2 > 3 1 > y"},
        // "|" closes the first argument; a blank separates arguments as well.
        PostfixCase{"min(1 + 2 * 4|3)", "1 2 4 * + 3 m"}, PostfixCase{"min(3 5)", "3 5 m"},
        // A leading minus subtracts from zero; a glued one stays a whole operator token.
        PostfixCase{"- 5 + 3", "0 5 - 3 +"}, PostfixCase{"-5 + 3", "0 -5 3 +"},
        PostfixCase{"2 * -3", "2 * -3"},
        // "." joins the numbers around it into one item.
        PostfixCase{"2 . 5 + 1", "2.5 1 +"}, PostfixCase{"2 * .5", "2.5 *"},
        // Dropped: upper-case names, names with i or z, "$" numbers, "," and ";".
        PostfixCase{"P12 * 2", "2 *"}, PostfixCase{"Xyz i1 z $FF , ; 7", "7"},
        // Longer names are operators by their first letter.
        PostfixCase{"ch(0)", "0 ch"},
        // An else that meets an open else closes the inner if first.
        PostfixCase{"f 1 j f 2 j 3 o 4 o 5", "1 2 3 j 4 o f j 5 o f"},
        // More "(" than ")": the left-over "(" is flushed; a surplus ")" is ignored.
        PostfixCase{"(1 + 2", "1 2 + ("}, PostfixCase{"1 + 2)) * 3", "1 2 + 3 *"},
        PostfixCase{"f:2 * 3", "2 3 *"}, PostfixCase{"", ""}),
    caseName<PostfixCase>);

TEST(ParseString, AppendsToTheGivenList) {
    PostfixList list{"9"};
    ParseString("- 1", list, noParameters());
    // The list was not empty, so the leading minus gets no "0".
    EXPECT_EQ(joined(list), "9 1 -");
}

TEST(ParseString, RemovesTheFirstTwoCharactersWhenFColonIsAnywhere) {
    EXPECT_EQ(joined(convert("f:p5 * 2", noParameters())), "0 2 *");
    EXPECT_EQ(joined(convert("12 + 3 f: 4", noParameters())), "3 4 f +");
    EXPECT_EQ(joined(convert("12 + 3", noParameters())), "12 3 +");
}

TEST(ParseString, ResolvesReferencesToRawValues) {
    ParameterList params;
    params.add("p1", 5);
    params.add("p3", -2);
    params.add("p12", 250, 0.1);  // display 250 at 0.1 per unit: raw 2500
    params.add("p123", 7);
    params.add("p", 4);
    params.add("p1", 99);  // a later record with the same key is never found
    params.add("P2", 11);  // keys match case included
    struct Case {
        const char* text;
        const char* postfix;
    };
    for (const Case& c :
         {Case{"p1 * 2", "5 2 *"}, Case{"p3 * 2", "0 2 - 2 *"}, Case{"p12", "2500"},
          Case{"p1234", "7"}, Case{"p12x", "2500"}, Case{"pi", "4"}, Case{"p7 * 2", "0 2 *"},
          Case{"p2", "0"}, Case{"max(p1|p3)", "5 0 2 - x"}})
        EXPECT_EQ(joined(convert(c.text, params)), c.postfix) << c.text;
}

TEST(ParseString, RoundsReferenceValuesTo15Digits) {
    ParameterList params;
    params.add("p1", 1, 3);
    params.add("p2", -2, 3);
    EXPECT_EQ(joined(convert("p1 p2", params)), "0.333333333333333 0 0.666666666666667 -");
}

TEST(ParseStringAsk, AsksForEachReference) {
    ScriptedAnswers ui({"5", std::nullopt, "-2.5", " 7"});
    PostfixList list;
    ParseStringAsk("p1 + p22 + p3 + p4567", list, ui);
    // Non-negative answers stay as typed, but for the blank before the 7 that would make the
    // item no number; a cancel is "0"; negative ones subtract.
    EXPECT_EQ(joined(list), "5 0 + 0 2.5 - + 7 +");
    ASSERT_EQ(ui.questions.size(), 4u);
    EXPECT_EQ(ui.questions[0].title, "Enter the value of parameter p1");
    EXPECT_EQ(ui.questions[1].title, "Enter the value of parameter p22");
    EXPECT_EQ(ui.questions[3].title, "Enter the value of parameter p456");
    for (const auto& q : ui.questions) {
        EXPECT_EQ(q.prompt, "Input the value");
        EXPECT_EQ(q.preset, "0");
    }
}

TEST(ParseStringAsk, KeepsFColon) {
    ScriptedAnswers ui({});
    PostfixList list;
    ParseStringAsk("f:3", list, ui);
    EXPECT_EQ(joined(list), "3 f");
}

TEST(ParseStringAsk, AnswerThatIsNotANumberIsAConversionError) {
    ScriptedAnswers ui({"2", "abc"});
    PostfixList list;
    try {
        ParseStringAsk("p1 * p2 + 1", list, ui);
        FAIL();
    } catch (const FormulaError& e) {
        EXPECT_EQ(e.kind(), FormulaErrorKind::Conversion);
        EXPECT_NE(std::string(e.what()).find("abc"), std::string::npos);
    }
    // What was appended before the failure stays.
    EXPECT_EQ(joined(list), "2");
}

TEST(ParseString, FailuresStopTheConversion) {
    struct Case {
        const char* text;
        FormulaErrorKind kind;
        const char* partial;  // the list when it stopped
    };
    for (const Case& c : {Case{". 5", FormulaErrorKind::ListIndex, ""},
                          Case{"1 + 'abc", FormulaErrorKind::Parser, "1"},
                          Case{"1 f 2 o 3 o 4", FormulaErrorKind::ListIndex, "1 2 3 o f"}}) {
        PostfixList list;
        try {
            ParseString(c.text, list, noParameters());
            ADD_FAILURE() << c.text;
        } catch (const FormulaError& e) {
            EXPECT_EQ(e.kind(), c.kind) << c.text;
        }
        EXPECT_EQ(joined(list), c.partial) << c.text;
    }
}

TEST(OperatorPriority, FollowsTheOperatorTable) {
    struct Case {
        const char* codes;
        int priority;
    };
    for (const Case& c :
         {Case{"n", 9}, Case{"abcdeghklstumx", 8}, Case{"^!", 7}, Case{"*/", 6}, Case{"+-", 5},
          Case{"wy", 4}, Case{"<>=qrvjo", 3}, Case{"(", 2}, Case{"f", 1}, Case{"ipz)|.0A ", 0}})
        for (const char* p = c.codes; *p; ++p)
            EXPECT_EQ(OperatorPriority(*p), c.priority) << *p;
}

}  // namespace
}  // namespace zrd::formula
