#pragma once

// The function names offered for digital inputs, digital outputs and analog outputs.

#include <string>
#include <string_view>
#include <vector>

#include "core/user_interface.h"

namespace zrd::params {

inline constexpr const char* kDigitalInputsFile = "digital_inp.dic";
inline constexpr const char* kDigitalOutputsFile = "digital_out.dic";
inline constexpr const char* kAnalogOutputsFile = "analog_out.dic";

// Reads one list ("English=Russian" per line): the side of the language, in file order,
// without empty lines. A missing file gives an empty list silently; one that cannot be read
// says "<name> file not found." with the caption "Attention".
std::vector<std::string> loadFunctionNames(const std::string& folder, const char* fileName,
                                           std::string_view language, UserInterface& ui);
// The same list from a file's decoded lines.
std::vector<std::string> functionNamesFromLines(const std::vector<std::string>& lines,
                                                std::string_view language);

}  // namespace zrd::params
