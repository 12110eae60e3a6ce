#pragma once

// --reconnect of the commands that run until interrupted: a port that hangs up is waited for,
// and the command goes on once the same device is back.

#include <functional>
#include <string>

#include "drive_session.h"
#include "link/device_watch.h"
#include "stop_signals.h"

namespace zrd::cli {

// How often the device is looked for while it is away.
inline constexpr int kDeviceLookMs = 250;

// Looks for the device until `attempt` takes it (true) or a stop signal arrives (false).
// `attempt` is called on every look while the device is there, with its path and whether it
// has just come back (so that a failure is told once a return, not once a look).
bool waitForDevice(const link::DeviceIdentity& device, const StopSignals& stop,
                   const std::function<bool(const std::string& path, bool returned)>& attempt);

// Tells that the link to the device was lost and connects again as the window's "Reconnect"
// does: the same device found, "HVER" read, nothing written. What happens goes to stderr as
// numbered messages. False when a stop signal came first.
bool reconnectSession(Session& s, const GlobalOptions& options, const link::DeviceIdentity& device,
                      const StopSignals& stop);

}  // namespace zrd::cli
