#pragma once

#include <string>
#include <vector>

namespace zrd::app {

inline constexpr const char* kDataDirOption = "--data-dir";
inline constexpr const char* kSimDeviceVariable = "TORVANTA_SIM_DEVICE";
inline constexpr int kCpuMeasureMs = 500;

// What the program is told when it starts.
struct StartOptions {
    std::string dataDir;    // where the drive family's data files are read from
    std::string simDevice;  // the simulated drive's device, offered in the connection dialog
    std::string logDir;     // folder of the action log; empty: beside the program if writable
    int cpuMeasureMs = kCpuMeasureMs;
};

// The value of the --data-dir option ("--data-dir DIR" or "--data-dir=DIR"); empty when the
// option is absent or has no value.
std::string dataDirOption(const std::vector<std::string>& args);

// Options from the command line and the environment (TORVANTA_DATA, TORVANTA_SIM_DEVICE).
StartOptions startOptions(const std::vector<std::string>& args);

}  // namespace zrd::app
