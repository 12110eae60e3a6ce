#pragma once

// Finding a serial device again after it went away (a USB adapter pulled and plugged back in, a
// simulated drive started anew): by its /dev/serial/by-id name, else by the adapter's USB serial
// number, else by its path.

#include <optional>
#include <string>
#include <utility>

#include "link/port_info.h"

namespace zrd::link {

// What tells the device apart from others; taken while it is there, for once it is gone the
// system tells nothing more about it.
struct DeviceIdentity {
    std::string path;  // as the port was opened
    std::string byId;  // its name under /dev/serial/by-id; empty when it has none
    // The USB adapter's ids and serial number; empty when it has none.
    std::string vendorId;
    std::string productId;
    std::string serial;
};

// The identity of the device at path, as the system describes it now.
DeviceIdentity identifyDevice(const std::string& path, const SystemRoots& roots = {});

// Where the device is now: the path it was opened by when that names it again, else the device
// its by-id name or its serial number leads to; nullopt while it is away.
std::optional<std::string> findDevice(const DeviceIdentity& device, const SystemRoots& roots = {});

// Watches for a lost device to come back, one look at a time at the front end's own pace.
class DeviceWatch {
public:
    enum class Change { None, Returned, Vanished };

    // The device counts as away at first: it was just lost.
    explicit DeviceWatch(DeviceIdentity device, SystemRoots roots = {})
        : m_device(std::move(device)), m_roots(std::move(roots)) {}

    // Looks once: whether the device came back or went away since the last look.
    Change look();
    // Where it is since the last look; nullopt while it is away.
    [[nodiscard]] const std::optional<std::string>& where() const { return m_where; }
    [[nodiscard]] const DeviceIdentity& device() const { return m_device; }

private:
    DeviceIdentity m_device;
    SystemRoots m_roots;
    std::optional<std::string> m_where;
};

}  // namespace zrd::link
