// Time of 300 parameter read exchanges against the simulated drive, beside the floor that the
// request preparation and the wire impose: 300 x (20 ms + wire time of request and reply).
#include <benchmark/benchmark.h>

#include "link/drive_link.h"
#include "sim_server.h"

namespace {

namespace lk = zrd::link;

constexpr int kExchanges = 300;
constexpr size_t kReadRequestBytes = 4;
constexpr size_t kReadReplyBytes = 6;

void BM_ThreeHundredReads(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    zrd::sim::SimServer sim(baud);
    if (!sim.openPty()) {
        state.SkipWithError(sim.error().c_str());
        return;
    }
    sim.start();
    zrd::SilentUserInterface ui;
    auto port = lk::makeSystemSerialPort();
    lk::DriveLink link(*port, ui);
    if (link.openPort(sim.devicePath(), baud, lk::kDefaultPortTimeOutMs) != lk::OpenResult::Ok) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    int failures = 0;
    for (auto _ : state) {
        for (int i = 0; i < kExchanges; ++i) {
            lk::clearBuffer(link.buffers().request);
            link.buffers().request[0] = lk::kRequestRead;
            link.buffers().request[1] = static_cast<uint8_t>(i % 240);
            link.ReadPar();
            if (link.buffers().receive[1] != lk::kReplyRead)
                ++failures;
        }
    }
    const double wireUs = 1e6 * 10.0 * (kReadRequestBytes + kReadReplyBytes) / baud;
    const double floorMs = kExchanges * (2 * lk::kPreparationPauseMs + wireUs / 1000.0);
    state.counters["floor_ms"] = floorMs;
    state.counters["failures"] = failures;
}

BENCHMARK(BM_ThreeHundredReads)->Arg(115200)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
