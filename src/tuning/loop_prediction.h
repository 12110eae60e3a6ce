#pragma once

// The speed loop predicted on a plant model: the drive's PI (KPV, KIV) at its cycle, the filters
// on the current command, one cycle of feedback delay, and the fitted plant. Open-loop points
// with crossover and margins, closed-loop points with the −3 dB bandwidth and the peaks of T and
// S, and a speed step simulated in discrete time at the drive's cycle with the current limit.
//
// How the front ends use it: proposeSpeedLoop fills a prediction for what it proposes; the tuner
// (or a window comparing a hand-made set of gains) calls predictLoop(setup) and shows the curves
// and figures, and after the verifying measurement compares them with the measured ones.

#include <complex>
#include <optional>
#include <span>
#include <vector>

#include "tuning/biquad.h"
#include "tuning/loop_analysis.h"
#include "tuning/plant_fit.h"
#include "tuning/step_response.h"

namespace zrd::tuning {

// The drive's speed-loop cycle (s).
inline constexpr double kSpeedLoopCycleS = kDriveCycleS;

// The PI in the drive's units: i = KPV · (e + Σ e · T / KIV).
struct SpeedLoopGains {
    double kpvMaPerRpm = 5.0;
    double kivMs = 10.0;  // 0 leaves the integral out
};

struct LoopSetup {
    PlantModel plant;
    SpeedLoopGains gains;
    std::vector<Biquad> filters;  // in series on the current command, at kFilterRate
    double cycleS = kSpeedLoopCycleS;
    std::optional<double> currentLimitA;
};

// L at hz: PI × filters × feedback delay × plant.
[[nodiscard]] std::complex<double> openLoopAt(const LoopSetup& setup, double hz);

struct PredictionOptions {
    double fromHz = 1.0;
    double toHz = 0.49 * kFilterRate;
    int points = 800;        // log-spaced
    double stepRpm = 100.0;  // the simulated step
    double stepRecordS = 0.25;
};

struct LoopPrediction {
    std::vector<ChartPoint> openLoop;  // dB, degrees unwrapped from the first point in (−360, 0]
    std::vector<ChartPoint> closedLoop;  // T = L / (1 + L)
    LoopMargins margins;  // the gain margin is the smallest over all −180° crossings
    std::optional<double> bandwidthHz;  // where |T| first falls below −3 dB
    double closedLoopPeakDb = 0.0;      // Mt
    double sensitivityPeakDb = 0.0;     // Ms = max |1 / (1 + L)|
    std::optional<StepFigures> step;
    std::optional<StepCurve> stepCurve;  // the simulated step the figures were measured on
};

[[nodiscard]] LoopPrediction predictLoop(const LoopSetup& setup,
                                         const PredictionOptions& options = {});

// The frequencies of the prediction's grid.
[[nodiscard]] std::vector<double> predictionGrid(const PredictionOptions& options);
// The open loop's chart points: dB, and degrees unwrapped from the first point in (−360, 0].
[[nodiscard]] std::vector<ChartPoint> openLoopChart(std::span<const double> hz,
                                                    std::span<const std::complex<double>> openLoop);
// Crossover and phase margin as loopMargins gives them; the gain margin the smallest over every
// −180° (mod 360°) crossing past the crossover.
[[nodiscard]] LoopMargins marginsOf(std::span<const ChartPoint> openLoop);

}  // namespace zrd::tuning
