#include "link/port_lock.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace zrd::link {
namespace {

namespace fs = std::filesystem;

constexpr const char* kLockPrefix = "LCK..";
constexpr const char* kDevPrefix = "/dev/";
// The HDB UUCP format: the pid right-aligned in ten characters and a line end.
constexpr int kLockPidWidth = 10;
constexpr size_t kLongestLockFile = 64;

fs::path resolvedDevice(const fs::path& path) {
    std::error_code ec;
    fs::path resolved = fs::canonical(path, ec);
    return ec ? path : resolved;
}

std::optional<int> parsePid(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos)
        return std::nullopt;
    text.remove_prefix(first);
    int pid = 0;
    const auto [end, fault] = std::from_chars(text.data(), text.data() + text.size(), pid);
    if (fault != std::errc() || pid <= 0)
        return std::nullopt;
    const std::string_view rest(end, static_cast<size_t>(text.data() + text.size() - end));
    if (rest.find_first_not_of(" \t\r\n") != std::string_view::npos)
        return std::nullopt;
    return pid;
}

// A process exists when a signal could reach it; one of another user answers EPERM.
bool processAlive(int pid) {
    return ::kill(pid, 0) == 0 || errno == EPERM;
}

std::string commandName(int pid, const SystemRoots& roots) {
    std::ifstream in(fs::path(roots.proc) / std::to_string(pid) / "comm");
    std::string name;
    std::getline(in, name);
    return name.empty() ? "?" : name;
}

PortHolder holderOf(int pid, const SystemRoots& roots) {
    return {pid, commandName(pid, roots)};
}

std::string readSmallFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::string text(kLongestLockFile, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(std::max<std::streamsize>(in.gcount(), 0)));
    return text;
}

fs::path lockPath(const std::string& device, const SystemRoots& roots) {
    return fs::path(roots.lock) / lockFileName(device);
}

void addHolder(std::vector<PortHolder>& holders, const PortHolder& h) {
    if (std::none_of(holders.begin(), holders.end(),
                     [&](const PortHolder& known) { return known.pid == h.pid; }))
        holders.push_back(h);
}

// The pseudo-terminal numbers whose master side the process holds ("tty-index" of its ptmx
// descriptors).
std::vector<int> masterIndexes(const fs::path& process) {
    std::vector<int> indexes;
    std::error_code ec;
    for (const auto& fd : fs::directory_iterator(process / "fd", ec)) {
        std::error_code linkError;
        const fs::path target = fs::read_symlink(fd.path(), linkError);
        if (linkError || target.filename() != "ptmx")
            continue;
        std::ifstream info(process / "fdinfo" / fd.path().filename());
        std::string line;
        while (std::getline(info, line)) {
            if (!line.starts_with("tty-index:"))
                continue;
            if (const auto n = parsePid(std::string_view(line).substr(line.find(':') + 1)))
                indexes.push_back(*n);
        }
    }
    return indexes;
}

// The number of a pseudo-terminal's slave ("/dev/pts/3" → 3), nullopt for other devices.
std::optional<int> ptyNumber(const fs::path& device) {
    if (device.parent_path().filename() != "pts")
        return std::nullopt;
    return parsePid(device.filename().string());
}

}  // namespace

std::string lockFolderFromEnvironment() {
    const char* folder = std::getenv(kLockFolderVariable);
    return folder != nullptr && *folder != '\0' ? folder : kSystemLockFolder;
}

std::string lockFileName(const std::string& device) {
    std::string path = resolvedDevice(device).string();
    if (path.starts_with(kDevPrefix))
        path.erase(0, std::char_traits<char>::length(kDevPrefix));
    else
        path = fs::path(path).filename().string();
    std::replace(path.begin(), path.end(), '/', '_');
    return kLockPrefix + path;
}

std::optional<PortHolder> lockFileHolder(const std::string& device, const SystemRoots& roots,
                                         bool removeStale) {
    const fs::path path = lockPath(device, roots);
    std::error_code ec;
    if (!fs::exists(path, ec))
        return std::nullopt;
    const std::string text = readSmallFile(path);
    if (const auto pid = parsePid(text); pid && processAlive(*pid))
        return holderOf(*pid, roots);
    // Left behind by a process that ended without removing it.
    if (removeStale)
        fs::remove(path, ec);
    return std::nullopt;
}

