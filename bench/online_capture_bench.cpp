// An online capture of 10000 samples at 1000 Hz from the simulated drive through the real
// capture, driven by poll() as zrdctl drives it: samples lost, the capture thread's share of one
// core (getrusage of the thread over the wall time), the achieved rate and the preview steps
// per second.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cmath>
#include <cstdint>

#include "link/drive_link.h"
#include "scope/online_capture.h"
#include "scope/scope_settings.h"
#include "session/parameter_access.h"
#include "shipped_drive_bench.h"

namespace {

namespace lk = zrd::link;
namespace pm = zrd::params;
namespace sc = zrd::scope;
using Clock = sc::CaptureClock;

// A sample frame without escapes: start, code, four data bytes, end.
constexpr double kSampleFrameBytes = 7;

double threadCpuSeconds() {
    rusage usage{};
    ::getrusage(RUSAGE_THREAD, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

void BM_OnlineCapture1000Hz(benchmark::State& state) {
    zrd::bench::ShippedDrive drive(lk::kDefaultBaudRate);
    if (const std::string failed = drive.start(); !failed.empty()) {
        state.SkipWithError(failed.c_str());
        return;
    }
    auto& [ui, messages, model, sim, port, link] = drive;
    zrd::session::ParameterAccess access(link, model, messages);
    auto osc = std::make_unique<sc::Oscillogram>();
    osc->rateCode = sc::kRates[0].code;
    osc->channel(1) = sc::channelOfSignal(model, sc::findScopeSignal(model, "VSET").value_or(0));
    osc->channel(2) = sc::channelOfSignal(model, sc::findScopeSignal(model, "VACT").value_or(0));
    const bool written = sc::writeScopeParameter(link, access, model, "OSCMOD", 1) &&
                         sc::writeScopeParameter(link, access, model, "MDFRQ", osc->rateCode) &&
                         sc::writeScopeParameter(link, access, model, "MDTYP1",
                                                 osc->channel(1).signal, sc::WriteRule::Always) &&
                         sc::writeScopeParameter(link, access, model, "MDTYP2",
                                                 osc->channel(2).signal, sc::WriteRule::Always);
    if (!written) {
        state.SkipWithError("the simulator did not take the scope parameters");
        return;
    }

    for (auto _ : state) {
        sc::OnlineCapture capture(link, *osc, model, messages);
        size_t previewSteps = 0;
        const auto wallStart = Clock::now();
        const double cpuStart = threadCpuSeconds();
        if (!capture.start(2, wallStart) || !sc::runCapture(capture, *port, [&] {
                previewSteps += capture.takePreview().size();
            })) {
            state.SkipWithError("the capture did not run");
            return;
        }
        const double cpu = threadCpuSeconds() - cpuStart;
        const double wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
        const double rate = capture.achievedRate();
        // Samples are lost only where the line drops bytes that the reader left waiting too
        // long (the simulator counts them) or where the decoder drops a frame.
        const uint64_t lineBytesLost = sim.bytesLost();
        state.counters["samples"] = capture.samples();
        state.counters["dropped"] = capture.dropped();
        state.counters["line_bytes_lost"] = static_cast<double>(lineBytesLost);
        state.counters["lost"] =
            std::ceil(static_cast<double>(lineBytesLost) / kSampleFrameBytes) + capture.dropped();
        state.counters["rate_hz"] = rate;
        state.counters["rate_error_pct"] =
            100.0 * std::abs(rate - sc::kRates[0].frequency) / sc::kRates[0].frequency;
        state.counters["cpu_pct"] = 100.0 * cpu / wall;
        state.counters["preview_steps_per_s"] = static_cast<double>(previewSteps) / wall;
        state.counters["ended_full"] = capture.end() == sc::CaptureEnd::BufferFull ? 1 : 0;
    }
}

BENCHMARK(BM_OnlineCapture1000Hz)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
