#pragma once

// The drive's end of a real pseudo-terminal as a plain byte writer: the link opens the device
// path; the test writes what a drive sends and reads what the program sent.

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zrd::test {

class PtyWire {
public:
    PtyWire() : m_fd(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        if (m_fd >= 0 && ::grantpt(m_fd) == 0 && ::unlockpt(m_fd) == 0)
            m_path = ::ptsname(m_fd);
    }
    ~PtyWire() { hangUp(); }

    [[nodiscard]] const std::string& devicePath() const { return m_path; }

    // Writes every byte, waiting while the line's buffer is full.
    void send(const std::vector<uint8_t>& bytes) const {
        for (size_t done = 0; done < bytes.size();) {
            const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (n <= 0)
                return;
            done += static_cast<size_t>(n);
        }
    }

    // The next `count` bytes the program sent, or fewer when none comes for two seconds.
    std::vector<uint8_t> receive(size_t count) const {
        std::vector<uint8_t> got(count);
        size_t n = 0;
        for (pollfd p{m_fd, POLLIN, 0}; n<count&& ::poll(&p, 1, 2000)> 0;) {
            const ssize_t r = ::read(m_fd, got.data() + n, count - n);
            if (r <= 0)
                break;
            n += static_cast<size_t>(r);
        }
        got.resize(n);
        return got;
    }

    // Pulls the cable: the program's side sees the line hang up.
    void hangUp() {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

private:
    int m_fd;
    std::string m_path;
};

}  // namespace zrd::test
