#pragma once

#include <optional>
#include <string_view>

namespace zrd {

// Which integer texts are taken: decimal only, or decimal and "0x"/"0X" hexadecimal. A leading
// zero never means octal: "010" is ten.
enum class IntegerBase { Decimal, DecimalOrHex };

// Parses a whole integer text: an optional sign, then digits, nothing before or after. nullopt
// for anything else, and for a number outside [min, max].
std::optional<long long> parseInteger(std::string_view text,
                                      IntegerBase base = IntegerBase::Decimal,
                                      long long min = -9223372036854775807LL - 1,
                                      long long max = 9223372036854775807LL);

// parseInteger within the range of an int.
std::optional<int> parseInt(std::string_view text, IntegerBase base = IntegerBase::Decimal);

}  // namespace zrd
