#include "sim_server.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "core/os_error.h"
#include "link/baud_rate_linux.h"
#include "link/frame_codec.h"

namespace zrd::sim {
namespace {

using Clock = std::chrono::steady_clock;

bool makeRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

}  // namespace

SimServer::~SimServer() {
    stop();
}

bool SimServer::fail(const std::string& what) {
    m_error = what + ": " + zrd::lastOsErrorText();
    return false;
}

bool SimServer::openPty() {
    m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        return fail("posix_openpt");
    if (::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0)
        return fail("grantpt");
    char name[128];
    if (::ptsname_r(m_fd, name, sizeof name) != 0)
        return fail("ptsname");
    m_devicePath = name;
    m_keepOpen = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_keepOpen < 0)
        return fail("open " + m_devicePath);
    // Raw from the start, so that a program that does not configure the line sees no echo.
    if (!makeRaw(m_keepOpen))
        return fail("tcsetattr");
    return true;
}

bool SimServer::openTty(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        return fail("open " + path);
    if (!makeRaw(m_fd))
        return fail("tcsetattr");
    // A real line runs at the rate the drive is simulated at; any rate, as the program allows.
    if (!link::setCustomBaudRate(m_fd, m_baudRate))
        return fail("baud rate " + std::to_string(m_baudRate) + " on " + path);
    m_devicePath = path;
    return true;
}

bool SimServer::openControl(const std::string& path) {
    std::string error;
    if (!m_control.listen(path, error)) {
        m_error = error;
        return false;
    }
    return true;
}

void SimServer::start() {
    if (m_thread.joinable() || m_fd < 0)
        return;
    if (::pipe2(m_stopPipe, O_CLOEXEC) != 0) {
        (void)fail("pipe");
        report(m_error);
        return;
    }
    m_lastAdvance = Clock::now();
    m_thread = std::thread([this] { run(); });
}

void SimServer::report(const std::string& text) const {
    if (m_report)
        m_report(text);
    else
        std::fprintf(stderr, "zrd-sim: %s\n", text.c_str());
}

void SimServer::advanceDrive() {
    const auto now = Clock::now();
    std::lock_guard lock(m_mutex);
    m_drive.advance(now - m_lastAdvance);
    m_lastAdvance = now;
}

void SimServer::stop() {
    if (m_thread.joinable()) {
        const char stopByte = 1;
        (void)!::write(m_stopPipe[1], &stopByte, 1);
        m_thread.join();
    }
    for (int* fd : {&m_fd, &m_keepOpen, &m_stopPipe[0], &m_stopPipe[1]}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    m_control.close();
}

void SimServer::withDrive(const std::function<void(SimDrive&)>& f) {
    std::lock_guard lock(m_mutex);
    f(m_drive);
}

void SimServer::run() {
    link::FrameAssembler assembler;
    uint8_t chunk[256];
    int lineFd = m_fd;
    const auto runControl = [this](std::string_view line) {
        std::lock_guard lock(m_mutex);
        return runControlCommand(line, m_drive);
    };
    const auto reportControl = [this](const std::string& text) { report(text); };
    for (;;) {
        const auto wait = std::min(sendDue(), kTick);
        std::array<pollfd, 2 + ControlSocket::kMaxPollFds> fds{};
        if (m_fd < 0)
            lineFd = -1;
        fds[0] = {lineFd, POLLIN, 0};  // -1 once the line hung up: poll() skips it
        fds[1] = {m_stopPipe[0], POLLIN, 0};
        const size_t controlCount = m_control.fillPoll(&fds[2]);
        const int ready = ::poll(fds.data(), 2 + controlCount, static_cast<int>(wait.count()));
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            report(std::string("the simulator stops: poll: ") + zrd::lastOsErrorText());
            return;
        }
        advanceDrive();
        if (fds[1].revents)
            return;
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(lineFd, chunk, sizeof chunk);
            if (n < 0 && errno != EINTR && errno != EAGAIN) {
                report("the line " + m_devicePath + " failed: " + zrd::lastOsErrorText());
                lineFd = -1;
            }
            for (ssize_t i = 0; i < n && m_fd >= 0; ++i) {
                if (assembler.feed(chunk[i]))
                    answerFrame(assembler.frame());
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // A real tty whose other end went away: the control channel goes on alone.
            report("the line " + m_devicePath + " hung up");
            lineFd = -1;
        }
        if (controlCount > 0 && m_control.serve(&fds[2], controlCount, runControl, reportControl) &&
            m_onQuit)
            m_onQuit();
    }
}

void SimServer::answerFrame(const std::vector<uint8_t>& frame) {
    std::optional<SimReply> reply;
    {
        std::lock_guard lock(m_mutex);
        // The drive answers with the state of this very moment.
        const auto now = Clock::now();
        m_drive.advance(now - m_lastAdvance);
        m_lastAdvance = now;
        reply = m_drive.answer(frame);
    }
    if (!reply)
        return;
    if (reply->hangUp) {
        closeLine();
        return;
    }
    // A reply that is delayed or in pieces waits without holding the lock.
    // The request itself took its wire time on a real line before the drive could answer.
    const auto requestTime = std::chrono::nanoseconds(10'000'000'000LL / m_baudRate) *
                             static_cast<long long>(frame.size() + 2);
    std::this_thread::sleep_for(requestTime + std::chrono::milliseconds(reply->delayMs));
    const auto& bytes = reply->bytes;
    if (reply->lateMs > 0) {
        m_outbox.push_back({Clock::now() + std::chrono::milliseconds(reply->lateMs), bytes});
    } else if (reply->splitAt == 0 || reply->splitAt >= bytes.size()) {
        sendPaced(bytes.data(), bytes.size());
    } else {
        sendPaced(bytes.data(), reply->splitAt);
        std::this_thread::sleep_for(std::chrono::milliseconds(reply->splitPauseMs));
        sendPaced(bytes.data() + reply->splitAt, bytes.size() - reply->splitAt);
    }
    if (reply->repeatAfterMs >= 0)
        m_outbox.push_back({Clock::now() + std::chrono::milliseconds(reply->lateMs) +
                                std::chrono::milliseconds(reply->repeatAfterMs),
                            bytes});
}

std::chrono::milliseconds SimServer::sendDue() {
    for (;;) {
        const auto first =
            std::min_element(m_outbox.begin(), m_outbox.end(),
                             [](const Scheduled& a, const Scheduled& b) { return a.due < b.due; });
        if (first == m_outbox.end())
            return kTick;
        const auto now = Clock::now();
        if (first->due > now)
            return std::chrono::ceil<std::chrono::milliseconds>(first->due - now);
        // Taken out first: sending takes the bytes' wire time.
        const std::vector<uint8_t> bytes = std::move(first->bytes);
        m_outbox.erase(first);
        sendPaced(bytes.data(), bytes.size());
    }
}

void SimServer::closeLine() {
    report("hang-up: the line " + m_devicePath + " is closed");
    for (int* fd : {&m_fd, &m_keepOpen}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    m_outbox.clear();
}

void SimServer::sendPaced(const uint8_t* bytes, size_t count) {
    // Each byte leaves when the line would have finished sending the one before it.
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / m_baudRate);
    auto due = Clock::now();
    for (size_t i = 0; i < count; ++i) {
        due += byteTime;
        std::this_thread::sleep_until(due);
        if (m_fd < 0 || (::write(m_fd, bytes + i, 1) < 0 && errno != EINTR))
            return;
    }
}

}  // namespace zrd::sim
