#include "control_socket.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "core/os_error.h"

namespace zrd::sim {
namespace {

std::string systemError(const std::string& what) {
    return what + ": " + zrd::lastOsErrorText();
}

bool fillAddress(const std::string& path, sockaddr_un& address, std::string& error) {
    address = {};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        error = "control socket path must have 1.." + std::to_string(sizeof address.sun_path - 1) +
                " characters: " + path;
        return false;
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    return true;
}

// True when something answers at the socket path.
bool socketInUse(const sockaddr_un& address) {
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (probe < 0)
        return false;
    const bool inUse =
        ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(probe);
    return inUse;
}

// Sends all of it; a peer that does not read its answers is not waited for.
bool sendAll(int fd, std::string_view text) {
    while (!text.empty()) {
        const ssize_t n = ::send(fd, text.data(), text.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

}  // namespace

bool ControlSocket::listen(const std::string& path, std::string& error) {
    close();
    sockaddr_un address{};
    if (!fillAddress(path, address, error))
        return false;
    struct stat info {};
    if (::lstat(path.c_str(), &info) == 0) {
        if (!S_ISSOCK(info.st_mode)) {
            error = "control socket path exists and is not a socket: " + path;
            return false;
        }
        if (socketInUse(address)) {
            error = "control socket is in use by another simulator: " + path;
            return false;
        }
        if (::unlink(path.c_str()) != 0) {
            error = systemError("cannot remove the stale control socket " + path);
            return false;
        }
    }
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) {
        error = systemError("socket");
        return false;
    }
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd, static_cast<int>(kMaxConnections)) != 0) {
        error = systemError("cannot listen at " + path);
        ::close(fd);
        return false;
    }
    m_listenFd = fd;
    m_path = path;
    return true;
}

void ControlSocket::close() {
    for (Connection& c : m_connections)
        drop(c);
    if (m_listenFd >= 0) {
        ::close(m_listenFd);
        m_listenFd = -1;
        ::unlink(m_path.c_str());
    }
    m_path.clear();
}

size_t ControlSocket::fillPoll(pollfd* fds) const {
    if (m_listenFd < 0)
        return 0;
    size_t n = 0;
    fds[n++] = {m_listenFd, POLLIN, 0};
    for (const Connection& c : m_connections)
        fds[n++] = {c.fd, POLLIN, 0};  // a negative descriptor is skipped by poll()
    return n;
}

bool ControlSocket::serve(const pollfd* fds, size_t count, const Runner& run,
                          const Reporter& report) {
    if (count == 0)
        return false;
    bool quit = false;
    for (size_t i = 0; i < m_connections.size() && i + 1 < count; ++i) {
        Connection& c = m_connections[i];
        if (c.fd >= 0 && fds[i + 1].fd == c.fd && fds[i + 1].revents != 0 &&
            !readFrom(c, run, report, quit))
            drop(c);
    }
    if (fds[0].revents & POLLIN)
        accept(report);
    return quit;
}

void ControlSocket::accept(const Reporter& report) {
    const int fd = ::accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
        if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR)
            report(systemError("control channel: accept"));
        return;
    }
    for (Connection& c : m_connections) {
        if (c.fd < 0) {
            c.fd = fd;
            c.pending.clear();
            return;
        }
    }
    (void)sendAll(fd, "error too many control connections\n");
    ::close(fd);
}

bool ControlSocket::readFrom(Connection& c, const Runner& run, const Reporter& report, bool& quit) {
    char chunk[512];
    const ssize_t n = ::recv(c.fd, chunk, sizeof chunk, 0);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            return true;
        report(systemError("control channel: read"));
        return false;
    }
    if (n == 0) {
        // A last line without its line end still gets its answer before the close.
        if (!c.pending.empty())
            (void)answer(c, c.pending, run, report, quit);
        return false;
    }
    c.pending.append(chunk, static_cast<size_t>(n));
    size_t start = 0;
    for (size_t end = c.pending.find('\n'); end != std::string::npos;
         end = c.pending.find('\n', start)) {
        std::string_view line(c.pending.data() + start, end - start);
        start = end + 1;
        if (!answer(c, line, run, report, quit))
            return false;
    }
    c.pending.erase(0, start);
    if (c.pending.size() > kLongestLine) {
        (void)sendAll(c.fd,
                      "error line longer than " + std::to_string(kLongestLine) + " characters\n");
        return false;
    }
    return true;
}

bool ControlSocket::answer(Connection& c, std::string_view line, const Runner& run,
                           const Reporter& report, bool& quit) {
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const ControlReply reply = run(line);
    if (!sendAll(c.fd, reply.text + "\n")) {
        report(systemError("control channel: answer not sent"));
        return false;
    }
    if (reply.quit) {
        quit = true;
        return false;
    }
    return true;
}

void ControlSocket::drop(Connection& c) {
    if (c.fd >= 0)
        ::close(c.fd);
    c.fd = -1;
    c.pending.clear();
}

}  // namespace zrd::sim
