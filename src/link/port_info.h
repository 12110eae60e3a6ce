#pragma once

// What the system tells about a serial port: the USB adapter behind it (from sysfs), its stable
// name under /dev/serial/by-id, the adapter's receive latency timer, and, when a port does not
// open, why: missing permission or another program holding it. Simulated drives running here
// are listed with their pseudo-terminals.

#include <optional>
#include <string>
#include <vector>

#include "link/simulated_drives.h"

namespace zrd::link {

// The lock folder of the system, and the variable that moves it (tests, a system that keeps
// its lock files elsewhere).
inline constexpr const char* kSystemLockFolder = "/var/lock";
inline constexpr const char* kLockFolderVariable = "ZRD_LOCK_DIR";

// The folder that ZRD_LOCK_DIR names, else /var/lock.
std::string lockFolderFromEnvironment();

// The system folders the port information is read from; tests point them at a fake tree.
struct SystemRoots {
    std::string sys = "/sys";
    std::string dev = "/dev";
    std::string proc = "/proc";
    // Where the UUCP lock files of serial ports lie.
    std::string lock = lockFolderFromEnvironment();
    // Where the control sockets of simulated drives are looked for.
    std::vector<std::string> simulators = simulatorFoldersFromEnvironment();
};

// Latency timers above this many milliseconds are worth lowering.
inline constexpr int kLatencyAdviceAboveMs = 1;

// A process that holds a device open or locked.
struct PortHolder {
    int pid = 0;
    std::string name;  // its command name ("minicom")
};

struct PortInfo {
    std::string device;      // the path as listed or typed
    std::string kernelName;  // "ttyUSB0"
    std::string driver;      // "ftdi_sio", "cdc_acm", "serial8250"; empty when unknown
    std::string vendorId;    // USB ids, 4 hex digits each
    std::string productId;
    std::string manufacturer;
    std::string product;
    std::string serial;
    std::string byId;  // file name under /dev/serial/by-id that points at the port
    std::optional<int> latencyMs;
    std::string latencyFile;  // the sysfs file of the latency timer
    // Who holds the port by a lock (listSerialPorts only); empty when it is free.
    std::vector<PortHolder> holders;
    // The simulated drive that answers on the port (listSerialPorts only).
    std::optional<SimulatedDrive> simulator;
};

// The port's description from sysfs; fields the system does not know stay empty.
PortInfo describePort(const std::string& device, const SystemRoots& roots = {});

// One line for a person: "FTDI FT232R USB UART, 0403:6001, serial A50285BI, by-id usb-FTDI_…"
// (the by-id name unless the path is that name); empty when nothing is known beyond the path.
std::string portSummary(const PortInfo& info);

// True when the adapter holds replies back longer than needed.
bool latencyWorthLowering(const PortInfo& info);

// The serial devices present with their descriptions, in the order of listSerialDevices, then
// the lines of the simulated drives found in the simulator folders.
std::vector<PortInfo> listSerialPorts(const SystemRoots& roots = {});

// Why a port did not open, as far as the system tells.
struct OpenDiagnosis {
    enum class Problem {
        Other,         // nothing more to say than the system's error text
        NoPermission,  // the user may not open the device
        Busy,          // another program holds it
    } problem = Problem::Other;
    std::string device;
    // NoPermission: the device's owner, group and mode, and where the user stands.
    std::string user;
    std::string owner;
    std::string group;
    unsigned mode = 0;           // permission bits
    bool groupGrants = false;    // the group may read and write the device
    bool inGroup = false;        // the process runs with the group
    bool listedInGroup = false;  // the group lists the user (perhaps since the last log-in)
    // Busy: the processes that hold the device, when /proc shows them.
    std::vector<PortHolder> holders;
    // The simulated drive that answers on the port (listSerialPorts only).
    std::optional<SimulatedDrive> simulator;
};

// Diagnoses a failed open of the device with the given errno (EACCES, EPERM, EBUSY).
OpenDiagnosis diagnoseOpenFailure(const std::string& device, int error,
                                  const SystemRoots& roots = {});

// The processes whose open files include the device (by /proc/PID/fd); those of other users are
// hidden from an ordinary user.
std::vector<PortHolder> findPortHolders(const std::string& device, const SystemRoots& roots = {});

}  // namespace zrd::link
