#include "core/parse_int.h"

#include <gtest/gtest.h>

#include <climits>
#include <optional>

namespace zrd {
namespace {

struct IntegerCase {
    const char* name;
    const char* text;
    IntegerBase base;
    std::optional<long long> value;
};

class IntegerParsing : public ::testing::TestWithParam<IntegerCase> {};

TEST_P(IntegerParsing, TakesWholeNumbersOnly) {
    EXPECT_EQ(parseInteger(GetParam().text, GetParam().base), GetParam().value);
}

constexpr auto kDec = IntegerBase::Decimal;
constexpr auto kHex = IntegerBase::DecimalOrHex;

INSTANTIATE_TEST_SUITE_P(
    Texts, IntegerParsing,
    ::testing::Values(IntegerCase{"LeadingZeroIsDecimal", "010", kDec, 10},
                      IntegerCase{"LeadingZeroIsDecimalWithHexAllowed", "010", kHex, 10},
                      IntegerCase{"HexWhenAllowed", "0x1F", kHex, 31},
                      IntegerCase{"HexRefusedWhenDecimal", "0x10", kDec, std::nullopt},
                      IntegerCase{"Signs", "-42", kDec, -42},
                      IntegerCase{"PlusSign", "+42", kDec, 42},
                      IntegerCase{"DoubleSign", "+-5", kDec, std::nullopt},
                      IntegerCase{"SignAfterHexPrefix", "0x-5", kHex, std::nullopt},
                      IntegerCase{"Blank", " 5", kDec, std::nullopt},
                      IntegerCase{"TrailingText", "5x", kDec, std::nullopt},
                      IntegerCase{"Fraction", "1.5", kDec, std::nullopt},
                      IntegerCase{"Empty", "", kDec, std::nullopt},
                      IntegerCase{"Lowest", "-9223372036854775808", kDec, LLONG_MIN},
                      IntegerCase{"BeyondRange", "9223372036854775808", kDec, std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IntegerRange, BoundsAreInclusiveAndIntRefusesWhatDoesNotFit) {
    EXPECT_EQ(parseInteger("15", kDec, 0, 15), 15);
    EXPECT_EQ(parseInteger("16", kDec, 0, 15), std::nullopt);
    EXPECT_EQ(parseInt("2147483647"), INT_MAX);
    EXPECT_EQ(parseInt("2147483648"), std::nullopt);
}

}  // namespace
}  // namespace zrd
