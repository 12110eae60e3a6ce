#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sim_drive.h"

namespace zrd::sim {

// A change of the line that a control line asks for; the server makes it.
struct LineChange {
    bool unplug = false;             // pulled; else plugged in again
    std::optional<int> backAfterMs;  // an unplugged line comes back by itself after this
};

// The answer to one control line: "ok …" or "error …", without the line end.
struct ControlReply {
    std::string text;
    bool quit = false;  // the simulator is asked to stop once the answer is out
    std::optional<LineChange> line;
};

// Runs one line of the control protocol on the drive (the caller holds the drive's lock):
//   error raise N | error clear N|all           (word 241)
//   warning raise N | warning clear N|all       (word 242)
//   apxerr raise N | apxerr clear N|all         (word 246)
//   silent X | answer X RAW | normal X|all      X: drive index or mnemonic
//   fault KIND [COUNT] | faults clear
//   input N 0|1 | analog MV | pulse KHZ | load NCM
//   set X RAW | get X | state | help | quit
//   scope status | scope refuse on|off | scope mute on|off | scope badend N
//   offline status | offline refuse on|off
//   calcpara status | calcpara refuse on|off
//   unplug [MS] | plug                           (the line pulled, and plugged in again)
ControlReply runControlCommand(std::string_view line, SimDrive& drive);

// The usage text that "help" answers, one line.
std::string controlHelp();

}  // namespace zrd::sim
