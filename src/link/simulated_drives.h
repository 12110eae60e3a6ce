#pragma once

// The simulated drives (zrd-sim) running on this machine, found by their control sockets and
// asked for the line they answer on, so that a port list can offer their pseudo-terminals.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

namespace zrd::link {

// A simulator's default control socket is "zrd-sim-PID.sock" in its socket folder.
inline constexpr std::string_view kSimulatorSocketPrefix = "zrd-sim-";
inline constexpr std::string_view kSimulatorSocketSuffix = ".sock";
// The control command that a simulator answers with "ok " and the path of its line.
inline constexpr std::string_view kSimulatorLineCommand = "tty";
// A simulator answers its control channel at once; this only bounds one that hangs.
inline constexpr std::chrono::milliseconds kSimulatorAnswerBound{500};

// Where a simulator puts its socket: $XDG_RUNTIME_DIR, else /tmp.
std::string simulatorSocketFolder();
// The default socket of the simulator with this process id.
std::string simulatorSocketPath(const std::string& folder, int pid);
// The folders to look in: the socket folder and /tmp (a simulator started from a shell without
// $XDG_RUNTIME_DIR), each once.
std::vector<std::string> simulatorFoldersFromEnvironment();

struct SimulatedDrive {
    std::string device;   // the line it answers on
    std::string control;  // its control socket
    int pid = 0;          // the process behind the socket
};

// The simulators listening at sockets so named in the folders, in the order of their lines.
// All are asked at once and their answers waited for at most `bound` together; a socket file
// that nobody listens at (left by a simulator that died) is passed over at once, and an answer
// that names no terminal device is not believed.
std::vector<SimulatedDrive> findSimulatedDrives(
    const std::vector<std::string>& folders,
    std::chrono::milliseconds bound = kSimulatorAnswerBound);

}  // namespace zrd::link
