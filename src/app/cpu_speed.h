#pragma once

#include <chrono>

namespace zrd::app {

// The oscilloscope paces its live preview by this class: 4 for slow PCs (below 1000 MHz),
// 3 below 3000 MHz, 2 otherwise.
int cpuSpeedClass(double mhz);

// Counts the processor's time-stamp counter from the moment it is made, so that the clock can
// be measured across start-up's own work instead of an idle sleep.
class CpuClockMeasure {
public:
    CpuClockMeasure();

    // Processor clock in MHz: the ticks since construction divided by the time that really
    // passed, after sleeping what is left of minMs. 0 when the processor has no counter that
    // can be read.
    [[nodiscard]] double mhz(int minMs) const;

private:
    std::chrono::steady_clock::time_point m_start;
    unsigned long long m_ticks = 0;
};

// Processor clock in MHz across a sleep of the given length (see CpuClockMeasure).
double measureCpuMhz(int sleepMs);

}  // namespace zrd::app
