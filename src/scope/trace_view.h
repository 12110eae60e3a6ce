#pragma once

// The trace viewers' geometry: where every sample, grid line and marker of the oscillogram lands
// on the viewer's strip, the cursor's readout, and the bit view of status-word channels. The
// windows only paint what these functions place.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scope/axis_ticks.h"
#include "scope/oscillogram.h"

namespace zrd::scope {

// Which viewer: the online one (two channels over 10000 samples) or the offline one (four
// channels over 2048 samples, with the trigger marker).
enum class ViewerKind { Online, Offline };

struct ViewerConfig {
    int channels;
    int sampleLimit;   // offsets from the scroll position stay below this
    int scrollRange;   // sample positions the scroll range spans
    int timeDecimals;  // of the cursor's time readout
    bool triggerMarker;
};

constexpr ViewerConfig viewerConfig(ViewerKind kind) {
    return kind == ViewerKind::Online
               ? ViewerConfig{kOnlineChannelCount, kRecordCount, 10050, 3, false}
               : ViewerConfig{kChannelCount, kOfflineSamples, 2100, 5, true};
}

// Width of the channel column left of the plot.
inline constexpr int kChannelColumnWidth = 170;
// The smallest peak: an all-zero channel keeps a finite gain and draws on the centre line.
inline constexpr double kPeakFloor = 0.00001;
// Zoom positions: 0 fits the whole range, 1..10 are pixels per sample.
inline constexpr int kMaxScalePosition = 10;
inline constexpr int kGridDivisions = 10;
// The trigger marker's arrow: half width and depth in pixels.
inline constexpr int kMarkerSize = 10;
inline constexpr int kBitsPerWord = 16;
inline constexpr int kNoBit = -1;
// The start sample "AFR and PFR" proposes.
inline constexpr int kDefaultAnalysisStart = 500;

// The window's sizes from the screen's: W × H of the window, A the half amplitude of a trace.
struct ViewerLayout {
    int width = 0;
    int height = 0;
    int amplitude = 0;

    [[nodiscard]] int stripWidth() const { return width - kChannelColumnWidth; }
    [[nodiscard]] int stripHeight() const { return height - 82; }
    [[nodiscard]] int compositeHeight() const { return height - 80; }
    [[nodiscard]] int paintBoxWidth() const { return width - kChannelColumnWidth - 2; }
    [[nodiscard]] int paintBoxHeight() const { return height - 82; }
    // The centre line of the strip: round(h / 2).
    [[nodiscard]] int centre() const;
};

// W = screen width − 2, H = screen height − 50, A = round((H − 100) / 2).
ViewerLayout viewerLayout(int screenWidth, int screenHeight);

struct PixelPoint {
    int x = 0;
    int y = 0;
    friend bool operator==(const PixelPoint&, const PixelPoint&) = default;
};
struct PixelLine {
    PixelPoint from;
    PixelPoint to;
    friend bool operator==(const PixelLine&, const PixelLine&) = default;
};

// A value in pixels, truncated toward zero; values no screen can hold (and NaN) are bounded.
int truncPixel(double value);

// The largest magnitude of channel c (1..4) over all records, at least kPeakFloor.
double channelPeak(const RecordTable& buffer, int channel);

// Pixels per sample at zoom position 0: the whole range fits the paint box.
double fitScale(ViewerKind kind, const ViewerLayout& layout);
// Pixels per sample at a zoom position (0 fits, 1..10 as they stand; others are bounded).
double horizontalScale(ViewerKind kind, const ViewerLayout& layout, int position);
// The last scroll position that still fills the strip; 0 when the strip shows the whole range.
int scrollMaximum(ViewerKind kind, const ViewerLayout& layout, double sx);

// The trace of one channel as one polyline: point s is sample P + s at x = trunc(s × Sx),
// y = y0 − trunc(v × gain), for the samples the strip shows (s < trunc(strip width / Sx), below
// the viewer's sample limit, within the buffer). Fewer than two points draw nothing.
void tracePoints(const RecordTable& buffer, int channel, double gain, int scroll, double sx,
                 ViewerKind kind, const ViewerLayout& layout, std::vector<PixelPoint>& points);

// Thins a trace to at most four points a pixel column (the first, the extremes, the last): the
// polyline then covers the same pixels, however many samples share a column.
void compressColumns(std::vector<PixelPoint>& points);

// The 10 × 10 grid: nine vertical lines over the full height, then nine horizontal ones.
std::array<PixelLine, 2 * (kGridDivisions - 1)> gridLines(int width, int height);

// The offline trigger marker: the arrow's two strokes and the vertical line at the trigger.
std::array<PixelLine, 3> triggerMarker(int triggerSample, int scroll, double sx, int height);

// A fixed-notation text with the given decimals and "." whatever the locale.
std::string fixedText(double value, int decimals);

// What the cursor shows: its snapped column, the sample under it, the channels' values
// (empty past the buffer) and the time text "t / n".
struct CursorReadout {
    int column = 0;
    int sample = 0;
    std::array<std::string, kChannelCount> values{};
    std::string time;
};

// Channel c (1..4) shown as bit K (0..15): every value v becomes 1.0 when bit K of trunc(v) is
// set, else 0.0, computed from the measured values in the backup.
void applyBitView(RecordTable& buffer, const RecordTable& backup, int channel, int bit);

// "AFR and PFR" on an online capture: channels 1 and 2 go to the backup, and the samples from
// `start` on move to the front of the buffer; positions whose source lies past the last record
// become 0.
void prepareAnalysis(Oscillogram& oscillogram, int start);
// The start sample typed by the user: a whole number 0..9999, blanks around allowed.
std::optional<int> parseAnalysisStart(std::string_view text);

// One viewer's state: per channel peak, gain, visibility, bit group and selected bit; the zoom,
// scroll position, cursor column and trigger sample. It changes the oscillogram only through
// the bit view, always keeping the measured values in the backup.
class TraceView {
public:
    TraceView(ViewerKind kind, const ViewerLayout& layout);

