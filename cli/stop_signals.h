#pragma once

// SIGINT and SIGTERM taken through a descriptor beside the port: a command that runs until
// interrupted (or that must put things back when it is) ends its own way instead of dying.

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include "cli.h"
#include "core/os_error.h"

namespace zrd::cli {

class StopSignals {
public:
    StopSignals() {
        sigemptyset(&m_set);
        sigaddset(&m_set, SIGINT);
        sigaddset(&m_set, SIGTERM);
        if (::sigprocmask(SIG_BLOCK, &m_set, nullptr) != 0)
            throw CliError("cannot wait for signals: " + lastOsErrorText());
        m_fd = ::signalfd(-1, &m_set, SFD_CLOEXEC | SFD_NONBLOCK);
        if (m_fd < 0)
            throw CliError("cannot wait for signals: " + lastOsErrorText());
    }
    ~StopSignals() { ::close(m_fd); }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // A signal arrived since the last look.
    [[nodiscard]] bool arrived() const { return within(0); }
    // Waits up to ms for a signal: the pace of a loop that Ctrl+C must still end at once.
    [[nodiscard]] bool within(int ms) const {
        pollfd p{m_fd, POLLIN, 0};
        return ::poll(&p, 1, ms) > 0 && (p.revents & POLLIN);
    }
    // The descriptor to wait on beside others; readable once a signal arrived.
    [[nodiscard]] int fd() const { return m_fd; }

private:
    sigset_t m_set{};
    int m_fd = -1;
};

}  // namespace zrd::cli
