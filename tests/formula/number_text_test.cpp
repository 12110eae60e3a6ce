#include "core/number_text.h"

#include <gtest/gtest.h>

#include <cmath>

namespace zrd::formula {
namespace {

TEST(FormatGeneral, ShortestTextWith15Digits) {
    struct Case {
        long double value;
        const char* text;
    };
    for (const Case& c :
         {Case{0, "0"}, Case{-0.0L, "0"}, Case{-2.5L, "-2.5"}, Case{1.0L / 3, "0.333333333333333"},
          Case{2.0L / 3, "0.666666666666667"}, Case{1e20L, "1E20"}, Case{1.5e-7L, "1.5E-7"},
          Case{1e-5L, "1E-5"}, Case{1e-4L, "0.0001"}, Case{123456789012345.0L, "123456789012345"},
          Case{1e15L, "1E15"}, Case{1234567890123456.0L, "1.23456789012346E15"},
          Case{999999999999999.5L, "1E15"}, Case{0.1L + 0.2L, "0.3"}, Case{100, "100"},
          Case{-1e-300L, "-1E-300"}, Case{1e600L, "1E600"}})
        EXPECT_EQ(formatGeneral(c.value), c.text) << static_cast<double>(c.value);
}

TEST(ParseNumber, AcceptsDecimalTexts) {
    struct Case {
        const char* text;
        double value;
    };
    for (const Case& c : {Case{"2.5", 2.5}, Case{"-2.5", -2.5}, Case{"+3", 3}, Case{"5.", 5},
                          Case{".5", 0.5}, Case{" 7 ", 7}, Case{"12.5E-3", 0.0125},
                          Case{"1e+2", 100}, Case{"1E-400", 0}, Case{"-0", 0}})
        EXPECT_EQ(parseNumber(c.text), c.value) << c.text;
}

TEST(ParseNumber, RefusesEverythingElse) {
    for (const char* text : {"", " ", ".", "-", "2+3", "2-3", "1e", "1e+", "12c", "1,5", "0x10",
                             "$10", "inf", "nan", "1 2", "- 5", "--5", "1.2.3", "e5"})
        EXPECT_FALSE(parseNumber(text).has_value()) << text;
}

TEST(ParseNumber, BeyondTheRangeOfADoubleIsInfinite) {
    EXPECT_EQ(parseNumber("1e400"), HUGE_VAL);
    EXPECT_EQ(parseNumber("-1000e306"), -HUGE_VAL);
    EXPECT_EQ(parseNumber("0.00001e-320"), 0.0);
}

TEST(ParseCondition, NumbersAndTheWordsTrueAndFalse) {
    EXPECT_EQ(parseCondition("-1"), true);
    EXPECT_EQ(parseCondition("0"), false);
    EXPECT_EQ(parseCondition("2.5"), true);
    EXPECT_EQ(parseCondition("tRuE"), true);
    EXPECT_EQ(parseCondition("FALSE"), false);
    EXPECT_EQ(parseCondition("yes"), std::nullopt);
}

}  // namespace
}  // namespace zrd::formula
