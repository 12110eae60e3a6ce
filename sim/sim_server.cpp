#include "sim_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>

#include "core/os_error.h"
#include "link/baud_rate_linux.h"
#include "link/frame_codec.h"

namespace zrd::sim {
namespace {

bool makeRaw(int fd) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    return ::tcsetattr(fd, TCSANOW, &tio) == 0;
}

// A drive's transmitter never waits for the receiver: what the other end does not take is
// lost (see sendPaced), and the thread stays free to answer and to stop.
bool makeNonBlocking(int fd) {
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) == 0;
}

timespec toTimespec(std::chrono::nanoseconds wait) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(wait);
    return {static_cast<time_t>(seconds.count()), static_cast<long>((wait - seconds).count())};
}

}  // namespace

SimServer::~SimServer() {
    stop();
}

bool SimServer::fail(const std::string& what) {
    m_error = what + ": " + zrd::lastOsErrorText();
    return false;
}

std::string SimServer::devicePath() const {
    std::lock_guard lock(m_pathMutex);
    return m_devicePath;
}

bool SimServer::openPty() {
    m_fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0 || !makeNonBlocking(m_fd))
        return fail("posix_openpt");
    if (::grantpt(m_fd) != 0 || ::unlockpt(m_fd) != 0)
        return fail("grantpt");
    char name[128];
    if (::ptsname_r(m_fd, name, sizeof name) != 0)
        return fail("ptsname");
    {
        std::lock_guard lock(m_pathMutex);
        m_devicePath = name;
    }
    m_pty = true;
    m_keepOpen = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_keepOpen < 0)
        return fail(std::string("open ") + name);
    // Raw from the start, so that a program that does not configure the line sees no echo.
    if (!makeRaw(m_keepOpen))
        return fail("tcsetattr");
    return true;
}

bool SimServer::openTty(const std::string& path) {
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_fd < 0)
        return fail("open " + path);
    if (!makeRaw(m_fd) || !makeNonBlocking(m_fd))
        return fail("tcsetattr");
    // A real line runs at the rate the drive is simulated at; any rate, as the program allows.
    if (!link::setCustomBaudRate(m_fd, m_baudRate))
        return fail("baud rate " + std::to_string(m_baudRate) + " on " + path);
    std::lock_guard lock(m_pathMutex);
    m_devicePath = path;
    return true;
}

