#pragma once

// A measured frequency response read as a tuning engineer reads it: its resonances and
// anti-resonances, and, for a closed speed loop T (command to actual speed), the open loop
// L = T / (1 - T) with its crossover and margins.
//
// How the front ends use it: findResonances(response, fmax) for the list beside the chart (and
// `zrdctl bode`); openLoopFromClosedLoop(response, fmax) for the curves of L and
// loopMargins(those points) for its markers (and `zrdctl bode --open-loop`).

#include <optional>
#include <span>
#include <vector>

#include "tuning/frequency_response.h"

namespace zrd::tuning {

// How far a peak must stand above (a dip below) its surroundings to count.
inline constexpr double kResonanceProminenceDb = 3.0;
// The half-power level that gives a peak's width.
inline constexpr double kHalfPowerDb = 3.0;

struct Resonance {
    bool anti = false;  // a dip (anti-resonance) rather than a peak
    double frequency = 0;
    double magnitudeDb = 0;
    // From the half-power width: (f2 - f1) / (2 f0); nullopt when an edge of the band comes
    // first.
    std::optional<double> damping;
};
// The local maxima and minima of the magnitude over the excited bins up to fmax, each at least
// kResonanceProminenceDb prominent, in the order of frequency.
[[nodiscard]] std::vector<Resonance> findResonances(const FrequencyResponse& response, double fmax);

// L = T / (1 - T) at the excited bins up to fmax (dB, and degrees unwrapped from the first
// bin's value in (-360, 0]).
[[nodiscard]] std::vector<ChartPoint> openLoopFromClosedLoop(const FrequencyResponse& response,
                                                             double fmax);
// The same at every point of a closed-loop curve (a point where T = 1 is left out).
[[nodiscard]] std::vector<ChartPoint> openLoopFromClosedLoop(
    std::span<const ChartPoint> closedLoop);

struct LoopMargins {
    std::optional<double> crossoverHz;       // where |L| first falls through 0 dB
    std::optional<double> phaseMarginDeg;    // 180 + phase there
    std::optional<double> phaseCrossoverHz;  // where the phase first falls through -180 after it
    std::optional<double> gainMarginDb;      // -|L| there; nullopt: never crosses (infinite)
};
[[nodiscard]] LoopMargins loopMargins(std::span<const ChartPoint> openLoop);

}  // namespace zrd::tuning
