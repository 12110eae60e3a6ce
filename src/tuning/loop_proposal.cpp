#include "tuning/loop_proposal.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <limits>
#include <numbers>

namespace zrd::tuning {
namespace {

using Complex = std::complex<double>;

constexpr double kTwoPiProposal = 2.0 * std::numbers::pi;
constexpr double kMsPerSProposal = 1000.0;
// The PI's zero sits this far below the crossover: Tn = a / ωc.
constexpr double kIntegralRatio = 4.0;
// A notch costs little phase only well above the crossover; a resonance the loop must live with
// keeps the crossover at most this far below it.
constexpr double kResonanceSpacing = 3.0;
// The crossover stays below this share of the first anti-resonance.
constexpr double kAntiResonanceShare = 0.5;
// Notches: wide enough to cover the fit's uncertainty and some drift (Q = f0 / bandwidth);
// above kHighestNotchHz a low-pass is the cure, not a notch.
constexpr double kNotchQuality = 2.0;
constexpr double kHighestNotchHz = 1000.0;
// The quantised notch must still be this deep at the resonance.
constexpr double kNotchDepthDb = -20.0;
// A resonance where the kept filters already take this much off needs no notch of its own.
constexpr double kKeptNotchDepthDb = -10.0;
constexpr double kLowestCrossoverHz = 2.0;
constexpr int kCrossoverCandidates = 120;

double snapped(double value, double step, double lo, double hi) {
    return std::clamp(std::round(value / step) * step, lo, hi);
}

// How far a mode's peak stands out: its ratio over its damping.
double peakSeverity(const PlantMode& m) {
    const double ratio = m.resonanceHz / std::max(m.antiResonanceHz, 1e-9);
    return ratio * ratio / std::max(m.resonanceDamping, 1e-6);
}

std::optional<NotchProposal> designNotch(double hz, const FreeFilterSlot& slot, double cycleS) {
    const bool resolvable =
        std::all_of(slot.factors.begin(), slot.factors.end(), [](double f) { return f > 0.0; });
    if (!resolvable || hz > kHighestNotchHz || hz >= 0.45 / cycleS)
        return std::nullopt;
    const FilterInputs in{FilterType::BandStop, hz, kNotchQuality, kDefaultFilterGainDb};
    const auto calc = calculateFilter(in, slot.factors, 1.0 / cycleS);
    if (!calc || !calc->stable)
        return std::nullopt;
    const double depth =
        20.0 * std::log10(std::abs(biquadResponse(calc->quantised, hz, 1.0 / cycleS)));
    if (!(depth <= kNotchDepthDb))
        return std::nullopt;
    return NotchProposal{slot.slot, in, calc->quantised, hz};
}

struct CrossoverCandidate {
    SpeedLoopGains gains;
    LoopMargins margins;
    double sensitivityPeakDb = 0.0;
};

// The loop with everything but the PI, on the grid: filters × delay × plant.
struct LoopFixedPart {
    std::vector<double> hz;
    std::vector<Complex> delay;  // z⁻¹
    std::vector<Complex> rest;
};

CrossoverCandidate evaluateCrossover(double crossoverHz, const LoopFixedPart& fixed,
                                     const LoopSetup& base, const GainSteps& steps) {
    CrossoverCandidate c;
    const double kiv = snapped(kMsPerSProposal * kIntegralRatio / (kTwoPiProposal * crossoverHz),
                               steps.kivStepMs, steps.kivMinMs, steps.kivMaxMs);
    LoopSetup unit = base;
    unit.gains = {kMsPerSProposal, kiv};  // 1 A/rpm
    const double unitGain = std::abs(openLoopAt(unit, crossoverHz));
    c.gains = {snapped(kMsPerSProposal / unitGain, steps.kpvStepMaPerRpm, steps.kpvMinMaPerRpm,
                       steps.kpvMaxMaPerRpm),
               kiv};
    const double kp = c.gains.kpvMaPerRpm / kMsPerSProposal;
    const double ti = kiv / kMsPerSProposal;
    std::vector<Complex> l(fixed.hz.size());
    for (size_t i = 0; i < l.size(); ++i) {
        const Complex pi = kp * (1.0 + base.cycleS / ti / (1.0 - fixed.delay[i]));
        l[i] = pi * fixed.rest[i];
        c.sensitivityPeakDb =
            std::max(c.sensitivityPeakDb, -20.0 * std::log10(std::abs(1.0 + l[i])));
    }
    c.margins = marginsOf(openLoopChart(fixed.hz, l));
    return c;
}

bool meetsTargets(const CrossoverCandidate& c, const LoopTargets& t) {
    return c.margins.crossoverHz && c.margins.phaseMarginDeg &&
           *c.margins.phaseMarginDeg >= t.phaseMarginDeg &&
           (!c.margins.gainMarginDb || *c.margins.gainMarginDb >= t.gainMarginDb) &&
           c.sensitivityPeakDb <= t.sensitivityPeakDb;
}

}  // namespace

LoopSetup setupOf(const PlantModel& plant, const LoopProposal& proposal,
                  const ProposalRequest& request) {
    LoopSetup s;
    s.plant = plant;
    s.gains = proposal.gains;
    s.filters = request.keptFilters;
    for (const NotchProposal& n : proposal.notches)
        s.filters.push_back(n.coefficients);
    s.cycleS = request.cycleS;
    s.currentLimitA = request.currentLimitA;
    return s;
}

LoopProposal proposeSpeedLoop(const PlantModel& plant, const ProposalRequest& request) {
    LoopProposal out;
    // Notches at the most prominent resonances, one per free slot.
    std::vector<PlantMode> modes = plant.modes;
    std::sort(modes.begin(), modes.end(), [](const PlantMode& a, const PlantMode& b) {
        return peakSeverity(a) > peakSeverity(b);
    });
    const size_t slots =
        std::min(request.freeSlots.size(), static_cast<size_t>(std::max(0, request.maxNotches)));
    double limit = std::numeric_limits<double>::infinity();
    const auto keptDepthDb = [&](double hz) {
        std::complex<double> f = 1.0;
        for (const Biquad& q : request.keptFilters)
            f *= biquadResponse(q, hz, 1.0 / request.cycleS);
        return 20.0 * std::log10(std::max(std::abs(f), 1e-12));
    };
    for (const PlantMode& m : modes) {
        limit = std::min(
            {limit, m.resonanceHz / kResonanceSpacing, kAntiResonanceShare * m.antiResonanceHz});
        if (keptDepthDb(m.resonanceHz) <= kKeptNotchDepthDb)
            continue;
        std::optional<NotchProposal> notch;
        if (out.notches.size() < slots)
            notch =
                designNotch(m.resonanceHz, request.freeSlots[out.notches.size()], request.cycleS);
        if (notch) {
            out.notches.push_back(*notch);
        } else {
            out.unnotchedResonancesHz.push_back(m.resonanceHz);
        }
    }
    std::sort(out.unnotchedResonancesHz.begin(), out.unnotchedResonancesHz.end());
    const double nyquistShare = 0.1 / request.cycleS;
    out.crossoverLimitHz = std::min(limit, nyquistShare);

    LoopSetup base = setupOf(plant, out, request);
    LoopFixedPart fixed;
    PredictionOptions grid;
    grid.toHz = 0.49 / request.cycleS;
    fixed.hz = predictionGrid(grid);
    for (const double hz : fixed.hz) {
        const Complex z1 = std::polar(1.0, -kTwoPiProposal * hz * request.cycleS);
        Complex f = 1.0;
        for (const Biquad& q : base.filters)
            f *= biquadResponse(q, hz, 1.0 / request.cycleS);
        fixed.delay.push_back(z1);
        fixed.rest.push_back(f * z1 * plantResponse(plant, hz));
    }

    std::vector<double> candidates;
    if (request.targets.crossoverHz) {
        candidates.push_back(*request.targets.crossoverHz);
    } else {
        const double top = std::max(out.crossoverLimitHz, kLowestCrossoverHz);
        const double ratio = std::log(top / kLowestCrossoverHz) / (kCrossoverCandidates - 1);
        for (int i = kCrossoverCandidates - 1; i >= 0; --i)
            candidates.push_back(kLowestCrossoverHz * std::exp(ratio * i));
    }
    std::optional<CrossoverCandidate> chosen;
    CrossoverCandidate last;
    for (const double fc : candidates) {
        last = evaluateCrossover(fc, fixed, base, request.steps);
        if (meetsTargets(last, request.targets)) {
            chosen = last;
            break;
        }
    }
    out.status = chosen ? ProposalStatus::Ok : ProposalStatus::TargetsMissed;
    out.gains = chosen ? chosen->gains : last.gains;
    PredictionOptions options;
    options.toHz = grid.toHz;
    out.prediction = predictLoop(setupOf(plant, out, request), options);
    return out;
}

std::string_view proposalStatusText(ProposalStatus status) {
    switch (status) {
        case ProposalStatus::Ok:
            return "";
        case ProposalStatus::TargetsMissed:
            return "no crossover meets the margin targets on this plant; the proposal misses them";
    }
    return "";
}

}  // namespace zrd::tuning
