#pragma once

// What the scope pages send to the drive before a capture (rate, channel signals) and what
// they show of a channel (name, unit, bit names).

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "link/drive_link.h"
#include "params/parameter_table.h"
#include "scope/oscillogram.h"
#include "session/parameter_access.h"

namespace zrd::scope {

// A signal or rate code as the byte of a start command.
inline uint8_t signalByte(int signal) {
    return static_cast<uint8_t>(std::clamp(signal, 0, 255));
}

// How a scope parameter is written: only when it differs from the drive's known value, or
// always (the channel signals "MDTYP1"/"MDTYP2" are written either way).
enum class WriteRule { IfChanged, Always };

// Writes a scope parameter by mnemonic under the link-busy flag (polls paused): the value goes
// into the value table and, by the rule, to the drive, where it becomes the known value.
// False when the link was busy, the mnemonic is not in the table or the drive did not accept.
bool writeScopeParameter(link::DriveLink& link, session::ParameterAccess& access,
                         params::ParameterModel& model, std::string_view mnemonic, double value,
                         WriteRule rule = WriteRule::IfChanged);

// The channel selection of a scope signal: its mnemonic (the text between "(" and ")" of its
// description, left-trimmed; the parameter's own name when there is none), its scale and its
// unit in the interface language. Entry 0, or one outside the list, is "no signal".
ChannelSelection channelOfSignal(const params::ParameterModel& model, int signal);

// The channel selection of a line of a channel selector: the signal number the list put after
// the line's last "-" (or at its end), then as channelOfSignal. Line 0 (or an empty text) is
// "no signal".
ChannelSelection channelFromSelectorLine(const params::ParameterModel& model, std::string_view line,
                                         int lineIndex);

// The text before the "-" that the list put before the signal number (the channel's name
// field); the whole line when it has none.
std::string selectorLineName(std::string_view line);

// The scope signal a user names: its number in the list ("0" = none) or the mnemonic of one of
// its entries; nullopt when the text is neither.
std::optional<int> findScopeSignal(const params::ParameterModel& model, std::string_view text);

// The 16 bit names of a status-word channel ("STA", "DINSTA", "APXSTA") in the interface
// language, as hints "bitK name"; nullopt for any other channel name. "APXSTA" takes the scope
// bit table everywhere.
std::optional<std::array<std::string, 16>> channelBitHints(const params::ParameterModel& model,
                                                           std::string_view channelName);

// Whether a channel's signal is a signed 16-bit value (data type "INT").
bool signalIsSigned(const params::ParameterModel& model, int signal);

}  // namespace zrd::scope
