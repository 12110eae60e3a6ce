#include "tuning/step_response.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "core/number_text.h"
#include "scope/offline_capture.h"

namespace zrd::tuning {
namespace {

constexpr double kMsPerSecond = 1000.0;
constexpr double kRiseLow = 0.1;
constexpr double kRiseHigh = 0.9;
// The share of each half averaged for the levels: the end of the base half, where the loop has
// settled, and the last tenth of the record for the steady value.
constexpr double kLevelShare = 0.1;

double mean(std::span<const double> values) {
    if (values.empty())
        return 0.0;
    return std::accumulate(values.begin(), values.end(), 0.0) / static_cast<double>(values.size());
}

std::span<const double> tail(std::span<const double> values) {
    const auto n = std::max<size_t>(1, static_cast<size_t>(kLevelShare * values.size()));
    return values.last(std::min(n, values.size()));
}

// A command whose range is smaller than this makes no step.
constexpr double kFlatCommand = 1e-6;

// Samples (fractional) after the step where the response first reaches `share` of it.
std::optional<double> firstReach(std::span<const double> after, double from, double step,
                                 double share) {
    const double level = from + share * step;
    double previous = from;
    for (size_t i = 0; i < after.size(); ++i) {
        const double v = after[i];
        if ((v - level) * (step > 0 ? 1 : -1) >= 0) {
            if (i == 0 || v == previous)
                return static_cast<double>(i);
            return static_cast<double>(i - 1) + (level - previous) / (v - previous);
        }
        previous = v;
    }
    return std::nullopt;
}

// Samples after the step until the response stays within the band around the target.
std::optional<double> settledAfter(std::span<const double> after, double target, double band) {
    size_t lastOutside = after.size();
    for (size_t i = after.size(); i-- > 0;) {
        if (std::abs(after[i] - target) > band) {
            lastOutside = i;
            break;
        }
    }
    if (lastOutside == after.size())
        return 0.0;
    if (lastOutside + 1 == after.size())
        return std::nullopt;
    return static_cast<double>(lastOutside + 1);
}

}  // namespace

WaveFields stepWave(double amplitude, double base, int tickCode) {
    WaveFields f;
    f.type = WaveType::Square;
    // High first: base + step/2 - step/2 = base, then base + step.
    f.amplitude = formatGeneral(-amplitude / 2);
    f.offset = formatGeneral(base + amplitude / 2);
    const double periodMs = scope::recordSeconds(tickCode) * kMsPerSecond;
    f.period = formatGeneral(periodMs);
    f.width = formatGeneral(periodMs / 2);
    // Built, then moved: GCC 12 at -O3 misreads a literal assigned in place as overlapping.
    f.repeat = formatGeneral(1);
    f.units = {0, 0};
    return f;
}

std::optional<size_t> stepSample(std::span<const double> command) {
    if (command.empty())
        return std::nullopt;
    const auto [low, high] = std::minmax_element(command.begin(), command.end());
    if (*high - *low < kFlatCommand)
        return std::nullopt;
    const double middle = (*low + *high) / 2;
    const bool startsLow = command.front() < middle;
    for (size_t i = 1; i < command.size(); ++i)
        if ((command[i] >= middle) == startsLow)
            return i;
    return std::nullopt;
}

std::optional<StepFigures> measureStep(std::span<const double> command,
                                       std::span<const double> actual,
                                       std::span<const double> current, double tick,
                                       std::optional<double> currentLimit) {
    const size_t n = std::min({command.size(), actual.size(), current.size()});
    command = command.first(n);
    const std::optional<size_t> found = stepSample(command);
    if (!found || *found + 1 >= n || !(tick > 0))
        return std::nullopt;
    // The command after the step up to its next edge, if the record holds one.
    const size_t at = *found;
    const size_t end = at + stepSample(command.subspan(at)).value_or(n - at);
    StepFigures f;
    f.commandBefore = mean(tail(command.first(at)));
    f.commandAfter = mean(command.subspan(at, end - at));
    const double step = f.commandAfter - f.commandBefore;
    const double from = mean(tail(actual.first(at)));
    const std::span<const double> after = actual.subspan(at, end - at);
    const double ms = tick * kMsPerSecond;

    const double extreme = step > 0 ? *std::max_element(after.begin(), after.end())
                                    : *std::min_element(after.begin(), after.end());
    f.overshootPercent = std::max(0.0, (extreme - f.commandAfter) / step * 100.0);
    const auto low = firstReach(after, from, f.commandAfter - from, kRiseLow);
    const auto high = firstReach(after, from, f.commandAfter - from, kRiseHigh);
    if (low && high)
        f.riseMs = (*high - *low) * ms;
    if (const auto s = settledAfter(after, f.commandAfter, kSettlingBandNarrow * std::abs(step)))
        f.settling2Ms = *s * ms;
    if (const auto s = settledAfter(after, f.commandAfter, kSettlingBandWide * std::abs(step)))
        f.settling5Ms = *s * ms;
    f.steadyErrorRpm = f.commandAfter - mean(tail(after));
    for (size_t i = at; i < end; ++i)
        f.peakCurrentA = std::max(f.peakCurrentA, std::abs(current[i]));
    f.currentLimited =
        currentLimit && *currentLimit > 0 && f.peakCurrentA >= kCurrentLimitShare * *currentLimit;
    return f;
}

StepCurve changeFromStepStart(const StepCurve& curve) {
    const size_t at = std::min(stepSample(curve.commandRpm).value_or(0), curve.commandRpm.size());
    double level = 0.0;
    for (size_t k = 0; k < at; ++k)
        level += curve.commandRpm[k] / static_cast<double>(at);
    StepCurve out = curve;
    for (std::vector<double>* trace : {&out.commandRpm, &out.speedRpm})
        for (double& v : *trace)
            v -= level;
    return out;
}

}  // namespace zrd::tuning
