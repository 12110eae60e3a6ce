#pragma once

namespace zrd::app {

// The oscilloscope paces its live preview by this class: 4 for slow PCs (below 1000 MHz),
// 3 below 3000 MHz, 2 otherwise.
int cpuSpeedClass(double mhz);

// Processor clock in MHz: time-stamp counter ticks across a sleep of the given length, divided
// by the time that really passed. 0 when the processor has no counter that can be read.
double measureCpuMhz(int sleepMs);

}  // namespace zrd::app
