#include "core/number_text.h"

#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>

#include "core/parse_int.h"

namespace zrd {
namespace {

constexpr int kSignificantDigits = 15;
// Plain notation while the decimal exponent (d.ddd × 10^e) stays within these bounds.
constexpr int kLowestPlainExponent = -4;
constexpr int kHighestPlainExponent = kSignificantDigits - 1;

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

std::string_view trimBlanks(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    return text;
}

}  // namespace

std::string formatGeneral(long double value) {
    if (value == 0 || std::isnan(value))
        return "0";
    if (std::isinf(value))
        return value > 0 ? "INF" : "-INF";
    // "d.dddddddddddddde±x": the 15 digits rounded once, from the full precision of value.
    std::array<char, 64> buf{};
    const auto res = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                   std::chars_format::scientific, kSignificantDigits - 1);
    const std::string_view sci(buf.data(), static_cast<size_t>(res.ptr - buf.data()));
    const bool negative = sci.front() == '-';
    const size_t ePos = sci.find('e');
    std::string digits;
    for (char c : sci.substr(0, ePos))
        if (isDigit(c))
            digits += c;
    // to_chars writes the exponent as a sign and decimal digits ("e+20", "e-05").
    const int exponent = parseInt(sci.substr(ePos + 1)).value_or(0);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();

    // Built by appending only: GCC 12 at -O3 takes `"." + string` for an overlapping
    // copy and warns (-Wrestrict) about code that is correct.
    std::string out = negative ? "-" : "";
    if (exponent < kLowestPlainExponent || exponent > kHighestPlainExponent) {
        out += digits[0];
        if (digits.size() > 1) {
            out += '.';
            out.append(digits, 1);
        }
        out += 'E';
        out += std::to_string(exponent);
    } else if (exponent >= 0) {
        const auto whole = static_cast<size_t>(exponent + 1);
        if (digits.size() <= whole) {
            out += digits;
            out.append(whole - digits.size(), '0');
        } else {
            out.append(digits, 0, whole);
            out += '.';
            out.append(digits, whole);
        }
    } else {
        out += "0.";
        out.append(static_cast<size_t>(-exponent - 1), '0');
        out += digits;
    }
    return out;
}

std::optional<double> parseNumber(std::string_view text) {
    text = trimBlanks(text);
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    // Check the whole shape first: from_chars would also take "inf", "nan" or a hex form.
    size_t i = 0;
    size_t mantissaDigits = 0;
    size_t leadingZeros = 0;  // zeros before the first significant digit
    size_t wholeDigits = 0;   // significant digits before the "."
    bool seenPoint = false;
    bool seenSignificant = false;
    for (; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '.' && !seenPoint) {
            seenPoint = true;
        } else if (isDigit(c)) {
            ++mantissaDigits;
            if (c != '0')
                seenSignificant = true;
            if (!seenSignificant && seenPoint)
                ++leadingZeros;
            if (seenSignificant && !seenPoint)
                ++wholeDigits;
        } else {
            break;
        }
    }
    if (mantissaDigits == 0)
        return std::nullopt;
    long long exponent = 0;
    if (i < text.size()) {
        if (text[i] != 'e' && text[i] != 'E')
            return std::nullopt;
        size_t j = i + 1;
        bool negativeExponent = false;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        if (j >= text.size())
            return std::nullopt;
        for (; j < text.size(); ++j) {
            if (!isDigit(text[j]))
                return std::nullopt;
            // Saturate: anything this large is out of range either way.
            if (exponent < 1'000'000)
                exponent = exponent * 10 + (text[j] - '0');
        }
        if (negativeExponent)
            exponent = -exponent;
    }
    double value = 0;
    const auto res = std::from_chars(text.data(), text.data() + text.size(), value);
    if (res.ec == std::errc::result_out_of_range) {
        if (!seenSignificant) {
            value = 0;
        } else {
            // Which side of the range: the position of the first significant digit.
            const long long magnitude =
                exponent + (wholeDigits > 0 ? static_cast<long long>(wholeDigits)
                                            : -static_cast<long long>(leadingZeros));
            value = magnitude > 0 ? HUGE_VAL : 0.0;
        }
    } else if (res.ec != std::errc() || res.ptr != text.data() + text.size()) {
        return std::nullopt;
    }
    return negative ? -value : value;
}

std::optional<bool> parseCondition(std::string_view text) {
    if (const auto v = parseNumber(text))
        return *v != 0;
    if (equalsIgnoreCase(text, "true"))
        return true;
    if (equalsIgnoreCase(text, "false"))
        return false;
    return std::nullopt;
}

}  // namespace zrd
