#pragma once

// The drive's end of a real pseudo-terminal, as a plain byte writer: the program's link opens
// the device path; the test writes what the drive would send and reads what the program sent.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace zrd::test {

class PtyWire {
public:
    PtyWire() {
        m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (m_fd >= 0 && ::grantpt(m_fd) == 0 && ::unlockpt(m_fd) == 0)
            m_path = ::ptsname(m_fd);
    }
    ~PtyWire() { hangUp(); }
    PtyWire(const PtyWire&) = delete;
    PtyWire& operator=(const PtyWire&) = delete;

    [[nodiscard]] bool ok() const { return m_fd >= 0 && !m_path.empty(); }
    [[nodiscard]] const std::string& devicePath() const { return m_path; }

    // Writes all bytes (blocking while the line's buffer is full).
    bool send(const std::vector<uint8_t>& bytes) const {
        size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return false;
            done += static_cast<size_t>(n);
        }
        return true;
    }

    // What the program sent: `count` bytes, or what came until the deadline.
    std::vector<uint8_t> receive(size_t count, std::chrono::milliseconds within) const {
        std::vector<uint8_t> got;
        const auto deadline = std::chrono::steady_clock::now() + within;
        while (got.size() < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                break;
            uint8_t byte = 0;
            if (::read(m_fd, &byte, 1) != 1)
                break;
            got.push_back(byte);
        }
        return got;
    }

    // Pulls the cable: the program's side sees the line hang up.
    void hangUp() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd = -1;
    std::string m_path;
};

}  // namespace zrd::test
