// The speed-loop tuner's core: the plant fitted to a closed-loop estimate and the proposal of
// gains and notches with its prediction (goal: both together within 50 ms), and the estimate
// itself from seven records of 2048 samples.
#include <benchmark/benchmark.h>

#include <cmath>
#include <numbers>
#include <vector>

#include "servo_plant.h"
#include "tuning/loop_proposal.h"
#include "tuning/plant_estimate.h"
#include "tuning/plant_fit.h"

namespace {

namespace tu = zrd::tuning;
namespace sm = zrd::sim;

constexpr size_t kBenchSamples = 2048;
constexpr int kBenchSegment = 1024;

struct BenchRecord {
    double tickS;
    std::vector<double> r, u, y;
};

// Chirps around 100 rpm on the simulated plant with two modes: three records at 1 ms, two at
// 250 µs, two at 125 µs.
std::vector<BenchRecord> chirpRecords() {
    sm::PlantSettings settings;
    settings.resonanceHz = 300.0;
    settings.secondResonanceHz = 700.0;
    settings.secondResonanceDamping = 0.03;
    settings.inertiaRatio = 2.0;
    sm::ServoPlant plant;
    plant.setSettings(settings);
    sm::PlantInputs in;
    in.enabled = true;
    in.generator = true;
    struct Band {
        int steps;
        double from, to, amplitude;
    };
    std::vector<BenchRecord> out;
    for (const Band& b :
         {Band{8, 1, 450, 120}, Band{8, 1, 450, 120}, Band{8, 1, 450, 120}, Band{2, 200, 1500, 240},
          Band{2, 200, 1500, 240}, Band{1, 600, 3000, 600}, Band{1, 600, 3000, 600}}) {
        BenchRecord rec{b.steps * sm::kStepSeconds, {}, {}, {}};
        const double period = rec.tickS * kBenchSegment;
        double t = 0.0;
        for (size_t n = 0; n < kBenchSamples; ++n) {
            for (int k = 0; k < b.steps; ++k) {
                const double x = std::fmod(t, period);
                in.internalCommand =
                    100.0 +
                    b.amplitude * std::sin(2.0 * std::numbers::pi *
                                           (b.from * x + (b.to - b.from) * x * x / (2.0 * period)));
                plant.setInputs(in);
                plant.step();
                t += sm::kStepSeconds;
            }
            rec.r.push_back(plant.state().speedCommandRpm);
            rec.u.push_back(plant.state().currentCommandA);
            rec.y.push_back(plant.state().speedRpm);
        }
        out.push_back(std::move(rec));
    }
    return out;
}

tu::PlantEstimate estimateOf(const std::vector<BenchRecord>& recs) {
    std::vector<tu::LoopRecord> loop;
    for (const BenchRecord& r : recs)
        loop.push_back({r.tickS, r.r, r.u, r.y, 0.0,
                        r.tickS > 5e-4   ? 350.0
                        : r.tickS > 2e-4 ? 1000.0
                                         : 0.0});
    tu::EstimateOptions o;
    o.segment = kBenchSegment;
    return tu::estimatePlant(loop, o);
}

tu::PlantKnowns knowns() {
    tu::PlantKnowns k;
    k.speedFilterHz = sm::PlantSettings{}.speedFilterHz;
    return k;
}

void BM_PlantEstimate(benchmark::State& state) {
    const auto recs = chirpRecords();
    for (auto _ : state) {
        const tu::PlantEstimate e = estimateOf(recs);
        benchmark::DoNotOptimize(e.bins.data());
    }
}

void BM_FitAndProposal(benchmark::State& state) {
    const tu::PlantEstimate estimate = estimateOf(chirpRecords());
    tu::ProposalRequest request;
    request.freeSlots = {{.slot = 1}, {.slot = 2}};
    request.currentLimitA = 13.2;
    for (auto _ : state) {
        const tu::PlantFit fit = tu::fitPlant(estimate, knowns());
        const tu::LoopProposal proposal = tu::proposeSpeedLoop(fit.model, request);
        if (fit.status != tu::FitStatus::Ok || proposal.status != tu::ProposalStatus::Ok) {
            state.SkipWithError("the plant was not fitted or no proposal met the targets");
            return;
        }
        benchmark::DoNotOptimize(proposal.gains);
    }
    const tu::PlantFit fit = tu::fitPlant(estimate, knowns());
    const tu::LoopProposal p = tu::proposeSpeedLoop(fit.model, request);
    state.counters["bins"] = static_cast<double>(estimate.coherentBins);
    state.counters["iterations"] = fit.iterations;
    state.counters["J_kgcm2"] = fit.inertiaKgCm2;
    state.counters["KPV"] = p.gains.kpvMaPerRpm;
    state.counters["KIV_ms"] = p.gains.kivMs;
    state.counters["fc_Hz"] = p.prediction.margins.crossoverHz.value_or(0.0);
    state.counters["PM_deg"] = p.prediction.margins.phaseMarginDeg.value_or(0.0);
    state.counters["GM_dB"] = p.prediction.margins.gainMarginDb.value_or(0.0);
    state.counters["notches"] = static_cast<double>(p.notches.size());
}

}  // namespace

BENCHMARK(BM_PlantEstimate)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FitAndProposal)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
