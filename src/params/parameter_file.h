#pragma once

// Parameter files: one padded line per parameter, mnemonic, "=" and display value.

#include <stdexcept>
#include <string>
#include <string_view>

#include "params/parameter_table.h"

namespace zrd::params {

// Each field is left-justified in at least this many characters.
inline constexpr size_t kParameterFileField = 20;

// A value text of a parameter file that is not a number; the values before it stay loaded.
struct ParameterFileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// One line: mnemonic, "=", value text, each padded to 20 characters.
std::string parameterFileLine(std::string_view mnemonic, double value);

// Writes positions 0.. up to the first free one (Windows-1251, CR LF). False when the file
// cannot be written.
[[nodiscard]] bool saveParameterFile(const std::string& path, const ParameterModel& model);

struct ParameterFileLoad {
    bool opened = false;
    int lines = 0;    // lines taken (up to the first empty one, at most 300)
    int stored = 0;   // lines whose mnemonic was found
    int unknown = 0;  // lines whose mnemonic matched no parameter
};

// Reads a file into the value table (previous values kept first; no limit check, nothing sent);
// afterwards value origin 0 and parameter-set state "FILE". A value that does not convert
// throws ParameterFileError naming the line.
ParameterFileLoad loadParameterFile(const std::string& path, ParameterModel& model);

}  // namespace zrd::params
