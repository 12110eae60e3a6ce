#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/number_text.h"
#include "formula/formula.h"
#include "formula_test_support.h"

namespace zrd::formula {
namespace {

// p1 = 5, p2 = 7, p3 = -2; no record has the key p7.
const ParameterList& tableParameters() {
    static const ParameterList kParams = [] {
        ParameterList p;
        p.add("p1", 5);
        p.add("p2", 7);
        p.add("p3", -2);
        p.add("p5", 1.5);
        return p;
    }();
    return kParams;
}

std::string evaluate(std::string_view text) {
    return formatGeneral(EvaluatePostfix(convert(text, tableParameters())));
}

FormulaErrorKind failureOf(std::string_view text) {
    try {
        (void)EvaluatePostfix(convert(text, tableParameters()));
    } catch (const FormulaError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "no failure for " << text;
    return FormulaErrorKind::Parser;
}

struct ResultCase {
    const char* text;
    const char* result;
};

class Evaluate : public testing::TestWithParam<ResultCase> {};

TEST_P(Evaluate, GivesTheResult) {
    EXPECT_EQ(evaluate(GetParam().text), GetParam().result);
}

INSTANTIATE_TEST_SUITE_P(
    KnownResults, Evaluate,
    testing::Values(ResultCase{"2 + 3 * 4", "14"}, ResultCase{"(2 + 3) * 4", "20"},
                    ResultCase{"2 ^ 3 ^ 2", "64"}, ResultCase{"10 - 4 - 3", "3"},
                    ResultCase{"- 5 + 3", "-2"}, ResultCase{"min(1 + 2 * 4|3)", "3"},
                    ResultCase{"max(p1|p2)", "7"}, ResultCase{"if 1 > 2 then 3", "0"},
                    ResultCase{"if 2 > 1 then 3", "3"}, ResultCase{"if 0 then 4 else 5", "5"},
                    ResultCase{"if 2.5 then 4 else 5", "4"},
                    ResultCase{"(5 > 2) and (3 > 1)", "-1"}, ResultCase{"5 > 2 and 3 > 1", "0"},
                    ResultCase{"3 <= 3", "-1"}, ResultCase{"3 >= 3", "-1"},
                    ResultCase{"2 >= 3", "0"}, ResultCase{"SIN(0)", "0"},
                    ResultCase{"cosh(0)", "1"}, ResultCase{"1 / 3", "0.333333333333333"},
                    ResultCase{"p3 * 2", "-4"}, ResultCase{"p7 * 2", "0"}, ResultCase{"1 2", "1"},
                    ResultCase{"f:p5 * 2", "3"},
                    ResultCase{"if (1)>(2) then (3) else if (4)<>(5)then(6)else(7)", "6"}),
    caseName<ResultCase>);

INSTANTIATE_TEST_SUITE_P(
    Operators, Evaluate,
    testing::Values(
        ResultCase{"(1 < 2) * 5", "-5"}, ResultCase{"1 = 1", "-1"}, ResultCase{"1 <> 1", "0"},
        ResultCase{"2 < 1", "0"}, ResultCase{"(0) or (3)", "-1"}, ResultCase{"(0) and (3)", "0"},
        ResultCase{"min(4|4)", "4"}, ResultCase{"max(2 9)", "9"}, ResultCase{"n(5)", "-5"},
        ResultCase{"abs(0 - 3)", "3"}, ResultCase{"g(1000)", "3"}, ResultCase{"ln(1)", "0"},
        ResultCase{"log(exp(2))", "2"}, ResultCase{"arctg(1) * 4", "3.14159265358979"},
        ResultCase{"arcsin(1) * 2", "3.1415926535898"}, ResultCase{"arccos(1)", "0"},
        ResultCase{"cos(0) + tg(0)", "1"},
        // arcctg at 0 is pi/2; elsewhere the arctangent of 1/x.
        ResultCase{"arcctg(0)", "1.5707963267949"}, ResultCase{"arcctg(1)", "0.785398163397448"},
        ResultCase{"ctg(1)", "0.642092615934331"}, ResultCase{"tg(1)", "1.5574077246549"},
        // Power: integral exponents multiply, a negative base allowed.
        ResultCase{"(0 - 2) ^ 3", "-8"}, ResultCase{"2 ^ (0 - 2)", "0.25"},
        ResultCase{"0 ^ 0", "1"}, ResultCase{"0 ^ 0.5", "0"}, ResultCase{"4 ^ 0.5", "2"},
        // The nested if: then-branch of the outer if.
        ResultCase{"if 3 then if 0 then 1 else 2 else 3", "2"},
        ResultCase{"if 0 then if 2 then 3 else 4 else 5", "5"},
        // "!" removes its operand and pushes nothing.
        ResultCase{"1 ! 2", "1"}, ResultCase{"3 + 4 ! 5", "7"}),
    caseName<ResultCase>);

// Every intermediate result is rounded to 15 significant digits.
INSTANTIATE_TEST_SUITE_P(Rounding, Evaluate,
                         testing::Values(ResultCase{"1 / 3 * 3", "0.999999999999999"},
                                         ResultCase{"2 / 3", "0.666666666666667"},
                                         ResultCase{"(1 / 3) * 3000000", "999999.999999999"},
                                         ResultCase{"0.1 + 0.2", "0.3"},
                                         ResultCase{"10 ^ 20", "1E20"},
                                         ResultCase{"1 / 100000", "1E-5"},
                                         ResultCase{"1 / 10000", "0.0001"}),
                         caseName<ResultCase>);

// The database states stepped values as else-if chains.
TEST(EvaluatePostfix, ElseIfChainPicksTheMatchingBranch) {
    const char* text =
        "f: if p0 = 1 then 200 else if p0 = 2 then 400 else if p0 = 3 then 600 else 6400";
    for (const auto& [p0, result] : {std::pair{1, 200}, {2, 400}, {3, 600}, {4, 6400}}) {
        ParameterList params;
        params.add("p0", p0);
        const PostfixList list = convert(text, params);
        EXPECT_EQ(joined(list), std::to_string(p0) + " 1 = 200 j " + std::to_string(p0) +
                                    " 2 = 400 j " + std::to_string(p0) +
                                    " 3 = 600 j 6400 o f o f o f");
        EXPECT_EQ(EvaluatePostfix(list), result) << p0;
    }
}

TEST(EvaluatePostfix, ThenAndElseValuesAreRounded) {
    EXPECT_EQ(EvaluatePostfix({"1", "0.12345678901234567", "j", "f"}), 0.123456789012346);
}

TEST(EvaluatePostfix, NumberItemsArePushedUnchanged) {
    // The bottom item is never rounded: only results of operations are.
    EXPECT_EQ(EvaluatePostfix({"0.12345678901234567"}), 0.12345678901234567);
}

TEST(EvaluatePostfix, IfTakesItsElseOnlyAfterAnElseItem) {
    // Previous item "o" and three items on the stack: condition, then, else.
    EXPECT_EQ(EvaluatePostfix({"0", "4", "5", "o", "f"}), 5);
    // Otherwise the top two: the condition and the then-value, else 0.
    EXPECT_EQ(EvaluatePostfix({"9", "0", "4", "f"}), 9);
    EXPECT_EQ(EvaluatePostfix({"1", "0", "4", "f", "+"}), 1);
    // "o" before, but only two items: no else.
    EXPECT_EQ(EvaluatePostfix({"1", "4", "o", "f"}), 4);
}

TEST(EvaluatePostfix, LeftOverParenthesisDropsAnOperand) {
    EXPECT_EQ(EvaluatePostfix({"1", "2", "3", "+", "("}), 1);
}

TEST(EvaluatePostfix, OperatorItemsCountByTheirFirstCharacter) {
    EXPECT_EQ(EvaluatePostfix({"0", "5", "-3"}), -5);
    EXPECT_EQ(EvaluatePostfix({"0", "ch"}), 1);
    EXPECT_NEAR(EvaluatePostfix({"1", "exp"}), std::numbers::e, 1e-14);
}

struct FailureCase {
    const char* text;
    FormulaErrorKind kind;
};

class EvaluateFails : public testing::TestWithParam<FailureCase> {};

TEST_P(EvaluateFails, WithTheRightKind) {
    EXPECT_EQ(failureOf(GetParam().text), GetParam().kind) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    KnownFailures, EvaluateFails,
    testing::Values(FailureCase{"-5 + 3", FormulaErrorKind::ListIndex},
                    FailureCase{"2+3", FormulaErrorKind::Conversion},
                    FailureCase{"2 * -3", FormulaErrorKind::ListIndex},
                    FailureCase{"1 / 0", FormulaErrorKind::FloatingPoint},
                    FailureCase{"P12 * 2", FormulaErrorKind::ListIndex},
                    FailureCase{"2 * .5", FormulaErrorKind::ListIndex},
                    FailureCase{"12c + 1", FormulaErrorKind::Conversion},
                    FailureCase{"3 !", FormulaErrorKind::ListIndex},
                    FailureCase{"if 1", FormulaErrorKind::ListIndex},
                    FailureCase{"(1) and", FormulaErrorKind::ListIndex},
                    FailureCase{"ln(0)", FormulaErrorKind::FloatingPoint},
                    FailureCase{"g(0 - 1)", FormulaErrorKind::FloatingPoint},
                    FailureCase{"arcsin(2)", FormulaErrorKind::FloatingPoint},
                    FailureCase{"arccos(0 - 1.5)", FormulaErrorKind::FloatingPoint},
                    FailureCase{"(0 - 8) ^ 0.5", FormulaErrorKind::FloatingPoint},
                    FailureCase{"0 ^ (0 - 1)", FormulaErrorKind::FloatingPoint},
                    FailureCase{"ctg(0)", FormulaErrorKind::FloatingPoint},
                    FailureCase{"exp(100000)", FormulaErrorKind::FloatingPoint},
                    FailureCase{"10 ^ 300 * 10 ^ 300", FormulaErrorKind::FloatingPoint},
                    FailureCase{"1e999", FormulaErrorKind::FloatingPoint}),
    caseName<FailureCase>);

TEST(EvaluatePostfix, DirectListFailures) {
    struct Case {
        PostfixList list;
        FormulaErrorKind kind;
    };
    for (const Case& c :
         {Case{{}, FormulaErrorKind::ListIndex}, Case{{"5", "!"}, FormulaErrorKind::ListIndex},
          Case{{"1x", "1", "f"}, FormulaErrorKind::Conversion},
          Case{{"1", "2+3", "f"}, FormulaErrorKind::Conversion},
          Case{{"1", "x1", "+"}, FormulaErrorKind::ListIndex},
          Case{{"1e"}, FormulaErrorKind::Conversion},
          Case{{"1", "2", "*", "+"}, FormulaErrorKind::ListIndex}}) {
        try {
            (void)EvaluatePostfix(c.list);
            ADD_FAILURE() << joined(c.list);
        } catch (const FormulaError& e) {
            EXPECT_EQ(e.kind(), c.kind) << joined(c.list);
        }
    }
}

TEST(FormulaError, MessageNamesTheKindAndTheCause) {
    try {
        (void)EvaluatePostfix(convert("1 / 0", noParameters()));
        FAIL();
    } catch (const FormulaError& e) {
        EXPECT_STREQ(e.what(), "floating-point error: division by zero");
    }
}

}  // namespace
}  // namespace zrd::formula
