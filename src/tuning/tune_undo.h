#pragma once

// Putting back what an applied tuning changed: KPV and KIV, then each filter slot the tuning
// put a notch into, from the values the tuner read before it wrote anything. The gains go first,
// so that the loop never runs the stiff gains without their notches.

#include <string>
#include <utility>
#include <vector>

#include "link/drive_link.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "session/parameter_access.h"
#include "tuning/tune_result.h"

namespace zrd::tuning {

// The parameters of the slots that `result` proposed a filter for and that ran none before.
[[nodiscard]] std::vector<int> tunedSlots(const TuneResult& result);

// Writes the gains (as the edit dialog writes them) and the tuned slots (as the filter
// calculator writes them, the type first) back to `backup`'s values. Returns the names the
// drive did not take or that `backup` lacks; empty: everything is back.
[[nodiscard]] std::vector<std::string> undoTuning(
    link::DriveLink& link, session::ParameterAccess& access, params::ParameterModel& model,
    const params::TypeTables& tables, const TuneResult& result,
    const std::vector<std::pair<std::string, double>>& backup);

}  // namespace zrd::tuning
