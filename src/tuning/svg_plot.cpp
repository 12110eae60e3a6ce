#include "tuning/svg_plot.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>

namespace zrd::tuning {
namespace chart_svg {
namespace {

// Around this many intervals between labelled ticks, never more than kMaxIntervals.
constexpr double kTargetIntervals = 6.0;
constexpr double kMaxIntervals = 8.0;
constexpr int kMaxTicks = 64;
constexpr std::array<double, 7> kDegreeSteps = {15.0, 30.0, 45.0, 90.0, 180.0, 360.0, 720.0};
// Up to this many decades the 2 and 5 of each are labelled as well.
constexpr double kLabelledMinorDecades = 4.0;
constexpr int kMaxDecimals = 6;
// Relative slack when a computed tick is compared with the range's ends.
constexpr double kTickSlack = 1e-9;

constexpr int kMarginLeft = 60;
constexpr int kMarginRight = 14;
constexpr int kMarginTop = 10;
constexpr int kMarginBottom = 38;
constexpr double kFontPx = 11.0;
// A rough width of one character of the chart's font, for the boxes of the legend and labels.
constexpr double kCharWidthPx = 6.2;
constexpr double kLegendRowPx = 15.0;
constexpr double kLegendSwatchPx = 20.0;
constexpr double kLegendPadPx = 6.0;
constexpr double kLineWidthPx = 1.6;
constexpr double kPointRadiusPx = 1.9;
constexpr double kArrowPx = 4.0;
// Coordinates far outside the plot are held here: the plot clips them, and the text stays short.
constexpr double kFarPx = 1e5;

constexpr const char* kFrameColour = "#8a8a8a";
constexpr const char* kMajorGridColour = "#d4d4d4";
constexpr const char* kMinorGridColour = "#eeeeee";
constexpr const char* kTextColour = "#333333";

bool finite(double v) {
    return std::isfinite(v);
}

// The fewest decimals (up to kMaxDecimals) that show the value exactly enough.
int decimalsOf(double value) {
    for (int d = 0; d < kMaxDecimals; ++d) {
        const double scaled = value * std::pow(10.0, d);
        if (std::abs(scaled - std::round(scaled)) <= kTickSlack * std::max(1.0, std::abs(scaled)))
            return d;
    }
    return kMaxDecimals;
}

double linearStep(double span) {
    const double raw = span / kTargetIntervals;
    if (!(raw > 0.0) || !finite(raw))
        return 1.0;
    const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
    for (const double m : {1.0, 2.0, 2.5, 5.0})
        if (raw <= m * magnitude * (1.0 + kTickSlack))
            return m * magnitude;
    return 10.0 * magnitude;
}

double degreeStep(double span) {
    for (const double step : kDegreeSteps)
        if (span / step <= kMaxIntervals)
            return step;
    return linearStep(span);
}

double stepOf(AxisScale scale, double span) {
    return scale == AxisScale::Degrees ? degreeStep(span) : linearStep(span);
}

// The largest 1, 2 or 5 × 10^n not above v (or, rounding up, the smallest not below it).
double logNiceBelow(double v) {
    const double decade = std::pow(10.0, std::floor(std::log10(v)));
    double out = decade;
    for (const double m : {2.0, 5.0, 10.0})
        if (m * decade <= v * (1.0 + kTickSlack))
            out = m * decade;
    return out;
}

double logNiceAbove(double v) {
    const double decade = std::pow(10.0, std::floor(std::log10(v)));
    for (const double m : {1.0, 2.0, 5.0})
        if (m * decade >= v * (1.0 - kTickSlack))
            return m * decade;
    return 10.0 * decade;
}

std::string logLabel(double v) {
    constexpr double kKilo = 1000.0;
    if (v >= kKilo)
        return decimalText(v / kKilo, decimalsOf(v / kKilo)) + "k";
    return decimalText(v, decimalsOf(v));
}

size_t codePoints(std::string_view text) {
    return static_cast<size_t>(std::count_if(text.begin(), text.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    }));
}

std::string px(double v) {
    return decimalText(std::clamp(v, -kFarPx, kFarPx), 1);
}

// Maps an axis's values to pixels along it.
class AxisMap {
public:
    AxisMap(AxisScale scale, AxisRange range, double px0, double px1)
        : m_log(scale == AxisScale::Log), m_px0(px0), m_px1(px1) {
        m_from = m_log ? std::log10(range.from) : range.from;
        m_to = m_log ? std::log10(range.to) : range.to;
    }
    [[nodiscard]] bool accepts(double v) const { return finite(v) && (!m_log || v > 0.0); }
    [[nodiscard]] double operator()(double v) const {
        const double u = m_log ? std::log10(v) : v;
        return m_px0 + (u - m_from) / (m_to - m_from) * (m_px1 - m_px0);
    }

private:
    bool m_log;
    double m_px0;
    double m_px1;
    double m_from = 0.0;
    double m_to = 1.0;
};

struct Frame {
    double left = 0.0;
    double top = 0.0;
    double width = 0.0;
    double height = 0.0;
};

void appendSeries(std::string& out, const ChartSeries& s, const AxisMap& mx, const AxisMap& my) {
    const std::string colour = markupEscaped(s.colour);
    const std::string opacity = decimalText(std::clamp(s.opacity, 0.0, 1.0), 2);
    if (s.style == SeriesStyle::Points) {
        out += "<g fill=\"" + colour + "\" fill-opacity=\"" + opacity + "\">";
        for (const ChartXY& p : s.points)
            if (mx.accepts(p.x) && my.accepts(p.y))
                out += "<circle cx=\"" + px(mx(p.x)) + "\" cy=\"" + px(my(p.y)) + "\" r=\"" +
                       decimalText(kPointRadiusPx, 1) + "\"/>";
        out += "</g>\n";
        return;
    }
    out += "<g fill=\"none\" stroke=\"" + colour + "\" stroke-opacity=\"" + opacity +
           "\" stroke-width=\"" + decimalText(kLineWidthPx, 1) + "\" stroke-linejoin=\"round\"" +
           (s.style == SeriesStyle::DashedLine ? " stroke-dasharray=\"6 4\"" : "") + ">";
    // A point that cannot be drawn ends the line; the next one starts another.
    std::string line;
    int count = 0;
    const auto flush = [&] {
        if (count > 1)
            out += "<polyline points=\"" + line + "\"/>";
        line.clear();
        count = 0;
    };
    for (const ChartXY& p : s.points) {
        if (!mx.accepts(p.x) || !my.accepts(p.y)) {
            flush();
            continue;
        }
        if (count > 0)
            line += ' ';
        line += px(mx(p.x)) + "," + px(my(p.y));
        ++count;
    }
    flush();
    out += "</g>\n";
}

std::string textElement(double x, double y, std::string_view anchor, std::string_view colour,
                        std::string_view text, std::string_view extra = {}) {
    std::string out = "<text x=\"" + px(x) + "\" y=\"" + px(y) + "\" text-anchor=\"";
    out += anchor;
    out += "\" fill=\"" + markupEscaped(colour) + "\"";
    out += extra;
    out += ">" + markupEscaped(text) + "</text>";
    return out;
}

// A label's place: the anchor's x, the baseline's y, and the side of the anchor it runs to.
struct LabelSpot {
    double x = 0.0;
    double y = 0.0;
    bool toLeft = false;
};

struct Box {
    double x0 = 0.0;
    double y0 = 0.0;
    double x1 = 0.0;
    double y1 = 0.0;
    [[nodiscard]] bool overlaps(const Box& o) const {
        return x0 < o.x1 && o.x0 < x1 && y0 < o.y1 && o.y0 < y1;
    }
};

constexpr double kDescentPx = 1.5;

double textWidth(std::string_view text, bool bold = false) {
    constexpr double kBoldWidening = 1.1;
    return static_cast<double>(codePoints(text)) * kCharWidthPx * (bold ? kBoldWidening : 1.0);
}

// Keeps the labels inside the plot apart: each takes the first of its spots that is free.
class LabelPlacer {
public:
    LabelPlacer(double width, double height) : m_width(width), m_height(height) {}
    void reserve(const Box& b) { m_taken.push_back(b); }
    LabelSpot place(const std::vector<LabelSpot>& spots, double width) {
        const auto boxOf = [width](const LabelSpot& s) {
            const double x0 = s.toLeft ? s.x - width : s.x;
            return Box{x0, s.y - kFontPx, x0 + width, s.y + kDescentPx};
        };
        for (const LabelSpot& s : spots) {
            const Box b = boxOf(s);
            const bool inside = b.x0 >= 0.0 && b.x1 <= m_width && b.y0 >= 0.0 && b.y1 <= m_height;
            if (inside && std::none_of(m_taken.begin(), m_taken.end(),
                                       [&b](const Box& t) { return t.overlaps(b); })) {
                m_taken.push_back(b);
                return s;
            }
        }
        m_taken.push_back(boxOf(spots.front()));
        return spots.front();
    }

private:
    double m_width;
    double m_height;
    std::vector<Box> m_taken;
};

constexpr int kLabelRows = 4;
// Lines a label should not cross are kept this wide.
constexpr double kLineKeepPx = 1.0;
constexpr double kLabelRowPx = kFontPx + 4.0;

void appendGuides(std::string& out, const Chart& chart, const AxisMap& mx, const AxisMap& my,
                  const Frame& f, LabelPlacer& labels) {
    for (const ChartGuide& g : chart.guides) {
        const AxisMap& m = g.vertical ? mx : my;
        if (!m.accepts(g.at))
            continue;
        const double at = m(g.at);
        const std::string colour = markupEscaped(g.colour);
        const std::string line =
            "<line stroke=\"" + colour + "\" stroke-width=\"1\" stroke-dasharray=\"3 3\" ";
        std::vector<LabelSpot> spots;
        if (g.vertical) {
            out += line + "x1=\"" + px(at) + "\" y1=\"0\" x2=\"" + px(at) + "\" y2=\"" +
                   px(f.height) + "\"/>";
            for (int row = 0; row < kLabelRows; ++row) {
                const double y = kFontPx + 2.0 + row * kLabelRowPx;
                spots.push_back({at + 3.0, y, false});
                spots.push_back({at - 3.0, y, true});
            }
        } else {
            out += line + "x1=\"0\" y1=\"" + px(at) + "\" x2=\"" + px(f.width) + "\" y2=\"" +
                   px(at) + "\"/>";
            spots = {{4.0, at - 3.0, false},
                     {4.0, at + kFontPx + 2.0, false},
                     {f.width - 4.0, at - 3.0, true},
                     {f.width - 4.0, at + kFontPx + 2.0, true}};
        }
        if (!g.label.empty()) {
            const LabelSpot s = labels.place(spots, textWidth(g.label));
            out += textElement(s.x, s.y, s.toLeft ? "end" : "start", g.colour, g.label);
        }
        out += "\n";
    }
}

void appendSpans(std::string& out, const Chart& chart, const AxisMap& mx, const AxisMap& my,
                 LabelPlacer& labels) {
    for (const ChartSpan& s : chart.spans) {
        if (!mx.accepts(s.x) || !my.accepts(s.fromY) || !my.accepts(s.toY))
            continue;
        const double x = mx(s.x);
        const double y0 = my(s.fromY);
        const double y1 = my(s.toY);
        const std::string colour = markupEscaped(s.colour);
        out += "<g stroke=\"" + colour + "\" fill=\"" + colour + "\" stroke-width=\"1.2\">";
        out += "<line x1=\"" + px(x) + "\" y1=\"" + px(y0) + "\" x2=\"" + px(x) + "\" y2=\"" +
               px(y1) + "\"/>";
        // Heads at both ends, pointing away from the middle.
        for (const auto& [tip, back] : {std::pair{y0, y1}, std::pair{y1, y0}}) {
            const double dir = back > tip ? 1.0 : -1.0;
            out += "<path stroke=\"none\" d=\"M" + px(x) + " " + px(tip) + " L" + px(x - kArrowPx) +
                   " " + px(tip + dir * kArrowPx * 1.5) + " L" + px(x + kArrowPx) + " " +
                   px(tip + dir * kArrowPx * 1.5) + " Z\"/>";
        }
        out += "</g>";
        if (!s.label.empty()) {
            const double mid = (y0 + y1) / 2.0 + kFontPx / 3.0;
            std::vector<LabelSpot> spots;
            for (int row = 0; row < kLabelRows; ++row)
                for (const double sign : {1.0, -1.0}) {
                    const double y = mid + sign * row * kLabelRowPx;
                    spots.push_back({x + 6.0, y, false});
                    spots.push_back({x - 6.0, y, true});
                    if (row == 0)
                        break;
                }
            const LabelSpot p = labels.place(spots, textWidth(s.label, true));
            out += textElement(p.x, p.y, p.toLeft ? "end" : "start", s.colour, s.label,
                               " font-weight=\"bold\"");
        }
        out += "\n";
    }
}

std::vector<const ChartSeries*> legendEntries(const Chart& chart) {
    std::vector<const ChartSeries*> named;
    for (const ChartSeries& s : chart.series)
        if (chart.legend && !s.name.empty())
            named.push_back(&s);
    return named;
}

// The legend's box in the plot's coordinates, at its top right.
std::optional<Box> legendBox(const Chart& chart, const Frame& f) {
    const std::vector<const ChartSeries*> named = legendEntries(chart);
    if (named.empty())
        return std::nullopt;
    double longest = 0.0;
    for (const ChartSeries* s : named)
        longest = std::max(longest, textWidth(s->name));
    const double w = 2.0 * kLegendPadPx + kLegendSwatchPx + 6.0 + longest;
    const double h = 2.0 * kLegendPadPx + static_cast<double>(named.size()) * kLegendRowPx - 4.0;
    return Box{f.width - w - 6.0, 6.0, f.width - 6.0, 6.0 + h};
}

// The legend, the guide lines and the spans' arrows: no label goes over them.
void reserveMarks(LabelPlacer& labels, const Chart& chart, const AxisMap& mx, const AxisMap& my,
                  const Frame& f) {
    if (const std::optional<Box> legend = legendBox(chart, f))
        labels.reserve(*legend);
    for (const ChartGuide& g : chart.guides) {
        if (!(g.vertical ? mx : my).accepts(g.at))
            continue;
        const double at = (g.vertical ? mx : my)(g.at);
        labels.reserve(g.vertical ? Box{at - kLineKeepPx, 0.0, at + kLineKeepPx, f.height}
                                  : Box{0.0, at - kLineKeepPx, f.width, at + kLineKeepPx});
    }
    for (const ChartSpan& s : chart.spans)
        if (mx.accepts(s.x) && my.accepts(s.fromY) && my.accepts(s.toY))
            labels.reserve({mx(s.x) - kArrowPx, std::min(my(s.fromY), my(s.toY)),
                            mx(s.x) + kArrowPx, std::max(my(s.fromY), my(s.toY))});
}

void appendLegend(std::string& out, const Chart& chart, const Frame& f) {
    const std::optional<Box> box = legendBox(chart, f);
    if (!box)
        return;
    const std::vector<const ChartSeries*> named = legendEntries(chart);
    const double x = f.left + box->x0;
    const double y = f.top + box->y0;
    out += "<g><rect x=\"" + px(x) + "\" y=\"" + px(y) + "\" width=\"" + px(box->x1 - box->x0) +
           "\" height=\"" + px(box->y1 - box->y0) +
           "\" fill=\"#ffffff\" fill-opacity=\"0.9\" stroke=\"#bbbbbb\"/>";
    for (size_t i = 0; i < named.size(); ++i) {
        const ChartSeries& s = *named[i];
        const double row = y + kLegendPadPx + 5.0 + static_cast<double>(i) * kLegendRowPx;
        const double sx = x + kLegendPadPx;
        const std::string colour = markupEscaped(s.colour);
        const std::string opacity = decimalText(std::clamp(s.opacity, 0.0, 1.0), 2);
        if (s.style == SeriesStyle::Points) {
            for (const double dx : {0.25, 0.5, 0.75})
                out += "<circle cx=\"" + px(sx + dx * kLegendSwatchPx) + "\" cy=\"" + px(row) +
                       "\" r=\"2.2\" fill=\"" + colour + "\" fill-opacity=\"" + opacity + "\"/>";
        } else {
            out += "<line x1=\"" + px(sx) + "\" y1=\"" + px(row) + "\" x2=\"" +
                   px(sx + kLegendSwatchPx) + "\" y2=\"" + px(row) + "\" stroke=\"" + colour +
                   "\" stroke-opacity=\"" + opacity + "\" stroke-width=\"2\"" +
                   (s.style == SeriesStyle::DashedLine ? " stroke-dasharray=\"6 4\"" : "") + "/>";
        }
        out += textElement(sx + kLegendSwatchPx + 6.0, row + kFontPx / 3.0, "start", kTextColour,
                           s.name);
    }
    out += "</g>\n";
}

struct DataExtent {
    std::optional<double> low;
    std::optional<double> high;
    void add(double v) {
        low = low ? std::min(*low, v) : v;
        high = high ? std::max(*high, v) : v;
    }
};

// A range that maps to pixels: finite, rising, with a span a double can hold.
AxisRange usableRange(AxisRange r, bool log) {
    const double span = log ? std::log10(r.to) - std::log10(r.from) : r.to - r.from;
    if (finite(r.from) && finite(r.to) && (!log || r.from > 0.0) && finite(span) && span > 0.0)
        return r;
    return log ? AxisRange{1.0, 10.0} : AxisRange{0.0, 1.0};
}

AxisRange rangeOf(const ChartAxis& axis, std::optional<double> low, std::optional<double> high) {
    const bool log = axis.scale == AxisScale::Log;
    const auto usable = [log](std::optional<double> v) {
        return v && finite(*v) && (!log || *v > 0.0);
    };
    if (axis.lowerBound && usable(axis.lowerBound) && usable(low))
        low = std::max(*low, *axis.lowerBound);
    if (axis.upperBound && usable(axis.upperBound) && usable(high))
        high = std::min(*high, *axis.upperBound);
    if (usable(axis.from))
        low = axis.from;
    if (usable(axis.to))
        high = axis.to;
    if (!usable(low) || !usable(high) || *low > *high) {
        low = log ? 1.0 : 0.0;
        high = log ? 10.0 : 1.0;
    }
    double lo = *low;
    double hi = *high;
    if (lo == hi) {
        lo = log ? lo / 2.0 : lo - 1.0;
        hi = log ? hi * 2.0 : hi + 1.0;
    }
    AxisRange r{lo, hi};
    if (log) {
        r.from = axis.from ? lo : logNiceBelow(lo);
        r.to = axis.to ? hi : logNiceAbove(hi);
        return usableRange(r, log);
    }
    // The step of the widened range may differ from the data's: widen with the wider one.
    double step = stepOf(axis.scale, hi - lo);
    for (int pass = 0; pass < 2; ++pass) {
        r.from = axis.from ? lo : std::floor(lo / step + kTickSlack) * step;
        r.to = axis.to ? hi : std::ceil(hi / step - kTickSlack) * step;
        step = stepOf(axis.scale, r.to - r.from);
    }
    if (!axis.from && axis.lowerBound)
        r.from = std::max(r.from, *axis.lowerBound);
    if (!axis.to && axis.upperBound)
        r.to = std::min(r.to, *axis.upperBound);
    return usableRange(r, log);
}

std::vector<AxisTick> ticksOf(AxisScale scale, AxisRange range) {
    std::vector<AxisTick> ticks;
    if (!(range.to > range.from))
        return ticks;
    if (scale == AxisScale::Log) {
        if (!(range.from > 0.0))
            return ticks;
        const double decades = std::log10(range.to / range.from);
        const int first = static_cast<int>(std::floor(std::log10(range.from)));
        const int last = static_cast<int>(std::ceil(std::log10(range.to)));
        for (int e = first; e <= last; ++e) {
            const double decade = std::pow(10.0, e);
            for (int m = 1; m <= 9; ++m) {
                const double v = m * decade;
                if (v < range.from * (1.0 - kTickSlack) || v > range.to * (1.0 + kTickSlack))
                    continue;
                const bool labelled = m == 1 ||
                                      (decades <= kLabelledMinorDecades && (m == 2 || m == 5)) ||
                                      decades < 1.0;
                ticks.push_back({v, labelled ? logLabel(v) : std::string{}});
            }
        }
        return ticks;
    }
    const double step = stepOf(scale, range.to - range.from);
    const int decimals = decimalsOf(step);
    const double first = std::ceil(range.from / step - kTickSlack);
    // Bounded, so that a step lost in the values' precision cannot run on.
    for (int i = 0; i < kMaxTicks; ++i) {
        const double v = (first + i) * step;
        if (v > range.to + kTickSlack * step)
            break;
        ticks.push_back({v, decimalText(v, decimals)});
    }
    return ticks;
}

std::string render(const Chart& chart) {
    const Frame f{static_cast<double>(kMarginLeft), static_cast<double>(kMarginTop),
                  static_cast<double>(chart.widthPx - kMarginLeft - kMarginRight),
                  static_cast<double>(chart.heightPx - kMarginTop - kMarginBottom)};
    DataExtent xs;
    DataExtent ys;
    const bool logX = chart.x.scale == AxisScale::Log;
    const bool logY = chart.y.scale == AxisScale::Log;
    for (const ChartSeries& s : chart.series)
        for (const ChartXY& p : s.points) {
            if (!finite(p.x) || !finite(p.y) || (logX && p.x <= 0.0) || (logY && p.y <= 0.0))
                continue;
            xs.add(p.x);
            ys.add(p.y);
        }
    const AxisRange rx = rangeOf(chart.x, xs.low, xs.high);
    // The y range follows the data inside the x range shown.
    DataExtent shown;
    for (const ChartSeries& s : chart.series)
        for (const ChartXY& p : s.points)
            if (finite(p.x) && finite(p.y) && p.x >= rx.from && p.x <= rx.to &&
                (!logY || p.y > 0.0))
                shown.add(p.y);
    const AxisRange ry = rangeOf(chart.y, shown.low, shown.high);
    const AxisMap mx(chart.x.scale, rx, 0.0, f.width);
    const AxisMap my(chart.y.scale, ry, f.height, 0.0);

    std::string out = "<svg xmlns=\"http://www.w3.org/2000/svg\" viewBox=\"0 0 " +
                      std::to_string(chart.widthPx) + " " + std::to_string(chart.heightPx) +
                      "\" width=\"" + std::to_string(chart.widthPx) + "\" height=\"" +
                      std::to_string(chart.heightPx) +
                      "\" font-family=\"Helvetica, Arial, sans-serif\" font-size=\"" +
                      decimalText(kFontPx, 0) + "\" role=\"img\">\n";
    if (!chart.description.empty())
        out += "<title>" + markupEscaped(chart.description) + "</title>\n";
    out += "<rect x=\"" + px(f.left) + "\" y=\"" + px(f.top) + "\" width=\"" + px(f.width) +
           "\" height=\"" + px(f.height) + "\" fill=\"#ffffff\"/>\n";

    // Grid and tick labels.
    out += "<g stroke-width=\"1\">";
    for (const AxisTick& t : ticksOf(chart.x.scale, rx)) {
        const double x = f.left + mx(t.value);
        out += "<line x1=\"" + px(x) + "\" y1=\"" + px(f.top) + "\" x2=\"" + px(x) + "\" y2=\"" +
               px(f.top + f.height) + "\" stroke=\"" +
               (t.label.empty() ? kMinorGridColour : kMajorGridColour) + "\"/>";
        if (!t.label.empty())
            out += textElement(x, f.top + f.height + kFontPx + 4.0, "middle", kTextColour, t.label);
    }
    for (const AxisTick& t : ticksOf(chart.y.scale, ry)) {
        const double y = f.top + my(t.value);
        out += "<line x1=\"" + px(f.left) + "\" y1=\"" + px(y) + "\" x2=\"" + px(f.left + f.width) +
               "\" y2=\"" + px(y) + "\" stroke=\"" +
               (t.label.empty() ? kMinorGridColour : kMajorGridColour) + "\"/>";
        if (!t.label.empty())
            out += textElement(f.left - 5.0, y + kFontPx / 3.0, "end", kTextColour, t.label);
    }
    out += "</g>\n";
    if (!chart.x.title.empty())
        out += textElement(f.left + f.width / 2.0, chart.heightPx - 6.0, "middle", kTextColour,
                           chart.x.title) +
               "\n";
    if (!chart.y.title.empty()) {
        const double cx = kFontPx + 2.0;
        const double cy = f.top + f.height / 2.0;
        out += textElement(cx, cy, "middle", kTextColour, chart.y.title,
                           " transform=\"rotate(-90 " + px(cx) + " " + px(cy) + ")\"") +
               "\n";
    }

    // The plot area as its own viewport clips what lies outside it.
    out += "<svg x=\"" + px(f.left) + "\" y=\"" + px(f.top) + "\" width=\"" + px(f.width) +
           "\" height=\"" + px(f.height) + "\" overflow=\"hidden\">\n";
    LabelPlacer labels(f.width, f.height);
    reserveMarks(labels, chart, mx, my, f);
    for (const ChartSeries& s : chart.series)
        appendSeries(out, s, mx, my);
    appendGuides(out, chart, mx, my, f, labels);
    appendSpans(out, chart, mx, my, labels);
    out += "</svg>\n";
    out += "<rect x=\"" + px(f.left) + "\" y=\"" + px(f.top) + "\" width=\"" + px(f.width) +
           "\" height=\"" + px(f.height) + "\" fill=\"none\" stroke=\"" + kFrameColour + "\"/>\n";
    appendLegend(out, chart, f);
    out += "</svg>\n";
    return out;
}

}  // namespace
}  // namespace chart_svg

