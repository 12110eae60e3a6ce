#include "core/parse_int.h"

#include <charconv>
#include <climits>

namespace zrd {

std::optional<long long> parseInteger(std::string_view text, IntegerBase base, long long min,
                                      long long max) {
    bool negative = false;
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
        negative = text.front() == '-';
        text.remove_prefix(1);
    }
    int radix = 10;
    if (base == IntegerBase::DecimalOrHex && text.size() > 2 && text[0] == '0' &&
        (text[1] == 'x' || text[1] == 'X')) {
        radix = 16;
        text.remove_prefix(2);
    }
    // from_chars takes no sign of its own here, so "+-5" and "0x-5" stay refused.
    if (text.empty() || text.front() == '-' || text.front() == '+')
        return std::nullopt;
    unsigned long long magnitude = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, magnitude, radix);
    if (ec != std::errc() || ptr != end)
        return std::nullopt;
    long long value = 0;
    if (negative) {
        if (magnitude > static_cast<unsigned long long>(LLONG_MAX) + 1)
            return std::nullopt;
        value = magnitude == static_cast<unsigned long long>(LLONG_MAX) + 1
                    ? LLONG_MIN
                    : -static_cast<long long>(magnitude);
    } else {
        if (magnitude > static_cast<unsigned long long>(LLONG_MAX))
            return std::nullopt;
        value = static_cast<long long>(magnitude);
    }
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

std::optional<int> parseInt(std::string_view text, IntegerBase base) {
    const auto value = parseInteger(text, base, INT_MIN, INT_MAX);
    if (!value)
        return std::nullopt;
    return static_cast<int>(*value);
}

}  // namespace zrd
