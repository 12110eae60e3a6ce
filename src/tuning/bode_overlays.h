#pragma once

// Frequency responses kept side by side in the Bode window: a curve's value at any frequency,
// one curve's difference to another on a common grid, the list of responses the window keeps
// (colour, visibility, the reference), and the response file: one "frequency,dB,degrees" line
// per point.
//
// How the windows use it: every computed response is added with measuredOverlay(name,
// response, fmax); "Add file…" adds fileOverlay(name, readResponseFile(path).points);
// "Save…" writes writeResponseFile(path, overlay.points); the charts draw
// shownCurves(difference) and the cursor reads curveAt(points, frequency) of each curve drawn.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scope/oscillogram_file.h"
#include "tuning/frequency_response.h"
#include "tuning/loop_analysis.h"

namespace zrd::tuning {

// The value at a frequency, interpolated linearly between the two neighbouring points of a curve
// in rising frequency; nullopt outside the curve's range.
[[nodiscard]] std::optional<ChartPoint> curveAt(std::span<const ChartPoint> curve,
                                                double frequency);

// curve − reference (dB and degrees) at the curve's own frequencies that lie within the
// reference's range, the reference interpolated there.
[[nodiscard]] std::vector<ChartPoint> curveDifference(std::span<const ChartPoint> curve,
                                                      std::span<const ChartPoint> reference);

// Colours (0xRRGGBB) given to a response whose preferred colour another one already has.
inline constexpr std::array<uint32_t, 8> kOverlayColours = {0xFF0000, 0x0000FF, 0x008000, 0x000000,
                                                            0xFF00FF, 0x008080, 0x800000, 0x000080};

struct Overlay {
    std::string name;
    std::vector<ChartPoint> points;  // as measured or read
    // L = T / (1 − T) of the points, read as a closed speed loop T.
    std::vector<ChartPoint> openLoop;
    // Of a measurement only: a file keeps the curve alone.
    std::optional<Marker> peak;
    std::optional<Marker> cutoff;
    std::vector<Resonance> resonances;
    uint32_t magnitudeRgb = kOverlayColours[0];
    uint32_t phaseRgb = kOverlayColours[1];
    bool visible = true;
};

// A computed response up to fmax, with its markers, resonances and open loop.
[[nodiscard]] Overlay measuredOverlay(std::string name, const FrequencyResponse& response,
                                      double fmax);
// A curve read from a file; its open loop from all its points.
[[nodiscard]] Overlay fileOverlay(std::string name, std::vector<ChartPoint> points);

// A curve as the charts draw it: the overlay's own points, or their difference to the
// reference.
struct ShownCurve {
    size_t overlay = 0;
    std::vector<ChartPoint> points;
};

class OverlayList {
public:
    // Appends it, visible. It keeps its colours unless another response has one of them (for
    // either curve): then both become the first colour of kOverlayColours that none has. The first
    // one added becomes the reference. Returns its index.
    size_t add(Overlay overlay);
    // The reference goes with it; an index past the end does nothing.
    void remove(size_t index);
    void setVisible(size_t index, bool visible);
    void setReference(size_t index);

    [[nodiscard]] const std::vector<Overlay>& overlays() const { return m_overlays; }
    [[nodiscard]] std::optional<size_t> reference() const { return m_reference; }
    [[nodiscard]] bool empty() const { return m_overlays.empty(); }

    // The visible responses in list order; with `differenceToReference` and a reference, each
    // minus the reference (the reference itself then lies on zero).
    [[nodiscard]] std::vector<ShownCurve> shownCurves(bool differenceToReference) const;

private:
    [[nodiscard]] bool colourTaken(uint32_t rgb) const;

    std::vector<Overlay> m_overlays;
    std::optional<size_t> m_reference;
};

// What a response file held: the points, or why it was refused (naming the file and the line).
struct ResponseFile {
    std::vector<ChartPoint> points;
    std::string error;
    [[nodiscard]] bool ok() const { return error.empty(); }
};
// One "frequency,dB,degrees" line per point, numbers in their shortest exact form, CR LF.
[[nodiscard]] std::string responseFileText(std::span<const ChartPoint> points);
// Every line must hold three numbers, the frequency not negative and rising from line to line;
// a file with any other line, or none, is refused whole. `name` names the file in the error.
[[nodiscard]] ResponseFile parseResponseFile(std::string_view text, std::string_view name);
[[nodiscard]] scope::FileResult writeResponseFile(const std::string& path,
                                                  std::span<const ChartPoint> points);
[[nodiscard]] ResponseFile readResponseFile(const std::string& path);

}  // namespace zrd::tuning