    [[nodiscard]] ViewerKind kind() const { return m_kind; }
    [[nodiscard]] const ViewerConfig& config() const { return m_config; }
    [[nodiscard]] const ViewerLayout& layout() const { return m_layout; }
    void setLayout(const ViewerLayout& layout);

    // Before the window shows: the viewer's channels go to the backup, no bit is selected.
    void open(Oscillogram& oscillogram);
    // The window shows: peaks and gains from the buffer, the zoom of the position, the
    // channels with a bit group copied to the backup.
    void activate(Oscillogram& oscillogram, int scalePosition);
    // Puts the measured values back into every channel with a bit group or a selected bit and
    // deselects the bits; the buffer leaves the viewer as it was measured.
    void restore(Oscillogram& oscillogram);

    void setScale(int position);
    [[nodiscard]] double scale() const { return m_sx; }
    [[nodiscard]] int scrollMaximum() const;
    // Bounded to 0..scrollMaximum().
    void setScroll(int position);
    [[nodiscard]] int scroll() const { return m_scroll; }

    // Snaps the cursor to the sample column nearest the mouse column and reads the values there.
    CursorReadout moveCursor(int mouseX, const Oscillogram& oscillogram);
    [[nodiscard]] int cursorColumn() const { return m_cursor; }

    void setVisible(int channel, bool visible) { at(channel).visible = visible; }
    [[nodiscard]] bool visible(int channel) const { return at(channel).visible; }
    void setBitGroup(int channel, bool shown) { at(channel).bitGroup = shown; }
    [[nodiscard]] bool bitGroup(int channel) const { return at(channel).bitGroup; }
    // The magnitude the channel's amplitude stands for: its own peak, or with the shared scale
    // the largest peak of the channels of its unit.
    [[nodiscard]] double peak(int channel) const { return at(channel).peak; }
    [[nodiscard]] double gain(int channel) const { return at(channel).gain; }
    [[nodiscard]] int selectedBit(int channel) const { return at(channel).bit; }

    // Shows bit K of channel c at half amplitude.
    void selectBit(Oscillogram& oscillogram, int channel, int bit);
    // Back to the measured values of channel c at its own gain.
    void clearBit(Oscillogram& oscillogram, int channel);

    // One value range for all channels of the same unit (the union of their ranges), so that
    // they compare by eye; off, each channel is scaled to its own peak. Channels without a unit
    // keep their own.
    void setSharedScale(bool shared);
    [[nodiscard]] bool sharedScale() const { return m_sharedScale; }
    // The value axis of channel c at its gain, and the time axis at the zoom and scroll.
    [[nodiscard]] std::vector<AxisTick> valueAxis(int channel) const;
    [[nodiscard]] std::vector<AxisTick> timeAxis(double tickSeconds) const;

    // Offline captures with a trigger of type 1 or 2 mark the trigger sample.
    void setTriggerSample(std::optional<int> sample) { m_trigger = sample; }
    [[nodiscard]] std::optional<int> triggerSample() const { return m_trigger; }

    // The points of channel c at the current zoom and scroll (a buffer reused between calls).
    const std::vector<PixelPoint>& trace(const Oscillogram& oscillogram, int channel);
    // The same trace thinned to what a pixel column shows (compressColumns): what is drawn.
    const std::vector<PixelPoint>& polyline(const Oscillogram& oscillogram, int channel);

    // "AFR and PFR" of the online viewer: bit views end first (the analysis needs measured
    // values, and the backup must keep them), then the samples from `start` move to the front.
    void prepareAnalysis(Oscillogram& oscillogram, int start);

private:
    struct Channel {
        double ownPeak = kPeakFloor;
        double peak = kPeakFloor;
        std::string unit;
        double gain = 0;
        bool visible = true;
        bool bitGroup = false;
        int bit = kNoBit;
    };
    Channel& at(int channel);
    const Channel& at(int channel) const;
    void backUp(Oscillogram& oscillogram, int channel);
    // Peaks from the own peaks and the scale choice, gains from the peaks and the bit views.
    void applyScales();
    [[nodiscard]] double measuredGain(const Channel& channel) const;

    ViewerKind m_kind;
    ViewerConfig m_config;
    ViewerLayout m_layout;
    std::array<Channel, kChannelCount> m_channels{};
    bool m_sharedScale = false;
    double m_sx = 1.0;
    int m_scroll = 0;
    int m_cursor = 0;
    std::optional<int> m_trigger;
    std::vector<PixelPoint> m_points;
};

}  // namespace zrd::scope
