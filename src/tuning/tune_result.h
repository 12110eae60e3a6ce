#pragma once

// What one run of the speed-loop tuner found, proposed and verified: the plant's estimate and
// fitted model, the loop before and as proposed, the prediction on the model and the
// verifying measurement. The tuner fills it; `zrdctl tune --json`, the HTML report and the
// "Auto tuning" window only show it.

#include <optional>
#include <string>
#include <vector>

#include "tuning/frequency_response.h"
#include "tuning/loop_prediction.h"
#include "tuning/plant_estimate.h"
#include "tuning/plant_fit.h"
#include "tuning/step_response.h"
#include "tuning/step_test.h"

namespace zrd::tuning {

// One filter slot as the tuner reports it, in the filter calculator's terms.
struct TunedFilter {
    int slot = 0;
    int type = 0;  // as the filter calculator numbers the types; 0: off
    double hz = 0.0;
    double q = 0.0;
    double gainDb = 0.0;
};

// The speed loop's settings in the parameters' engineering units.
struct TunedLoop {
    double kpvMaPerRpm = 0.0;
    double kivMs = 0.0;
    std::vector<TunedFilter> filters;  // the active slots
};

// The figures of a loop, predicted on the model or measured on the drive; nullopt where a
// figure does not exist (no crossover, the phase never reaches −180°: an infinite gain margin).
struct LoopFigures {
    std::optional<double> crossoverHz;
    std::optional<double> phaseMarginDeg;
    std::optional<double> gainMarginDb;
    std::optional<double> bandwidthHz;
    std::optional<double> overshootPercent;
};

// The figures of a prediction: its margins, its −3 dB bandwidth and its step's overshoot.
[[nodiscard]] inline LoopFigures loopFigures(const LoopPrediction& p) {
    LoopFigures f;
    f.crossoverHz = p.margins.crossoverHz;
    f.phaseMarginDeg = p.margins.phaseMarginDeg;
    f.gainMarginDb = p.margins.gainMarginDb;
    f.bandwidthHz = p.bandwidthHz;
    if (p.step)
        f.overshootPercent = p.step->overshootPercent;
    return f;
}

// One check of the verification: what was measured against what was asked.
struct VerifyCheck {
    std::string name;  // "crossover", "phase margin", "gain margin", "closed loop"
    bool passed = false;
    std::string detail;  // "measured 61.2 Hz, predicted 58.0 Hz (±15 %)"
};

// A speed step as samples at a fixed interval: the command and the speed that followed it.
struct StepCurve {
    double sampleS = 0.0;
    std::vector<double> commandRpm;
    std::vector<double> speedRpm;
};

struct TuneResult {
    // The measurement: the plant's estimate (masked bins included) and the model fitted to it.
    PlantEstimate estimate;
    PlantFit fit;

    TunedLoop before;
    TunedLoop proposed;

    // On the model: the loop as it ran before the tuning and as proposed.
    LoopPrediction predictedBefore;
    LoopPrediction predictedProposed;
    LoopFigures predicted;  // of predictedProposed

    // After --apply: the measured closed loop (speed command to actual speed), the open loop
    // derived from it, its figures, the measured step and the checks.
    std::vector<ChartPoint> measuredClosedLoop;
    std::vector<ChartPoint> measuredOpenLoop;
    std::optional<LoopFigures> measured;
    std::optional<StepFigures> measuredStep;
    // The verifying step's record: the command and the actual speed (rpm), a sample per tick.
    std::vector<double> measuredStepCommandRpm;
    std::vector<double> measuredStepSpeedRpm;
    double measuredStepTickS = 0.0;
    std::vector<VerifyCheck> checks;

    // The steps behind the step figures, where the run kept them: simulated on the model with
    // the loop as before and as proposed, and recorded after --apply.
    std::optional<StepCurve> stepBefore;
    std::optional<StepCurve> stepProposed;
    std::optional<StepCurve> stepMeasured;

    bool applied = false;   // the proposal was written to the drive
    bool verified = false;  // and every check passed
    bool saved = false;     // and stored in the EEPROM
    // Parameters written by the run that are back to their values from before it, and those
    // that could not be put back.
    std::vector<std::string> notRestored;
    std::string backupFile;  // where the values from before the run were kept; empty: none
};

}  // namespace zrd::tuning
