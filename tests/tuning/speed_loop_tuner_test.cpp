// The speed-loop tuner's core on the simulated drive's plant: closed-loop chirp records of the
// plant class, the plant estimated and fitted, a proposal of gains and notches predicted.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdint>
#include <numbers>
#include <optional>
#include <random>
#include <vector>

#include "servo_plant.h"
#include "simulated_plants.h"
#include "tuning/loop_proposal.h"
#include "tuning/plant_estimate.h"
#include "tuning/plant_fit.h"

namespace zrd::tuning {
namespace {

constexpr double kTunerBaseRpm = 100.0;
constexpr double kTunerAmplitudeRpm = 60.0;
// A misfit above this means a mode is missing.
constexpr double kTunerResidualDb = 3.0;

struct ChirpRecord {
    int stepsPerSample;
    double fromHz, toHz;    // the sweep
    double bandToHz;        // the band this record serves
    double amplitudeShare;  // of the chirp's amplitude: the plant answers less at high frequency
};
// A low band at 1 ms (three records, where the anti-resonances lie and the speed barely moves),
// a middle one at 250 µs and a high one at 125 µs (two each); 2048 samples a record, as offline
// records hold, with one sweep per Welch segment.
const std::vector<ChirpRecord> kTunerRecords = {
    {8, 1.0, 450.0, 350.0, 2.0},     {8, 1.0, 450.0, 350.0, 2.0},     {8, 1.0, 450.0, 350.0, 2.0},
    {2, 200.0, 1500.0, 1000.0, 4.0}, {2, 200.0, 1500.0, 1000.0, 4.0}, {1, 600.0, 3000.0, 0.0, 10.0},
    {1, 600.0, 3000.0, 0.0, 10.0}};
constexpr size_t kTunerRecordSamples = 2048;
// Segments of 1024 samples: a lightly damped anti-resonance is a few hertz wide, and a coarser
// resolution's leakage fills it in.
constexpr int kTunerSegment = 1024;

struct Recorded {
    double tickS;
    std::vector<double> r, u, y;
    bool limited = false;
};

// The plant in speed mode on the measuring gains, its command a chirp around the base speed.
std::vector<Recorded> recordChirps(const sim::PlantSettings& settings, double amplitudeRpm) {
    sim::ServoPlant plant;
    plant.setSettings(settings);
    sim::PlantInputs in;
    in.enabled = true;
    in.generator = true;
    in.internalCommand = kTunerBaseRpm;
    plant.setInputs(in);
    std::vector<Recorded> out;
    for (const ChirpRecord& c : kTunerRecords) {
        for (int k = 0; k < 2000; ++k)
            plant.step();
        Recorded rec{c.stepsPerSample * sim::kStepSeconds, {}, {}, {}};
        const double period = rec.tickS * kTunerSegment;
        double t = 0.0;
        for (size_t n = 0; n < kTunerRecordSamples; ++n) {
            for (int k = 0; k < c.stepsPerSample; ++k) {
                const double local = std::fmod(t, period);
                in.internalCommand =
                    kTunerBaseRpm +
                    c.amplitudeShare * amplitudeRpm *
                        std::sin(kTunerTwoPi * (c.fromHz * local + (c.toHz - c.fromHz) * local *
                                                                       local / (2.0 * period)));
                plant.setInputs(in);
                plant.step();
                t += sim::kStepSeconds;
                rec.limited = rec.limited || plant.state().currentLimited;
            }
            rec.r.push_back(plant.state().speedCommandRpm);
            rec.u.push_back(plant.state().currentCommandA);
            rec.y.push_back(plant.state().speedRpm);
        }
        out.push_back(std::move(rec));
    }
    return out;
}

PlantEstimate estimateOf(const std::vector<Recorded>& recs) {
    std::vector<LoopRecord> loop;
    for (size_t i = 0; i < recs.size(); ++i)
        loop.push_back(
            {recs[i].tickS, recs[i].r, recs[i].u, recs[i].y, 0.0, kTunerRecords[i].bandToHz});
    EstimateOptions o;
    o.segment = kTunerSegment;
    return estimatePlant(loop, o);
}

PlantKnowns knownsOf(const sim::PlantSettings& s) {
    PlantKnowns k;
    k.torqueConstantNcmPerA = s.torqueConstantNcmPerA;
    k.rotorInertiaKgCm2 = s.rotorInertiaKgCm2;
    k.currentLagMs = s.currentLagMs;
    k.speedFilterHz = s.speedFilterHz;
    return k;
}

void expectWithin(double actual, double expected, double share, const char* what) {
    EXPECT_NEAR(actual, expected, share * std::abs(expected)) << what;
}

TEST(SpeedLoopTuner, TheFitRecoversInertiaAndModesOfTheSimulatedPlant) {
    for (const TunerPlant& p : kTunerPlants) {
        SCOPED_TRACE(p.name);
        const sim::PlantSettings settings = settingsOf(p);
        const auto recs = recordChirps(settings, kTunerAmplitudeRpm);
        for (const Recorded& r : recs)
            ASSERT_FALSE(r.limited);
        const PlantEstimate estimate = estimateOf(recs);
        ASSERT_EQ(estimate.status, EstimateStatus::Ok);
        const PlantFit fit = fitPlant(estimate, knownsOf(settings));
        ASSERT_EQ(fit.status, FitStatus::Ok);
        expectWithin(fit.inertiaKgCm2, settings.rotorInertiaKgCm2 * (1.0 + p.ratioPercent / 100.0),
                     0.10, "inertia");
        expectWithin(fit.inertiaRatioPercent + 100.0, p.ratioPercent + 100.0, 0.10, "JRATIO");
        const std::vector<PlantMode> expected = expectedModes(p, settings);
        ASSERT_EQ(fit.model.modes.size(), expected.size());
        for (size_t i = 0; i < expected.size(); ++i) {
            SCOPED_TRACE(i);
            const PlantMode& got = fit.model.modes[i];
            const PlantMode& want = expected[i];
            expectWithin(got.resonanceHz, want.resonanceHz, 0.03, "resonance");
            expectWithin(got.antiResonanceHz, want.antiResonanceHz, 0.05, "anti-resonance");
            expectWithin(got.antiResonanceDamping, want.antiResonanceDamping, 0.30,
                         "anti-resonance damping");
            if (!std::isnan(want.resonanceDamping))
                expectWithin(got.resonanceDamping, want.resonanceDamping, 0.30,
                             "resonance damping");
        }
        EXPECT_LT(fit.residualDb, kTunerResidualDb);
    }
}

// A lightly damped dip whose bottom sinks into zero-mean noise keeps its depth: the fit's damping
// follows the response, not the noise that fills the dip in on a logarithmic scale.
TEST(SpeedLoopTuner, NoiseAtTheBottomOfALightDipLeavesItsDampingAlone) {
    struct Case {
        double antiHz, antiDamping, hz, damping;
        uint32_t seed;
    };
    const Case cases[] = {{283.0, 0.014, 400.0, 0.02, 1},
                          {283.0, 0.014, 400.0, 0.02, 2},
                          {190.0, 0.025, 264.0, 0.035, 3},
                          {102.0, 0.02, 250.0, 0.05, 4}};
    // Bins of 1 Hz, as the records' segments give them.
    constexpr double kFromHz = 10.0;
    constexpr double kToHz = 1000.0;
    constexpr double kBinHz = 1.0;
    constexpr double kNoiseOverDip = 2.0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.antiHz);
        PlantModel truth;
        truth.inertiaKgM2 = 2.2e-4;
        truth.modes = {{c.antiHz, c.antiDamping, c.hz, c.damping}};
        PlantModel rigid = truth;
        rigid.modes.clear();
        // The noise a constant share of the rigid body's response, twice the response at the
        // dip's bottom there: its bins are masked, their neighbours' noise is as large as them.
        const double share = kNoiseOverDip * std::abs(plantResponse(truth, c.antiHz) /
                                                      plantResponse(rigid, c.antiHz));
        std::mt19937 random(c.seed);
        std::normal_distribution<double> noise(0.0, 1.0 / std::numbers::sqrt2);
        PlantEstimate estimate;
        for (double hz = kFromHz; hz <= kToHz; hz += kBinHz) {
            const double sigma = share * std::abs(plantResponse(rigid, hz));
            const std::complex<double> measured =
                plantResponse(truth, hz) +
                sigma * std::complex<double>(noise(random), noise(random));
            const double coherence = std::norm(measured) / (std::norm(measured) + sigma * sigma);
            estimate.bins.push_back({hz, measured, coherence, coherence >= kMinCoherence});
            estimate.coherentBins += estimate.bins.back().coherent ? 1 : 0;
        }
        PlantKnowns oneMode;
        oneMode.maxModes = 1;
        const PlantFit fit = fitPlant(estimate, oneMode);
        ASSERT_EQ(fit.status, FitStatus::Ok);
        ASSERT_EQ(fit.model.modes.size(), 1u);
        const PlantMode& got = fit.model.modes.front();
        expectWithin(got.antiResonanceHz, c.antiHz, 0.03, "anti-resonance");
        expectWithin(got.antiResonanceDamping, c.antiDamping, 0.30, "anti-resonance damping");
        expectWithin(got.resonanceDamping, c.damping, 0.30, "resonance damping");
    }
}