bool SimServer::keepLink(const std::string& path) {
    struct stat st {};
    // Never in place of a device or a file of someone else's: only a link of ours is replaced.
    if (::lstat(path.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
        m_error = path + " exists and is no symbolic link";
        return false;
    }
    m_linkPath = path;
    if (!pointLink()) {
        m_linkPath.clear();
        return false;
    }
    return true;
}

bool SimServer::pointLink() {
    if (m_linkPath.empty())
        return true;
    // Made beside it and renamed over it: a program that looks never finds it half made.
    const std::string fresh = m_linkPath + ".new";
    ::unlink(fresh.c_str());
    if (::symlink(devicePath().c_str(), fresh.c_str()) != 0)
        return fail("symlink " + fresh);
    if (::rename(fresh.c_str(), m_linkPath.c_str()) != 0) {
        ::unlink(fresh.c_str());
        return fail("rename " + fresh);
    }
    return true;
}

void SimServer::removeLink() {
    if (m_linkPath.empty())
        return;
    // Only while it still points at this server's line: a newer simulator may have taken it.
    char target[256];
    const ssize_t n = ::readlink(m_linkPath.c_str(), target, sizeof target - 1);
    if (n > 0 && std::string(target, static_cast<size_t>(n)) == devicePath())
        ::unlink(m_linkPath.c_str());
}

void SimServer::unplug(std::optional<std::chrono::milliseconds> backAfter) {
    std::lock_guard lock(m_mutex);
    m_lineRequest = {.unplug = true, .plug = false, .backAfter = backAfter};
}

void SimServer::plug() {
    std::lock_guard lock(m_mutex);
    m_lineRequest = {.unplug = false, .plug = true, .backAfter = std::nullopt};
}

bool SimServer::changeLine() {
    LineRequest request;
    {
        std::lock_guard lock(m_mutex);
        request = std::exchange(m_lineRequest, LineRequest{});
    }
    if (request.unplug) {
        if (m_fd >= 0)
            closeLine();
        removeLink();
        m_plugAt = request.backAfter ? Clock::now() + *request.backAfter : Clock::time_point::max();
    }
    const bool due = request.plug || (m_plugAt && Clock::now() >= *m_plugAt);
    if (!due || m_fd >= 0)
        return false;
    m_plugAt.reset();
    return replug();
}

bool SimServer::replug() {
    if (!m_pty) {
        report("the line " + devicePath() +
               " cannot be plugged in again: it is no pseudo-terminal");
        return false;
    }
    if (!openPty() || !pointLink()) {
        report("the line does not come back: " + m_error);
        return false;
    }
    ++m_plugs;
    report("plugged in: the line is " + devicePath());
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
    const auto to = std::min(Clock::now(), m_nextDue);
    std::lock_guard lock(m_mutex);
    advanceLocked(to);
}

void SimServer::advanceLocked(Clock::time_point to) {
    if (to <= m_lastAdvance)
        return;
    m_drive.advance(to - m_lastAdvance);
    m_lastAdvance = to;
}

SimServer::Clock::time_point SimServer::cycleTime(uint64_t cycle) const {
    const auto lastCycle = m_lastAdvance - m_drive.sinceLastCycle();
    const auto cycles = static_cast<int64_t>(cycle) - static_cast<int64_t>(m_drive.cycles());
    return lastCycle + ServoPlant::kStep * cycles;
}

void SimServer::stop() {
    if (m_thread.joinable()) {
        const char stopByte = 1;
        (void)!::write(m_stopPipe[1], &stopByte, 1);
        m_thread.join();
    }
    // Once: a pseudo-terminal of the same number may be another simulator's by the next stop.
    removeLink();
    m_linkPath.clear();
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

bool SimServer::waitUntil(const std::function<bool(const SimDrive&)>& done,
                          std::chrono::milliseconds bound) {
    std::unique_lock lock(m_mutex);
    return m_turned.wait_for(lock, bound, [&] { return done(m_drive); });
}

ScopeStream SimServer::scope() {
    std::lock_guard lock(m_mutex);
    return m_drive.scope();
}

SimServer::StreamTiming SimServer::streamTiming() {
    std::lock_guard lock(m_mutex);
    return m_timing;
}

void SimServer::run() {
    link::FrameAssembler assembler;
    uint8_t chunk[256];
    int lineFd = m_fd;
    const auto runControl = [this](std::string_view line) {
        std::lock_guard lock(m_mutex);
        ControlReply reply = runControlCommand(line, m_drive);
        if (reply.line && !m_pty) {
            reply.text = "error the line is a tty of its own: it cannot be pulled";
        } else if (reply.line && reply.line->unplug) {
            const auto back = reply.line->backAfterMs;
            m_lineRequest = {
                .unplug = true,
                .plug = false,
                .backAfter = back ? std::optional(std::chrono::milliseconds(*back)) : std::nullopt};
        } else if (reply.line) {
            m_lineRequest = {.unplug = false, .plug = true, .backAfter = std::nullopt};
        }
        return reply;
    };
    const auto reportControl = [this](const std::string& text) { report(text); };
    for (;;) {
        using std::chrono::nanoseconds;
        const nanoseconds wait =
            std::min({nanoseconds(sendDue()), sendSamples(), sendRecord(), nanoseconds(kTick)});
        std::array<pollfd, 2 + ControlSocket::kMaxPollFds> fds{};
        if (changeLine()) {
            lineFd = m_fd;
            // A frame begun on the old line is no part of the new one's.
            assembler.reset();
        }
        if (m_fd < 0)
            lineFd = -1;
        // -1 once the line hung up: poll() skips it. A backlog waits for room at the other end.
        fds[0] = {lineFd, static_cast<short>(POLLIN | (m_backlog.empty() ? 0 : POLLOUT)), 0};
        fds[1] = {m_stopPipe[0], POLLIN, 0};
        const size_t controlCount = m_control.fillPoll(&fds[2]);
        // To the microsecond: a stream at 1 ms cannot wait in whole milliseconds.
        const timespec timeout = toTimespec(std::max(wait, std::chrono::nanoseconds(0)));
        const int ready = ::ppoll(fds.data(), 2 + controlCount, &timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            report(std::string("the simulator stops: poll: ") + zrd::lastOsErrorText());
            return;
        }
        advanceDrive();
        if (fds[1].revents)
            return;
        if (fds[0].revents & POLLOUT)
            deliver(nullptr, 0);
        if (fds[0].revents & POLLIN) {
            const ssize_t n = ::read(lineFd, chunk, sizeof chunk);
            if (n < 0 && errno != EINTR && errno != EAGAIN) {
                report("the line " + m_devicePath + " failed: " + zrd::lastOsErrorText());
                lineFd = -1;
                lineLost();
            }
            for (ssize_t i = 0; i < n && m_fd >= 0; ++i) {
                if (!assembler.feed(chunk[i]))
                    continue;
                // Samples due before the frame arrived go out before its answer.
                (void)sendSamples();
                answerFrame(assembler.frame());
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            // A real tty whose other end went away: the control channel goes on alone.
            report("the line " + m_devicePath + " hung up");
            lineFd = -1;
            lineLost();
        }
        if (controlCount > 0 && m_control.serve(&fds[2], controlCount, runControl, reportControl) &&
            m_onQuit)
            m_onQuit();
        m_turned.notify_all();
    }
}

void SimServer::answerFrame(const std::vector<uint8_t>& frame) {
    std::optional<SimReply> reply;
    if (m_answerer) {
        if (auto bytes = m_answerer(frame)) {
            reply.emplace();
            reply->bytes = std::move(*bytes);
        }
    } else {
        std::lock_guard lock(m_mutex);
        // The drive answers with the state of this very moment (a streamed sample due in
        // between is taken at its own time after it).
        advanceLocked(std::min(Clock::now(), m_nextDue));
        reply = m_drive.answer(frame);
    }
    if (!reply)
        return;
    // A reply that is delayed or in pieces waits without holding the lock.
    // The request itself took its wire time on a real line before the drive could answer.
    const auto requestTime = std::chrono::nanoseconds(10'000'000'000LL / m_baudRate) *
                             static_cast<long long>(frame.size() + 2);
    sendShaped(*reply, Clock::now() + requestTime);
}

void SimServer::sendShaped(const SimReply& reply, Clock::time_point notBefore) {
    using std::chrono::milliseconds;
    if (reply.hangUp) {
        closeLine();
        return;
    }
    const auto& bytes = reply.bytes;
    const auto start = notBefore + milliseconds(reply.delayMs);
    if (reply.lateMs > 0) {
        m_outbox.push_back({start + milliseconds(reply.lateMs), bytes});
    } else if (reply.splitAt == 0 || reply.splitAt >= bytes.size()) {
        // Waits for the delay first: a slow drive hears nothing meanwhile.
        std::this_thread::sleep_until(start);
        sendPaced(bytes.data(), bytes.size(), start);
    } else {
        std::this_thread::sleep_until(start);
        sendPaced(bytes.data(), reply.splitAt, start);
        std::this_thread::sleep_for(milliseconds(reply.splitPauseMs));
        sendPaced(bytes.data() + reply.splitAt, bytes.size() - reply.splitAt);
    }
    if (reply.repeatAfterMs >= 0)
        m_outbox.push_back(
            {Clock::now() + milliseconds(reply.lateMs) + milliseconds(reply.repeatAfterMs), bytes});
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

std::chrono::nanoseconds SimServer::sendSamples() {
    // Only the samples due now: a line too slow for the rate must not keep the thread from
    // answering; the stream then lags, and no sample is skipped.
    const auto now = Clock::now();
    for (;;) {
        SimReply shaped;
        Clock::time_point due;
        {
            std::lock_guard lock(m_mutex);
            const ScopeStream& stream = m_drive.scope();
            if (!stream.streaming || m_fd < 0) {
                m_nextDue = Clock::time_point::max();
                return kTick;
            }
            if (stream.starts != m_streamStarts) {
                // A new start frame: the first sample shows the drive in the cycle that took
                // it, and each next one a whole number of cycles later, however late this
                // thread woke.
                m_streamStarts = stream.starts;
                m_streamStart = cycleTime(stream.startCycle);
                m_nextSample = 0;
                m_timing = {};
            }
            m_nextDue =
                m_streamStart + scopePeriod(stream.rate) * static_cast<int64_t>(m_nextSample);
            if (m_nextDue > now)
                return std::max(m_nextDue - Clock::now(), Clock::duration::zero());
            due = m_nextDue;
            advanceLocked(due);
            shaped = m_drive.streamed(m_drive.takeScopeSample());
            ++m_nextSample;
            const auto late = std::chrono::nanoseconds(Clock::now() - due);
            ++m_timing.samples;
            m_timing.worstLate = std::max(m_timing.worstLate, late);
            m_timing.totalLate += late;
        }
        // On the stream's own timeline: a thread that woke late catches up at once.
        sendShaped(shaped, due);
        if (m_fd < 0)
            return kTick;
    }
}

std::chrono::nanoseconds SimServer::sendRecord() {
    // About 5 ms of the line at 115200 baud: the thread answers frames in between.
    constexpr size_t kFramesPerPiece = 8;
    SimReply shaped;
    // The pieces of a record follow each other on the line's own clock: a late wake-up
    // between two of them does not leave the line idle.
    Clock::time_point notBefore = m_recordFlowing ? m_lineFreeAt : Clock::now();
    {
        std::lock_guard lock(m_mutex);
        OfflineRecorder& recorder = m_drive.offline();
        m_recordFlowing = false;
        if (m_fd < 0)
            return kTick;
        const auto now = Clock::now();
        if (recorder.busy()) {
            // The stop's own answer was the first busy answer.
            if (!m_busyAnswering) {
                m_busyAnswering = true;
                m_nextBusy = now + kBusyReplyInterval;
            }
            if (now < m_nextBusy)
                return m_nextBusy - now;
            m_nextBusy += kBusyReplyInterval;
            shaped.bytes = {link::kStartByte, link::kReplyAck, link::kAckStatusRefused,
                            link::kEndByte};
        } else {
            m_busyAnswering = false;
            std::vector<uint8_t> piece = recorder.takeRecord(kFramesPerPiece);
            if (piece.empty())
                return kTick;
            m_recordFlowing = true;
            shaped = m_drive.streamed(std::move(piece));
        }
    }
    m_recordBytes += shaped.bytes.size();
    sendShaped(shaped, notBefore);
    return std::chrono::nanoseconds(0);
}

void SimServer::lineLost() {
    std::lock_guard lock(m_mutex);
    m_drive.endScope();
    m_drive.offline().abandon();
}

void SimServer::closeLine() {
    report("hang-up: the line " + devicePath() + " is closed");
    // The stream ends first: whoever sees the line go sees the stream gone.
    lineLost();
    for (int* fd : {&m_fd, &m_keepOpen}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
    m_outbox.clear();
    m_backlog.clear();
}

void SimServer::sendPaced(const uint8_t* bytes, size_t count, Clock::time_point notBefore) {
    // Each byte leaves when the line would have finished sending the one before it, on the
    // line's own clock: a late wake-up does not stretch the bytes that follow, so frames sent
    // back to back fill the line exactly. The bytes already due go out in one write: a thread
    // that woke late catches up without handing the other end a byte at a time.
    const auto byteTime = std::chrono::nanoseconds(10'000'000'000LL / m_baudRate);
    auto due = std::max(notBefore, m_lineFreeAt);
    size_t sent = 0;
    while (sent < count) {
        std::this_thread::sleep_until(due + byteTime);
        if (m_fd < 0)
            return;
        const auto now = Clock::now();
        size_t run = 0;
        while (sent + run < count && due + byteTime <= now) {
            due += byteTime;
            ++run;
        }
        m_lineFreeAt = due;
        deliver(bytes + sent, run);
        sent += run;
    }
}

void SimServer::deliver(const uint8_t* bytes, size_t count) {
    // A serial port's driver holds 64 KiB for a reader that is held back; a pseudo-terminal
    // holds a few, so the line keeps the difference itself.
    constexpr size_t kLineBufferBytes = 64 * 1024;
    if (m_fd < 0)
        return;
    m_backlog.insert(m_backlog.end(), bytes, bytes + count);
    if (m_backlog.empty())
        return;
    const ssize_t n = ::write(m_fd, m_backlog.data(), m_backlog.size());
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
        m_backlog.clear();
        return;
    }
    const auto written = static_cast<size_t>(std::max<ssize_t>(n, 0));
    m_bytesSent += written;
    m_backlog.erase(m_backlog.begin(), m_backlog.begin() + static_cast<std::ptrdiff_t>(written));
    // Beyond the driver's buffer the newest bytes are lost, as in a receiver's overrun.
    if (m_backlog.size() > kLineBufferBytes) {
        m_bytesLost += m_backlog.size() - kLineBufferBytes;
        m_backlog.resize(kLineBufferBytes);
    }
}

}  // namespace zrd::sim
