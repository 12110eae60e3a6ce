#pragma once

// What the program tells the user about a serial port, in the interface language: why it did
// not open (missing permission, another program holding it) with the command that helps, and
// the adapter's latency timer with the commands that lower it.

#include <string>
#include <string_view>
#include <vector>

#include "link/port_info.h"
#include "params/message_table.h"

namespace zrd::session {

// The file name of the udev rule shipped in the data folder.
inline constexpr const char* kSerialRulesFile = "99-zrd-serial.rules";

// Why the port did not open and what helps; empty when the system tells nothing more than its
// own error text.
std::string openFailureAdvice(const link::OpenDiagnosis& diagnosis,
                              const params::MessageTable& messages, std::string_view language);

// The holders of a port as the messages name them: "minicom (PID 1234), …".
std::string holderList(const std::vector<link::PortHolder>& holders);

// The port list's mark of a port held by another program ("in use by minicom (PID 1234)");
// empty for a free port.
std::string portInUseMark(const link::PortInfo& info, const params::MessageTable& messages,
                          std::string_view language);

// The port list's mark of a simulated drive's line ("simulated drive zrd-sim (PID 1234)");
// empty for another port.
std::string simulatorMark(const link::PortInfo& info, const params::MessageTable& messages,
                          std::string_view language);

// Everything the port list marks a port with: the simulator, then the holders.
std::string portListMark(const link::PortInfo& info, const params::MessageTable& messages,
                         std::string_view language);

// Why a port is refused: the same text as a failed open gives (the holders named).
std::string portBusyText(const std::string& device, const std::vector<link::PortHolder>& holders,
                         const params::MessageTable& messages, std::string_view language);

// How to lower the adapter's latency timer: the explanation, then the command for now and the
// two that install the rule (rulesFile, the shipped file). Empty when the timer is 1 ms or
// less, or unknown.
std::string latencyAdvice(const link::PortInfo& info, const std::string& rulesFile,
                          const params::MessageTable& messages, std::string_view language);

}  // namespace zrd::session
