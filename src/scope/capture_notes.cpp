#include "scope/capture_notes.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "core/number_text.h"
#include "params/message_table.h"

namespace zrd::scope {
namespace {

// "IIT" of the generator's periodic signals.
constexpr int kSineType = 3;
constexpr int kChirpType = 4;
// Seconds of the period units "IIP3U" numbers 0 ms, 1 s, 2 min.
constexpr std::array<double, 3> kPeriodUnitSeconds = {0.001, 1.0, 60.0};

std::optional<double> tableValue(const params::ParameterModel& model, std::string_view mnemonic) {
    const std::optional<int> position = model.find(mnemonic);
    if (!position)
        return std::nullopt;
    const double value = model.value(*position);
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}

std::optional<double> sineFrequencyHz(const params::ParameterModel& model) {
    const std::optional<double> period = tableValue(model, "IIP3V");
    const double unit = tableValue(model, "IIP3U").value_or(0);
    const auto u = static_cast<size_t>(std::clamp<long>(std::lround(unit), 0, 2));
    if (!period || !(*period > 0))
        return std::nullopt;
    return 1.0 / (*period * kPeriodUnitSeconds.at(u));
}

std::optional<double> chirpTopHz(const params::ParameterModel& model) {
    const std::optional<double> a = tableValue(model, "IIP3V");
    const std::optional<double> b = tableValue(model, "IIP4V");
    if (!a && !b)
        return std::nullopt;
    const double top = std::max(std::fabs(a.value_or(0)), std::fabs(b.value_or(0)));
    return top > 0 ? std::optional<double>(top) : std::nullopt;
}

}  // namespace

std::optional<double> generatorTopFrequencyHz(const params::ParameterModel& model) {
    const std::optional<double> type = tableValue(model, "IIT");
    if (!type)
        return std::nullopt;
    switch (std::lround(*type)) {
        case kSineType:
            return sineFrequencyHz(model);
        case kChirpType:
            return chirpTopHz(model);
        default:
            return std::nullopt;
    }
}

bool aliases(double signalHz, double captureHz) {
    return captureHz > 0 && signalHz > captureHz / 2;
}

std::string aliasingWarning(const params::ParameterModel& model, double captureHz) {
    const std::optional<double> top = generatorTopFrequencyHz(model);
    if (!top || !aliases(*top, captureHz))
        return {};
    const std::string signal = formatGeneral(*top);
    const std::string half = formatGeneral(captureHz / 2);
    if (params::isEnglish(model.language()))
        return "The function generator runs up to " + signal +
               " Hz, above half the capture rate (" + half +
               " Hz): the record will show false frequencies.";
    return "Генератор функций работает до " + signal + " Гц, выше половины частоты записи (" +
           half + " Гц): запись покажет ложные частоты.";
}

std::string captureProgressText(int samples, std::string_view language) {
    const std::string count = std::to_string(samples);
    return params::isEnglish(language) ? "Capturing… " + count + " samples"
                                       : "Запись… отсчётов: " + count;
}

std::string waitingForTriggerText(std::string_view language) {
    return params::isEnglish(language) ? "Waiting for trigger" : "Ожидание запуска";
}

}  // namespace zrd::scope
