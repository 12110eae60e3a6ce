#include "scope/axis_ticks.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "scope/trace_view.h"

namespace zrd::scope {
namespace {

constexpr std::array<double, 3> kStepMantissas = {1.0, 2.0, 5.0};
// More ticks than this on one axis means a range no screen shows: nothing is drawn.
constexpr int kTickLimit = 1000;
constexpr double kMillisecondsPerSecond = 1000.0;

// The multiples of step within [low, high], ascending; empty when there would be too many.
std::vector<double> multiplesWithin(double low, double high, double step) {
    std::vector<double> values;
    if (!(step > 0) || !std::isfinite(low) || !std::isfinite(high) || high < low)
        return values;
    const double first = std::ceil(low / step);
    const double last = std::floor(high / step);
    if (!(last - first < kTickLimit))
        return values;
    for (double k = first; k <= last; ++k)
        values.push_back(k * step);
    return values;
}

}  // namespace

double niceStep(double span, int maxIntervals) {
    if (!(span > 0) || !std::isfinite(span) || maxIntervals < 1)
        return 0.0;
    const double rough = span / maxIntervals;
    double decade = std::pow(10.0, std::floor(std::log10(rough)));
    // The decade's own rounding may leave rough just below 1 × decade.
    for (;;) {
        for (const double m : kStepMantissas) {
            if (m * decade >= rough * (1 - 1e-12))
                return m * decade;
        }
        decade *= 10.0;
    }
}

std::string tickText(double value, double step) {
    const int decimals =
        step > 0 && step < 1 ? static_cast<int>(std::ceil(-std::log10(step) - 1e-9)) : 0;
    // A multiple of the step that should be 0 may come out as a tiny negative number.
    if (std::fabs(value) < step / 2)
        value = 0.0;
    return fixedText(value, decimals);
}

std::vector<AxisTick> valueTicks(double gain, int centre, int height) {
    std::vector<AxisTick> ticks;
    if (!(gain > 0) || !std::isfinite(gain) || height <= 0)
        return ticks;
    // The values at the strip's bottom and top edges.
    const double low = (centre - height) / gain;
    const double high = centre / gain;
    const double step = niceStep(high - low, std::max(1, height / kValueTickSpacingPx));
    const std::vector<double> values = multiplesWithin(low, high, step);
    for (auto v = values.rbegin(); v != values.rend(); ++v)
        ticks.push_back({centre - truncPixel(*v * gain), tickText(*v, step)});
    return ticks;
}

std::vector<AxisTick> timeTicks(int scroll, double sx, double tickSeconds, int width) {
    std::vector<AxisTick> ticks;
    if (!(sx > 0) || !(tickSeconds > 0) || width <= 0)
        return ticks;
    const double start = scroll * tickSeconds;
    const double span = width / sx * tickSeconds;
    const bool seconds = span >= kSecondsLabelSpan;
    const double factor = seconds ? 1.0 : kMillisecondsPerSecond;
    const char* unit = seconds ? " s" : " ms";
    const double step = niceStep(span * factor, std::max(1, width / kTimeTickSpacingPx));
    for (const double t : multiplesWithin(start * factor, (start + span) * factor, step)) {
        const double samples = t / factor / tickSeconds - scroll;
        ticks.push_back({truncPixel(std::round(samples * sx)), tickText(t, step) + unit});
    }
    return ticks;
}

}  // namespace zrd::scope
