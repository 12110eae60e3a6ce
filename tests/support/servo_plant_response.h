#pragma once

// The simulated plant's own closed speed loop, as the tests measure it against: its answer to a
// sine speed command, the open loop behind it, and where a curve falls through zero.

#include <chrono>
#include <cmath>
#include <complex>
#include <numbers>
#include <optional>

#include "servo_plant.h"

namespace zrd::test {

// The simulated plant's own answer at f: the speed over a sine speed command, as a complex
// ratio, once settled (noise off; the component at f over one second).
inline std::complex<double> plantResponse(double f) {
    sim::ServoPlant plant;
    sim::PlantSettings settings;
    settings.noise = 0.0;
    plant.setSettings(settings);
    sim::PlantInputs in;
    in.enabled = true;
    in.generator = true;
    constexpr int kSecond = 1000 * sim::ServoPlant::kStepsPerMs;
    const double cycle = std::chrono::duration<double>(sim::ServoPlant::kStep).count();
    std::complex<double> command;
    std::complex<double> speed;
    for (int k = 0; k < 2 * kSecond; ++k) {
        in.internalCommand = std::sin(2 * std::numbers::pi * f * k * cycle);
        plant.setInputs(in);
        plant.step();
        const std::complex<double> turn = std::polar(1.0, -2 * std::numbers::pi * f * k * cycle);
        if (k >= kSecond) {
            command += in.internalCommand * turn;
            speed += plant.state().speedRpm * turn;
        }
    }
    return speed / command;
}

// The open loop L = T / (1 - T) of the simulated plant's closed speed loop T at f.
inline std::complex<double> plantOpenLoop(double f) {
    const std::complex<double> t = plantResponse(f);
    return t / (1.0 - t);
}

// Where g falls through zero between lo and hi (g(lo) > 0 >= g(hi)), by bisection.
template <typename F>
double fallingZero(F g, double lo, double hi) {
    for (int i = 0; i < 30; ++i) {
        const double mid = (lo + hi) / 2;
        (g(mid) > 0 ? lo : hi) = mid;
    }
    return (lo + hi) / 2;
}

// The plant's crossover (where |L| falls through 1 between 5 and 300 Hz) and its phase margin.
struct PlantMargins {
    double crossoverHz = 0;
    double phaseMarginDeg = 0;
};
inline PlantMargins plantMargins() {
    const double crossover =
        fallingZero([](double f) { return std::abs(plantOpenLoop(f)) - 1.0; }, 5.0, 300.0);
    return {crossover, 180.0 + std::arg(plantOpenLoop(crossover)) * 180 / std::numbers::pi};
}

// The plant's gain margin: -|L| in dB where the phase of L, unwrapped from the crossover on,
// first falls through -180 degrees below upToHz; nullopt when it never does there.
inline std::optional<double> plantGainMarginDb(double crossoverHz, double upToHz) {
    constexpr double kStepHz = 5.0;
    constexpr double kDegrees = 180.0 / std::numbers::pi;
    // The phase at f on the branch nearest `near`.
    const auto phaseNear = [&](double f, double near) {
        const double p = std::arg(plantOpenLoop(f)) * kDegrees;
        return p - 360.0 * std::round((p - near) / 360.0);
    };
    double phase = std::arg(plantOpenLoop(crossoverHz)) * kDegrees;
    for (double f = crossoverHz + kStepHz; f <= upToHz; f += kStepHz) {
        const double next = phaseNear(f, phase);
        if (phase > -180.0 && next <= -180.0) {
            const double crossing =
                fallingZero([&](double g) { return phaseNear(g, phase) + 180.0; }, f - kStepHz, f);
            return -20.0 * std::log10(std::abs(plantOpenLoop(crossing)));
        }
        phase = next;
    }
    return std::nullopt;
}

// The frequency within ±20 % of the plant's resonance where its closed loop peaks.
inline double plantResonancePeakHz() {
    double peak = sim::kDefaultResonanceHz;
    for (double f = 0.8 * peak, best = 0; f <= 1.2 * sim::kDefaultResonanceHz; f += 1.0) {
        if (const double a = std::abs(plantResponse(f)); a > best) {
            best = a;
            peak = f;
        }
    }
    return peak;
}

}  // namespace zrd::test
