#pragma once

#include <string>
#include <vector>

#include "core/help_text.h"

namespace zrd::app {

inline constexpr const char* kDataDirOption = "--data-dir";
inline constexpr const char* kSimDeviceVariable = "TORVANTA_SIM_DEVICE";
// The processor speed measurement's window. The clock is the ticks over the time that really
// passed, and the classes lie 1000 MHz apart: a tenth of a second tells them as surely as half a
// second, and start-up is the shorter for it.
inline constexpr int kCpuMeasureMs = 100;

// What the program is told when it starts.
struct StartOptions {
    std::string dataDir;    // where the drive family's data files are read from
    std::string simDevice;  // the simulated drive's device, offered in the connection dialog
    std::string logDir;     // folder of the action log; empty: beside the program if writable
    // The settings file; empty: nothing is remembered between runs (tests).
    std::string settingsFile;
    // The version the About box shows ("2.1 (commit …)"); the program's main sets it.
    std::string versionText;
    int cpuMeasureMs = kCpuMeasureMs;
};

// The value of the --data-dir option ("--data-dir DIR" or "--data-dir=DIR"); empty when the
// option is absent or has no value.
std::string dataDirOption(const std::vector<std::string>& args);

// Options from the command line and the environment (TORVANTA_DATA, TORVANTA_SIM_DEVICE), the
// settings file in the user's configuration folder.
StartOptions startOptions(const std::vector<std::string>& args);

// The program's help: --help prints it, the manual page is made from it.
ProgramHelp programHelp();

}  // namespace zrd::app
