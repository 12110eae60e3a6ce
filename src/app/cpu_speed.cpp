#include "app/cpu_speed.h"

#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#define ZRD_HAS_TSC 1
#endif

namespace zrd::app {
namespace {

unsigned long long ticksNow() {
#ifdef ZRD_HAS_TSC
    return __rdtsc();
#else
    return 0;
#endif
}

}  // namespace

int cpuSpeedClass(double mhz) {
    if (mhz < 1000)
        return 4;
    if (mhz < 3000)
        return 3;
    return 2;
}

// The process keeps its priority: raising it needs privileges a service engineer's account
// does not have. Dividing by the time that really passed instead of the nominal span keeps a
// late wake-up, or work done meanwhile, from skewing the result.
CpuClockMeasure::CpuClockMeasure()
    : m_start(std::chrono::steady_clock::now()), m_ticks(ticksNow()) {}

double CpuClockMeasure::mhz(int minMs) const {
#ifdef ZRD_HAS_TSC
    using Clock = std::chrono::steady_clock;
    const Clock::time_point until = m_start + std::chrono::milliseconds(minMs);
    if (Clock::now() < until)
        std::this_thread::sleep_until(until);
    const unsigned long long ticks = ticksNow() - m_ticks;
    const auto elapsed = std::chrono::duration<double, std::micro>(Clock::now() - m_start).count();
    if (elapsed <= 0)
        return 0;
    return static_cast<double>(ticks) / elapsed;
#else
    (void)minMs;
    return 0;
#endif
}

double measureCpuMhz(int sleepMs) {
    return CpuClockMeasure().mhz(sleepMs);
}

}  // namespace zrd::app
