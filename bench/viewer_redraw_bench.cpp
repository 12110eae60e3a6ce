// Redraw of the trace viewers at a 1920 × 1080 layout: the online viewer with 2 × 10000 samples
// fitted to the width (goal ≤ 16 ms) and the offline viewer with 4 × 2048 (goal ≤ 8 ms). A
// redraw is DrawOscill + DrawGraph (strip, traces, grid, composite with the cursor); the
// "painted" runs also put the composite on the window. Offscreen unless QT_QPA_PLATFORM says
// otherwise. The time column is the time of one redraw:
//   bench_viewer_redraw [--benchmark_filter=...]
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QSlider>
#include <cmath>
#include <memory>
#include <numbers>

#include "core/user_interface.h"
#include "monitor/action_log.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "scope/ui/trace_viewer.h"

namespace {

namespace sc = zrd::scope;

constexpr QSize kScreen(1920, 1080);

// A loop's signals: a slow wave with a fast ripple, so that neighbouring samples jump and the
// fitted traces are dense vertical strokes, the hardest case for the painter.
void fill(sc::Oscillogram& o, int channels) {
    for (int r = 0; r < sc::kRecordCount; ++r) {
        for (int c = 1; c <= channels; ++c) {
            const double slow = 1000.0 * std::sin(2.0 * std::numbers::pi * r / (400.0 * c));
            const double ripple = 150.0 * std::sin(1.7 * r + c);
            o.buffer.setValue(r, c - 1, slow + ripple);
        }
    }
}

struct Setup {
    zrd::SilentUserInterface ui;
    zrd::monitor::ActionLog log{ui};
    zrd::params::MessageTable messages;
    zrd::params::ParameterModel model;
    std::unique_ptr<sc::Oscillogram> oscillogram = std::make_unique<sc::Oscillogram>();
    sc::ViewerParts parts() { return {*oscillogram, log, messages, model, ui}; }
};

template <typename Viewer>
void runRedraw(benchmark::State& state, int channels) {
    Setup setup;
    fill(*setup.oscillogram, channels);
    Viewer viewer(setup.parts(), nullptr);
    viewer.layOut(kScreen);
    viewer.ScaleCh->setValue(static_cast<int>(state.range(0)));
    viewer.view().open(*setup.oscillogram);
    viewer.FormActivate();
    const bool painted = state.range(1) != 0;
    if (painted)
        viewer.show();
    for (auto _ : state) {
        viewer.DrawOscill();
        viewer.DrawGraph();
        if (painted)
            viewer.PaintBox14->repaint();
    }
    state.counters["samples_shown"] =
        static_cast<double>(viewer.view().trace(*setup.oscillogram, 1).size());
}

// Arguments: zoom position (0 = fit), painted on the window (1) or only composed (0).
void BM_OnlineRedraw(benchmark::State& state) {
    runRedraw<sc::TOscill>(state, sc::kOnlineChannelCount);
}
void BM_OfflineRedraw(benchmark::State& state) {
    runRedraw<sc::TOscillOff>(state, sc::kChannelCount);
}

BENCHMARK(BM_OnlineRedraw)
    ->ArgsProduct({{0, 1, 10}, {0, 1}})
    ->ArgNames({"zoom", "painted"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_OfflineRedraw)
    ->ArgsProduct({{0, 1, 10}, {0, 1}})
    ->ArgNames({"zoom", "painted"})
    ->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    QApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
