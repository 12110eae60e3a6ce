// Reading back an offline record of 4 x 2048 samples from the simulated drive at 115200 baud,
// through the real capture driven by poll() as zrdctl drives it: the time from the stop frame
// to the last sample against the wire floor (every byte on the line, escapes included, at ten
// bits a byte), and their ratio.
#include <benchmark/benchmark.h>

#include <thread>

#include "link/drive_link.h"
#include "scope/offline_capture.h"
#include "scope/scope_settings.h"
#include "scope/trigger.h"
#include "session/parameter_access.h"
#include "shipped_drive_bench.h"

namespace {

namespace lk = zrd::link;
namespace sc = zrd::scope;
using Clock = sc::CaptureClock;

// The stop frame and the drive's acknowledge that precedes the record.
constexpr double kStopAndAckBytes = lk::kCommandFrameLength + 4;

void BM_OfflineReadBack(benchmark::State& state) {
    zrd::bench::ShippedDrive drive(lk::kDefaultBaudRate);
    if (const std::string failed = drive.start(); !failed.empty()) {
        state.SkipWithError(failed.c_str());
        return;
    }
    auto& [ui, messages, model, sim, port, link] = drive;
    zrd::session::ParameterAccess access(link, model, messages);
    auto osc = std::make_unique<sc::Oscillogram>();
    sc::OfflineSetup setup;
    setup.tickCode = 0;
    for (size_t c = 0; c < setup.channelSignals.size(); ++c)
        setup.channelSignals.at(c) = sc::findScopeSignal(model, c % 2 ? "VACT" : "STA").value_or(0);
    std::string failed;
    if (!sc::writeOfflineSetup(link, access, model, *osc, setup, failed)) {
        state.SkipWithError(("the simulator did not take " + failed).c_str());
        return;
    }

    for (auto _ : state) {
        sc::OfflineCapture capture(link, *osc, model, messages);
        if (!capture.start({}, Clock::now()) || !sc::runOfflineCapture(capture, *port)) {
            state.SkipWithError("the capture did not start");
            return;
        }
        // The ring fills during the record time; the stop then gets the record at once.
        std::this_thread::sleep_for(std::chrono::duration<double>(sc::recordSeconds(0) + 0.1));
        const uint64_t bytesBefore = sim.recordBytesSent();
        const auto t0 = Clock::now();
        if (!capture.stop(t0) || !sc::runOfflineCapture(capture, *port)) {
            state.SkipWithError("the read-back did not run");
            return;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(seconds);
        const double wire = static_cast<double>(sim.recordBytesSent() - bytesBefore);
        const double floor =
            (wire + kStopAndAckBytes) * lk::kBitsPerByte / static_cast<double>(sim.baudRate());
        state.counters["records"] = capture.records();
        state.counters["dropped"] = capture.dropped();
        state.counters["complete"] = capture.end() == sc::OfflineEnd::Complete ? 1 : 0;
        state.counters["wire_bytes"] = wire + kStopAndAckBytes;
        state.counters["floor_s"] = floor;
        state.counters["readback_s"] = seconds;
        state.counters["ratio"] = seconds / floor;
    }
}

BENCHMARK(BM_OfflineReadBack)->Unit(benchmark::kSecond)->Iterations(3)->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
