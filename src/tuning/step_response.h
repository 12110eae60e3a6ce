#pragma once

// The step-response test: the generator's square wave that makes one speed step inside an
// offline record, and the figures of the step as the record shows it (overshoot, rise and
// settling time, steady-state error, peak current).
//
// How the front ends use it: stepWave(amplitude, base, tickCode) gives the fields the "Wave
// forms" window would write (planWave/writeWave send them); the record runs with the
// generator's trigger, so that sample 0 is the generator's time 0 and the step lies in the
// record's middle; measureStep(command, actual, current, tick, limit) finds it and gives the
// figures.

#include <optional>
#include <span>
#include <vector>

#include "tuning/function_generator.h"

namespace zrd::tuning {

// Bands of the settling times, as shares of the step.
inline constexpr double kSettlingBandNarrow = 0.02;
inline constexpr double kSettlingBandWide = 0.05;
// Current at this share of the limit counts as the limit reached.
inline constexpr double kCurrentLimitShare = 0.98;

// A square wave whose period is the record of the tick code: base in its first half (the loop
// settles from whatever it ran before), base + amplitude in its second: an amplitude of minus
// half the step around the middle. The generator's amplitude is whole in speed units, so the
// step is an even number of them.
[[nodiscard]] WaveFields stepWave(double amplitude, double base, int tickCode);

// A speed step as samples at a fixed interval: the command and the speed that followed it.
struct StepCurve {
    double sampleS = 0.0;
    std::vector<double> commandRpm;
    std::vector<double> speedRpm;
};

struct StepFigures {
    double commandBefore = 0;  // the command's mean before the step
    double commandAfter = 0;   // and after it: the step's target
    double overshootPercent = 0;
    std::optional<double> riseMs;       // 10 % to 90 % of the step; nullopt: never reached 90 %
    std::optional<double> settling2Ms;  // from the step until it stays within ±2 %; nullopt:
    std::optional<double> settling5Ms;  // not settled by the record's end
    double steadyErrorRpm = 0;          // target minus the mean of the record's last tenth
    double peakCurrentA = 0;            // the largest |current| after the step
    bool currentLimited = false;
};

// The figures of the command's first step (where it first crosses the middle of its range)
// in records of `tick` seconds; `currentLimit` in A (nullopt: unknown, never limited).
// nullopt when the command makes no step.
[[nodiscard]] std::optional<StepFigures> measureStep(std::span<const double> command,
                                                     std::span<const double> actual,
                                                     std::span<const double> current, double tick,
                                                     std::optional<double> currentLimit);

// The sample where the command first crosses the middle of its range; nullopt when it is flat.
[[nodiscard]] std::optional<size_t> stepSample(std::span<const double> command);

// The curve less the command's level before its step, on both traces: steps from different
// base speeds (a prediction from standstill, a record around a base speed) lie over each other.
[[nodiscard]] StepCurve changeFromStepStart(const StepCurve& curve);

}  // namespace zrd::tuning