// The simulated plant's own step with the proposed set: the figures as a record shows them.
std::optional<StepFigures> simulatedStep(sim::PlantSettings settings, const LoopProposal& proposal,
                                         const PredictionOptions& o) {
    settings.speedGainAPerRpm = proposal.gains.kpvMaPerRpm / 1000.0;
    settings.speedIntegralMs = proposal.gains.kivMs;
    for (const NotchProposal& n : proposal.notches) {
        const Biquad& q = n.coefficients;
        settings.filters.at(static_cast<size_t>(n.slot - 1)) =
            sim::Biquad{q.b0, q.b1, q.b2, q.a1, q.a2};
    }
    sim::ServoPlant plant;
    plant.setSettings(settings);
    sim::PlantInputs in;
    in.enabled = true;
    in.generator = true;
    const auto samples = static_cast<size_t>(std::round(o.stepRecordS / sim::kStepSeconds));
    std::vector<double> command, actual, current;
    for (size_t k = 0; k < samples; ++k) {
        in.internalCommand = k >= samples / 2 ? o.stepRpm : 0.0;
        plant.setInputs(in);
        plant.step();
        command.push_back(plant.state().speedCommandRpm);
        actual.push_back(plant.state().speedRpm);
        current.push_back(plant.state().currentCommandA);
    }
    return measureStep(command, actual, current, sim::kStepSeconds, settings.positiveCurrentLimitA);
}

