#include <fcntl.h>
#include <linux/serial.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "core/os_error.h"
#include "link/baud_rate_linux.h"
#include "link/port_lock.h"
#include "link/serial_port.h"

namespace zrd::link {
namespace {

speed_t standardSpeed(int baud) {
    switch (baud) {
        case 50:
            return B50;
        case 75:
            return B75;
        case 110:
            return B110;
        case 134:
            return B134;
        case 150:
            return B150;
        case 200:
            return B200;
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 1800:
            return B1800;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        case 230400:
            return B230400;
        case 460800:
            return B460800;
        case 500000:
            return B500000;
        case 576000:
            return B576000;
        case 921600:
            return B921600;
        case 1000000:
            return B1000000;
        case 1152000:
            return B1152000;
        case 1500000:
            return B1500000;
        case 2000000:
            return B2000000;
        default:
            return 0;
    }
}

tcflag_t parityFlags(Parity parity) {
    switch (parity) {
        case Parity::None:
            return 0;
        case Parity::Odd:
            return PARENB | PARODD;
        case Parity::Even:
            return PARENB;
        case Parity::Mark:
            return PARENB | CMSPAR | PARODD;
        case Parity::Space:
            return PARENB | CMSPAR;
    }
    return 0;
}

class PosixSerialPort final : public SerialPort {
public:
    explicit PosixSerialPort(SystemRoots roots) : m_roots(std::move(roots)) {}
    ~PosixSerialPort() override { close(); }

    OpenResult open(const std::string& device, int baudRate) override {
        LineSettings line;
        line.baudRate = baudRate;
        return open(device, line);
    }

    OpenResult open(const std::string& device, const LineSettings& line) override {
        const int baudRate = line.baudRate;
        close();
        // Every lock another serial program may hold is honoured, and each is taken in turn,
        // so that no two programs ever read the same line. A refusal reads as EBUSY.
        PortHolder holder;
        if (!m_lockFile.acquire(device, m_roots, holder))
            return fail(OpenResult::CannotOpen, EBUSY);
        m_fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        if (m_fd < 0)
            return fail(OpenResult::CannotOpen);
        // Root opens a port in exclusive mode regardless; the mode counts while another
        // process has the port open (a pseudo-terminal keeps it after its holder has gone).
        int exclusive = 0;
        if (::ioctl(m_fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0 &&
            !otherOpeners(device, m_roots).empty())
            return fail(OpenResult::CannotOpen, EBUSY);
        if (::flock(m_fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK)
            return fail(OpenResult::CannotOpen, EBUSY);
        if (::ioctl(m_fd, TIOCEXCL) != 0 && errno != ENOTTY)
            return fail(OpenResult::CannotOpen);
        m_exclusive = true;
        termios tio{};
        if (::tcgetattr(m_fd, &tio) != 0)
            return fail(OpenResult::CannotSetState);
        ::cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        tio.c_cflag &= ~(CSTOPB | PARENB | PARODD | CMSPAR | CRTSCTS);
        tio.c_cflag |= parityFlags(line.parity);
        if (line.stopBits != StopBits::One)
            tio.c_cflag |= CSTOPB;
        tio.c_iflag &= ~(IXON | IXOFF | IXANY);
        // Reads never block in the kernel: every wait is a poll() with a time bound.
        tio.c_cc[VMIN] = 0;
        tio.c_cc[VTIME] = 0;
        const speed_t speed = standardSpeed(baudRate);
        if (baudRate <= 0)
            return fail(OpenResult::CannotSetState, EINVAL);
        if (speed != 0) {
            ::cfsetispeed(&tio, speed);
            ::cfsetospeed(&tio, speed);
        }
        if (::tcsetattr(m_fd, TCSANOW, &tio) != 0)
            return fail(OpenResult::CannotSetState);
        if (speed == 0 && !setCustomBaudRate(m_fd, baudRate))
            return fail(OpenResult::CannotSetState);
        m_baud = baudRate;
        return OpenResult::Ok;
    }

    void close() override {
        if (m_fd >= 0) {
            // A pseudo-terminal would keep the exclusive mode for the next program. Only a mode
            // of its own: a port refused keeps its holder's.
            if (m_exclusive)
                (void)::ioctl(m_fd, TIOCNXCL);
            ::close(m_fd);
        }
        m_fd = -1;
        m_exclusive = false;
        m_hungUp = false;
        m_lockFile.release();
    }

    bool isOpen() const override { return m_fd >= 0; }

    int write(const uint8_t* data, size_t count) override {
        if (m_fd < 0)
            return failCount(EBADF);
        size_t done = 0;
        while (done < count) {
            const ssize_t n = ::write(m_fd, data + done, count - done);
            if (n > 0) {
                done += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && errno != EAGAIN)
                return failCount(errno);
            // Output queue full: wait until the line drains a little.
            pollfd p{m_fd, POLLOUT, 0};
            const int r = ::poll(&p, 1, kWriteStallMs);
            if (r > 0 && (p.revents & (POLLHUP | POLLERR))) {
                markHungUp(EIO);
                return -1;
            }
            if (r <= 0)
                return failCount(r < 0 ? errno : ETIMEDOUT);
        }
        return static_cast<int>(done);
    }

    int readAvailable(uint8_t* data, size_t count) override {
        if (m_fd < 0)
            return failCount(EBADF);
        // With VMIN and VTIME 0 an empty queue reads as 0 bytes, and so does a line that hung
        // up: the wait that follows tells them apart.
        const ssize_t n = ::read(m_fd, data, count);
        if (n >= 0)
            return static_cast<int>(n);
        if (errno == EAGAIN || errno == EINTR)
            return 0;
        return failCount(errno);
    }

    WaitResult waitReadable(int timeoutMs) override {
        if (m_fd < 0)
            return WaitResult::Failed;
        pollfd p{m_fd, POLLIN, 0};
        int r;
        do {
            r = ::poll(&p, 1, std::max(timeoutMs, 0));
        } while (r < 0 && errno == EINTR);
        if (r < 0) {
            m_errno = errno;
            return WaitResult::Failed;
        }
        if (r == 0)
            return WaitResult::TimedOut;
        // A hung-up line reports itself readable as well, and then reads 0 bytes for ever:
        // the hang-up goes first, or the caller would spin until its deadline.
        if (p.revents & (POLLHUP | POLLERR)) {
            markHungUp(EIO);
            return WaitResult::HungUp;
        }
        if (p.revents & POLLNVAL) {
            m_errno = EBADF;
            return WaitResult::Failed;
        }
        return WaitResult::Readable;
    }

    int inputQueueCount() override {
        int n = 0;
        if (m_fd < 0)
            return 0;
        if (::ioctl(m_fd, FIONREAD, &n) != 0) {
            (void)failCount(errno);
            return 0;
        }
        return n;
    }

    bool hungUp() const override { return m_hungUp; }

    void purge() override {
        // The receive side only: discarding the transmit queue would drop a frame written just
        // before (a stop frame followed at once by the next command) before it reached the
        // drive. The line runs without flow control, so nothing else ever waits there.
        if (m_fd >= 0)
            ::tcflush(m_fd, TCIFLUSH);
    }

    void clearErrors() override {
        // POSIX reports line errors per read; there is no sticky state to clear.
    }

    int nativeHandle() const override { return m_fd; }
    int baudRate() const override { return m_baud; }
    std::string lastError() const override {
        return m_errno == 0 ? "no error" : zrd::osErrorText(m_errno);
    }
    int lastErrorCode() const override { return m_errno; }

private:
    static constexpr int kWriteStallMs = 1000;

    OpenResult fail(OpenResult result, int error = 0) {
        m_errno = error ? error : errno;
        close();
        return result;
    }
    int failCount(int error) {
        m_errno = error;
        // These errors come from a line whose other end is gone; confirm it before saying so.
        if (error == EIO || error == ENXIO || error == ENODEV)
            noteHangUp(error);
        return -1;
    }
    void noteHangUp(int error) {
        pollfd p{m_fd, POLLIN, 0};
        if (m_fd >= 0 && ::poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR)))
            markHungUp(error);
    }
    void markHungUp(int error) {
        m_hungUp = true;
        m_errno = error;
    }

