#include "tuning/loop_analysis.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>

namespace zrd::tuning {
namespace {

constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
constexpr double kHalfTurn = 180.0;
// Bins on either side averaged before the extremes are looked for.
constexpr size_t kSmoothingReach = 2;

// The excited bins 1..lastChartBin: where the input carries energy.
std::vector<int> excitedBins(const FrequencyResponse& r, double fmax) {
    std::vector<int> bins;
    const int last = lastChartBin(r, fmax);
    double largest = 0;
    for (int k = 1; k <= last; ++k)
        largest = std::max(largest, r.inputMagnitude.at(static_cast<size_t>(k)));
    for (int k = 1; k <= last; ++k)
        if (largest > 0 && r.inputMagnitude.at(static_cast<size_t>(k)) >= kExcitedShare * largest)
            bins.push_back(k);
    return bins;
}

// Linear interpolation of x where y crosses `level` between two points.
double crossing(double x0, double y0, double x1, double y1, double level) {
    if (y1 == y0)
        return x0;
    return x0 + (level - y0) / (y1 - y0) * (x1 - x0);
}

// Where, going from index i outwards by `step`, the (sign-adjusted) magnitude first falls
// kHalfPowerDb below the extreme at i; nullopt at the band's edge.
std::optional<double> halfPowerEdge(std::span<const double> f, std::span<const double> m, size_t i,
                                    int step) {
    const double level = m[i] - kHalfPowerDb;
    for (auto j = static_cast<std::ptrdiff_t>(i) + step;
         j >= 0 && j < static_cast<std::ptrdiff_t>(m.size()); j += step) {
        const auto at = static_cast<size_t>(j);
        if (m[at] <= level) {
            const auto prev = static_cast<size_t>(j - step);
            return crossing(f[prev], m[prev], f[at], m[at], level);
        }
    }
    return std::nullopt;
}

// How far the extreme at i stands above the lowest point before the next higher one, on the
// side of `step`; to the band's edge when none is higher.
double sideProminence(std::span<const double> m, size_t i, int step) {
    double lowest = m[i];
    for (auto j = static_cast<std::ptrdiff_t>(i) + step;
         j >= 0 && j < static_cast<std::ptrdiff_t>(m.size()); j += step) {
        const double v = m[static_cast<size_t>(j)];
        if (v > m[i])
            break;
        lowest = std::min(lowest, v);
    }
    return m[i] - lowest;
}

// The peaks of m (a dip is a peak of -m) with their prominence and half-power damping; the
// magnitude reported is the measured one, `db`.
void collectPeaks(std::span<const double> f, std::span<const double> m, std::span<const double> db,
                  bool anti, std::vector<Resonance>& out) {
    for (size_t i = 1; i + 1 < m.size(); ++i) {
        if (!(m[i] >= m[i - 1] && m[i] > m[i + 1]))
            continue;
        if (std::min(sideProminence(m, i, -1), sideProminence(m, i, 1)) < kResonanceProminenceDb)
            continue;
        Resonance r{anti, f[i], db[i], std::nullopt};
        const auto low = halfPowerEdge(f, m, i, -1);
        const auto high = halfPowerEdge(f, m, i, 1);
        if (low && high && f[i] > 0)
            r.damping = (*high - *low) / (2 * f[i]);
        out.push_back(r);
    }
}

}  // namespace

std::vector<Resonance> findResonances(const FrequencyResponse& response, double fmax) {
    std::vector<double> f;
    std::vector<double> raw;
    for (const int k : excitedBins(response, fmax)) {
        f.push_back(k * response.df);
        raw.push_back(response.magnitudeDb.at(static_cast<size_t>(k)));
    }
    // A record's leakage ripples from bin to bin where the magnitude is low; a resonance spans
    // many bins. The extremes are looked for on the curve averaged over a few bins.
    std::vector<double> up(raw.size());
    std::vector<double> down(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        const size_t from = i >= kSmoothingReach ? i - kSmoothingReach : 0;
        const size_t to = std::min(raw.size() - 1, i + kSmoothingReach);
        double sum = 0;
        for (size_t j = from; j <= to; ++j)
            sum += raw[j];
        up[i] = sum / static_cast<double>(to - from + 1);
        down[i] = -up[i];
    }
    std::vector<Resonance> found;
    collectPeaks(f, up, raw, false, found);
    collectPeaks(f, down, raw, true, found);
    std::sort(found.begin(), found.end(),
              [](const Resonance& a, const Resonance& b) { return a.frequency < b.frequency; });
    return found;
}

std::vector<ChartPoint> openLoopFromClosedLoop(const FrequencyResponse& response, double fmax) {
    std::vector<ChartPoint> excited;
    for (const int k : excitedBins(response, fmax)) {
        const auto at = static_cast<size_t>(k);
        excited.push_back({k * response.df, response.magnitudeDb.at(at), response.phaseDeg.at(at)});
    }
    return openLoopFromClosedLoop(excited);
}

std::vector<ChartPoint> openLoopFromClosedLoop(std::span<const ChartPoint> closedLoop) {
    std::vector<ChartPoint> points;
    std::vector<double> phase;
    for (const ChartPoint& c : closedLoop) {
        const std::complex<double> t =
            std::polar(std::pow(10.0, c.magnitudeDb / 20.0), c.phaseDeg / kDegreesPerRadian);
        const std::complex<double> rest = 1.0 - t;
        if (std::abs(rest) == 0.0)
            continue;
        const std::complex<double> l = t / rest;
        points.push_back({c.frequency, 20.0 * std::log10(std::abs(l)), 0.0});
        phase.push_back(std::arg(l));
    }
    unwrapPhase(phase);
    for (size_t i = 0; i < points.size(); ++i)
        points[i].phaseDeg = phase[i] * kDegreesPerRadian;
    if (!points.empty()) {
        // One branch for the whole curve: the first point's phase in (-360, 0].
        const double first = points.front().phaseDeg;
        const double shift = -360.0 * std::ceil(first / 360.0);
        for (ChartPoint& p : points)
            p.phaseDeg += shift;
    }
    return points;
}

LoopMargins loopMargins(std::span<const ChartPoint> openLoop) {
    LoopMargins m;
    size_t from = 0;
    for (size_t i = 1; i < openLoop.size(); ++i) {
        const ChartPoint& a = openLoop[i - 1];
        const ChartPoint& b = openLoop[i];
        if (a.magnitudeDb > 0 && b.magnitudeDb <= 0) {
            m.crossoverHz = crossing(a.frequency, a.magnitudeDb, b.frequency, b.magnitudeDb, 0);
            const double phase = crossing(a.phaseDeg, a.magnitudeDb, b.phaseDeg, b.magnitudeDb, 0);
            m.phaseMarginDeg = kHalfTurn + phase;
            from = i;
            break;
        }
    }
    if (!m.crossoverHz)
        return m;
    for (size_t i = std::max<size_t>(from, 1); i < openLoop.size(); ++i) {
        const ChartPoint& a = openLoop[i - 1];
        const ChartPoint& b = openLoop[i];
        if (a.phaseDeg > -kHalfTurn && b.phaseDeg <= -kHalfTurn) {
            m.phaseCrossoverHz =
                crossing(a.frequency, a.phaseDeg, b.frequency, b.phaseDeg, -kHalfTurn);
            m.gainMarginDb =
                -crossing(a.magnitudeDb, a.phaseDeg, b.magnitudeDb, b.phaseDeg, -kHalfTurn);
            break;
        }
    }
    return m;
}

}  // namespace zrd::tuning
