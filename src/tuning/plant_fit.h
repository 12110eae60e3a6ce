#pragma once

// A model of the speed loop's plant fitted to a closed-loop estimate:
// P(s) = Kt·Lc·Lf·e^(−s·Td) · 1/(J·s + B) · Π (s²/ωa² + 2ζa·s/ωa + 1) / (s²/ωr² + 2ζr·s/ωr + 1)
// from current command (A) to measured speed (rpm): the rigid body, the current loop's lag Lc
// and the speed feedback filter Lf ("VFILT") as first-order lags run once a cycle, a delay Td,
// and up to kMaxModes pairs of an anti-resonance over a resonance (unity at zero frequency).
// Kt and the lags are the drive's; J, B, Td and the pairs are fitted by Levenberg–Marquardt on
// log magnitude and phase, weighted by coherence, from initial values read off the estimate
// (J from the low band, the pairs from its peaks and dips), then refined on the complex response
// weighted by the inverse of the local noise variance, where noise at a dip's bottom averages out.
//
// How the front ends use it: fitPlant(estimate, knowns) after estimatePlant; the tuner shows
// inertiaKgCm2, inertiaRatioPercent, the modes and residualDb, and passes fit.model to
// proposeSpeedLoop and predictLoop.

#include <complex>
#include <vector>

#include "tuning/biquad.h"
#include "tuning/plant_estimate.h"

namespace zrd::tuning {

inline constexpr int kMaxModes = 3;
// The drive's current loop, seen from the speed loop.
inline constexpr double kDefaultCurrentLagMs = 0.5;
// The drive's control cycle (s).
inline constexpr double kDriveCycleS = 1.0 / kFilterRate;

struct PlantMode {
    double antiResonanceHz = 0.0;
    double antiResonanceDamping = 0.0;
    double resonanceHz = 0.0;
    double resonanceDamping = 0.0;
};

struct PlantModel {
    double torqueConstantNmPerA = 0.54;
    double inertiaKgM2 = 0.0;
    double viscousNmsPerRad = 0.0;
    double currentLagS = kDefaultCurrentLagMs / 1000.0;
    double speedFilterHz = 0.0;  // 0: off
    // The drive runs the lags once a cycle (0: as continuous lags).
    double cycleS = kDriveCycleS;
    double delayS = 0.0;
    std::vector<PlantMode> modes;  // in the order of frequency
};

// The part of the model the drive states: the torque constant (as rpm per rad/s),
// the current loop's lag and the speed filter, at hz.
[[nodiscard]] std::complex<double> knownResponse(const PlantModel& model, double hz);
// The model's response at hz, rpm/A.
[[nodiscard]] std::complex<double> plantResponse(const PlantModel& model, double hz);

// What the drive states of the plant.
struct PlantKnowns {
    double torqueConstantNcmPerA = 54.0;  // MKT
    double rotorInertiaKgCm2 = 1.1;       // MJ
    double currentLagMs = kDefaultCurrentLagMs;
    double speedFilterHz = 0.0;  // VFILT
    double cycleS = kDriveCycleS;
    int maxModes = kMaxModes;
};

enum class FitStatus {
    Ok,
    NoEstimate,  // the estimate is not Ok
};

struct PlantFit {
    FitStatus status = FitStatus::Ok;
    PlantModel model;
    double inertiaKgCm2 = 0.0;
    double inertiaRatioPercent = 0.0;  // JRATIO: J / MJ − 1, in %
    double viscousNcmPerKrpm = 0.0;
    double residualDb = 0.0;  // RMS of the magnitude misfit over the coherent bins
    int iterations = 0;
};

[[nodiscard]] PlantFit fitPlant(const PlantEstimate& estimate, const PlantKnowns& knowns = {});

}  // namespace zrd::tuning
