#pragma once

#include <poll.h>

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "control_commands.h"

namespace zrd::sim {

// The listening end of the control channel: a Unix-domain stream socket whose connections
// send lines and get one answer line for each. It does no waiting of its own: the owner polls
// the descriptors it hands out and passes the events back.
class ControlSocket {
public:
    static constexpr size_t kMaxConnections = 8;
    static constexpr size_t kMaxPollFds = 1 + kMaxConnections;
    static constexpr size_t kLongestLine = 1024;

    using Runner = std::function<ControlReply(std::string_view line)>;
    using Reporter = std::function<void(const std::string&)>;

    ControlSocket() = default;
    ~ControlSocket() { close(); }
    ControlSocket(const ControlSocket&) = delete;
    ControlSocket& operator=(const ControlSocket&) = delete;

    // Listens at path; a stale socket file left by a dead simulator is replaced, a live one
    // is not. False with the reason in error.
    [[nodiscard]] bool listen(const std::string& path, std::string& error);
    // Closes every connection and removes the socket file.
    void close();
    [[nodiscard]] bool listening() const { return m_listenFd >= 0; }
    [[nodiscard]] const std::string& path() const { return m_path; }

    // Writes the descriptors to poll (at most kMaxPollFds) and returns their number.
    size_t fillPoll(pollfd* fds) const;
    // Serves the events of the descriptors that fillPoll wrote: accepts, reads, answers each
    // complete line with run. Returns true when an answer asked to quit.
    bool serve(const pollfd* fds, size_t count, const Runner& run, const Reporter& report);

private:
    struct Connection {
        int fd = -1;
        std::string pending;
    };

    void accept(const Reporter& report);
    // False when the connection is finished (closed by the peer, failed or asked to quit).
    bool readFrom(Connection& c, const Runner& run, const Reporter& report, bool& quit);
    bool answer(Connection& c, std::string_view line, const Runner& run, const Reporter& report,
                bool& quit);
    void drop(Connection& c);

    int m_listenFd = -1;
    std::string m_path;
    std::array<Connection, kMaxConnections> m_connections{};
};

}  // namespace zrd::sim
