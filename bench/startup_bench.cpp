// Start-up to the main window and the memory of the whole program: the time from the process's
// start until the main window is shown on the shipped data set (goal ≤ 1 s, the processor speed
// measurement included), then the resident memory with every window the main window owns
// created and shown (goal ≤ 120 MB). Offscreen unless QT_QPA_PLATFORM says otherwise; one run
// per process, as only the first start-up is a start-up:
//   bench_startup
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

#include "app/main_form.h"
#include "app/qt_user_interface.h"
#include "app/torvanta_application.h"
#include "core/paths.h"
#include "link/serial_port.h"

namespace {

// Seconds since boot, from the kernel's uptime counter.
double uptimeSeconds() {
    std::ifstream in("/proc/uptime");
    double seconds = 0;
    in >> seconds;
    return seconds;
}

// When this process started, in seconds since boot (field 22 of /proc/self/stat, in ticks).
double processStartSeconds() {
    std::ifstream in("/proc/self/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The command name may hold blanks: the fields are counted after its closing parenthesis.
    std::istringstream rest(text.substr(text.rfind(')') + 2));
    std::string field;
    for (int i = 3; i <= 22; ++i)
        rest >> field;
    return std::stod(field) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

// A "Vm…" line of /proc/self/status in megabytes.
double statusMegabytes(const std::string& key) {
    std::ifstream in("/proc/self/status");
    for (std::string line; std::getline(in, line);)
        if (line.rfind(key + ":", 0) == 0)
            return std::stod(line.substr(key.size() + 1)) / 1024.0;
    return 0;
}

void BM_StartUpAndMemory(benchmark::State& state) {
    for (auto _ : state) {
        zrd::app::QtUserInterface ui;
        zrd::app::StartOptions options;
        options.dataDir = zrd::dataFolder();
        auto program = std::make_unique<zrd::app::Program>(ui, zrd::link::makeSystemSerialPort(),
                                                           std::move(options));
        zrd::app::TMainForm form(*program);
        ui.setWindow(&form);
        if (!form.startUp()) {
            state.SkipWithError("start-up ended the program");
            return;
        }
        // The start-up finishes on the event loop: it runs until the window is shown.
        QTimer shown;
        QObject::connect(&shown, &QTimer::timeout, [&] {
            if (form.isVisible())
                QApplication::quit();
        });
        shown.start(1);
        QApplication::exec();
        state.counters["startup_ms"] = 1000.0 * (uptimeSeconds() - processStartSeconds());

        for (QWidget* w : form.findChildren<QWidget*>())
            if (w->isWindow())
                w->show();
        QApplication::processEvents();
        state.counters["rss_mb"] = statusMegabytes("VmRSS");
        state.counters["peak_rss_mb"] = statusMegabytes("VmHWM");
        for (QWidget* w : form.findChildren<QWidget*>())
            if (w->isWindow())
                w->hide();
    }
}

BENCHMARK(BM_StartUpAndMemory)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    benchmark::Initialize(&argc, argv);
    zrd::app::TorvantaApplication app(argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
