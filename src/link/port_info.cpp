#include "link/port_info.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <filesystem>
#include <fstream>

#include "link/port_lock.h"
#include "link/serial_port.h"

namespace zrd::link {
namespace {

namespace fs = std::filesystem;

// The first line of a small sysfs or proc file, without its line end; empty when unreadable.
std::string firstLine(const fs::path& file) {
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

fs::path canonicalOr(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = fs::canonical(path, ec);
    return ec ? path : resolved;
}

bool isNumber(const std::string& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(),
                                        [](unsigned char c) { return std::isdigit(c) != 0; });
}

// The USB device folder above a port's sysfs folder: the first one that carries a vendor id.
std::optional<fs::path> usbDeviceFolder(fs::path folder, const fs::path& sysRoot) {
    std::error_code ec;
    const fs::path root = canonicalOr(sysRoot);
    for (; !folder.empty() && folder != root && folder != folder.parent_path();
         folder = folder.parent_path()) {
        if (fs::exists(folder / "idVendor", ec))
            return folder;
    }
    return std::nullopt;
}

std::string nameOfGroup(gid_t gid) {
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) == 0 && found)
        return entry.gr_name;
    return std::to_string(gid);
}

bool groupListsUser(gid_t gid, const std::string& user, gid_t primary) {
    if (gid == primary)
        return true;
    group entry{};
    group* found = nullptr;
    std::vector<char> buffer(16384);
    if (::getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found) != 0 || !found)
        return false;
    for (char** member = entry.gr_mem; member && *member; ++member) {
        if (user == *member)
            return true;
    }
    return false;
}

bool processHasGroup(gid_t gid) {
    if (::getegid() == gid)
        return true;
    const int count = ::getgroups(0, nullptr);
    if (count <= 0)
        return false;
    std::vector<gid_t> groups(static_cast<size_t>(count));
    const int n = ::getgroups(count, groups.data());
    return n > 0 && std::find(groups.begin(), groups.begin() + n, gid) != groups.begin() + n;
}

}  // namespace

PortInfo describePort(const std::string& device, const SystemRoots& roots) {
    PortInfo info;
    info.device = device;
    const fs::path resolved = canonicalOr(device);
    info.kernelName = resolved.filename().string();
    std::error_code ec;

    const fs::path byIdFolder = fs::path(roots.dev) / "serial" / "by-id";
    for (const auto& entry : fs::directory_iterator(byIdFolder, ec)) {
        if (canonicalOr(entry.path()) == resolved) {
            info.byId = entry.path().filename().string();
            break;
        }
    }

    const fs::path classEntry = fs::path(roots.sys) / "class" / "tty" / info.kernelName;
    if (!fs::exists(classEntry / "device", ec))
        return info;
    const fs::path portFolder = canonicalOr(classEntry / "device");
    const fs::path driverLink = portFolder / "driver";
    if (fs::is_symlink(driverLink, ec))
        info.driver = fs::read_symlink(driverLink, ec).filename().string();
    if (const auto usb = usbDeviceFolder(portFolder, roots.sys)) {
        info.vendorId = firstLine(*usb / "idVendor");
        info.productId = firstLine(*usb / "idProduct");
        info.manufacturer = firstLine(*usb / "manufacturer");
        info.product = firstLine(*usb / "product");
        info.serial = firstLine(*usb / "serial");
    }
    const fs::path latency =
        fs::path(roots.sys) / "bus" / "usb-serial" / "devices" / info.kernelName / "latency_timer";
    const std::string latencyText = firstLine(latency);
    int ms = 0;
    const auto [end, fault] =
        std::from_chars(latencyText.data(), latencyText.data() + latencyText.size(), ms);
    if (!latencyText.empty() && fault == std::errc() &&
        end == latencyText.data() + latencyText.size()) {
        info.latencyMs = ms;
        info.latencyFile = latency.string();
    }
    return info;
}

