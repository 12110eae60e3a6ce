// The whole tuning with apply (measure, fit, propose, write, measure again, step, verify) on the
// simulated drive's default plant, driven by poll() as `zrdctl tune --apply` drives it: the wall
// time and the requests sent, against the floor of its records (their time on the drive's
// recorder) and of every byte on the line both ways, at ten bits a byte. Arguments: the baud
// rate and whether the fast link's gap replaces the two 10 ms pauses of each request.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <memory>

#include "core/paths.h"
#include "link/drive_link.h"
#include "params/database_loader.h"
#include "params/type_tables.h"
#include "session/parameter_access.h"
#include "sim_server.h"
#include "tuning/speed_loop_tuner.h"

namespace {

namespace lk = zrd::link;
namespace tn = zrd::tuning;
using Clock = zrd::scope::CaptureClock;

constexpr int kTuneSpeedMode = 2;
constexpr int kTuneInternalSource = 1;

// The system's port, counting the requests and bytes the program writes.
class CountingPort : public lk::SerialPort {
public:
    lk::OpenResult open(const std::string& device, int baudRate) override {
        return m_port->open(device, baudRate);
    }
    lk::OpenResult open(const std::string& device, const lk::LineSettings& line) override {
        return m_port->open(device, line);
    }
    void close() override { m_port->close(); }
    bool isOpen() const override { return m_port->isOpen(); }
    int write(const uint8_t* data, size_t count) override {
        ++writes;
        bytesWritten += count;
        return m_port->write(data, count);
    }
    int readAvailable(uint8_t* data, size_t count) override {
        return m_port->readAvailable(data, count);
    }
    lk::WaitResult waitReadable(int timeoutMs) override { return m_port->waitReadable(timeoutMs); }
    int inputQueueCount() override { return m_port->inputQueueCount(); }
    bool hungUp() const override { return m_port->hungUp(); }
    void purge() override { m_port->purge(); }
    void clearErrors() override { m_port->clearErrors(); }
    int nativeHandle() const override { return m_port->nativeHandle(); }
    int baudRate() const override { return m_port->baudRate(); }
    std::string lastError() const override { return m_port->lastError(); }
    int lastErrorCode() const override { return m_port->lastErrorCode(); }

    uint64_t writes = 0;
    uint64_t bytesWritten = 0;

private:
    std::unique_ptr<lk::SerialPort> m_port = lk::makeSystemSerialPort();
};

void BM_TuneApply(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    const bool fast = state.range(1) != 0;
    zrd::SilentUserInterface ui;
    zrd::params::MessageTable messages;
    zrd::params::ParameterModel model;
    const std::filesystem::path folder = zrd::dataFolder();
    messages.load((folder / zrd::params::kMessageFileName).string(), ui);
    if (!zrd::params::loadDatabase((folder / zrd::params::kDatabaseFileName).string(), model,
                                   messages, ui, false)
             .ok()) {
        state.SkipWithError("the shipped database does not load");
        return;
    }
    zrd::sim::SimServer sim(baud);
    if (!sim.openPty()) {
        state.SkipWithError(sim.error().c_str());
        return;
    }
    bool on = false;
    sim.withDrive([&](zrd::sim::SimDrive& d) {
        d.loadParameters(model);
        d.setRaw(*d.indexOf("OPMOD"), kTuneSpeedMode);
        d.setRaw(*d.indexOf("INST"), kTuneInternalSource);
        on = d.answer({lk::kCmdServoOn, 0, 0, 0}).has_value();
    });
    sim.start();
    CountingPort port;
    lk::DriveLink link(port, ui);
    if (!on ||
        link.openPort(sim.devicePath(), baud, lk::kDefaultPortTimeOutMs) != lk::OpenResult::Ok) {
        state.SkipWithError("cannot open the simulator's port with the servo on");
        return;
    }
    link.state().connected = 1;
    if (fast)
        link.state().fastGapBytes = lk::kDefaultFastGapBytes;
    zrd::session::ParameterAccess access(link, model, messages);
    const zrd::params::TypeTables tables;

    for (auto _ : state) {
        tn::SpeedLoopTuner tuner(link, access, model, messages, tables);
        tn::TuneSettings settings;
        settings.apply = true;
        const uint64_t writesBefore = port.writes;
        const uint64_t outBefore = port.bytesWritten;
        const uint64_t inBefore = sim.bytesSent();
        const auto t0 = Clock::now();
        if (tuner.start(settings, t0) && !tn::runTune(tuner, port)) {
            state.SkipWithError("waiting on the port failed");
            return;
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        state.SetIterationTime(seconds);
        const tn::TuneOutcome& o = tuner.outcome();
        // A run that ended early has no figures worth a table.
        if (!tuner.result().verified) {
            state.SkipWithError(
                ("the tuning did not end verified: " + tn::tuneFailureText(o)).c_str());
            return;
        }
        const double bytes =
            static_cast<double>(port.bytesWritten - outBefore + sim.bytesSent() - inBefore);
        const double wireS = bytes * lk::kBitsPerByte / baud;
        const double floor = o.recordedSeconds + wireS;
        state.counters["verified"] = tuner.result().verified ? 1 : 0;
        state.counters["records"] = o.records;
        state.counters["requests"] = static_cast<double>(port.writes - writesBefore);
        state.counters["wire_bytes"] = bytes;
        state.counters["recorded_s"] = o.recordedSeconds;
        state.counters["settled_s"] = o.settledSeconds;
        state.counters["floor_s"] = floor;
        state.counters["tune_s"] = seconds;
        state.counters["ratio"] = seconds / floor;
        // Back to the shipped gains and filters for the next run.
        for (const auto& [name, value] : tuner.backup())
            if (const auto at = model.find(name)) {
                model.setValue(*at, value);
                model.setCurrentParameter(*at);
                access.SetParam();
            }
    }
}

BENCHMARK(BM_TuneApply)
    ->Args({921600, 1})
    ->Args({115200, 0})
    ->Unit(benchmark::kSecond)
    ->Iterations(1)
    ->UseManualTime();

}  // namespace

BENCHMARK_MAIN();
