#pragma once

#include <string>
#include <string_view>

namespace zrd::app {

// The number in a value text ("." as decimal separator, blanks around it allowed). Throws
// std::invalid_argument with the text when it is not a number.
double parseDisplayValue(std::string_view text);

// The value the edit dialog stores: the entered one when it lies within the limits shown
// (bounds included), the default otherwise.
double valueToStore(double entered, double minimum, double maximum, double defaultValue);

// Which kind of function list a parameter's edit dialog offers.
enum class FunctionList { None, DigitalInputs, DigitalOutputs, AnalogOutputs };
FunctionList functionListOf(std::string_view mnemonic);

}  // namespace zrd::app
