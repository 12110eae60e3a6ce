// Read-all of the shipped database against the simulated drive, beside its floor: the number of
// exchanges × (20 ms of request preparation + the wire time of request and reply).
#include <benchmark/benchmark.h>

#include "link/drive_link.h"
#include "session/sweeps.h"
#include "shipped_drive_bench.h"

namespace {

namespace lk = zrd::link;
namespace pm = zrd::params;

constexpr size_t kReadRequestBytes = 4;
constexpr size_t kReadReplyBytes = 6;

void BM_ReadAllShippedDatabase(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    zrd::bench::ShippedDrive drive(baud);
    if (const std::string failed = drive.start(); !failed.empty()) {
        state.SkipWithError(failed.c_str());
        return;
    }
    auto& [ui, messages, model, sim, port, link] = drive;
    zrd::session::Sweeps sweeps(link, model, messages);
    zrd::session::ReadAllResult r;
    for (auto _ : state)
        r = sweeps.ReadParamAll();
    const double wireMs = 1000.0 * 10.0 * (kReadRequestBytes + kReadReplyBytes) / baud;
    state.counters["exchanges"] = r.attempts;
    state.counters["floor_ms"] = r.attempts * (2 * lk::kPreparationPauseMs + wireMs);
    state.counters["given_up"] = static_cast<double>(r.gaveUp.size());
}

BENCHMARK(BM_ReadAllShippedDatabase)->Arg(115200)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace
