#include "formula/formula_lexer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "formula/formula_error.h"
#include "formula_test_support.h"

namespace zrd::formula {
namespace {

std::vector<std::string> tokens(std::string_view text) {
    FormulaLexer lexer(text);
    std::vector<std::string> out;
    while (auto t = lexer.next())
        out.push_back(*t);
    return out;
}

struct KeywordCase {
    const char* text;
    const char* replaced;
};

class ReplaceKeywords : public testing::TestWithParam<KeywordCase> {};

TEST_P(ReplaceKeywords, GivesTheCodes) {
    EXPECT_EQ(replaceKeywords(GetParam().text), GetParam().replaced);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ReplaceKeywords,
    testing::Values(
        KeywordCase{"log ln arcsin arccos arctg arcctg sin cos ctg tg exp abs min max",
                    "l l b d h k s c u t e a m x"},
        KeywordCase{"if then else <> <= >= and or", "f j o q r v w y"},
        // Longer words first: arcctg is neither arc+ctg nor arc+c+tg; ctg is not c+tg.
        KeywordCase{"arcctg(1) ctg(1) tg(1)", "k(1) u(1) t(1)"},
        KeywordCase{"arcsin(sin(1))", "b(s(1))"},
        // Letter case does not matter, and words are found inside longer words.
        KeywordCase{"SIN(0) Sin sIn", "s(0) s s"}, KeywordCase{"cosh(0)", "ch(0)"},
        KeywordCase{"ifthenelse", "fjo"},
        // "exp" goes before "max" can take its x; codes typed directly stay as they are.
        KeywordCase{"expmax s(1)", "ex s(1)"},
        KeywordCase{"if (1)>(2) then (3) else if (4)<>(5)then(6)else(7)",
                    "f (1)>(2) j (3) o f (4)q(5)j(6)o(7)"}),
    caseName<KeywordCase>);

struct LexCase {
    const char* text;
    std::vector<std::string> tokens;
};

class Lexer : public testing::TestWithParam<LexCase> {};

TEST_P(Lexer, SplitsTheText) {
    EXPECT_EQ(tokens(GetParam().text), GetParam().tokens);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Lexer,
    testing::Values(
        // Numbers swallow a following run of + - . digits E e and one suffix letter.
        LexCase{"2+3 2-3 12.5E-3 -5 1.2.3", {"2+3", "2-3", "12.5E-3", "-5", "1.2.3"}},
        LexCase{"12c 3Fx 4e+", {"12c", "3F", "x", "4e+"}}, LexCase{"- 5 -(", {"-", "5", "-", "("}},
        // Names: letters, digits, "_"; a "." ends them.
        LexCase{"p12x _a1 ab.cd", {"p12x", "_a1", "ab", ".", "cd"}}, LexCase{"$1Fg", {"$1F", "g"}},
        LexCase{"(*/^<>=|!,.;)", {"(", "*", "/", "^", "<", ">", "=", "|", "!", ",", ".", ";", ")"}},
        // Codes 1..32 are blanks.
        LexCase{"\t1\n2\r\x01"
                "3 ",
                {"1", "2", "3"}},
        // Quoted strings give their content: '' is one quote, #nn a character code.
        LexCase{"'it''s' 'a'#66'c' '5'", {"it's", "aBc", "5"}}, LexCase{"#112#49", {"p1"}}),
    caseName<LexCase>);

TEST(Lexer, NulInTheMiddleEndsTheStream) {
    EXPECT_EQ(tokens(std::string_view("1 2\0 3", 6)), (std::vector<std::string>{"1", "2"}));
}

TEST(Lexer, UnterminatedStringIsAParserError) {
    for (const char* text : {"'abc", "1 + 'ab\ncd'", "'x'#13'y", "'a''"}) {
        FormulaLexer lexer(text);
        try {
            while (lexer.next()) {
            }
            ADD_FAILURE() << text;
        } catch (const FormulaError& e) {
            EXPECT_EQ(e.kind(), FormulaErrorKind::Parser) << text;
        }
    }
}

TEST(ReplaceAll, ReplacesLeftToRightWithoutRescanning) {
    EXPECT_EQ(replaceAll("aaa", "aa", "a"), "aa");
    EXPECT_EQ(replaceAll("a  + b", " + ", "+"), "a +b");
    EXPECT_EQ(replaceAll("xABx", "ab", "-", true), "x-x");
    EXPECT_EQ(replaceAll("xABx", "ab", "-"), "xABx");
}

}  // namespace
}  // namespace zrd::formula
