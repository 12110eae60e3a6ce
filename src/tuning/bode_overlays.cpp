#include "tuning/bode_overlays.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

#include "core/number_text.h"
#include "core/text_file.h"

namespace zrd::tuning {
namespace {

constexpr std::string_view kResponseLineEnd = "\r\n";
constexpr char kResponseSeparator = ',';
constexpr size_t kResponseFields = 3;
// Enough for the shortest exact text of any double.
constexpr size_t kExactNumberChars = 32;

std::string exactNumberText(double v) {
    std::array<char, kExactNumberChars> text{};
    const auto [end, error] = std::to_chars(text.data(), text.data() + text.size(), v);
    return error == std::errc{} ? std::string(text.data(), end) : formatGeneral(v);
}

std::optional<ChartPoint> responseLine(std::string_view line) {
    std::array<double, kResponseFields> values{};
    size_t field = 0;
    while (true) {
        const size_t comma = line.find(kResponseSeparator);
        const std::optional<double> v = parseNumber(line.substr(0, comma));
        if (!v || !std::isfinite(*v) || field == kResponseFields)
            return std::nullopt;
        values.at(field++) = *v;
        if (comma == std::string_view::npos)
            break;
        line.remove_prefix(comma + 1);
    }
    if (field != kResponseFields)
        return std::nullopt;
    return ChartPoint{values[0], values[1], values[2]};
}

std::string lineError(std::string_view name, size_t line, std::string_view what) {
    return std::string(name) + ": line " + std::to_string(line) + ": " + std::string(what);
}

}  // namespace

std::optional<ChartPoint> curveAt(std::span<const ChartPoint> curve, double frequency) {
    if (curve.empty() || !(frequency >= curve.front().frequency) ||
        frequency > curve.back().frequency)
        return std::nullopt;
    const auto above =
        std::lower_bound(curve.begin(), curve.end(), frequency,
                         [](const ChartPoint& p, double f) { return p.frequency < f; });
    if (above->frequency == frequency || above == curve.begin())
        return ChartPoint{frequency, above->magnitudeDb, above->phaseDeg};
    const ChartPoint& a = *std::prev(above);
    const ChartPoint& b = *above;
    const double t = (frequency - a.frequency) / (b.frequency - a.frequency);
    return ChartPoint{frequency, a.magnitudeDb + t * (b.magnitudeDb - a.magnitudeDb),
                      a.phaseDeg + t * (b.phaseDeg - a.phaseDeg)};
}

std::vector<ChartPoint> curveDifference(std::span<const ChartPoint> curve,
                                        std::span<const ChartPoint> reference) {
    std::vector<ChartPoint> difference;
    for (const ChartPoint& p : curve) {
        if (const std::optional<ChartPoint> r = curveAt(reference, p.frequency))
            difference.push_back(
                {p.frequency, p.magnitudeDb - r->magnitudeDb, p.phaseDeg - r->phaseDeg});
    }
    return difference;
}

Overlay measuredOverlay(std::string name, const FrequencyResponse& response, double fmax) {
    Overlay o;
    o.name = std::move(name);
    o.points = chartPoints(response, fmax);
    o.openLoop = openLoopFromClosedLoop(response, fmax);
    o.peak = peakMarker(response, fmax);
    o.cutoff = cutoffMarker(response, fmax);
    o.resonances = findResonances(response, fmax);
    return o;
}

Overlay fileOverlay(std::string name, std::vector<ChartPoint> points) {
    Overlay o;
    o.name = std::move(name);
    o.openLoop = openLoopFromClosedLoop(points);
    o.points = std::move(points);
    return o;
}

bool OverlayList::colourTaken(uint32_t rgb) const {
    // A phase curve in another response's magnitude colour (or the reverse) reads as that one.
    return std::any_of(m_overlays.begin(), m_overlays.end(), [rgb](const Overlay& o) {
        return o.magnitudeRgb == rgb || o.phaseRgb == rgb;
    });
}

size_t OverlayList::add(Overlay overlay) {
    if (colourTaken(overlay.magnitudeRgb) || colourTaken(overlay.phaseRgb)) {
        const auto free = std::find_if(kOverlayColours.begin(), kOverlayColours.end(),
                                       [this](uint32_t c) { return !colourTaken(c); });
        // With every colour taken the next one repeats the palette in turn.
        const uint32_t colour =
            free != kOverlayColours.end()
                ? *free
                : kOverlayColours.at(m_overlays.size() % kOverlayColours.size());
        overlay.magnitudeRgb = colour;
        overlay.phaseRgb = colour;
    }
    overlay.visible = true;
    m_overlays.push_back(std::move(overlay));
    if (!m_reference)
        m_reference = 0;
    return m_overlays.size() - 1;
}

void OverlayList::remove(size_t index) {
    if (index >= m_overlays.size())
        return;
    m_overlays.erase(m_overlays.begin() + static_cast<std::ptrdiff_t>(index));
    if (m_reference == index)
        m_reference.reset();
    else if (m_reference && *m_reference > index)
        --*m_reference;
}

void OverlayList::setVisible(size_t index, bool visible) {
    if (index < m_overlays.size())
        m_overlays[index].visible = visible;
}

void OverlayList::setReference(size_t index) {
    if (index < m_overlays.size())
        m_reference = index;
}

std::vector<ShownCurve> OverlayList::shownCurves(bool differenceToReference) const {
    std::vector<ShownCurve> shown;
    const bool difference = differenceToReference && m_reference.has_value();
    for (size_t i = 0; i < m_overlays.size(); ++i) {
        if (!m_overlays[i].visible)
            continue;
        shown.push_back({i, difference ? curveDifference(m_overlays[i].points,
                                                         m_overlays.at(*m_reference).points)
                                       : m_overlays[i].points});
    }
    return shown;
}

std::string responseFileText(std::span<const ChartPoint> points) {
    std::string text;
    for (const ChartPoint& p : points) {
        text += exactNumberText(p.frequency);
        text += kResponseSeparator;
        text += exactNumberText(p.magnitudeDb);
        text += kResponseSeparator;
        text += exactNumberText(p.phaseDeg);
        text += kResponseLineEnd;
    }
    return text;
}

ResponseFile parseResponseFile(std::string_view text, std::string_view name) {
    ResponseFile file;
    const std::vector<std::string> lines = splitLines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::optional<ChartPoint> p = responseLine(lines[i]);
        if (!p)
            return {{}, lineError(name, i + 1, "expected frequency,dB,degrees")};
        if (p->frequency < 0)
            return {{}, lineError(name, i + 1, "the frequency is negative")};
        if (!file.points.empty() && p->frequency <= file.points.back().frequency)
            return {{}, lineError(name, i + 1, "the frequency does not rise")};
        file.points.push_back(*p);
    }
    if (file.points.empty())
        file.error = std::string(name) + ": no response points";
    return file;
}

scope::FileResult writeResponseFile(const std::string& path, std::span<const ChartPoint> points) {
    return scope::writeFileBytes(path, responseFileText(points));
}

ResponseFile readResponseFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return {{}, path + ": the file cannot be opened"};
    std::ostringstream bytes;
    bytes << in.rdbuf();
    if (in.bad())
        return {{}, path + ": the file cannot be read"};
    return parseResponseFile(decodeTextBytes(bytes.str()), path);
}

}  // namespace zrd::tuning
