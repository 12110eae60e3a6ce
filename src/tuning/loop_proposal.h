#pragma once

// Speed-loop gains and notch filters proposed for a fitted plant: KPV and KIV in the drive's
// units and steps, and up to N band-stop filters at the fitted resonances, designed and
// quantised by the filter calculator into the free filter slots. The crossover is the highest
// ("auto", or the one asked for) at which the loop, evaluated on the model with the quantised
// gains and the quantised coefficients, keeps the phase and gain margins and the sensitivity
// peak; it stays below half the first anti-resonance and a third of every resonance, where a
// notch costs little phase. A resonance that cannot be notched (no free slot, above 1 kHz, or a
// design the slot's resolution spoils) stays in the loop, and the search lowers the crossover
// until its peak keeps the gain margin.
//
// How the front ends use it: after fitPlant, proposeSpeedLoop(fit.model, request) with the
// targets the user chose, the slots switched off in the drive (their coefficientFactors) and the
// current limit; the tuner shows the proposal and its prediction, writes KPV, KIV and the notch
// slots (writeFilterSlot) only when the user accepts, then verifies by measuring again.

#include <optional>
#include <string_view>
#include <vector>

#include "tuning/filter_design.h"
#include "tuning/loop_prediction.h"
#include "tuning/plant_fit.h"

namespace zrd::tuning {

// Common defaults of servo tuners.
inline constexpr double kDefaultPhaseMarginDeg = 45.0;
inline constexpr double kDefaultGainMarginDb = 8.0;
inline constexpr double kDefaultSensitivityPeakDb = 6.0;

struct LoopTargets {
    double phaseMarginDeg = kDefaultPhaseMarginDeg;
    double gainMarginDb = kDefaultGainMarginDb;
    double sensitivityPeakDb = kDefaultSensitivityPeakDb;
    std::optional<double> crossoverHz;  // nullopt: as high as the margins allow
};

// KPV and KIV as the data set states them ("KPV" 0..300 mA/rpm in 0.01, "KIV" 0.1..3000 ms in 0.1).
struct GainSteps {
    double kpvStepMaPerRpm = 0.01;
    double kpvMinMaPerRpm = 0.0;
    double kpvMaxMaPerRpm = 300.0;
    double kivStepMs = 0.1;
    double kivMinMs = 0.1;
    double kivMaxMs = 3000.0;
};

struct FreeFilterSlot {
    int slot = 1;
    CoefficientFactors factors{1e4, 1e4, 1e4, 1e4, 1e4};
};

struct ProposalRequest {
    LoopTargets targets;
    // The filters the user runs in the other slots: they stay in the loop, and a resonance they
    // already suppress gets no second notch.
    std::vector<Biquad> keptFilters;
    std::vector<FreeFilterSlot> freeSlots;
    int maxNotches = 2;
    GainSteps steps;
    double cycleS = kSpeedLoopCycleS;
    std::optional<double> currentLimitA;
};

struct NotchProposal {
    int slot = 0;
    FilterInputs inputs;  // band-stop at the resonance
    Biquad coefficients;  // quantised
    double resonanceHz = 0.0;
};

enum class ProposalStatus {
    Ok,
    // No crossover meets the targets (or the one asked for does not): the proposal is the
    // lowest tried, its prediction says by how much it misses.
    TargetsMissed,
};

struct LoopProposal {
    ProposalStatus status = ProposalStatus::Ok;
    SpeedLoopGains gains;
    std::vector<NotchProposal> notches;
    std::vector<double> unnotchedResonancesHz;  // that limited the crossover
    double crossoverLimitHz = 0.0;              // the highest the plant's modes permit
    LoopPrediction prediction;
};

[[nodiscard]] LoopProposal proposeSpeedLoop(const PlantModel& plant,
                                            const ProposalRequest& request);

// The loop setup of a proposal on the plant, for predictLoop.
[[nodiscard]] LoopSetup setupOf(const PlantModel& plant, const LoopProposal& proposal,
                                const ProposalRequest& request);

[[nodiscard]] std::string_view proposalStatusText(ProposalStatus status);

}  // namespace zrd::tuning