// The proposal meets the targets on the fitted model, and the simulated plant itself, run with
// the proposed gains and notches, steps as predicted (the verifying measurement's tolerance).
TEST(SpeedLoopTuner, TheProposalMeetsTheTargetsAndThePlantStepsAsPredicted) {
    // Verification accepts an overshoot within this many points of the prediction.
    constexpr double kOvershootPoints = 10.0;
    ProposalRequest request;
    request.freeSlots = {{.slot = 1}, {.slot = 2}};
    request.currentLimitA = sim::PlantSettings{}.positiveCurrentLimitA;
    const LoopTargets& t = request.targets;
    for (const TunerPlant& p : kTunerPlants) {
        SCOPED_TRACE(p.name);
        const sim::PlantSettings settings = settingsOf(p);
        const PlantFit fit =
            fitPlant(estimateOf(recordChirps(settings, kTunerAmplitudeRpm)), knownsOf(settings));
        ASSERT_EQ(fit.status, FitStatus::Ok);
        const LoopProposal proposal = proposeSpeedLoop(fit.model, request);
        ASSERT_EQ(proposal.status, ProposalStatus::Ok);
        // Two free slots: every fitted resonance is notched, each in a slot of its own.
        ASSERT_EQ(proposal.notches.size(), fit.model.modes.size());
        for (size_t i = 0; i < proposal.notches.size(); ++i)
            EXPECT_EQ(proposal.notches[i].slot, request.freeSlots[i].slot);
        const LoopPrediction& predicted = proposal.prediction;
        ASSERT_TRUE(predicted.margins.phaseMarginDeg);
        EXPECT_GE(*predicted.margins.phaseMarginDeg, t.phaseMarginDeg);
        EXPECT_GE(predicted.margins.gainMarginDb.value_or(t.gainMarginDb), t.gainMarginDb);
        EXPECT_LE(predicted.sensitivityPeakDb, t.sensitivityPeakDb);
        ASSERT_TRUE(predicted.step && predicted.step->settling5Ms);

        const auto measured = simulatedStep(settings, proposal, PredictionOptions{});
        ASSERT_TRUE(measured && measured->settling5Ms);
        EXPECT_FALSE(measured->currentLimited);
        EXPECT_NEAR(measured->overshootPercent, predicted.step->overshootPercent, kOvershootPoints);
    }
}

// A chirp buried in the measurement noise gives no estimate to fit, and says what to do.
TEST(SpeedLoopTuner, TooLittleExcitationAsksForMoreAmplitude) {
    const sim::PlantSettings settings = settingsOf(kTunerPlants.front());
    const PlantEstimate estimate = estimateOf(recordChirps(settings, kTunerAmplitudeRpm / 2000.0));
    EXPECT_EQ(estimate.status, EstimateStatus::TooLittleExcitation);
    EXPECT_NE(estimateStatusText(estimate.status).find("raise the amplitude"), std::string::npos);
    EXPECT_EQ(fitPlant(estimate, knownsOf(settings)).status, FitStatus::NoEstimate);
}

}  // namespace
}  // namespace zrd::tuning
