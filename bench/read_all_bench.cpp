// Read-all of the shipped database against the simulated drive, beside its floor: the number of
// exchanges × (20 ms of request preparation + the wire time of request and reply + the adapter's
// latency). The second argument emulates the receive latency timer of a USB serial adapter: the
// simulated drive holds every reply back that long, as an adapter holds a short reply until its
// timer runs out (the worst case of each exchange; no adapter is needed). The third argument is
// the fast link's gap in byte times (0: the safe timing); "wire_ratio" is the time taken over the
// bare wire time of all requests and replies.
#include <benchmark/benchmark.h>

#include <chrono>

#include "link/drive_link.h"
#include "session/parameter_access.h"
#include "session/status_poll.h"
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
    const int fastGapBytes = static_cast<int>(state.range(2));
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
    link.state().fastGapBytes = fastGapBytes;
    zrd::session::Sweeps sweeps(link, model, messages);
    zrd::session::ReadAllResult r;
    std::chrono::duration<double, std::milli> took{};
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        r = sweeps.ReadParamAll();
        took = std::chrono::steady_clock::now() - t0;
    }
    const double wireMs = lk::wireTimeUs(kReadRequestBytes + kReadReplyBytes, baud) / 1000.0;
    const double pauseMs = fastGapBytes > 0 ? lk::wireTimeUs(size_t(fastGapBytes), baud) / 1000.0
                                            : 2.0 * lk::kPreparationPauseMs;
    state.counters["exchanges"] = r.attempts;
    state.counters["floor_ms"] = r.attempts * (pauseMs + wireMs + latencyMs);
    state.counters["wire_ratio"] = took.count() / (r.attempts * wireMs);
    state.counters["given_up"] = static_cast<double>(r.gaveUp.size());
}

// Latencies: none (a built-in UART, or a timer lowered to 0), 1 ms (the timer lowered), 4 and
// 8 ms, and the 16 ms that FTDI adapters come with.
BENCHMARK(BM_ReadAllShippedDatabase)
    ->ArgNames({"baud", "latency_ms", "fast_gap"})
    ->ArgsProduct({{115200}, {0, 1, 4, 8, 16}, {0}})
    ->Args({115200, 0, lk::kDefaultFastGapBytes})
    ->Args({115200, 1, lk::kDefaultFastGapBytes})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// One write exchange on the wire: a request of six bytes, a verdict of four (without escapes).
constexpr size_t kWriteRequestBytes = 6;
constexpr size_t kWriteReplyBytes = 4;

// Write-all of the values the drive holds, safe and fast, against the wire time of its writes.
void BM_WriteAllShippedDatabase(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    zrd::bench::ShippedDrive drive(baud);
    if (const std::string failed = drive.start(); !failed.empty()) {
        state.SkipWithError(failed.c_str());
        return;
    }
    auto& [ui, messages, model, sim, port, link] = drive;
    zrd::session::Sweeps sweeps(link, model, messages);
    (void)sweeps.ReadParamAll();
    // Without page rows nothing read is known: every value the drive gave is written back.
    for (int position = 0; position < pm::kParameterCount; ++position)
        model.setKnownValue(position, model.value(position));
    link.state().fastGapBytes = static_cast<int>(state.range(1));
    zrd::session::WriteAllResult r;
    std::chrono::duration<double, std::milli> took{};
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        r = sweeps.writeAll({});
        took = std::chrono::steady_clock::now() - t0;
    }
    const double wireMs = lk::wireTimeUs(kWriteRequestBytes + kWriteReplyBytes, baud) / 1000.0;
    state.counters["writes"] = r.written;
    state.counters["failed"] = static_cast<double>(r.failedPositions.size());
    state.counters["wire_ratio"] = took.count() / (r.written * wireMs);
}

BENCHMARK(BM_WriteAllShippedDatabase)
    ->ArgNames({"baud", "fast_gap"})
    ->Args({115200, 0})
    ->Args({115200, lk::kDefaultFastGapBytes})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

// One tick of the monitor: its fourteen reads, safe and fast.
void BM_MonitorTick(benchmark::State& state) {
    zrd::bench::ShippedDrive drive(static_cast<int>(state.range(0)));
    if (const std::string failed = drive.start(); !failed.empty()) {
        state.SkipWithError(failed.c_str());
        return;
    }
    auto& [ui, messages, model, sim, port, link] = drive;
    link.state().fastGapBytes = static_cast<int>(state.range(1));
    zrd::session::ParameterAccess access(link, model, messages);
    zrd::session::MonitorSample sample;
    for (auto _ : state)
        sample = zrd::session::readMonitorSample(access, model);
    state.counters["reads"] = sample.requested;
    state.counters["answered"] = sample.answered;
}

BENCHMARK(BM_MonitorTick)
    ->ArgNames({"baud", "fast_gap"})
    ->Args({115200, 0})
    ->Args({115200, lk::kDefaultFastGapBytes})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(5);

}  // namespace
