#include "tuning/tune_report.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <complex>
#include <map>
#include <numbers>
#include <tuple>

#include "tuning/svg_plot.h"

namespace zrd::tuning {
namespace tune_report {
namespace {

constexpr const char* kPlaceholder = "—";
constexpr const char* kInfinite = "∞";

constexpr const char* kBeforeColour = "#8c8c8c";
constexpr const char* kProposedColour = "#1f5fa8";
constexpr const char* kMeasuredColour = "#d9730d";
constexpr const char* kModelColour = "#c0392b";
constexpr const char* kCommandColour = "#333333";
constexpr const char* kGuideColour = "#555555";
// Bins the coherence masks stay visible, but only just.
constexpr double kMaskedOpacity = 0.3;

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
constexpr double kFullTurnDeg = 360.0;
constexpr double kPhaseCrossoverDeg = -180.0;
constexpr double kBandwidthLevelDb = -3.0;
constexpr double kMsPerS = 1000.0;
constexpr int kModelPoints = 400;

// What the loop charts show: the levels that matter, not the model's far tails.
constexpr double kOpenLoopFloorDb = -80.0;
constexpr double kOpenLoopCeilingDb = 80.0;
constexpr double kClosedLoopFloorDb = -40.0;
constexpr double kClosedLoopCeilingDb = 20.0;
constexpr double kPhaseFloorDeg = -720.0;
constexpr double kPhaseCeilingDeg = 180.0;

constexpr int kMagnitudeChartPx = 230;
constexpr int kPhaseChartPx = 190;
constexpr int kStepChartPx = 260;

std::string escaped(std::string_view text) {
    return text.empty() ? std::string(kPlaceholder) : markupEscaped(text);
}

std::string number(std::optional<double> v, int decimals) {
    const std::string text = v ? decimalText(*v, decimals) : std::string{};
    return text.empty() ? std::string(kPlaceholder) : text;
}

// About `digits` significant digits; a large value shows none of its decimals.
std::string significant(std::optional<double> v, int digits) {
    if (!v || !std::isfinite(*v))
        return kPlaceholder;
    const double magnitude = *v == 0.0 ? 0.0 : std::floor(std::log10(std::abs(*v)));
    constexpr int kMaxDecimals = 6;
    return number(v, std::clamp(digits - 1 - static_cast<int>(magnitude), 0, kMaxDecimals));
}

// A gain margin that does not exist past a crossover is infinite.
std::string gainMarginText(std::optional<double> crossoverHz, std::optional<double> marginDb) {
    if (marginDb)
        return number(marginDb, 1);
    return crossoverHz ? kInfinite : kPlaceholder;
}

std::string td(const std::string& content, bool numeric = false) {
    return numeric ? "<td class=\"n\">" + content + "</td>" : "<td>" + content + "</td>";
}

std::string filterTypeName(int type) {
    switch (static_cast<FilterType>(type)) {
        case FilterType::Off:
            return "off";
        case FilterType::LowPass:
            return "low-pass";
        case FilterType::BandStop:
            return "notch";
        case FilterType::EqualiserCut:
            return "equaliser cut";
        case FilterType::EqualiserBoost:
            return "equaliser boost";
    }
    return "type " + std::to_string(type);
}

bool usesGain(int type) {
    return type == static_cast<int>(FilterType::EqualiserCut) ||
           type == static_cast<int>(FilterType::EqualiserBoost);
}

// Type, Hz, Q, gain of a slot; a slot that is off shows its type only.
std::string filterCells(const TunedFilter* f) {
    if (!f || f->type == static_cast<int>(FilterType::Off))
        return td("off") + td(kPlaceholder, true) + td(kPlaceholder, true) + td(kPlaceholder, true);
    return td(markupEscaped(filterTypeName(f->type))) + td(number(f->hz, 1), true) +
           td(number(f->q, 3), true) +
           td(usesGain(f->type) ? number(f->gainDb, 1) : kPlaceholder, true);
}

bool sameFilter(const TunedFilter* a, const TunedFilter* b) {
    const auto active = [](const TunedFilter* f) {
        return f && f->type != static_cast<int>(FilterType::Off);
    };
    if (!active(a) || !active(b))
        return active(a) == active(b);
    return a->type == b->type && a->hz == b->hz && a->q == b->q && a->gainDb == b->gainDb;
}

int activeFilters(const TunedLoop& loop) {
    return static_cast<int>(std::count_if(loop.filters.begin(), loop.filters.end(), [](auto& f) {
        return f.type != static_cast<int>(FilterType::Off);
    }));
}

bool anyCheckFailed(const TuneResult& r) {
    return std::any_of(r.checks.begin(), r.checks.end(), [](auto& c) { return !c.passed; });
}

struct Verdict {
    const char* kind;  // the badge's class
    std::string text;
};

Verdict verdictOf(const TuneResult& r) {
    if (!r.applied)
        return {"dry", "Dry run — no tuning parameter changed"};
    if (r.verified)
        return {"ok", r.saved ? "Applied and verified — saved to EEPROM"
                              : "Applied and verified — in RAM, not saved to EEPROM"};
    if (anyCheckFailed(r))
        return {"fail", r.notRestored.empty() ? "Verification failed — previous values restored"
                                              : "Verification failed — not every value restored"};
    return {"fail", "Applied, not verified"};
}

constexpr const char* kStyle = R"(
@page { size: A4; margin: 14mm 12mm; }
body { font-family: "Helvetica Neue", Helvetica, Arial, sans-serif; font-size: 10.5pt;
  line-height: 1.35; color: #222; max-width: 190mm; margin: 0 auto; padding: 14px; }
header { display: flex; justify-content: space-between; align-items: flex-end; gap: 16px;
  border-bottom: 3px solid #1f5fa8; padding-bottom: 8px; margin-bottom: 10px; }
h1 { font-size: 17pt; margin: 0 0 6px; color: #1f3f6a; }
h2 { font-size: 12.5pt; color: #1f3f6a; border-bottom: 1px solid #c8d3e0; margin: 18px 0 6px;
  padding-bottom: 2px; break-after: avoid; }
h3 { font-size: 10.5pt; margin: 10px 0 4px; }
table { border-collapse: collapse; width: 100%; margin: 4px 0 8px; }
th, td { border: 1px solid #c8c8c8; padding: 3px 7px; text-align: left; vertical-align: top; }
th { background: #eef2f7; font-weight: 600; }
td.n { text-align: right; white-space: nowrap; font-variant-numeric: tabular-nums; }
tr.changed td { background: #fff6db; }
table.meta { width: auto; margin: 0; }
table.meta th, table.meta td { border: none; background: none; padding: 1px 12px 1px 0; }
table.meta th { color: #555; font-weight: normal; }
.verdict { padding: 7px 14px; border-radius: 4px; font-weight: 700; font-size: 11.5pt;
  text-align: center; }
.verdict.ok { background: #e3f4e6; color: #1d6b2b; border: 1px solid #8cc89a; }
.verdict.fail { background: #fbe4e2; color: #9b2219; border: 1px solid #e09a92; }
.verdict.dry { background: #e8eef7; color: #1f3f6a; border: 1px solid #a9bcd8; }
.pass { color: #1d6b2b; font-weight: 700; }
.failed { color: #9b2219; font-weight: 700; }
.alert { border-left: 4px solid #c0392b; background: #fdf1f0; padding: 6px 10px; margin: 6px 0; }
.note { color: #555; font-size: 9.5pt; }
figure { margin: 8px 0 16px; break-inside: avoid; page-break-inside: avoid; }
figcaption { font-size: 9.5pt; color: #444; margin-top: 3px; }
svg { display: block; max-width: 100%; height: auto; }
footer { margin-top: 20px; border-top: 1px solid #ccc; padding-top: 4px; font-size: 8.5pt;
  color: #777; }
@media print {
  body { padding: 0; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
)";

std::string headerSection(const TuneResult& r, const TuneReportInfo& info) {
    const Verdict v = verdictOf(r);
    std::string out = "<header>\n<div>\n<h1>Speed loop tuning report</h1>\n<table class=\"meta\">";
    for (const auto& [label, value] :
         {std::pair<const char*, const std::string&>{"Program", info.program},
          {"Drive", info.drive},
          {"Port", info.port},
          {"Date", info.date}})
        out += std::string("<tr><th>") + label + "</th><td>" + escaped(value) + "</td></tr>";
    out += "</table>\n</div>\n<div class=\"verdict " + std::string(v.kind) + "\">" +
           markupEscaped(v.text) + "</div>\n</header>\n";

    // The outcome in one sentence, for the reader who reads nothing else.
    const int filters = activeFilters(r.proposed);
    out += "<p>Proposed: KPV " + number(r.proposed.kpvMaPerRpm, 2) + " mA/rpm and KIV " +
           number(r.proposed.kivMs, 1) + " ms with " + std::to_string(filters) +
           (filters == 1 ? " filter" : " filters") + "; predicted crossover " +
           number(r.predicted.crossoverHz, 1) + " Hz, phase margin " +
           number(r.predicted.phaseMarginDeg, 1) + "°, gain margin " +
           gainMarginText(r.predicted.crossoverHz, r.predicted.gainMarginDb) + " dB.</p>\n";
    return out;
}

std::string modelSection(const TuneResult& r) {
    std::string out = "<h2>Fitted plant model</h2>\n";
    if (r.estimate.status != EstimateStatus::Ok || r.fit.status != FitStatus::Ok) {
        const std::string_view why = estimateStatusText(r.estimate.status);
        return out + "<p class=\"alert\">No model could be fitted" +
               (why.empty() ? std::string(".") : ": " + markupEscaped(why)) + "</p>\n";
    }
    const PlantFit& f = r.fit;
    out += "<table>\n<tr><th>Quantity</th><th>Value</th><th>Unit</th></tr>\n";
    const auto row = [&out](const char* name, const std::string& value, const char* unit) {
        out += std::string("<tr>") + td(name) + td(value, true) + td(unit) + "</tr>\n";
    };
    row("Total inertia J", significant(f.inertiaKgCm2, 3), "kg·cm²");
    row("Inertia ratio JRATIO", number(f.inertiaRatioPercent, 0), "%");
    row("Viscous damping", significant(f.viscousNcmPerKrpm, 3), "N·cm/krpm");
    row("Feedback delay", number(f.model.delayS * kMsPerS, 3), "ms");
    row("Fit residual (RMS)", number(f.residualDb, 2), "dB");
    row("Coherent bins",
        std::to_string(r.estimate.coherentBins) + " of " + std::to_string(r.estimate.bins.size()),
        "");
    out += "</table>\n";
    if (f.model.modes.empty())
        return out + "<p class=\"note\">No resonance in the measured band: a rigid body.</p>\n";
    out +=
        "<table>\n<tr><th>Mode</th><th>Anti-resonance (Hz)</th><th>Damping</th>"
        "<th>Resonance (Hz)</th><th>Damping</th></tr>\n";
    for (size_t i = 0; i < f.model.modes.size(); ++i) {
        const PlantMode& m = f.model.modes[i];
        out += "<tr>" + td(std::to_string(i + 1)) + td(number(m.antiResonanceHz, 1), true) +
               td(number(m.antiResonanceDamping, 3), true) + td(number(m.resonanceHz, 1), true) +
               td(number(m.resonanceDamping, 3), true) + "</tr>\n";
    }
    return out + "</table>\n";
}

std::string parameterSection(const TuneResult& r) {
    std::string out =
        "<h2>Speed loop parameters</h2>\n<table>\n<tr><th>Parameter</th><th>Meaning</th>"
        "<th>Before</th><th>Proposed</th><th>Unit</th></tr>\n";
    const auto row = [&out](const char* name, const char* meaning, const std::string& before,
                            const std::string& proposed, const char* unit) {
        out += std::string(before != proposed ? "<tr class=\"changed\">" : "<tr>") + td(name) +
               td(meaning) + td(before, true) + td(proposed, true) + td(unit) + "</tr>\n";
    };
    row("KPV", "proportional gain", number(r.before.kpvMaPerRpm, 2),
        number(r.proposed.kpvMaPerRpm, 2), "mA/rpm");
    row("KIV", "integral time", number(r.before.kivMs, 1), number(r.proposed.kivMs, 1), "ms");
    out += "</table>\n";

    std::map<int, std::pair<const TunedFilter*, const TunedFilter*>> slots;
    for (const TunedFilter& f : r.before.filters)
        slots[f.slot].first = &f;
    for (const TunedFilter& f : r.proposed.filters)
        slots[f.slot].second = &f;
    out += "<h3>Filter slots</h3>\n";
    if (slots.empty())
        return out + "<p class=\"note\">No filter slot in use before or as proposed.</p>\n";
    out +=
        "<table>\n<tr><th rowspan=\"2\">Slot</th><th colspan=\"4\">Before</th>"
        "<th colspan=\"4\">Proposed</th></tr>\n<tr>";
    for (int side = 0; side < 2; ++side)
        out += "<th>Type</th><th>Hz</th><th>Q</th><th>Gain (dB)</th>";
    out += "</tr>\n";
    for (const auto& [slot, pair] : slots)
        out +=
            std::string(sameFilter(pair.first, pair.second) ? "<tr>" : "<tr class=\"changed\">") +
            td(std::to_string(slot)) + filterCells(pair.first) + filterCells(pair.second) +
            "</tr>\n";
    return out +
           "</table>\n<p class=\"note\">Changed values are highlighted. Values in the "
           "parameters' engineering units, quantised as the drive holds them.</p>\n";
}

std::optional<double> peakDb(const std::vector<ChartPoint>& curve) {
    std::optional<double> peak;
    for (const ChartPoint& p : curve)
        if (std::isfinite(p.magnitudeDb))
            peak = peak ? std::max(*peak, p.magnitudeDb) : p.magnitudeDb;
    return peak;
}

std::string figuresSection(const TuneResult& r) {
    const LoopPrediction& b = r.predictedBefore;
    const bool haveBefore = !b.openLoop.empty();
    const bool haveBeforeClosed = !b.closedLoop.empty();
    const bool haveProposedClosed = !r.predictedProposed.closedLoop.empty();
    const LoopFigures none;
    const LoopFigures& m = r.measured ? *r.measured : none;
    const auto optionalIf = [](bool have, double v) {
        return have ? std::optional<double>(v) : std::nullopt;
    };
    std::string out =
        "<h2>Predicted and measured figures</h2>\n<table>\n<tr><th>Figure</th>"
        "<th>Before (predicted)</th><th>Proposed (predicted)</th><th>Measured</th></tr>\n";
    const auto row = [&out](const char* name, const std::string& before,
                            const std::string& proposed, const std::string& measured) {
        out += std::string("<tr>") + td(name) + td(before, true) + td(proposed, true) +
               td(measured, true) + "</tr>\n";
    };
    row("Crossover (Hz)", number(b.margins.crossoverHz, 1), number(r.predicted.crossoverHz, 1),
        number(m.crossoverHz, 1));
    row("Phase margin (°)", number(b.margins.phaseMarginDeg, 1),
        number(r.predicted.phaseMarginDeg, 1), number(m.phaseMarginDeg, 1));
    row("Gain margin (dB)",
        haveBefore ? gainMarginText(b.margins.crossoverHz, b.margins.gainMarginDb) : kPlaceholder,
        gainMarginText(r.predicted.crossoverHz, r.predicted.gainMarginDb),
        r.measured ? gainMarginText(m.crossoverHz, m.gainMarginDb) : kPlaceholder);
    row("Bandwidth −3 dB (Hz)", number(b.bandwidthHz, 1), number(r.predicted.bandwidthHz, 1),
        number(m.bandwidthHz, 1));
    row("Closed-loop peak (dB)", number(optionalIf(haveBeforeClosed, b.closedLoopPeakDb), 1),
        number(optionalIf(haveProposedClosed, r.predictedProposed.closedLoopPeakDb), 1),
        number(peakDb(r.measuredClosedLoop), 1));
    row("Sensitivity peak (dB)", number(optionalIf(haveBeforeClosed, b.sensitivityPeakDb), 1),
        number(optionalIf(haveProposedClosed, r.predictedProposed.sensitivityPeakDb), 1),
        kPlaceholder);
    row("Step overshoot (%)", b.step ? number(b.step->overshootPercent, 1) : kPlaceholder,
        number(r.predicted.overshootPercent, 1), number(m.overshootPercent, 1));
    out += "</table>\n<p class=\"note\">" + std::string(kInfinite) +
           ": the phase never reaches −180° past the crossover. " + kPlaceholder +
           ": no such figure" + (r.measured ? "" : "; nothing was measured after the proposal") +
           ".</p>\n";
    return out;
}

std::string checksSection(const TuneResult& r) {
    std::string out = "<h2>Verification</h2>\n";
    if (r.checks.empty()) {
        out += r.applied ? "<p>No verification check was completed.</p>\n"
                         : "<p>Dry run: the proposal was not written, so nothing was "
                           "verified.</p>\n";
    } else {
        out += "<table>\n<tr><th>Check</th><th>Result</th><th>Detail</th></tr>\n";
        for (const VerifyCheck& c : r.checks)
            out += "<tr>" + td(escaped(c.name)) +
                   (c.passed ? td("<span class=\"pass\">PASS</span>")
                             : td("<span class=\"failed\">FAIL</span>")) +
                   td(escaped(c.detail)) + "</tr>\n";
        out += "</table>\n";
    }

    if (!r.notRestored.empty()) {
        out += "<div class=\"alert\"><strong>Not restored:</strong> ";
        for (size_t i = 0; i < r.notRestored.size(); ++i)
            out += (i ? ", " : "") + std::string("<code>") + escaped(r.notRestored[i]) + "</code>";
        out +=
            ". These parameters could not be put back to their values from before the run; "
            "check them on the drive before the machine runs.</div>\n";
    } else if (r.applied && !r.verified && anyCheckFailed(r)) {
        out += "<p>Every parameter the run wrote is back to its value from before it.</p>\n";
    }
    if (!r.backupFile.empty())
        out += "<p>The values from before the run are kept in <code>" +
               markupEscaped(r.backupFile) + "</code>.</p>\n";
    return out;
}

// The charts.

ChartSeries series(std::string name, const char* colour, SeriesStyle style = SeriesStyle::Line) {
    ChartSeries s;
    s.name = std::move(name);
    s.colour = colour;
    s.style = style;
    return s;
}

ChartAxis frequencyAxis() {
    ChartAxis a;
    a.title = "Frequency (Hz)";
    a.scale = AxisScale::Log;
    return a;
}

ChartAxis magnitudeAxis(const char* title, std::optional<double> floor,
                        std::optional<double> ceiling) {
    ChartAxis a;
    a.title = title;
    a.lowerBound = floor;
    a.upperBound = ceiling;
    return a;
}

ChartAxis phaseAxis() {
    ChartAxis a;
    a.title = "Phase (°)";
    a.scale = AxisScale::Degrees;
    a.lowerBound = kPhaseFloorDeg;
    a.upperBound = kPhaseCeilingDeg;
    return a;
}

// At least two points of the chart can be drawn: else it would show an empty frame.
bool drawable(const Chart& chart) {
    const bool log = chart.x.scale == AxisScale::Log;
    size_t points = 0;
    for (const ChartSeries& s : chart.series)
        points +=
            static_cast<size_t>(std::count_if(s.points.begin(), s.points.end(), [log](auto& p) {
                return std::isfinite(p.x) && std::isfinite(p.y) && (!log || p.x > 0.0);
            }));
    return points >= 2;
}

// A magnitude chart over a phase chart of the same frequencies; the legend sits on the first.
struct Bode {
    Chart magnitude;
    Chart phase;
};

Bode bode(const char* magnitudeTitle, std::optional<double> floor, std::optional<double> ceiling) {
    Bode b;
    b.magnitude.x = frequencyAxis();
    b.magnitude.x.title.clear();
    b.magnitude.y = magnitudeAxis(magnitudeTitle, floor, ceiling);
    b.magnitude.heightPx = kMagnitudeChartPx;
    b.phase.x = frequencyAxis();
    b.phase.y = phaseAxis();
    b.phase.legend = false;
    b.phase.heightPx = kPhaseChartPx;
    return b;
}

// Both charts show the frequencies of all their series.
std::string bodeSvg(Bode& b) {
    std::optional<double> low;
    std::optional<double> high;
    for (const Chart* c : {&b.magnitude, &b.phase})
        for (const ChartSeries& s : c->series)
            for (const ChartXY& p : s.points)
                if (std::isfinite(p.x) && p.x > 0.0) {
                    low = low ? std::min(*low, p.x) : p.x;
                    high = high ? std::max(*high, p.x) : p.x;
                }
    const AxisRange range = axisRange(b.magnitude.x, low, high);
    for (Chart* c : {&b.magnitude, &b.phase}) {
        c->x.from = range.from;
        c->x.to = range.to;
    }
    return chartSvg(b.magnitude) + chartSvg(b.phase);
}

void addLoopCurve(Bode& b, std::string name, const char* colour, SeriesStyle style,
                  const std::vector<ChartPoint>& curve) {
    ChartSeries mag = series(std::move(name), colour, style);
    ChartSeries phase = series({}, colour, style);
    for (const ChartPoint& p : curve) {
        mag.points.push_back({p.frequency, p.magnitudeDb});
        phase.points.push_back({p.frequency, p.phaseDeg});
    }
    if (mag.points.empty())
        return;
    b.magnitude.series.push_back(std::move(mag));
    b.phase.series.push_back(std::move(phase));
}

// The curve's value at hz, interpolated on a logarithmic frequency.
std::optional<ChartPoint> curveAt(const std::vector<ChartPoint>& curve, double hz) {
    for (size_t i = 1; i < curve.size(); ++i) {
        const ChartPoint& a = curve[i - 1];
        const ChartPoint& c = curve[i];
        if (a.frequency <= 0.0 || hz < a.frequency || hz > c.frequency)
            continue;
        const double share = c.frequency > a.frequency
                                 ? std::log(hz / a.frequency) / std::log(c.frequency / a.frequency)
                                 : 0.0;
        return ChartPoint{hz, a.magnitudeDb + share * (c.magnitudeDb - a.magnitudeDb),
                          a.phaseDeg + share * (c.phaseDeg - a.phaseDeg)};
    }
    return std::nullopt;
}

// The crossover, the phase margin and the gain margin drawn on a predicted open loop.
void markMargins(Bode& b, const LoopPrediction& p, const char* colour) {
    const LoopMargins& m = p.margins;
    if (m.crossoverHz) {
        b.magnitude.guides.push_back(
            {true, *m.crossoverHz, std::string("fc ") + number(m.crossoverHz, 1) + " Hz", colour});
        b.phase.guides.push_back({true, *m.crossoverHz, {}, colour});
        const std::optional<ChartPoint> at = curveAt(p.openLoop, *m.crossoverHz);
        if (at && m.phaseMarginDeg)
            b.phase.spans.push_back({*m.crossoverHz, at->phaseDeg - *m.phaseMarginDeg, at->phaseDeg,
                                     "PM " + number(m.phaseMarginDeg, 1) + "°", colour});
    }
    if (m.phaseCrossoverHz && m.gainMarginDb)
        b.magnitude.spans.push_back({*m.phaseCrossoverHz, -*m.gainMarginDb, 0.0,
                                     "GM " + number(m.gainMarginDb, 1) + " dB", colour});
}

std::string figure(const std::string& svg, const std::string& caption) {
    return "<figure>\n" + svg + "<figcaption>" + caption + "</figcaption>\n</figure>\n";
}

std::string plantFigure(const TuneResult& r) {
    Bode b = bode("Magnitude (dB rpm/A)", std::nullopt, std::nullopt);
    ChartSeries coherentMag = series("measured", kProposedColour, SeriesStyle::Points);
    ChartSeries maskedMag =
        series("masked (coherence < 0.8)", kProposedColour, SeriesStyle::Points);
    maskedMag.opacity = kMaskedOpacity;
    ChartSeries coherentPhase = series({}, kProposedColour, SeriesStyle::Points);
    ChartSeries maskedPhase = series({}, kProposedColour, SeriesStyle::Points);
    maskedPhase.opacity = kMaskedOpacity;

    // Each bin's phase on the branch nearest the last coherent bin: noise in the masked bins
    // must not turn the coherent ones by whole turns.
    std::optional<double> reference;
    std::optional<double> firstCoherentHz;
    for (const PlantBin& bin : r.estimate.bins) {
        const double raw = std::arg(bin.response) * kDegreesPerRadian;
        const double phase =
            reference ? raw + kFullTurnDeg * std::round((*reference - raw) / kFullTurnDeg) : raw;
        const double db = 20.0 * std::log10(std::abs(bin.response));
        if (bin.coherent) {
            reference = phase;
            if (!firstCoherentHz)
                firstCoherentHz = bin.hz;
        }
        (bin.coherent ? coherentMag : maskedMag).points.push_back({bin.hz, db});
        (bin.coherent ? coherentPhase : maskedPhase).points.push_back({bin.hz, phase});
    }
    const double fromHz = r.estimate.bins.empty() ? 0.0 : r.estimate.bins.front().hz;
    const double toHz = r.estimate.bins.empty() ? 0.0 : r.estimate.bins.back().hz;
    ChartSeries modelMag = series("fitted model", kModelColour);
    ChartSeries modelPhase = series({}, kModelColour);
    const bool haveModel = r.fit.status == FitStatus::Ok && r.fit.model.inertiaKgM2 > 0.0 &&
                           fromHz > 0.0 && toHz > fromHz;
    if (haveModel) {
        std::vector<double> phase(kModelPoints);
        std::vector<double> hz(kModelPoints);
        for (size_t i = 0; i < hz.size(); ++i) {
            hz[i] = fromHz * std::pow(toHz / fromHz,
                                      static_cast<double>(i) / static_cast<double>(hz.size() - 1));
            const std::complex<double> h = plantResponse(r.fit.model, hz[i]);
            modelMag.points.push_back({hz[i], 20.0 * std::log10(std::abs(h))});
            phase[i] = std::arg(h);
        }
        unwrapPhase(phase);
        // The model's phase on the measurement's branch where the first coherent bin lies.
        double shift = 0.0;
        if (firstCoherentHz && !coherentPhase.points.empty()) {
            const auto nearest = std::lower_bound(hz.begin(), hz.end(), *firstCoherentHz);
            const size_t k = std::min(static_cast<size_t>(nearest - hz.begin()), hz.size() - 1);
            const double model = phase[k] * kDegreesPerRadian;
            shift =
                kFullTurnDeg * std::round((coherentPhase.points.front().y - model) / kFullTurnDeg);
        }
        for (size_t i = 0; i < hz.size(); ++i)
            modelPhase.points.push_back({hz[i], phase[i] * kDegreesPerRadian + shift});
    }
    // The model's line over the points, so that the misfit shows.
    for (ChartSeries* s : {&coherentMag, &maskedMag, &modelMag})
        if (!s->points.empty())
            b.magnitude.series.push_back(std::move(*s));
    for (ChartSeries* s : {&coherentPhase, &maskedPhase, &modelPhase})
        if (!s->points.empty())
            b.phase.series.push_back(std::move(*s));
    b.magnitude.description = "Measured plant and fitted model, magnitude";
    b.phase.description = "Measured plant and fitted model, phase";
    if (!drawable(b.magnitude))
        return "<h2>Measured plant</h2>\n<p class=\"note\">No plant estimate to show.</p>\n";
    return "<h2>Measured plant</h2>\n" +
           figure(bodeSvg(b),
                  "Plant from current command to actual speed, measured with the loop closed "
                  "(points; faint where the coherence is below 0.8) and the fitted model (line).");
}

std::string openLoopFigure(const TuneResult& r) {
    Bode b = bode("Magnitude (dB)", kOpenLoopFloorDb, kOpenLoopCeilingDb);
    addLoopCurve(b, "before", kBeforeColour, SeriesStyle::DashedLine, r.predictedBefore.openLoop);
    addLoopCurve(b, "proposed", kProposedColour, SeriesStyle::Line, r.predictedProposed.openLoop);
    addLoopCurve(b, "measured", kMeasuredColour, SeriesStyle::Line, r.measuredOpenLoop);
    if (!drawable(b.magnitude))
        return "<h2>Open loop</h2>\n<p class=\"note\">No open loop to show.</p>\n";
    b.magnitude.guides.push_back({false, 0.0, "0 dB", kGuideColour});
    b.phase.guides.push_back({false, kPhaseCrossoverDeg, "−180°", kGuideColour});
    markMargins(b, r.predictedBefore, kBeforeColour);
    markMargins(b, r.predictedProposed, kProposedColour);
    b.magnitude.description = "Open loop before and as proposed, magnitude";
    b.phase.description = "Open loop before and as proposed, phase";
    return "<h2>Open loop</h2>\n" +
           figure(bodeSvg(b),
                  "Open loop L on the fitted model with the drive's quantised gains and filters, "
                  "before and as proposed" +
                      std::string(r.measuredOpenLoop.empty() ? "" : ", and as measured") +
                      "; crossover, phase margin (PM) and gain margin (GM) marked.");
}

std::string closedLoopFigure(const TuneResult& r) {
    Bode b = bode("Magnitude (dB)", kClosedLoopFloorDb, kClosedLoopCeilingDb);
    addLoopCurve(b, "before", kBeforeColour, SeriesStyle::DashedLine, r.predictedBefore.closedLoop);
    addLoopCurve(b, "proposed", kProposedColour, SeriesStyle::Line, r.predictedProposed.closedLoop);
    addLoopCurve(b, "measured", kMeasuredColour, SeriesStyle::Line, r.measuredClosedLoop);
    if (!drawable(b.magnitude))
        return "<h2>Closed loop</h2>\n<p class=\"note\">No closed loop to show.</p>\n";
    b.magnitude.guides.push_back({false, kBandwidthLevelDb, "−3 dB", kGuideColour});
    for (const auto& [hz, colour] : {std::pair{r.predictedBefore.bandwidthHz, kBeforeColour},
                                     std::pair{r.predictedProposed.bandwidthHz, kProposedColour}})
        if (hz)
            b.magnitude.guides.push_back({true, *hz, number(hz, 1) + " Hz", colour});
    if (r.measured && r.measured->bandwidthHz)
        b.magnitude.guides.push_back({true, *r.measured->bandwidthHz,
                                      number(r.measured->bandwidthHz, 1) + " Hz", kMeasuredColour});
    b.magnitude.description = "Closed loop, magnitude";
    b.phase.description = "Closed loop, phase";
    return "<h2>Closed loop</h2>\n" +
           figure(bodeSvg(b),
                  "Closed loop T from speed command to actual speed; the −3 dB bandwidths "
                  "marked.");
}

bool usableCurve(const std::optional<StepCurve>& c) {
    return c && !c->speedRpm.empty() && c->sampleS > 0.0;
}

// The speed (or the command) of a step over the time from the command's step, in ms.
ChartSeries stepSeries(std::string name, const char* colour, SeriesStyle style,
                       const StepCurve& step, bool command) {
    const StepCurve curve = changeFromStepStart(step);
    const size_t at = stepSample(curve.commandRpm).value_or(0);
    ChartSeries s = series(std::move(name), colour, style);
    const std::vector<double>& values = command ? curve.commandRpm : curve.speedRpm;
    for (size_t k = 0; k < values.size(); ++k)
        s.points.push_back(
            {(static_cast<double>(k) - static_cast<double>(at)) * curve.sampleS * kMsPerS,
             values[k]});
    return s;
}

std::string stepSection(const TuneResult& r) {
    std::string out = "<h2>Step response</h2>\n";
    Chart chart;
    chart.x.title = "Time from the step (ms)";
    chart.y.title = "Speed change (rpm)";
    chart.heightPx = kStepChartPx;
    for (const std::optional<StepCurve>* c : {&r.stepProposed, &r.stepMeasured, &r.stepBefore})
        if (usableCurve(*c) && !(*c)->commandRpm.empty()) {
            chart.series.push_back(
                stepSeries("command", kCommandColour, SeriesStyle::DashedLine, **c, true));
            break;
        }
    for (const auto& [curve, name, colour] :
         {std::tuple{&r.stepBefore, "before (predicted)", kBeforeColour},
          std::tuple{&r.stepProposed, "proposed (predicted)", kProposedColour},
          std::tuple{&r.stepMeasured, "measured", kMeasuredColour}})
        if (usableCurve(*curve))
            chart.series.push_back(stepSeries(name, colour, SeriesStyle::Line, **curve, false));
    // A little of the time before the step, the rest after it.
    constexpr double kShareBefore = 0.1;
    double lastMs = 0.0;
    for (const ChartSeries& s : chart.series)
        for (const ChartXY& p : s.points)
            if (std::isfinite(p.x))
                lastMs = std::max(lastMs, p.x);
    if (lastMs > 0.0)
        chart.x.lowerBound = -kShareBefore * lastMs;
    chart.description = "Speed step, predicted and measured";
    if (drawable(chart))
        out += figure(chartSvg(chart),
                      "A speed step simulated on the fitted model at the drive's cycle, with its "
                      "filters, delay and current limit" +
                          std::string(r.stepMeasured ? ", and as recorded on the drive." : "."));

    const auto column = [](const std::optional<StepFigures>& f) {
        std::vector<std::string> c;
        c.push_back(number(f ? std::optional(f->overshootPercent) : std::nullopt, 1));
        c.push_back(number(f ? f->riseMs : std::nullopt, 1));
        c.push_back(number(f ? f->settling2Ms : std::nullopt, 1));
        c.push_back(number(f ? f->settling5Ms : std::nullopt, 1));
        c.push_back(number(f ? std::optional(f->steadyErrorRpm) : std::nullopt, 2));
        c.push_back(number(f ? std::optional(f->peakCurrentA) : std::nullopt, 2));
        c.push_back(f ? (f->currentLimited ? "yes" : "no") : kPlaceholder);
        return c;
    };
    const std::vector<std::string> before = column(r.predictedBefore.step);
    const std::vector<std::string> proposed = column(r.predictedProposed.step);
    const std::vector<std::string> measured = column(r.measuredStep);
    constexpr std::array<const char*, 7> kNames = {
        "Overshoot (%)",        "Rise time 10–90 % (ms)",   "Settling ±2 % (ms)",
        "Settling ±5 % (ms)",   "Steady-state error (rpm)", "Peak current (A)",
        "Current limit reached"};
    out +=
        "<table>\n<tr><th>Step figure</th><th>Before (predicted)</th><th>Proposed "
        "(predicted)</th><th>Measured</th></tr>\n";
    for (size_t i = 0; i < kNames.size(); ++i)
        out += std::string("<tr>") + td(kNames[i]) + td(before[i], true) + td(proposed[i], true) +
               td(measured[i], true) + "</tr>\n";
    return out + "</table>\n<p class=\"note\">" + kPlaceholder +
           ": not reached within the record, or not measured.</p>\n";
}

}  // namespace
}  // namespace tune_report

std::string tuneReportHtml(const TuneResult& result, const TuneReportInfo& info) {
    using namespace tune_report;
    std::string html = "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n";
    html += "<title>Speed loop tuning" +
            (info.drive.empty() ? std::string{} : std::string(" — ") + markupEscaped(info.drive)) +
            "</title>\n<style>" + kStyle + "</style>\n</head>\n<body>\n";
    html += headerSection(result, info);
    html += modelSection(result);
    html += parameterSection(result);
    html += figuresSection(result);
    html += checksSection(result);
    html += plantFigure(result);
    html += openLoopFigure(result);
    html += closedLoopFigure(result);
    html += stepSection(result);
    html += "<footer>" + escaped(info.program) + ", " + escaped(info.date) +
            ". Predictions on the fitted model with the drive's quantised gains and filter "
            "coefficients at its control cycle.</footer>\n</body>\n</html>\n";
    return html;
}

}  // namespace zrd::tuning