std::vector<PortHolder> flockHolders(const std::string& device, const SystemRoots& roots) {
    std::vector<PortHolder> holders;
    struct stat st {};
    if (::stat(device.c_str(), &st) != 0)
        return holders;
    // /proc/locks names the file as "major:minor:inode" of its file system, in hexadecimal.
    char key[64];
    std::snprintf(key, sizeof key, "%02x:%02x:%llu", ::major(st.st_dev), ::minor(st.st_dev),
                  static_cast<unsigned long long>(st.st_ino));
    std::ifstream locks(fs::path(roots.proc) / "locks");
    std::string line;
    while (std::getline(locks, line)) {
        std::istringstream fields(line);
        std::string number, kind, mode, access, pid, file;
        fields >> number >> kind;
        // "->" marks a process that waits for the lock, not one that holds it.
        if (kind == "->" || kind != "FLOCK")
            continue;
        fields >> mode >> access >> pid >> file;
        if (file != key)
            continue;
        if (const auto n = parsePid(pid))
            addHolder(holders, holderOf(*n, roots));
    }
    return holders;
}

std::vector<PortHolder> otherOpeners(const std::string& device, const SystemRoots& roots) {
    const fs::path wanted = resolvedDevice(device);
    const std::optional<int> pty = ptyNumber(wanted);
    std::vector<PortHolder> holders;
    for (const PortHolder& h : findPortHolders(device, roots)) {
        if (h.pid == ::getpid())
            continue;
        if (pty) {
            const std::vector<int> masters =
                masterIndexes(fs::path(roots.proc) / std::to_string(h.pid));
            if (std::find(masters.begin(), masters.end(), *pty) != masters.end())
                continue;
        }
        holders.push_back(h);
    }
    return holders;
}

std::vector<PortHolder> findLockHolders(const std::string& device, const SystemRoots& roots) {
    std::vector<PortHolder> holders;
    if (const auto h = lockFileHolder(device, roots, false))
        addHolder(holders, *h);
    for (const PortHolder& h : flockHolders(device, roots))
        addHolder(holders, h);
    if (!holders.empty())
        return holders;
    // The exclusive mode shows only on an open descriptor. Opened while another process holds
    // the device, the probe is never the last close, so it leaves the line's state alone.
    const std::vector<PortHolder> openers = otherOpeners(device, roots);
    if (openers.empty())
        return holders;
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    int exclusive = 0;
    const bool held =
        fd < 0 ? errno == EBUSY : ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive;
    if (fd >= 0)
        ::close(fd);
    return held ? openers : holders;
}

bool PortLockFile::acquire(const std::string& device, const SystemRoots& roots,
                           PortHolder& holder) {
    release();
    const fs::path path = lockPath(device, roots);
    if (::access(roots.lock.c_str(), W_OK) != 0)
        return true;
    // Written whole under a name of its own, then linked: another program never reads half a
    // pid, and of two programs that link at once only one succeeds.
    const fs::path temporary =
        fs::path(roots.lock) / ("LTMP." + std::to_string(::getpid()) + "." + lockFileName(device));
    char text[kLockPidWidth + 2];
    std::snprintf(text, sizeof text, "%*d\n", kLockPidWidth, static_cast<int>(::getpid()));
    {
        const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return true;
        const auto length = static_cast<ssize_t>(std::char_traits<char>::length(text));
        const bool written = ::write(fd, text, static_cast<size_t>(length)) == length;
        ::close(fd);
        if (!written) {
            ::unlink(temporary.c_str());
            return true;
        }
    }
    // A second try follows the removal of a stale file.
    bool linked = false;
    for (int attempt = 0; attempt < 2 && !linked; ++attempt) {
        if (::link(temporary.c_str(), path.c_str()) == 0) {
            linked = true;
            break;
        }
        if (errno != EEXIST)
            break;
        if (const auto live = lockFileHolder(device, roots, true)) {
            ::unlink(temporary.c_str());
            holder = *live;
            return false;
        }
    }
    ::unlink(temporary.c_str());
    if (linked)
        m_path = path.string();
    return true;
}

void PortLockFile::release() {
    if (m_path.empty())
        return;
    if (parsePid(readSmallFile(m_path)) == ::getpid())
        ::unlink(m_path.c_str());
    m_path.clear();
}

}  // namespace zrd::link