    SystemRoots m_roots;
    PortLockFile m_lockFile;
    int m_fd = -1;
    bool m_exclusive = false;
    int m_baud = 0;
    int m_errno = 0;
    bool m_hungUp = false;
};

}  // namespace

std::unique_ptr<SerialPort> makeSystemSerialPort() {
    return makeSystemSerialPort(SystemRoots{});
}

std::unique_ptr<SerialPort> makeSystemSerialPort(const SystemRoots& roots) {
    return std::make_unique<PosixSerialPort>(roots);
}

std::vector<std::string> listSerialDevices(const std::string& devFolder) {
    namespace fs = std::filesystem;
    std::vector<std::string> found;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(devFolder, ec)) {
        const std::string name = entry.path().filename().string();
        if (name.starts_with("ttyUSB") || name.starts_with("ttyACM"))
            found.push_back(entry.path());
        // Only the first few legacy UARTs are usually real; list those that answer.
        if (name.starts_with("ttyS")) {
            const int fd = ::open(entry.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0)
                continue;
            serial_struct info{};
            if (::ioctl(fd, TIOCGSERIAL, &info) == 0 && info.type != PORT_UNKNOWN)
                found.push_back(entry.path());
            ::close(fd);
        }
    }
    for (const auto& entry : fs::directory_iterator(fs::path(devFolder) / "serial" / "by-id", ec))
        found.push_back(entry.path());
    std::sort(found.begin(), found.end());
    return found;
}

std::string windowsPortName(int listPosition) {
    const int n = listPosition + 1;
    return (listPosition <= 8 ? "COM" : "\\\\.\\COM") + std::to_string(n);
}

}  // namespace zrd::link