std::string portSummary(const PortInfo& info) {
    std::vector<std::string> parts;
    std::string name = info.manufacturer;
    if (!info.product.empty())
        name += (name.empty() ? "" : " ") + info.product;
    if (!name.empty())
        parts.push_back(name);
    if (!info.vendorId.empty())
        parts.push_back(info.vendorId + ":" + info.productId);
    if (!info.serial.empty())
        parts.push_back("serial " + info.serial);
    if (parts.empty() && !info.driver.empty())
        parts.push_back(info.driver);
    // The stable name, unless it is the path itself.
    if (!info.byId.empty() && std::filesystem::path(info.device).filename() != info.byId)
        parts.push_back("by-id " + info.byId);
    std::string out;
    for (const auto& part : parts)
        out += (out.empty() ? "" : ", ") + part;
    return out;
}

bool latencyWorthLowering(const PortInfo& info) {
    return info.latencyMs && *info.latencyMs > kLatencyAdviceAboveMs;
}

std::vector<PortInfo> listSerialPorts(const SystemRoots& roots) {
    std::vector<PortInfo> ports;
    for (const std::string& device : listSerialDevices(roots.dev)) {
        ports.push_back(describePort(device, roots));
        ports.back().holders = findLockHolders(device, roots);
    }
    for (const SimulatedDrive& drive : findSimulatedDrives(roots.simulators)) {
        // A simulator on a listed tty (--tty) marks that entry.
        const auto listed = std::find_if(ports.begin(), ports.end(), [&](const PortInfo& p) {
            return canonicalOr(p.device) == canonicalOr(drive.device);
        });
        if (listed != ports.end()) {
            listed->simulator = drive;
            continue;
        }
        PortInfo info;
        info.device = drive.device;
        info.kernelName = canonicalOr(drive.device).filename().string();
        info.holders = findLockHolders(drive.device, roots);
        info.simulator = drive;
        ports.push_back(std::move(info));
    }
    return ports;
}

std::vector<PortHolder> findPortHolders(const std::string& device, const SystemRoots& roots) {
    std::vector<PortHolder> holders;
    const fs::path wanted = canonicalOr(device);
    std::error_code ec;
    for (const auto& process : fs::directory_iterator(roots.proc, ec)) {
        const std::string pid = process.path().filename().string();
        if (!isNumber(pid))
            continue;
        std::error_code fdError;
        // Another user's descriptors are hidden: that process is simply not found.
        for (const auto& fd : fs::directory_iterator(process.path() / "fd", fdError)) {
            std::error_code linkError;
            const fs::path target = fs::read_symlink(fd.path(), linkError);
            if (linkError || (target != wanted && target != fs::path(device)))
                continue;
            PortHolder holder;
            std::from_chars(pid.data(), pid.data() + pid.size(), holder.pid);
            holder.name = firstLine(process.path() / "comm");
            holders.push_back(holder);
            break;
        }
    }
    std::sort(holders.begin(), holders.end(),
              [](const PortHolder& a, const PortHolder& b) { return a.pid < b.pid; });
    return holders;
}

OpenDiagnosis diagnoseOpenFailure(const std::string& device, int error, const SystemRoots& roots) {
    OpenDiagnosis d;
    d.device = device;
    if (error == EBUSY) {
        d.problem = OpenDiagnosis::Problem::Busy;
        d.holders = findLockHolders(device, roots);
        return d;
    }
    if (error != EACCES && error != EPERM)
        return d;
    d.problem = OpenDiagnosis::Problem::NoPermission;
    const uid_t uid = ::geteuid();
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    gid_t primary = ::getegid();
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        d.user = entry.pw_name;
        primary = entry.pw_gid;
    } else {
        d.user = std::to_string(uid);
    }
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        return d;
    d.mode = st.st_mode & 07777;
    d.group = nameOfGroup(st.st_gid);
    passwd ownerEntry{};
    passwd* ownerFound = nullptr;
    std::vector<char> ownerBuffer(16384);
    d.owner = ::getpwuid_r(st.st_uid, &ownerEntry, ownerBuffer.data(), ownerBuffer.size(),
                           &ownerFound) == 0 &&
                      ownerFound
                  ? ownerEntry.pw_name
                  : std::to_string(st.st_uid);
    d.groupGrants = (st.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
    // The owner's own bits decide for the owner; no group can help there.
    if (st.st_uid == uid)
        d.groupGrants = false;
    d.inGroup = processHasGroup(st.st_gid);
    d.listedInGroup = groupListsUser(st.st_gid, d.user, primary);
    return d;
}

}  // namespace zrd::link
