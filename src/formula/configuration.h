#pragma once

// The configuration formulas of the calculated-parameter table: limits and defaults that follow
// other parameters (a motor's rated current, a drive's peak current), evaluated pass by pass.

#include <vector>

#include "core/user_interface.h"
#include "formula/parameter_source.h"
#include "params/parameter_table.h"

namespace zrd::formula {

// Passes after a motor or drive type change found by read-all; the configuration dialog stops
// one pass earlier.
inline constexpr int kReadAllFormulaPasses = 100;
inline constexpr int kConfigurationFormulaPasses = 99;
// Marks of `ind_of_change`.
inline constexpr int kMarkMin = 1;
inline constexpr int kMarkMax = 2;
inline constexpr int kMarkDefault = 4;

// Parameter references of the formulas read the parameter table by `Numpar`.
class ModelParameters : public ParameterSource {
public:
    explicit ModelParameters(const params::ParameterModel& model) : m_model(model) {}
    [[nodiscard]] std::optional<ParameterRef> findByNumpar(std::string_view numpar) const override;

private:
    const params::ParameterModel& m_model;
};

// Evaluates the "f" entries pass by pass (entries whose `prior_calc` equals the pass), setting
// the linked parameter's limits, default, its value-table entry and `ind_of_change`. A value
// set so is shown in its page row through `ui` at once (a known value from then on; without a
// row it is not known). A pass that walks no "f" entry ends them. Afterwards the model's formula
// basis holds the motor and drive type values the limits stand for. Returns the number of
// passes run. A bad formula, or a result that is no 16-bit raw value of its parameter, throws
// FormulaError, the limits and values set so far staying in place (and shown).
int reevaluateFormulas(params::ParameterModel& model, int maxPasses, UserInterface& ui);

// A page row to mark after the formulas ran: the parameter and its `ind_of_change`.
struct ChangeMark {
    int position = 0;
    int mark = 0;
};

// The marks of the parameters linked by the calculated entries, from entry 0 until the first
// free one or the first whose `num` is 0.
std::vector<ChangeMark> changeMarks(const params::ParameterModel& model);

}  // namespace zrd::formula
