// Saved oscillograms: the frequency response of 2048 samples (both FFTs, the response, the chart
// points up to 500 Hz and the markers), and writing and reading a ".dat" file of 10000 records
// with the shipped database's 300 parameter lines.
#include <benchmark/benchmark.h>
#include <stdlib.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <memory>

#include "core/paths.h"
#include "params/database_loader.h"
#include "scope/oscillogram_file.h"
#include "scope/oscillogram_file_reader.h"
#include "tuning/frequency_response.h"

namespace {

namespace sc = zrd::scope;
namespace tu = zrd::tuning;
namespace pm = zrd::params;

// An online capture: a chirp on channel 1 and a lagging, damped copy on channel 2.
std::unique_ptr<sc::Oscillogram> capture() {
    auto osc = std::make_unique<sc::Oscillogram>();
    osc->kind = sc::ScopeKind::Online;
    osc->channel(1).name = "VSET";
    osc->channel(2).name = "VACT";
    osc->comments = "chirp 1..200 Hz\r\n";
    for (int n = 0; n < sc::kRecordCount; ++n) {
        const double t = n * 0.001;
        osc->buffer.setValue(n, 0, 1000 * std::sin(2 * M_PI * (1 + 20 * t) * t));
        osc->buffer.setValue(n, 1, 800 * std::sin(2 * M_PI * (1 + 20 * t) * t - 0.3 - t));
    }
    return osc;
}

struct Files {
    pm::MessageTable messages;
    pm::ParameterModel model;
    zrd::SilentUserInterface ui;
    std::string folder;
    Files() {
        const std::filesystem::path data = zrd::dataFolder();
        messages.load((data / pm::kMessageFileName).string(), ui);
        (void)pm::loadDatabase((data / pm::kDatabaseFileName).string(), model, messages, ui, false);
        std::string pattern =
            (std::filesystem::temp_directory_path() / "zrd-bench-XXXXXX").string();
        folder = ::mkdtemp(pattern.data());
    }
    ~Files() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

void BM_FrequencyResponse2048(benchmark::State& state) {
    const auto osc = capture();
    auto response = std::make_unique<tu::FrequencyResponse>();
    for (auto _ : state) {
        tu::computeFrequencyResponse(osc->buffer, 1, 2, 0.001, *response);
        const auto points = tu::chartPoints(*response, tu::kDefaultMaxFrequency);
        const auto peak = tu::peakMarker(*response, tu::kDefaultMaxFrequency);
        const auto cutoff = tu::cutoffMarker(*response, tu::kDefaultMaxFrequency);
        benchmark::DoNotOptimize(points.data());
        benchmark::DoNotOptimize(peak);
        benchmark::DoNotOptimize(cutoff);
    }
}

void BM_SpectrumFiles(benchmark::State& state) {
    const Files files;
    const auto osc = capture();
    auto response = std::make_unique<tu::FrequencyResponse>();
    tu::computeFrequencyResponse(osc->buffer, 1, 2, 0.001, *response);
    for (auto _ : state) {
        if (!tu::writeSpectrumFiles(files.folder, *response)) {
            state.SkipWithError("the spectrum files were not written");
            return;
        }
    }
}

void BM_DatWrite10000(benchmark::State& state) {
    const Files files;
    const auto osc = capture();
    const std::string path = files.folder + "/Osc.dat";
    for (auto _ : state) {
        if (!sc::writeDatFile(path, *osc, files.model)) {
            state.SkipWithError("the file was not written");
            return;
        }
    }
    state.counters["bytes"] = static_cast<double>(std::filesystem::file_size(path));
}

void BM_DatRead10000(benchmark::State& state) {
    const Files files;
    const std::string path = files.folder + "/Osc.dat";
    if (!sc::writeDatFile(path, *capture(), files.model)) {
        state.SkipWithError("the file was not written");
        return;
    }
    auto osc = std::make_unique<sc::Oscillogram>();
    for (auto _ : state) {
        const sc::DatReadResult r = sc::readDatFile(path, *osc, &files.model);
        if (!r.ok()) {
            state.SkipWithError(r.error.c_str());
            return;
        }
    }
}

}  // namespace

// The shipped parameter database read and checked, as start-up and the language switch do.
void BM_DatabaseLoad(benchmark::State& state) {
    const std::string path =
        (std::filesystem::path(zrd::dataFolder()) / zrd::params::kDatabaseFileName).string();
    zrd::SilentUserInterface ui;
    const zrd::params::MessageTable messages;
    for (auto _ : state) {
        auto model = std::make_unique<zrd::params::ParameterModel>();
        if (!zrd::params::loadDatabase(path, *model, messages, ui, false).ok()) {
            state.SkipWithError("the shipped database does not load");
            return;
        }
        benchmark::DoNotOptimize(model.get());
    }
}

BENCHMARK(BM_DatabaseLoad)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrequencyResponse2048)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SpectrumFiles)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DatWrite10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DatRead10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
