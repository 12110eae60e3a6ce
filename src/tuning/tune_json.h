#pragma once

// The tuner's result as one JSON object, as `zrdctl tune --json` prints it: the fitted model,
// the loop before and as proposed (the parameters' engineering units), the figures predicted
// for both and those measured, and whether the proposal was applied, verified and stored.

#include <string>

#include "tuning/tune_result.h"

namespace zrd::tuning {

// One line, no trailing newline; figures that do not exist are null.
[[nodiscard]] std::string tuneResultJson(const TuneResult& result);

}  // namespace zrd::tuning
