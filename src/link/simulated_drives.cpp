#include "link/simulated_drives.h"

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

namespace zrd::link {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kFallbackFolder = "/tmp";
// Enough for every simulator a person starts; more sockets than this are not all asked.
constexpr size_t kMostSimulators = 64;
// An answer is one short line; a longer one is no answer of a simulator.
constexpr size_t kLongestAnswer = 512;
constexpr std::string_view kOk = "ok ";

// One simulator asked: its socket and what it has answered so far.
struct Asked {
    int fd = -1;
    std::string control;
    int pid = 0;
    std::string answer;
    bool done = false;
};

// Connects without waiting and sends the question; -1 when nobody listens or it cannot be sent.
int ask(const std::string& path, int& pid) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path)
        return -1;
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return -1;
    // A file left by a dead simulator refuses at once (ECONNREFUSED).
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    ucred peer{};
    socklen_t size = sizeof peer;
    pid = ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 ? peer.pid : 0;
    const std::string line = std::string(kSimulatorLineCommand) + "\n";
    if (::send(fd, line.data(), line.size(), MSG_NOSIGNAL | MSG_DONTWAIT) !=
        static_cast<ssize_t>(line.size())) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Reads what is there; done once a line, the end or a failure has come.
void readAnswer(Asked& a) {
    char chunk[256];
    const ssize_t n = ::recv(a.fd, chunk, sizeof chunk, MSG_DONTWAIT);
    if (n < 0 && (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK))
        return;
    if (n > 0)
        a.answer.append(chunk, static_cast<size_t>(n));
    if (n <= 0 || a.answer.find('\n') != std::string::npos || a.answer.size() > kLongestAnswer)
        a.done = true;
}

// The line the answer names, when it is a terminal device's path; empty otherwise.
std::string answeredDevice(const std::string& answer) {
    const size_t end = answer.find('\n');
    if (end == std::string::npos || end > kLongestAnswer || !answer.starts_with(kOk))
        return {};
    const std::string path = answer.substr(kOk.size(), end - kOk.size());
    if (!path.starts_with('/') || std::any_of(path.begin(), path.end(), [](unsigned char c) {
            return c < 0x20 || c == 0x7F;
        }))
        return {};
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISCHR(info.st_mode))
        return {};
    return path;
}

std::vector<std::string> socketsIn(const std::vector<std::string>& folders) {
    std::vector<std::string> found;
    for (const std::string& folder : folders) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(folder, ec)) {
            const std::string name = entry.path().filename().string();
            std::error_code typeError;
            if (name.starts_with(kSimulatorSocketPrefix) &&
                name.ends_with(kSimulatorSocketSuffix) &&
                fs::is_socket(entry.symlink_status(typeError)) && found.size() < kMostSimulators)
                found.push_back(entry.path().string());
        }
    }
    return found;
}

}  // namespace

std::string simulatorSocketFolder() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return runtime && *runtime ? runtime : kFallbackFolder;
}

std::string simulatorSocketPath(const std::string& folder, int pid) {
    return folder + "/" + std::string(kSimulatorSocketPrefix) + std::to_string(pid) +
           std::string(kSimulatorSocketSuffix);
}

std::vector<std::string> simulatorFoldersFromEnvironment() {
    std::vector<std::string> folders{simulatorSocketFolder()};
    std::error_code ec;
    if (!fs::equivalent(folders.front(), kFallbackFolder, ec))
        folders.emplace_back(kFallbackFolder);
    return folders;
}

std::vector<SimulatedDrive> findSimulatedDrives(const std::vector<std::string>& folders,
                                                std::chrono::milliseconds bound) {
    std::vector<Asked> asked;
    for (const std::string& path : socketsIn(folders)) {
        Asked a;
        a.control = path;
        a.fd = ask(path, a.pid);
        if (a.fd >= 0)
            asked.push_back(std::move(a));
    }
    const auto deadline = Clock::now() + bound;
    for (;;) {
        std::vector<pollfd> waits;
        std::vector<Asked*> waiting;
        for (Asked& a : asked) {
            if (!a.done) {
                waits.push_back({a.fd, POLLIN, 0});
                waiting.push_back(&a);
            }
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (waits.empty() || left.count() <= 0)
            break;
        const int ready = ::poll(waits.data(), waits.size(), static_cast<int>(left.count()));
        if (ready < 0 && errno != EINTR)
            break;
        for (size_t i = 0; ready > 0 && i < waits.size(); ++i) {
            if (waits[i].revents != 0)
                readAnswer(*waiting[i]);
        }
    }
    std::vector<SimulatedDrive> drives;
    for (Asked& a : asked) {
        ::close(a.fd);
        const std::string device = answeredDevice(a.answer);
        const bool known = std::any_of(drives.begin(), drives.end(),
                                       [&](const SimulatedDrive& d) { return d.device == device; });
        if (!device.empty() && !known)
            drives.push_back({device, a.control, a.pid});
    }
    std::sort(drives.begin(), drives.end(),
              [](const SimulatedDrive& x, const SimulatedDrive& y) { return x.device < y.device; });
    return drives;
}

}  // namespace zrd::link
