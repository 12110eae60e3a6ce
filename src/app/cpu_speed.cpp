#include "app/cpu_speed.h"

#include <chrono>
#include <thread>

#if defined(__x86_64__) || defined(__i386__)
#include <x86intrin.h>
#define ZRD_HAS_TSC 1
#endif

namespace zrd::app {

int cpuSpeedClass(double mhz) {
    if (mhz < 1000)
        return 4;
    if (mhz < 3000)
        return 3;
    return 2;
}

double measureCpuMhz(int sleepMs) {
#ifdef ZRD_HAS_TSC
    // The process keeps its priority: raising it needs privileges a service engineer's
    // account does not have. Dividing by the time that really passed instead of the nominal
    // sleep keeps a late wake-up from inflating the result.
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const unsigned long long ticksStart = __rdtsc();
    std::this_thread::sleep_for(std::chrono::milliseconds(sleepMs));
    const unsigned long long ticks = __rdtsc() - ticksStart;
    const auto elapsed = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
    if (elapsed <= 0)
        return 0;
    return static_cast<double>(ticks) / elapsed;
#else
    (void)sleepMs;
    return 0;
#endif
}

}  // namespace zrd::app
