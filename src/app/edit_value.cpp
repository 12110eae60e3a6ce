#include "app/edit_value.h"

#include <charconv>
#include <stdexcept>

namespace zrd::app {

double parseDisplayValue(std::string_view text) {
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    // from_chars takes no leading "+", which people do type.
    if (t.size() > 1 && t.front() == '+')
        t.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (t.empty() || error != std::errc() || end != t.data() + t.size())
        throw std::invalid_argument("'" + std::string(text) + "' is not a valid number.");
    return value;
}

double valueToStore(double entered, double minimum, double maximum, double defaultValue) {
    return minimum <= entered && entered <= maximum ? entered : defaultValue;
}

FunctionList functionListOf(std::string_view mnemonic) {
    if (mnemonic.starts_with("DIN"))
        return FunctionList::DigitalInputs;
    if (mnemonic.starts_with("DOUT"))
        return FunctionList::DigitalOutputs;
    if (mnemonic.starts_with("AOUT"))
        return FunctionList::AnalogOutputs;
    return FunctionList::None;
}

}  // namespace zrd::app
