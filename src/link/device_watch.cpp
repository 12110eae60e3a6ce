#include "link/device_watch.h"

#include <algorithm>
#include <filesystem>
#include <vector>

namespace zrd::link {
namespace {

namespace fs = std::filesystem;

// True when the path leads to something (a link that dangles does not).
bool present(const fs::path& path) {
    std::error_code ec;
    return fs::exists(path, ec);
}

fs::path resolved(const fs::path& path) {
    std::error_code ec;
    fs::path target = fs::canonical(path, ec);
    return ec ? path : target;
}

// The USB serial devices: only they carry a serial number. Other ports are not opened to be
// listed, as a look every half second would toggle their control lines.
std::vector<std::string> usbDevices(const std::string& devFolder) {
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(devFolder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("ttyUSB") || name.starts_with("ttyACM"))
            found.push_back(entry.path().string());
    }
    std::sort(found.begin(), found.end());
    return found;
}

}  // namespace

DeviceIdentity identifyDevice(const std::string& path, const SystemRoots& roots) {
    const PortInfo info = describePort(path, roots);
    return {path, info.byId, info.vendorId, info.productId, info.serial};
}

std::optional<std::string> findDevice(const DeviceIdentity& device, const SystemRoots& roots) {
    if (!device.byId.empty()) {
        const fs::path byId = fs::path(roots.dev) / "serial" / "by-id" / device.byId;
        if (!present(byId))
            return std::nullopt;
        // The path opened before, when it leads to the same device again (the by-id name
        // itself, or a kernel name that came back unchanged); else the one the name leads to.
        if (present(device.path) && resolved(device.path) == resolved(byId))
            return device.path;
        return resolved(byId).string();
    }
    if (!device.serial.empty()) {
        for (const std::string& candidate : usbDevices(roots.dev)) {
            const PortInfo info = describePort(candidate, roots);
            if (info.serial == device.serial && info.vendorId == device.vendorId &&
                info.productId == device.productId)
                return present(device.path) && resolved(device.path) == resolved(candidate)
                           ? device.path
                           : candidate;
        }
        return std::nullopt;
    }
    if (present(device.path))
        return device.path;
    return std::nullopt;
}

DeviceWatch::Change DeviceWatch::look() {
    std::optional<std::string> now = findDevice(m_device, m_roots);
    Change change = Change::None;
    if (now && !m_where)
        change = Change::Returned;
    else if (!now && m_where)
        change = Change::Vanished;
    m_where = std::move(now);
    return change;
}

}  // namespace zrd::link
