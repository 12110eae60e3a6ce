#pragma once

// The locks by which Linux serial programs keep a port to themselves, found and taken: a UUCP
// lock file ("LCK..ttyUSB0" in /var/lock, holding the pid), an advisory flock on the device,
// and the terminal's exclusive mode (TIOCEXCL). Root passes the exclusive mode, so a port is
// refused whenever any one of them is held by a live process.

#include <optional>
#include <string>
#include <vector>

#include "link/port_info.h"

namespace zrd::link {

// The lock file's name for a device: "LCK.." and the device's path under /dev with '/' made
// '_' ("LCK..ttyUSB0", "LCK..pts_3"); symbolic links (/dev/serial/by-id/…) are followed first,
// so that every name of one port shares one lock.
std::string lockFileName(const std::string& device);

// The live process named by the device's lock file; nullopt when there is none. With
// removeStale, a file naming a dead process (or nothing readable) is removed.
std::optional<PortHolder> lockFileHolder(const std::string& device, const SystemRoots& roots,
                                         bool removeStale);

// The processes that hold an flock on the device, from /proc/locks.
std::vector<PortHolder> flockHolders(const std::string& device, const SystemRoots& roots);

// The processes other than this one that have the device open, without the process at the
// other end of a pseudo-terminal (a simulated drive keeps its own side open).
std::vector<PortHolder> otherOpeners(const std::string& device, const SystemRoots& roots);

// Whoever holds the device by a lock: its lock file, an flock, or the exclusive mode (seen
// only when another process has the device open, so that a free port is never opened for it).
// Empty when the port is free.
std::vector<PortHolder> findLockHolders(const std::string& device, const SystemRoots& roots = {});

// The lock file of one open port, removed when released or destroyed.
class PortLockFile {
public:
    PortLockFile() = default;
    PortLockFile(const PortLockFile&) = delete;
    PortLockFile& operator=(const PortLockFile&) = delete;
    ~PortLockFile() { release(); }

    // Takes the device's lock file for this process: false when a live process holds it (the
    // holder is then set). A stale file is removed first. A lock folder that is missing or not
    // writable takes no lock and is no failure: the device's own locks still hold.
    [[nodiscard]] bool acquire(const std::string& device, const SystemRoots& roots,
                               PortHolder& holder);
    // Removes the file, when it still names this process.
    void release();

private:
    std::string m_path;
};

}  // namespace zrd::link
