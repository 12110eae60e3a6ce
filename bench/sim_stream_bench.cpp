// The simulated drive's online oscilloscope stream at 1000 Hz, as the program receives it on
// the pseudo-terminal: 10 000 samples, the achieved rate over them, the drift from the ideal
// clock, the jitter of each arrival against it, the frames lost, how late the simulator took its
// samples, and the CPU time of the simulator's thread and of the reader.
// Argument 0: plain values (7-byte frames); 1: every data byte escaped (11-byte frames, 955 us
// of the 1 ms period at 115200 baud).
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

#include "link/frame_codec.h"
#include "sim_server.h"

namespace {

namespace lk = zrd::link;
namespace zs = zrd::sim;
using Clock = std::chrono::steady_clock;

constexpr int kBaud = 115200;
constexpr size_t kSamples = 10'000;
constexpr uint8_t kSignal1 = 1;  // a bare drive samples index n for signal n
constexpr uint8_t kSignal2 = 2;
constexpr auto kSilence = std::chrono::seconds(2);

double cpuSeconds(clockid_t clock) {
    timespec t{};
    ::clock_gettime(clock, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Arrival times of the sample frames, stamped when the read that completed each one returned.
struct Capture {
    std::vector<Clock::time_point> arrivals;
    size_t badEnds = 0;
};

Capture receive(int fd) {
    Capture c;
    c.arrivals.reserve(kSamples);
    enum class At { Outside, Code, Data, Closing } at = At::Outside;
    bool escape = false;
    int data = 0;
    std::array<uint8_t, 512> chunk{};
    while (c.arrivals.size() < kSamples) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(kSilence.count() * 1000)) <= 0)
            break;
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n <= 0)
            break;
        const auto now = Clock::now();
        for (ssize_t i = 0; i < n && c.arrivals.size() < kSamples; ++i) {
            const uint8_t b = chunk[static_cast<size_t>(i)];
            if (b == lk::kStartByte) {
                at = At::Code;
                continue;
            }
            switch (at) {
                case At::Outside:
                    break;
                case At::Code:
                    at = b == lk::kReplyScopeSample ? At::Data : At::Outside;
                    data = 0;
                    escape = false;
                    break;
                case At::Data:
                    if (b == lk::kEscapeByte && !escape) {
                        escape = true;
                        break;
                    }
                    escape = false;
                    if (++data == 4)
                        at = At::Closing;
                    break;
                case At::Closing:
                    if (b == lk::kEndByte)
                        c.arrivals.push_back(now);
                    else
                        ++c.badEnds;
                    at = At::Outside;
                    break;
            }
        }
    }
    return c;
}

void BM_OnlineStream1000Hz(benchmark::State& state) {
    const bool escaped = state.range(0) != 0;
    zs::SimServer sim(kBaud);
    if (!sim.openPty()) {
        state.SkipWithError(sim.error().c_str());
        return;
    }
    const uint16_t value = escaped ? static_cast<uint16_t>(lk::kStartByte << 8 | lk::kEndByte)
                                   : static_cast<uint16_t>(0x1234);
    sim.withDrive([&](zs::SimDrive& d) {
        d.setRaw(kSignal1, value);
        d.setRaw(kSignal2,
                 escaped ? static_cast<uint16_t>(lk::kEscapeByte << 8 | lk::kEscapeByte) : value);
    });
    sim.start();
    const int fd = ::open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        state.SkipWithError("cannot open the simulator's port");
        return;
    }
    lk::TransmitBuffer tx{};
    Capture capture;
    double cpuAll = 0;
    double cpuReader = 0;
    double wall = 0;
    for (auto _ : state) {
        const size_t n = lk::encodeCommand(tx, lk::kCmdStartOnlineScope, zs::kFirstScopeRate,
                                           kSignal1, kSignal2);
        const double allStart = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID);
        const double readerStart = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
        const auto wallStart = Clock::now();
        if (::write(fd, tx.data(), n) != static_cast<ssize_t>(n)) {
            state.SkipWithError("cannot send the start frame");
            break;
        }
        capture = receive(fd);
        wall = std::chrono::duration<double>(Clock::now() - wallStart).count();
        cpuAll = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - allStart;
        cpuReader = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - readerStart;
        const size_t m = lk::encodeCommand(tx, lk::kCmdScope, 0, 0, 0);
        if (::write(fd, tx.data(), m) != static_cast<ssize_t>(m))
            state.SkipWithError("cannot send the stop frame");
    }
    ::close(fd);
    const auto& t = capture.arrivals;
    if (t.size() < 2) {
        state.SkipWithError("no samples arrived");
        return;
    }
    const double period =
        std::chrono::duration<double>(zs::scopePeriod(zs::kFirstScopeRate)).count();
    const double span = std::chrono::duration<double>(t.back() - t.front()).count();
    // Jitter: each arrival's lateness against the ideal clock through the earliest one.
    std::vector<double> offsets(t.size());
    for (size_t k = 0; k < t.size(); ++k)
        offsets[k] = std::chrono::duration<double>(t[k] - t.front()).count() -
                     static_cast<double>(k) * period;
    const double earliest = *std::min_element(offsets.begin(), offsets.end());
    double worst = 0;
    double squares = 0;
    for (const double offset : offsets) {
        worst = std::max(worst, offset - earliest);
        squares += (offset - earliest) * (offset - earliest);
    }
    const auto stream = sim.scope();
    const auto timing = sim.streamTiming();
    const auto us = [](std::chrono::nanoseconds d) { return static_cast<double>(d.count()) / 1e3; };
    state.counters["samples"] = static_cast<double>(t.size());
    state.counters["achieved_hz"] = static_cast<double>(t.size() - 1) / span;
    state.counters["drift_us"] = (span - static_cast<double>(t.size() - 1) * period) * 1e6;
    state.counters["jitter_max_us"] = worst * 1e6;
    state.counters["jitter_rms_us"] = std::sqrt(squares / static_cast<double>(t.size())) * 1e6;
    state.counters["bad_ends"] = static_cast<double>(capture.badEnds);
    state.counters["bytes_lost"] = static_cast<double>(sim.bytesLost());
    state.counters["frames_sent"] = static_cast<double>(stream.frames);
    // The drive's own clock: how late it took its samples.
    state.counters["sim_late_max_us"] = us(timing.worstLate);
    state.counters["sim_late_mean_us"] =
        timing.samples ? us(timing.totalLate) / static_cast<double>(timing.samples) : 0.0;
    // Percent of one core: the simulator's thread (the process less the reader) and the reader.
    state.counters["sim_cpu_percent"] = 100.0 * (cpuAll - cpuReader) / wall;
    state.counters["reader_cpu_percent"] = 100.0 * cpuReader / wall;
}

BENCHMARK(BM_OnlineStream1000Hz)
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
