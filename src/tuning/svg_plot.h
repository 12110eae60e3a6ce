#pragma once

// Small charts as inline SVG for printable reports: a linear, degree or logarithmic x and y
// axis with a grid and labelled ticks, series drawn as lines or points, guide lines, labelled
// spans (a margin between two levels) and a legend. The markup carries no scripts, styles or
// ids, so that any number of charts can share one HTML page and print as drawn.
//
// How the reports use it: fill a Chart with the curves (points with a non-finite coordinate,
// or a non-positive one on a logarithmic axis, are left out and break a line), give the ranges
// the reader should see or bound the ones taken from the data, and insert chartSvg(chart).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zrd::tuning {

enum class AxisScale {
    Linear,   // ticks at 1, 2 or 5 × 10^n
    Degrees,  // ticks at multiples of 15°, 30°, 45°, 90° or 180°
    Log,      // decades with their 2..9 as minor ticks
};

struct ChartAxis {
    std::string title;  // "Frequency (Hz)"
    AxisScale scale = AxisScale::Linear;
    // The range shown; where not given, the data's range widened to whole ticks, but never past
    // the bounds.
    std::optional<double> from;
    std::optional<double> to;
    std::optional<double> lowerBound;
    std::optional<double> upperBound;
};

struct ChartXY {
    double x = 0.0;
    double y = 0.0;
};

enum class SeriesStyle { Line, DashedLine, Points };

struct ChartSeries {
    std::string name;    // in the legend; empty: left out of it
    std::string colour;  // "#1f5fa8"
    SeriesStyle style = SeriesStyle::Line;
    double opacity = 1.0;
    std::vector<ChartXY> points;
};

// A line across the plot: vertical at x, or horizontal at y.
struct ChartGuide {
    bool vertical = true;
    double at = 0.0;
    std::string label;
    std::string colour = "#555555";
};

// A double-headed arrow at x from one level to another, labelled beside it.
struct ChartSpan {
    double x = 0.0;
    double fromY = 0.0;
    double toY = 0.0;
    std::string label;
    std::string colour = "#555555";
};

struct Chart {
    ChartAxis x;
    ChartAxis y;
    std::vector<ChartSeries> series;
    std::vector<ChartGuide> guides;
    std::vector<ChartSpan> spans;
    std::string description;  // for readers that cannot see the picture
    bool legend = true;
    int widthPx = 720;
    int heightPx = 250;
};

// One <svg> element, complete.
[[nodiscard]] std::string chartSvg(const Chart& chart);

struct AxisTick {
    double value = 0.0;
    std::string label;  // empty: a minor tick, grid line only
};
// The range an axis shows for data from `low` to `high`.
struct AxisRange {
    double from = 0.0;
    double to = 1.0;
};
[[nodiscard]] AxisRange axisRange(const ChartAxis& axis, std::optional<double> low,
                                  std::optional<double> high);
// The ticks of a range, in rising order.
[[nodiscard]] std::vector<AxisTick> axisTicks(AxisScale scale, AxisRange range);

// Text for HTML and SVG: & < > " ' as entities, control characters left out, bytes that are
// no UTF-8 as U+FFFD.
[[nodiscard]] std::string markupEscaped(std::string_view text);
// The number with `decimals` digits after a "." whatever the locale, no "-0"; "" when it is
// not finite.
[[nodiscard]] std::string decimalText(double value, int decimals);

}  // namespace zrd::tuning
