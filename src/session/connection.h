#pragma once

// The connection settings, the opening of the port with its preamble, and the check that a
// drive answers on it.

#include <string>

#include "link/drive_link.h"
#include "params/message_numbers.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "session/parameter_access.h"

namespace zrd::session {

// Messages of the connection.
using params::kMsgCannotOpen;
using params::kMsgCannotSetEvents;
using params::kMsgCannotSetState;
using params::kMsgCannotSetTimeouts;
using params::kMsgFrameNotWritten;
using params::kMsgNoDrive;

// Repeat number set by every connection attempt (shown, never used by an exchange).
inline constexpr int kConnectionTryCount = 3;
// "HVER" reads as this when the drive did not answer.
inline constexpr double kNoAnswerValue = -1;

// The baud rates the dialog suggests; any other number typed is used as it is.
inline constexpr int kSuggestedBaudRates[] = {300,  600,   1200,  2400,  4800,
                                              9600, 19200, 38400, 57600, 115200};

// Settings of the connection; every run starts with these values.
struct ConnectionSettings {
    std::string device;  // the port's device path
    int BaudRate = link::kDefaultBaudRate;
    int PortTimeOut = link::kDefaultPortTimeOutMs;
    int TryCount = 0;
    int Protocol = 0;
    // The fast link: byte times between requests in place of the fixed pauses; 0 keeps the safe
    // timing, which suits every drive.
    int FastGapBytes = 0;
    // A drive whose device went away and came back is connected to again without a click.
    bool AutoReconnect = false;
};

// How opening the port and its preamble ended.
struct OpenOutcome {
    enum class Step {
        Opened,
        OpenFailed,
        ScopeStopFailed,
        GeneratorStopFailed
    } step = Step::Opened;
    int message = 0;  // the numbered message to show, 0 for none
    // Why the port did not open and what helps (missing permission, a program holding it);
    // shown after the message. Empty when the system tells nothing more.
    std::string advice;
    bool scopeWasStreaming = false;  // the drive was still streaming and was told to stop
    bool generatorStopped = false;   // the drive acknowledged the generator's stop
};

// Opens the device with the settings and runs the preamble: a streaming drive is stopped,
// the function generator is stopped. A failure shows its numbered message (with the advice of a
// port that did not open in the same box); the front end shows the state.
OpenOutcome openConnection(link::DriveLink& link, const ConnectionSettings& settings,
                           const params::MessageTable& messages, std::string_view language);

// Reads "HVER" as the connection check: true when the drive answered (a value other than −1).
// The connected flag stays set on success; on failure message 1 is shown, the flag is cleared
// and the link-busy flag is left set until the next connection, as no exchange may run on a
// silent line. Nothing happens (false) when no port was ever opened.
bool checkConnection(link::DriveLink& link, ParameterAccess& access, params::ParameterModel& model,
                     const params::MessageTable& messages, ConnectionSettings& settings);

// How a whole connection ended: the port's opening with its preamble, then the drive check.
struct ConnectOutcome {
    OpenOutcome open;
    bool driveAnswered = false;  // "HVER" answered: the connected flag is set
};

// The one connection sequence of every front end: opens the port with the preamble, then reads
// "HVER". Each failure shows its numbered message once; the front end then shows the state.
ConnectOutcome connectDrive(link::DriveLink& link, ParameterAccess& access,
                            params::ParameterModel& model, const params::MessageTable& messages,
                            ConnectionSettings& settings);

// How an attempt to connect again to a drive whose device came back ended.
enum class ReconnectOutcome {
    Back,       // the drive answered "HVER": the connected flag is set
    NotOpened,  // the device did not open (yet): the system's reason is the port's last error
    NoAnswer,   // it opened, but no drive answered; the port is closed again, the link free
};

// Opens the device found again with the settings of the lost connection and reads "HVER", as the
// connection check does, but shows nothing and sends the drive nothing else: a drive still
// streaming samples is told to stop (nothing else could be heard over them), and nothing is
// written. The caller tells the user and reads what it shows.
ReconnectOutcome reconnectDrive(link::DriveLink& link, ParameterAccess& access,
                                params::ParameterModel& model, ConnectionSettings& settings,
                                const std::string& device);

// Parses a whole positive number typed into a box ("9600"); false for anything else.
bool parsePositive(const std::string& text, int& out);

}  // namespace zrd::session
