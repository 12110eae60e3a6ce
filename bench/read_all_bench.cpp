// Read-all of the shipped database against the simulated drive, beside its floor: the number of
// exchanges × (20 ms of request preparation + the wire time of request and reply + the adapter's
// latency). The second argument emulates the receive latency timer of a USB serial adapter: the
// simulated drive holds every reply back that long, as an adapter holds a short reply until its
// timer runs out (the worst case of each exchange; no adapter is needed).
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
    const int latencyMs = static_cast<int>(state.range(1));
    zrd::bench::ShippedDrive drive(baud);
    if (const std::string failed = drive.start(); !failed.empty()) {
        state.SkipWithError(failed.c_str());
        return;
    }
    auto& [ui, messages, model, sim, port, link] = drive;
    if (latencyMs > 0)
        sim.withDrive([&](zrd::sim::SimDrive& d) {
            d.addFault({zrd::sim::FaultKind::Delay, latencyMs});
        });
    zrd::session::Sweeps sweeps(link, model, messages);
    zrd::session::ReadAllResult r;
    for (auto _ : state)
        r = sweeps.ReadParamAll();
    const double wireMs = 1000.0 * 10.0 * (kReadRequestBytes + kReadReplyBytes) / baud;
    state.counters["exchanges"] = r.attempts;
    state.counters["floor_ms"] = r.attempts * (2 * lk::kPreparationPauseMs + wireMs + latencyMs);
    state.counters["given_up"] = static_cast<double>(r.gaveUp.size());
}

// Latencies: none (a built-in UART, or a timer lowered to 0), 1 ms (the timer lowered), 4 and
// 8 ms, and the 16 ms that FTDI adapters come with.
BENCHMARK(BM_ReadAllShippedDatabase)
    ->ArgNames({"baud", "latency_ms"})
    ->ArgsProduct({{115200}, {0, 1, 4, 8, 16}})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace
