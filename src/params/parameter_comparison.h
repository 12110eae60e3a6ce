#pragma once

// Two sets of parameter values side by side: what "Reading parameters from file" shows before
// it applies a file, and what `zrdctl diff` prints.
//
// How the windows use it (the comparison dialog of "Reading parameters from file"):
//   load = readParameterFile(path, model)            // nothing changed yet
//   c = formula::compareSets(model, programSource(model), fileSource(load, path))
//   one table row per c.rows entry: mnemonic, name, program value (a), file value (b),
//   default, limits text, unit; mark aOutside/bOutside and show limitNote beside them;
//   OK: storeParameterFile(load, model) and refresh the pages; Cancel: nothing.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "params/parameter_file.h"
#include "params/parameter_table.h"

namespace zrd::params {

using ValueSet = std::array<std::optional<double>, kParameterCount>;

// A parameter's limits in raw units.
struct RawLimits {
    int32_t min = 0;
    int32_t max = 0;
};
using LimitSet = std::array<std::optional<RawLimits>, kParameterCount>;

// One side of a comparison. A file holds the parameters it names; the other kinds (the
// program's table, a drive) hold every parameter they could give, so a position they lack is
// left out rather than counted as a difference.
struct ValueSource {
    enum class Kind { Values, File } kind = Kind::Values;
    std::string label;  // "program", "drive", the file's path
    ValueSet values{};
    // The limits that this side's own values give where a formula sets them
    // (formula::ownLimits); the parameter table's limits stand where none is set.
    LimitSet limits{};
};

// The value table, every position up to the first free one.
[[nodiscard]] ValueSource programSource(const ParameterModel& model, std::string label = "program");
// The values a file read gives (later lines have overwritten earlier ones).
[[nodiscard]] ValueSource fileSource(const ParameterFileLoad& load, std::string label);

struct ComparisonRow {
    int position = 0;
    std::string mnemonic;
    std::string name;  // description in the model's language
    std::string unit;
    std::optional<double> a;  // nullopt: the side does not hold the parameter
    std::optional<double> b;
    double defaultValue = 0;  // display units
    // The limits of side b where it holds the parameter, else of side a.
    double minValue = 0;
    double maxValue = 0;
    bool differs = false;   // not the same raw value, or held by one side only
    bool aOutside = false;  // outside the limits
    bool bOutside = false;
    // Why a value is outside: the limit it passes and the formula that sets that limit, when
    // one does ("above the maximum 2000 (f: p3*2)"). Empty when both are inside.
    std::string limitNote;
};

struct Comparison {
    std::vector<ComparisonRow> rows;  // table order
    int differing = 0;
    int outside = 0;  // rows with a value outside the limits
};

// The positions compared: the union of two files, the file's positions against a set of
// values, the positions both hold otherwise. Two values are equal when they are the same raw
// value of the parameter (a text may carry more digits than the drive keeps). `writableOnly`
// leaves out the read-only parameters (ratings, process values, status words), which no load
// writes. Each side's values are judged by that side's limits.
[[nodiscard]] Comparison compareValues(const ParameterModel& model, const ValueSource& a,
                                       const ValueSource& b, bool writableOnly = false);

// The formula text ("f: ...") of a parameter's limit, when a formula sets it.
[[nodiscard]] std::optional<std::string> limitFormula(const ParameterModel& model, int position,
                                                      bool maximum);

}  // namespace zrd::params
