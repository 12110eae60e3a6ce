#include "scope/trace_view.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

#include "core/parse_int.h"

namespace zrd::scope {
namespace {

// Far beyond any screen, yet safe to draw with: a value the peak did not foresee (a buffer
// changed while the viewer shows it) stays a line off the strip instead of an overflow.
constexpr double kPixelBound = 1.0e6;
// The largest magnitude whose integer part a 64-bit integer holds.
constexpr double kIntegerBound = 9.0e18;
// Records the analysis takes from the start sample on.
constexpr int kAnalysisSamples = 2048;

int roundPixel(double value) {
    return truncPixel(std::round(value));
}

double bitOf(double value, int bit) {
    if (!std::isfinite(value) || std::fabs(value) >= kIntegerBound)
        return 0.0;
    const auto whole = static_cast<long long>(std::trunc(value));
    return ((whole >> bit) & 1) != 0 ? 1.0 : 0.0;
}

}  // namespace

int ViewerLayout::centre() const {
    return roundPixel(stripHeight() / 2.0);
}

ViewerLayout viewerLayout(int screenWidth, int screenHeight) {
    ViewerLayout layout;
    layout.width = screenWidth - 2;
    layout.height = screenHeight - 50;
    layout.amplitude = roundPixel((layout.height - 100) / 2.0);
    return layout;
}

int truncPixel(double value) {
    if (std::isnan(value))
        return 0;
    return static_cast<int>(std::clamp(value, -kPixelBound, kPixelBound));
}

double channelPeak(const RecordTable& buffer, int channel) {
    double peak = kPeakFloor;
    for (int r = 0; r < kRecordCount; ++r) {
        const double magnitude = std::fabs(buffer.channel(r, channel));
        // NaN compares false and leaves the peak alone.
        if (magnitude > peak && std::isfinite(magnitude))
            peak = magnitude;
    }
    return peak;
}

double fitScale(ViewerKind kind, const ViewerLayout& layout) {
    return (layout.paintBoxWidth() - 10) / static_cast<double>(viewerConfig(kind).scrollRange);
}

double horizontalScale(ViewerKind kind, const ViewerLayout& layout, int position) {
    position = std::clamp(position, 0, kMaxScalePosition);
    return position == 0 ? fitScale(kind, layout) : position;
}

int scrollMaximum(ViewerKind kind, const ViewerLayout& layout, double sx) {
    if (!(sx > 0))
        return 0;
    const int range = viewerConfig(kind).scrollRange;
    const int width = kind == ViewerKind::Online ? layout.stripWidth() : layout.paintBoxWidth();
    const double shown = std::trunc(width / sx);
    return shown > range ? 0 : range - static_cast<int>(shown);
}

void tracePoints(const RecordTable& buffer, int channel, double gain, int scroll, double sx,
                 ViewerKind kind, const ViewerLayout& layout, std::vector<PixelPoint>& points) {
    points.clear();
    if (!(sx > 0) || scroll < 0 || scroll >= kRecordCount)
        return;
    const double columns = std::trunc(layout.stripWidth() / sx);
    // Positions past the buffer's last record are not read; the strip stays empty there.
    const int last = static_cast<int>(
        std::min({columns - 1, static_cast<double>(viewerConfig(kind).sampleLimit - 1),
                  static_cast<double>(kRecordCount - 1 - scroll)}));
    if (last < 1)
        return;
    const int y0 = layout.centre();
    const int slot = channel - 1;
    points.reserve(static_cast<size_t>(last) + 1);
    for (int s = 0; s <= last; ++s)
        points.push_back(
            {truncPixel(s * sx), y0 - truncPixel(buffer.value(scroll + s, slot) * gain)});
}

void compressColumns(std::vector<PixelPoint>& points) {
    size_t out = 0;
    size_t run = 0;
    while (run < points.size()) {
        size_t end = run + 1;
        size_t low = run;
        size_t high = run;
        while (end < points.size() && points[end].x == points[run].x) {
            if (points[end].y < points[low].y)
                low = end;
            if (points[end].y > points[high].y)
                high = end;
            ++end;
        }
        // Within one column the path runs up and down between its extremes: the first point,
        // both extremes and the last point span the same pixels and keep the joins to the
        // neighbouring columns. The extreme nearer the first point comes first, so that the
        // column is painted over as little as possible.
        const PixelPoint first = points[run];
        const PixelPoint last = points[end - 1];
        const PixelPoint top = points[low];
        const PixelPoint bottom = points[high];
        const bool topFirst = std::abs(first.y - top.y) + std::abs(bottom.y - last.y) <=
                              std::abs(first.y - bottom.y) + std::abs(top.y - last.y);
        const std::array<PixelPoint, 4> kept = {first, topFirst ? top : bottom,
                                                topFirst ? bottom : top, last};
        const size_t count = end - run;
        if (count <= kept.size()) {
            for (size_t k = run; k < end; ++k)
                points[out++] = points[k];
        } else {
            for (const PixelPoint& p : kept)
                points[out++] = p;
        }
        run = end;
    }
    points.resize(out);
}

std::array<PixelLine, 2 * (kGridDivisions - 1)> gridLines(int width, int height) {
    const int dx = width / kGridDivisions;
    const int dy = height / kGridDivisions;
    std::array<PixelLine, 2 * (kGridDivisions - 1)> lines{};
    for (int k = 1; k < kGridDivisions; ++k) {
        lines.at(static_cast<size_t>(k - 1)) = {{k * dx, 0}, {k * dx, height}};
        lines.at(static_cast<size_t>(kGridDivisions - 2 + k)) = {{0, k * dy}, {width, k * dy}};
    }
    return lines;
}

std::array<PixelLine, 3> triggerMarker(int triggerSample, int scroll, double sx, int height) {
    const double at = (triggerSample - scroll) * sx;
    const int x = truncPixel(at);
    return {{{{truncPixel(at - kMarkerSize), 0}, {x, kMarkerSize}},
             {{truncPixel(at + kMarkerSize), 0}, {x, kMarkerSize}},
             {{x, 0}, {x, height}}}};
}

std::string fixedText(double value, int decimals) {
    std::array<char, 400> text{};
    const auto result = std::to_chars(text.data(), text.data() + text.size(), value,
                                      std::chars_format::fixed, decimals);
    return std::string(text.data(), result.ptr);
}

void applyBitView(RecordTable& buffer, const RecordTable& backup, int channel, int bit) {
    if (bit < 0 || bit >= kBitsPerWord)
        throw std::out_of_range("bit number");
    for (int r = 0; r < kRecordCount; ++r)
        buffer.setValue(r, channel - 1, bitOf(backup.channel(r, channel), bit));
}

void prepareAnalysis(Oscillogram& oscillogram, int start) {
    for (int c = 1; c <= kOnlineChannelCount; ++c) {
        const int slot = c - 1;
        oscillogram.backup.copySlot(oscillogram.buffer, slot);
        for (int k = 0; k < kAnalysisSamples; ++k) {
            const long long source = static_cast<long long>(start) + k;
            const bool inside = source >= 0 && source < kRecordCount;
            oscillogram.buffer.setValue(
                k, slot, inside ? oscillogram.backup.value(static_cast<int>(source), slot) : 0.0);
        }
    }
}

std::optional<int> parseAnalysisStart(std::string_view text) {
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ')
        text.remove_suffix(1);
    const auto start = parseInteger(text, IntegerBase::Decimal, 0, kRecordCount - 1);
    if (!start)
        return std::nullopt;
    return static_cast<int>(*start);
}

TraceView::TraceView(ViewerKind kind, const ViewerLayout& layout)
    : m_kind(kind), m_config(viewerConfig(kind)), m_layout(layout) {
    setScale(0);
}

void TraceView::setLayout(const ViewerLayout& layout) {
    m_layout = layout;
    applyScales();
}

void TraceView::setSharedScale(bool shared) {
    m_sharedScale = shared;
    applyScales();
}

double TraceView::measuredGain(const Channel& channel) const {
    return m_layout.amplitude / channel.peak;
}

void TraceView::applyScales() {
    for (int c = 1; c <= m_config.channels; ++c) {
        Channel& channel = at(c);
        channel.peak = channel.ownPeak;
        if (m_sharedScale && !channel.unit.empty()) {
            for (int other = 1; other <= m_config.channels; ++other) {
                if (at(other).unit == channel.unit)
                    channel.peak = std::max(channel.peak, at(other).ownPeak);
            }
        }
        // A set bit rises to half the amplitude range.
        channel.gain = channel.bit == kNoBit ? measuredGain(channel) : m_layout.amplitude / 2.0;
    }
}

std::vector<AxisTick> TraceView::valueAxis(int channel) const {
    return valueTicks(at(channel).gain, m_layout.centre(), m_layout.stripHeight());
}

std::vector<AxisTick> TraceView::timeAxis(double tickSeconds) const {
    return timeTicks(m_scroll, m_sx, tickSeconds, m_layout.stripWidth());
}

TraceView::Channel& TraceView::at(int channel) {
    if (channel < 1 || channel > m_config.channels)
        throw std::out_of_range("channel number");
    return m_channels.at(static_cast<size_t>(channel - 1));
}

const TraceView::Channel& TraceView::at(int channel) const {
    if (channel < 1 || channel > m_config.channels)
        throw std::out_of_range("channel number");
    return m_channels.at(static_cast<size_t>(channel - 1));
}

void TraceView::backUp(Oscillogram& oscillogram, int channel) {
    oscillogram.backup.copySlot(oscillogram.buffer, channel - 1);
}

void TraceView::open(Oscillogram& oscillogram) {
    for (int c = 1; c <= m_config.channels; ++c) {
        backUp(oscillogram, c);
        at(c).bit = kNoBit;
    }
}

void TraceView::activate(Oscillogram& oscillogram, int scalePosition) {
    for (int c = 1; c <= m_config.channels; ++c) {
        Channel& channel = at(c);
        channel.ownPeak = channelPeak(oscillogram.buffer, c);
        channel.unit = oscillogram.channel(c).unit;
        // A channel showing a bit already has its measured values in the backup.
        if (channel.bitGroup && channel.bit == kNoBit)
            backUp(oscillogram, c);
    }
    applyScales();
    setScale(scalePosition);
}

void TraceView::restore(Oscillogram& oscillogram) {
    for (int c = 1; c <= m_config.channels; ++c) {
        if (at(c).bitGroup || at(c).bit != kNoBit)
            clearBit(oscillogram, c);
    }
}

void TraceView::setScale(int position) {
    m_sx = horizontalScale(m_kind, m_layout, position);
    setScroll(m_scroll);
}

int TraceView::scrollMaximum() const {
    return scope::scrollMaximum(m_kind, m_layout, m_sx);
}

void TraceView::setScroll(int position) {
    m_scroll = std::clamp(position, 0, scrollMaximum());
}

CursorReadout TraceView::moveCursor(int mouseX, const Oscillogram& oscillogram) {
    const double column = std::round(mouseX / m_sx);
    m_cursor = roundPixel(column * m_sx);
    CursorReadout readout;
    readout.column = m_cursor;
    readout.sample = truncPixel(m_cursor / m_sx) + m_scroll;
    const bool inside = readout.sample >= 0 && readout.sample < kRecordCount;
    for (int c = 1; c <= m_config.channels; ++c) {
        if (inside)
            readout.values.at(static_cast<size_t>(c - 1)) =
                fixedText(oscillogram.buffer.channel(readout.sample, c), 3);
    }
    const double tick = oscillogram.header.tick;
    const double t = readout.sample * tick;
    const long long n = tick != 0 && std::isfinite(t / tick) ? std::llround(t / tick) : 0;
    readout.time = fixedText(t, m_config.timeDecimals) + " / " + std::to_string(n);
    return readout;
}

void TraceView::selectBit(Oscillogram& oscillogram, int channel, int bit) {
    Channel& c = at(channel);
    applyBitView(oscillogram.buffer, oscillogram.backup, channel, bit);
    c.bit = bit;
    applyScales();
}

void TraceView::clearBit(Oscillogram& oscillogram, int channel) {
    Channel& c = at(channel);
    oscillogram.buffer.copySlot(oscillogram.backup, channel - 1);
    c.bit = kNoBit;
    applyScales();
}

const std::vector<PixelPoint>& TraceView::trace(const Oscillogram& oscillogram, int channel) {
    tracePoints(oscillogram.buffer, channel, at(channel).gain, m_scroll, m_sx, m_kind, m_layout,
                m_points);
    return m_points;
}

const std::vector<PixelPoint>& TraceView::polyline(const Oscillogram& oscillogram, int channel) {
    trace(oscillogram, channel);
    compressColumns(m_points);
    return m_points;
}

void TraceView::prepareAnalysis(Oscillogram& oscillogram, int start) {
    for (int c = 1; c <= kOnlineChannelCount; ++c) {
        if (at(c).bit != kNoBit)
            clearBit(oscillogram, c);
    }
    scope::prepareAnalysis(oscillogram, start);
}

}  // namespace zrd::scope
