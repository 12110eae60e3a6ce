#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zrd::link {

// Outcome of opening and configuring a port; each step has its own numbered message.
enum class OpenResult { Ok, CannotOpen, CannotSetState, CannotSetTimeouts, CannotSetEvents };

// Parity and stop bits of a line other than the drive link's 8N1 (the command monitor's).
enum class Parity { None, Odd, Even, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };
struct LineSettings {
    int baudRate = 115200;
    Parity parity = Parity::None;
    // Linux has no one and a half stop bits: they are sent as two.
    StopBits stopBits = StopBits::One;
};

// How a wait for input ended.
enum class WaitResult { Readable, TimedOut, HungUp, Failed };

// One serial line, as the link needs it. One implementation per platform.
class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Opens the device exclusively, raw 8N1 at the given baud rate. A port that another process
    // holds by a lock file, an flock or the exclusive mode fails with EBUSY; while open, the
    // port holds all three itself.
    [[nodiscard]] virtual OpenResult open(const std::string& device, int baudRate) = 0;
    // Opens the device exclusively, raw, 8 data bits with the given parity and stop bits.
    [[nodiscard]] virtual OpenResult open(const std::string& device, const LineSettings& line) = 0;
    virtual void close() = 0;
    [[nodiscard]] virtual bool isOpen() const = 0;

    // Writes all bytes; the count written, or -1 when the system call fails.
    [[nodiscard]] virtual int write(const uint8_t* data, size_t count) = 0;
    // Reads what is waiting, at most count bytes, without blocking; -1 on failure.
    [[nodiscard]] virtual int readAvailable(uint8_t* data, size_t count) = 0;
    // Waits until input is waiting, the time is up, or the other end went away.
    [[nodiscard]] virtual WaitResult waitReadable(int timeoutMs) = 0;
    // Number of bytes waiting in the input queue (0 when unknown).
    [[nodiscard]] virtual int inputQueueCount() = 0;
    // True once the other end went away (adapter unplugged, pseudo-terminal master closed);
    // every operation has failed or will fail. Stays so until the port is closed.
    [[nodiscard]] virtual bool hungUp() const = 0;
    // Drops whatever waits in the receive queue; what was written still goes out.
    virtual void purge() = 0;
    // Clears the line's error state (breaks, overruns); nothing to do on some systems.
    virtual void clearErrors() = 0;

    // The descriptor a front end may watch for readiness; -1 when closed or not pollable.
    [[nodiscard]] virtual int nativeHandle() const { return -1; }

    [[nodiscard]] virtual int baudRate() const = 0;
    // Text of the last system error, for reports.
    [[nodiscard]] virtual std::string lastError() const = 0;
    // Number of the last system error (errno), 0 when none or unknown: what tells a missing
    // permission or a port held by another program apart.
    [[nodiscard]] virtual int lastErrorCode() const { return 0; }
};

struct SystemRoots;

// The port implementation of this platform; its lock files go to the folder of the roots
// (port_info.h), by default ZRD_LOCK_DIR or /var/lock.
std::unique_ptr<SerialPort> makeSystemSerialPort();
std::unique_ptr<SerialPort> makeSystemSerialPort(const SystemRoots& roots);

// Serial devices present on this machine, found in the given device folder.
std::vector<std::string> listSerialDevices(const std::string& devFolder = "/dev");

// The device name other systems give list position p ("COM1" ... "\\.\COM10" ...).
std::string windowsPortName(int listPosition);

}  // namespace zrd::link
