#pragma once

// The limits that a set of values gives itself: a limit that is a formula (a motor's peak
// current bounding the current limit) is evaluated over the values of the same set, so that a
// parameter file or a drive is judged by its own motor and power stage, not by the program's.

#include "params/parameter_comparison.h"
#include "params/parameter_table.h"

namespace zrd::formula {

// The limits the configuration formulas give when they read the side's values; a parameter
// the side lacks reads its default as the formulas give it for the side, else the value
// table. A formula that fails, or whose result is no raw value of its parameter, leaves the
// parameter table's limit standing.
[[nodiscard]] params::LimitSet ownLimits(const params::ParameterModel& model,
                                         const params::ValueSource& side);

// Two sides compared, each judged by its own limits: the one comparison of the window that
// shows a parameter file and of `zrdctl diff`.
[[nodiscard]] params::Comparison compareSets(const params::ParameterModel& model,
                                             params::ValueSource a, params::ValueSource b,
                                             bool writableOnly = false);

}  // namespace zrd::formula
