#pragma once

#include <optional>
#include <string>
#include <string_view>

// Numbers as texts: decimal texts with "." whatever the locale.

namespace zrd {

// The general format: rounded to 15 significant digits, trailing zeros dropped, plain
// notation for 1E-4 <= |v| < 1E15 and "dE[-]n" otherwise (0.333333333333333, 1E20, -2.5).
std::string formatGeneral(long double value);

// Reads a number: optional blanks, sign, digits with an optional ".", an optional exponent
// ("E" or "e", sign, digits), optional blanks. nullopt when the text is not one; +-infinity
// when it is one beyond the range of a double (the caller reports the overflow).
std::optional<double> parseNumber(std::string_view text);

// A condition operand: a number (true unless zero) or True/False in any letter case.
std::optional<bool> parseCondition(std::string_view text);

// The texts of a condition result.
inline constexpr std::string_view kTrueText = "-1";
inline constexpr std::string_view kFalseText = "0";

}  // namespace zrd