std::string markupEscaped(std::string_view text) {
    constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
    std::string out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            switch (c) {
                case '&':
                    out += "&amp;";
                    break;
                case '<':
                    out += "&lt;";
                    break;
                case '>':
                    out += "&gt;";
                    break;
                case '"':
                    out += "&quot;";
                    break;
                case '\'':
                    out += "&#39;";
                    break;
                case '\t':
                case '\n':
                case '\r':
                    out += static_cast<char>(c);
                    break;
                default:
                    // Other control characters have no place in markup.
                    if (c >= 0x20 && c != 0x7F)
                        out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        // A whole, shortest, non-surrogate UTF-8 sequence passes; anything else is one U+FFFD.
        const size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
        bool valid = length > 0 && c <= 0xF4 && i + length <= text.size();
        for (size_t k = 1; valid && k < length; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (valid && length >= 3) {
            const auto c1 = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0) &&
                    !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
        }
        if (valid) {
            out.append(text.substr(i, length));
            i += length;
        } else {
            out += kReplacement;
            ++i;
        }
    }
    return out;
}

std::string decimalText(double value, int decimals) {
    if (!std::isfinite(value))
        return {};
    std::array<char, 64> buf{};
    const auto [end, error] = std::to_chars(buf.data(), buf.data() + buf.size(), value,
                                            std::chars_format::fixed, std::max(0, decimals));
    if (error != std::errc{})
        return {};
    std::string out(buf.data(), end);
    if (out.front() == '-' && out.find_first_not_of("-0.") == std::string::npos)
        out.erase(0, 1);
    return out;
}

AxisRange axisRange(const ChartAxis& axis, std::optional<double> low, std::optional<double> high) {
    return chart_svg::rangeOf(axis, low, high);
}

std::vector<AxisTick> axisTicks(AxisScale scale, AxisRange range) {
    return chart_svg::ticksOf(scale, range);
}

std::string chartSvg(const Chart& chart) {
    return chart_svg::render(chart);
}

}  // namespace zrd::tuning
