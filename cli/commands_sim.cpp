// zrdctl sim: one command on the simulated drive's control channel.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>

#include "cli.h"
#include "core/os_error.h"

namespace zrd::cli {
namespace {

using Clock = std::chrono::steady_clock;

// The simulator answers at once; this only bounds a simulator that hangs.
constexpr std::chrono::milliseconds kAnswerWait{5000};
constexpr const char* kControlVariable = "ZRD_SIM_CONTROL";
constexpr const char* kSimUsage = "sim [--control PATH] COMMAND...";

// Closes the socket on every way out.
class Socket {
public:
    Socket() : m_fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0)) {}
    ~Socket() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    [[nodiscard]] int fd() const { return m_fd; }

private:
    int m_fd;
};

std::string systemError(const std::string& what) {
    return what + ": " + zrd::lastOsErrorText();
}

void connectTo(const Socket& s, const std::string& path) {
    if (s.fd() < 0)
        throw LinkError(systemError("socket"));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        throw UsageError("control socket path too long: " + path);
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    if (::connect(s.fd(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        throw LinkError(systemError("cannot reach the simulator at " + path));
}

void sendLine(const Socket& s, const std::string& line) {
    const std::string text = line + "\n";
    size_t sent = 0;
    while (sent < text.size()) {
        const ssize_t n = ::send(s.fd(), text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            throw LinkError(systemError("cannot send to the simulator"));
        sent += static_cast<size_t>(n);
    }
}

std::string readLine(const Socket& s) {
    const auto deadline = Clock::now() + kAnswerWait;
    std::string text;
    for (;;) {
        const size_t end = text.find('\n');
        if (end != std::string::npos)
            return text.substr(0, end);
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() <= 0)
            throw LinkError("the simulator did not answer within " +
                            std::to_string(kAnswerWait.count()) + " ms");
        pollfd p{s.fd(), POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready < 0)
            throw LinkError(systemError("poll"));
        if (ready == 0)
            continue;
        char chunk[512];
        const ssize_t n = ::recv(s.fd(), chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            throw LinkError(systemError("cannot read the simulator's answer"));
        if (n == 0)
            throw LinkError("the simulator closed the control channel without an answer");
        text.append(chunk, static_cast<size_t>(n));
    }
}

int simCommand(const Args& argsIn, const GlobalOptions&) {
    Args args = argsIn;
    std::string path;
    if (const char* env = std::getenv(kControlVariable))
        path = env;
    if (!args.empty() && args[0] == "--control") {
        if (args.size() < 2)
            throw UsageError("--control needs a value");
        path = args[1];
        args.erase(args.begin(), args.begin() + 2);
    }
    if (path.empty() || args.empty())
        throw UsageError(std::string("usage: ") + kSimUsage + " (or the path in " +
                         kControlVariable + ")");
    std::string line;
    for (const std::string& word : args) {
        if (word.find_first_of("\r\n") != std::string::npos)
            throw UsageError("a command is one line");
        line += (line.empty() ? "" : " ") + word;
    }
    Socket socket;
    connectTo(socket, path);
    sendLine(socket, line);
    const std::string answer = readLine(socket);
    if (answer == "ok" || answer.starts_with("ok ")) {
        std::printf("%s\n", answer.c_str());
        return 0;
    }
    std::fprintf(stderr, "zrdctl: sim: %s\n", answer.c_str());
    return 1;
}

}  // namespace

void addSimCommands(CommandList& list) {
    list.push_back({"sim", kSimUsage, simCommand,
                    "Sends one command to a running simulated drive and prints its answer.\n"
                    "PATH is the drive's control socket ($ZRD_SIM_CONTROL when not given); the "
                    "commands are in docs/simulator.md. Exit status 1 when the simulator refuses "
                    "the command, 3 when it cannot be reached."});
}

}  // namespace zrd::cli
