#pragma once

// What the program tells the user about a serial port, in the interface language: why it did
// not open (missing permission, another program holding it) with the command that helps, and
// the adapter's latency timer with the commands that lower it.

#include <string>
#include <string_view>

#include "link/port_info.h"
#include "params/message_table.h"

namespace zrd::session {

// The file name of the udev rule shipped in the data folder.
inline constexpr const char* kSerialRulesFile = "99-zrd-serial.rules";

// Why the port did not open and what helps; empty when the system tells nothing more than its
// own error text.
std::string openFailureAdvice(const link::OpenDiagnosis& diagnosis,
                              const params::MessageTable& messages, std::string_view language);

// How to lower the adapter's latency timer: the explanation, then the command for now and the
// two that install the rule (rulesFile, the shipped file). Empty when the timer is 1 ms or
// less, or unknown.
std::string latencyAdvice(const link::PortInfo& info, const std::string& rulesFile,
                          const params::MessageTable& messages, std::string_view language);

}  // namespace zrd::session
