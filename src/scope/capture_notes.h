#pragma once

// What the scope pages say beside a capture: a function generator signal faster than half the
// capture rate (the record would show it at a false, lower frequency), the count of a running
// capture, and an armed record's wait for its trigger. Texts in the interface language.

#include <optional>
#include <string>
#include <string_view>

#include "params/parameter_table.h"

namespace zrd::scope {

// The function generator's fastest frequency in Hz as the value table holds it: a sine's
// 1 / period ("IIP3V" in the unit "IIP3U": ms, s, min), a chirp's higher end ("IIP3V" and
// "IIP4V" in Hz). nullopt for the other signal types, a period of 0, or a table without them.
[[nodiscard]] std::optional<double> generatorTopFrequencyHz(const params::ParameterModel& model);

// Sampled at captureHz, a signal above half the rate folds onto a lower frequency.
[[nodiscard]] bool aliases(double signalHz, double captureHz);

// The warning about the generator's signal at this capture rate; empty when it does not alias.
[[nodiscard]] std::string aliasingWarning(const params::ParameterModel& model, double captureHz);

// "Capturing… n samples" of a running capture.
[[nodiscard]] std::string captureProgressText(int samples, std::string_view language);
// An armed offline record before its trigger.
[[nodiscard]] std::string waitingForTriggerText(std::string_view language);

}  // namespace zrd::scope
