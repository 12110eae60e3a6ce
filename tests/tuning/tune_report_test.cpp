#include "tuning/tune_report.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <regex>
#include <string>
#include <vector>

#include "tuning/filter_design.h"
#include "tuning/loop_analysis.h"
#include "tuning/svg_plot.h"

namespace zrd::tuning {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// Empty when every element is closed in order, void ones written as "<x/>", and no '&', '<' or
// '>' stands bare in text or attributes; else what is wrong and where.
std::string markupFault(const std::string& html) {
    static const std::regex entity("&(amp|lt|gt|quot|#[0-9]+);");
    std::vector<std::string> open;
    for (size_t i = 0; i < html.size();) {
        if (html[i] == '&') {
            std::smatch m;
            const std::string ahead = html.substr(i, 8);
            if (!std::regex_search(ahead, m, entity) || m.position(0) != 0)
                return "bare & at " + std::to_string(i);
            ++i;
            continue;
        }
        if (html[i] == '>')
            return "bare > at " + std::to_string(i);
        if (html[i] != '<') {
            ++i;
            continue;
        }
        const size_t end = html.find('>', i);
        if (end == std::string::npos)
            return "tag never ends at " + std::to_string(i);
        const std::string tag = html.substr(i + 1, end - i - 1);
        i = end + 1;
        if (tag.rfind("!DOCTYPE", 0) == 0)
            continue;
        if (tag.find('<') != std::string::npos || std::count(tag.begin(), tag.end(), '"') % 2)
            return "broken tag <" + tag + ">";
        const std::string name = tag.substr(0, tag.find_first_of(" /", 1));
        if (tag.front() == '/') {
            if (open.empty() || open.back() != name.substr(1))
                return "</" + name.substr(1) + "> closes " +
                       (open.empty() ? "nothing" : open.back());
            open.pop_back();
        } else if (tag.back() != '/') {
            open.push_back(name);
        }
    }
    return open.empty() ? std::string{} : "<" + open.back() + "> never closed";
}

std::string withoutTags(std::string_view cell) {
    std::string out;
    bool inTag = false;
    for (const char c : cell) {
        if (c == '<' || c == '>')
            inTag = c == '<';
        else if (!inTag)
            out += c;
    }
    return out;
}

// The texts of the cells of the first table row past the heading whose first cell reads
// `label`, as the page shows them.
std::vector<std::string> rowOf(const std::string& html, const std::string& heading,
                               const std::string& label) {
    const auto unescaped = [](std::string cell) {
        for (const auto& [entity, text] : {std::pair{"&lt;", "<"},
                                           {"&gt;", ">"},
                                           {"&quot;", "\""},
                                           {"&#39;", "'"},
                                           {"&amp;", "&"}})
            for (size_t at; (at = cell.find(entity)) != std::string::npos;)
                cell.replace(at, std::string_view(entity).size(), text);
        return cell;
    };
    const size_t start = html.find(">" + heading + "</h");
    if (start == std::string::npos)
        return {"no heading " + heading};
    for (size_t at = html.find("<tr", start); at != std::string::npos;
         at = html.find("<tr", at + 1)) {
        const size_t end = html.find("</tr>", at);
        const std::string row = html.substr(at, end - at);
        std::vector<std::string> cells;
        for (size_t c = row.find("<t", 1); c != std::string::npos; c = row.find("<t", c + 1)) {
            const size_t from = row.find('>', c) + 1;
            const size_t to = row.find("</t", from);
            cells.push_back(unescaped(withoutTags(row.substr(from, to - from))));
            c = to;
        }
        if (!cells.empty() && cells.front() == label)
            return cells;
    }
    return {};
}

// A figure as the report prints it.
std::string shown(std::optional<double> v) {
    return v ? decimalText(*v, 1) : "—";
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

PlantModel twoMassPlant() {
    PlantModel m;
    m.inertiaKgM2 = 4.4e-4;
    m.viscousNmsPerRad = 1e-4;
    m.delayS = 1.25e-4;
    m.modes = {{380.0, 0.05, 520.0, 0.04}};
    return m;
}

StepCurve firstOrderStep(double tauS, double stepRpm) {
    constexpr double kSampleS = 1.0 / 4000.0;
    constexpr size_t kSamples = 1000;
    StepCurve c;
    c.sampleS = kSampleS;
    for (size_t k = 0; k < kSamples; ++k) {
        const double t = (static_cast<double>(k) - kSamples / 2.0) * kSampleS;
        c.commandRpm.push_back(t >= 0.0 ? stepRpm : 0.0);
        c.speedRpm.push_back(t >= 0.0 ? stepRpm * (1.0 - std::exp(-t / tauS)) : 0.0);
    }
    return c;
}

// A dry run on a two-mass plant: estimate, fit, gains before and a proposal with one notch.
TuneResult dryRun() {
    TuneResult r;
    const PlantModel plant = twoMassPlant();
    for (double hz = 10.0; hz < 2000.0; hz *= 1.02) {
        const double coherence = hz > 1500.0 ? 0.5 : 0.95;
        r.estimate.bins.push_back(
            {hz, plantResponse(plant, hz), coherence, coherence >= kMinCoherence});
        r.estimate.coherentBins += coherence >= kMinCoherence ? 1 : 0;
    }
    r.fit.model = plant;
    r.fit.inertiaKgCm2 = 4.4;
    r.fit.inertiaRatioPercent = 300.0;
    r.fit.viscousNcmPerKrpm = 1.05;
    r.fit.residualDb = 0.84;
    r.before = {5.0, 10.0, {{3, 1, 1500.0, 0.707, 0.0}}};
    r.proposed = {12.4, 6.3, {{1, 2, 520.0, 1.2, 0.0}, {3, 1, 1500.0, 0.707, 0.0}}};
    LoopSetup setup{plant, {5.0, 10.0}, {}, kSpeedLoopCycleS, 6.0};
    r.predictedBefore = predictLoop(setup);
    setup.gains = {12.4, 6.3};
    setup.filters = {*designFilter({FilterType::BandStop, 520.0, 1.2, 0.0})};
    r.predictedProposed = predictLoop(setup);
    const LoopPrediction& p = r.predictedProposed;
    r.predicted = {p.margins.crossoverHz, p.margins.phaseMarginDeg, p.margins.gainMarginDb,
                   p.bandwidthHz, p.step ? std::optional(p.step->overshootPercent) : std::nullopt};
    r.stepBefore = firstOrderStep(0.01, 100.0);
    r.stepProposed = firstOrderStep(0.004, 100.0);
    return r;
}

TuneResult appliedAndVerified() {
    TuneResult r = dryRun();
    r.applied = r.verified = r.saved = true;
    for (const ChartPoint& p : r.predictedProposed.closedLoop)
        if (p.frequency >= 10.0 && p.frequency <= 1000.0)
            r.measuredClosedLoop.push_back({p.frequency, p.magnitudeDb + 0.4, p.phaseDeg - 2.0});
    r.measuredOpenLoop = openLoopFromClosedLoop(r.measuredClosedLoop);
    r.measured = LoopFigures{57.1, 47.0, 9.5, 92.0, 8.0};
    r.measuredStep = StepFigures{0.0, 100.0, 8.0, 3.2, 14.5, 9.0, 0.1, 2.5, false};
    r.stepMeasured = firstOrderStep(0.0045, 100.0);
    r.checks = {{"crossover", true, "measured 57.1 Hz, predicted 58.0 Hz (±15 %)"},
                {"phase margin", true, "measured 47.0°, at least 40.0°"}};
    return r;
}

TuneResult failedVerification() {
    TuneResult r = appliedAndVerified();
    r.verified = r.saved = false;
    r.checks[1] = {"phase margin", false, "measured 31.0°, at least 40.0°"};
    r.notRestored = {"KPV", "F1TYPE"};
    r.backupFile = "/home/eng/zrd backup.par";
    return r;
}

// Nothing fitted, nothing predicted, non-finite points, and text that is markup.
TuneResult missingFiguresAndMarkupText() {
    TuneResult r;
    r.estimate.status = EstimateStatus::TooLittleExcitation;
    r.estimate.bins = {{kNan, {kNan, 0.0}, 0.1, false}, {100.0, {0.0, 0.0}, 0.2, false}};
    r.fit.status = FitStatus::NoEstimate;
    r.predictedProposed.openLoop = {{1.0, kInf, kNan}, {10.0, 20.0, -100.0}, {100.0, -kInf, 0.0}};
    r.predictedProposed.margins.crossoverHz = kNan;
    r.applied = true;
    r.measured = LoopFigures{61.0, 44.0, std::nullopt, std::nullopt, std::nullopt};
    // A control character and a byte that is no UTF-8, as a garbled drive answer may bring.
    r.checks = {{"phase <margin>", false, "measured <&> \"x\"\x01\xFF"}};
    r.notRestored = {"F<2>"};
    r.backupFile = "/tmp/a&b.par";
    r.stepMeasured = StepCurve{1e-3, {0.0, kNan, 1.0}, {kInf, 0.5, 1.0}};
    return r;
}

struct ReportCase {
    const char* name;
    TuneResult result;
    TuneReportInfo info;
    const char* verdict;
    // A table's row below a heading: its first cell, then the others as shown.
    std::vector<std::pair<std::string, std::vector<std::string>>> rows;
    std::vector<std::string> present;
    std::vector<std::string> absent;
};

TEST(TuneReport, ShowsTheResultAsWellFormedMarkup) {
    const TuneResult dry = dryRun();
    const TuneReportInfo info{"QX Torvanta 2.1", "ZRD-4 v3.2", "/dev/ttyUSB0", "2026-12-10 12:00"};
    const std::vector<ReportCase> cases = {
        {"DryRun",
         dry,
         info,
         "Dry run — no tuning parameter changed",
         {{"Speed loop parameters", {"KPV", "proportional gain", "5.00", "12.40", "mA/rpm"}},
          {"Speed loop parameters", {"KIV", "integral time", "10.0", "6.3", "ms"}},
          {"Filter slots", {"1", "off", "—", "—", "—", "notch", "520.0", "1.200", "—"}},
          {"Filter slots",
           {"3", "low-pass", "1500.0", "0.707", "—", "low-pass", "1500.0", "0.707", "—"}},
          {"Fitted plant model", {"Total inertia J", "4.40", "kg·cm²"}},
          {"Fitted plant model", {"Inertia ratio JRATIO", "300", "%"}},
          {"Fitted plant model", {"Fit residual (RMS)", "0.84", "dB"}}},
         {"nothing was verified", "fitted model"},
         {"PASS", "FAIL", "Not restored"}},
        {"AppliedAndVerified",
         appliedAndVerified(),
         info,
         "Applied and verified — saved to EEPROM",
         {{"Predicted and measured figures",
           {"Phase margin (°)", shown(dry.predictedBefore.margins.phaseMarginDeg),
            shown(dry.predicted.phaseMarginDeg), "47.0"}},
          {"Predicted and measured figures",
           {"Crossover (Hz)", shown(dry.predictedBefore.margins.crossoverHz),
            shown(dry.predicted.crossoverHz), "57.1"}},
          {"Step response",
           {"Rise time 10–90 % (ms)", shown(dry.predictedBefore.step->riseMs),
            shown(dry.predictedProposed.step->riseMs), "3.2"}},
          {"Verification", {"crossover", "PASS", "measured 57.1 Hz, predicted 58.0 Hz (±15 %)"}}},
         {"measured 47.0°"},
         {"FAIL", "Not restored"}},
        {"FailedVerificationLeavesParametersNotRestored",
         failedVerification(),
         info,
         "Verification failed — not every value restored",
         {{"Verification", {"phase margin", "FAIL", "measured 31.0°, at least 40.0°"}}},
         {"<code>KPV</code>, <code>F1TYPE</code>", "<code>/home/eng/zrd backup.par</code>"},
         {"Applied and verified"}},
        {"MissingFiguresAndTextThatIsMarkup",
         missingFiguresAndMarkupText(),
         {"Torvanta <beta>", "ZRD <&>\"'", "/dev/pts/<3>", ""},
         "Verification failed — not every value restored",
         {{"Predicted and measured figures", {"Crossover (Hz)", "—", "—", "61.0"}},
          {"Predicted and measured figures", {"Gain margin (dB)", "—", "—", "∞"}},
          {"Predicted and measured figures", {"Bandwidth −3 dB (Hz)", "—", "—", "—"}},
          {"Predicted and measured figures", {"Closed-loop peak (dB)", "—", "—", "—"}},
          {"Speed loop tuning report", {"Date", "—"}},
          {"Speed loop tuning report", {"Drive", "ZRD <&>\"'"}},
          {"Verification", {"phase <margin>", "FAIL", "measured <&> \"x\"\uFFFD"}}},
         {"ZRD &lt;&amp;&gt;&quot;&#39;", "<code>F&lt;2&gt;</code>", "/tmp/a&amp;b.par",
          "No model could be fitted"},
         {"<beta>", "<margin>", "<&>", "F<2>", "\x01", "\xFF"}},
    };
    static const std::regex nonFinite(R"(\b(nan|inf|infinity)\b)", std::regex::icase);
    for (const ReportCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string html = tuneReportHtml(c.result, c.info);
        EXPECT_EQ(markupFault(html), "");
        EXPECT_EQ(occurrences(html, "<svg"), occurrences(html, "</svg>"));
        EXPECT_FALSE(std::regex_search(html, nonFinite));
        EXPECT_NE(html.find(std::string(">") + c.verdict + "<"), std::string::npos) << c.verdict;
        for (const auto& [heading, row] : c.rows)
            EXPECT_EQ(rowOf(html, heading, row.front()), row);
        for (const std::string& s : c.present)
            EXPECT_NE(html.find(s), std::string::npos) << s;
        for (const std::string& s : c.absent)
            EXPECT_EQ(html.find(s), std::string::npos) << s;
    }
}

// The charts' axes: decades and their 2 and 5 labelled on a short log axis, the ends widened to
// whole ticks, degrees in steps a reader counts in, and a span no step can divide left alone.
TEST(ChartAxes, LabelTicksAReaderCanRead) {
    struct Case {
        const char* name;
        AxisScale scale;
        double low, high;
        AxisRange range;
        std::vector<std::string> labels;
    };
    for (const Case& c : {
             Case{"LogOverTwoDecades",
                  AxisScale::Log,
                  10.0,
                  1900.0,
                  {10.0, 2000.0},
                  {"10", "20", "50", "100", "200", "500", "1k", "2k"}},
             Case{"LogOverFiveDecades",
                  AxisScale::Log,
                  0.3,
                  39000.0,
                  {0.2, 50000.0},
                  {"1", "10", "100", "1k", "10k"}},
             Case{"LinearWidenedToTicks",
                  AxisScale::Linear,
                  -3.2,
                  97.0,
                  {-20.0, 100.0},
                  {"-20", "0", "20", "40", "60", "80", "100"}},
             Case{"LinearSmall",
                  AxisScale::Linear,
                  0.013,
                  0.048,
                  {0.01, 0.05},
                  {"0.01", "0.02", "0.03", "0.04", "0.05"}},
             Case{"SpanBeyondADoubleFallsBackToAUnitRange",
                  AxisScale::Linear,
                  -1.7e308,
                  1.7e308,
                  {0.0, 1.0},
                  {"0.0", "0.2", "0.4", "0.6", "0.8", "1.0"}},
             Case{"Degrees",
                  AxisScale::Degrees,
                  -250.0,
                  -10.0,
                  {-270.0, 0.0},
                  {"-270", "-225", "-180", "-135", "-90", "-45", "0"}},
         }) {
        SCOPED_TRACE(c.name);
        ChartAxis axis;
        axis.scale = c.scale;
        const AxisRange r = axisRange(axis, c.low, c.high);
        EXPECT_NEAR(r.from, c.range.from, 1e-9 * std::abs(c.range.from) + 1e-12);
        EXPECT_NEAR(r.to, c.range.to, 1e-9 * std::abs(c.range.to));
        std::vector<std::string> labels;
        for (const AxisTick& t : axisTicks(c.scale, r))
            if (!t.label.empty())
                labels.push_back(t.label);
        EXPECT_EQ(labels, c.labels);
    }
}

}  // namespace
}  // namespace zrd::tuning
