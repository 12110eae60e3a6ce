#pragma once

// The simulated drive's plants that the tuner's tests run, and the modes their documented
// model puts where the speed loop sees them.

#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

#include "servo_plant.h"
#include "tuning/plant_fit.h"

namespace zrd::tuning {

inline constexpr double kTunerTwoPi = 2.0 * std::numbers::pi;

struct TunerPlant {
    const char* name;
    double resonanceHz, damping, ratioPercent;
    double secondHz = 0.0, secondDamping = 0.0;
    double frictionNm = 0.0;  // Coulomb friction on the load
};
inline const std::vector<TunerPlant> kTunerPlants = {
    {"heavy load", 250.0, 0.05, 500.0},
    {"light damping", 400.0, 0.02, 100.0},
    {"stiff, light load, well damped", 900.0, 0.1, 50.0},
    {"two modes", 300.0, 0.04, 200.0, 700.0, 0.03},
};

inline sim::PlantSettings settingsOf(const TunerPlant& p) {
    sim::PlantSettings s;
    s.inertiaRatio = p.ratioPercent / 100.0;
    s.resonanceHz = p.resonanceHz;
    s.resonanceDamping = p.damping;
    s.secondResonanceHz = p.secondHz;
    s.secondResonanceDamping = p.secondDamping;
    s.coulombFrictionNm = p.frictionNm;
    return s;
}

// A mode (ω, ζ) as the plant's semi-implicit step of cycle T runs it: per cycle the pair's
// eigenvalues have r² = 1 − 2ζωT and 2r·cos θ = 2 − 2ζωT − (ωT)², so s = (ln r + jθ) / T —
// noticeably higher than ω near 1 kHz.
inline PlantMode stepped(double antiHz, double antiDamping, double hz, double damping) {
    const auto map = [](double f, double zeta) {
        const double wt = kTunerTwoPi * f * sim::kStepSeconds;
        const double r = std::sqrt(1.0 - 2.0 * zeta * wt);
        const double theta = std::acos((2.0 - 2.0 * zeta * wt - wt * wt) / (2.0 * r));
        const double lnR = std::log(r);
        const double magnitude = std::hypot(lnR, theta);
        return std::pair{magnitude / (kTunerTwoPi * sim::kStepSeconds), -lnR / magnitude};
    };
    const auto [fa, za] = map(antiHz, antiDamping);
    const auto [fr, zr] = map(hz, damping);
    return {fa, za, fr, zr};
}

// The modes of the plant's documented model: each branch's anti-resonance ω_i √(Jm / (Jm + J_i))
// with damping ζ_i √(Jm / (Jm + J_i)); the resonances where Jm + Σ J_i a_i² / (a_i² − ω²)
// vanishes (their damping stated only for one branch, where it is ζ; with two the branch's
// damping stands in for the step's shift only).
inline std::vector<PlantMode> expectedModes(const TunerPlant& p, const sim::PlantSettings& s) {
    const double jm = s.rotorInertiaKgCm2;
    const double load = jm * p.ratioPercent / 100.0;
    if (p.secondHz == 0.0) {
        const double share = std::sqrt(jm / (jm + load));
        return {stepped(p.resonanceHz * share, p.damping * share, p.resonanceHz, p.damping)};
    }
    const double j1 = load * (1.0 - sim::kSecondModeLoadShare);
    const double j2 = load * sim::kSecondModeLoadShare;
    const double s1 = std::sqrt(jm / (jm + j1));
    const double s2 = std::sqrt(jm / (jm + j2));
    const double a1 = p.resonanceHz * s1;
    const double a2 = p.secondHz * s2;
    const double qa = jm;
    const double qb = -(jm * (a1 * a1 + a2 * a2) + j1 * a1 * a1 + j2 * a2 * a2);
    const double qc = (jm + j1 + j2) * a1 * a1 * a2 * a2;
    const double root = std::sqrt(qb * qb - 4.0 * qa * qc);
    PlantMode first = stepped(a1, p.damping * s1, std::sqrt((-qb - root) / (2.0 * qa)), p.damping);
    PlantMode second =
        stepped(a2, p.secondDamping * s2, std::sqrt((-qb + root) / (2.0 * qa)), p.secondDamping);
    first.resonanceDamping = std::nan("");
    second.resonanceDamping = std::nan("");
    return {first, second};
}

}  // namespace zrd::tuning
