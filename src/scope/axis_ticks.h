#pragma once

// The numbers on the trace viewers' axes: "nice" steps (1, 2 or 5 × 10^k) for a value range and
// a time range, where each tick lands on the strip and the text it carries.

#include <string>
#include <vector>

namespace zrd::scope {

// Ticks keep at least this many pixels apart, so that their texts do not run into each other.
inline constexpr int kValueTickSpacingPx = 40;
inline constexpr int kTimeTickSpacingPx = 90;
// A visible time span from this on is labelled in seconds, a shorter one in milliseconds.
inline constexpr double kSecondsLabelSpan = 2.0;

struct AxisTick {
    int pixel = 0;  // y on the strip for a value axis, x for the time axis
    std::string label;
    friend bool operator==(const AxisTick&, const AxisTick&) = default;
};

// The smallest step of 1, 2 or 5 × 10^k that divides `span` into at most `maxIntervals` parts;
// 0 when the span or the count leaves nothing to divide.
double niceStep(double span, int maxIntervals);

// A tick value as text with as many decimals as the step needs, "." always, never "-0".
std::string tickText(double value, double step);

// The value ticks of a channel drawn as y = centre − trunc(v × gain) on a strip `height` pixels
// high: every multiple of a nice step that lands on the strip, top to bottom.
std::vector<AxisTick> valueTicks(double gain, int centre, int height);

// The time ticks of a strip `width` pixels wide that starts at sample `scroll`, sx pixels a
// sample, `tickSeconds` a sample: every multiple of a nice step in view, left to right, in ms or
// (for a span of kSecondsLabelSpan and more) in s, the unit after the number.
std::vector<AxisTick> timeTicks(int scroll, double sx, double tickSeconds, int width);

}  // namespace zrd::scope
