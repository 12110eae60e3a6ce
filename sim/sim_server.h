#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "control_socket.h"
#include "sim_drive.h"

namespace zrd::sim {

// Runs a SimDrive on a pseudo-terminal (or a given tty) on its own thread, pacing every reply
// at the byte time of the configured baud rate. The same thread advances the drive's clock
// (on every wake and at least every kTick), streams the online oscilloscope's samples on an
// absolute clock (it wakes for each one) and serves the control channel.
class SimServer {
public:
    static constexpr std::chrono::milliseconds kTick{20};

    explicit SimServer(int baudRate = 115200) : m_baudRate(baudRate) {}
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Opens a new pseudo-terminal; false with error() set on failure.
    [[nodiscard]] bool openPty();
    // Opens an existing tty (a real line or one end of a null-modem pair).
    [[nodiscard]] bool openTty(const std::string& path);
    // Listens for the control channel at path (before start()); false with error() set.
    [[nodiscard]] bool openControl(const std::string& path);
    [[nodiscard]] const std::string& controlPath() const { return m_control.path(); }
    // Called on the server's thread once "quit" has been answered.
    void setQuitHandler(std::function<void()> onQuit) { m_onQuit = std::move(onQuit); }
    // Where the server reports failures of the control channel; stderr when not set.
    void setReporter(std::function<void(const std::string&)> report) {
        m_report = std::move(report);
    }

    // Answers every request with what this gives (nullopt: silence) instead of the drive's
    // own answer; set before start(). Called on the server's thread only.
    using Answerer =
        std::function<std::optional<std::vector<uint8_t>>(const std::vector<uint8_t>&)>;
    void setAnswerer(Answerer answerer) { m_answerer = std::move(answerer); }

    // Keeps a symbolic link at path that points at the pseudo-terminal, as udev keeps the
    // /dev/serial/by-id names of an adapter: made now (after openPty), pointed at the new line
    // when the line is plugged in again, removed when it is pulled and when the server stops.
    // A file there that is no symbolic link is left alone (false, error() set).
    [[nodiscard]] bool keepLink(const std::string& path);
    // The line pulled as a cable is: the pseudo-terminal closes (the program sees a hang-up) and
    // the link goes. After backAfter (none: until plug()) a new pseudo-terminal opens and the
    // link points at it. Taken on the server's next turn; a tty the server was given cannot be
    // plugged in again. The drive keeps its memory and state throughout.
    void unplug(std::optional<std::chrono::milliseconds> backAfter = std::nullopt);
    void plug();
    // Times the line came back after unplug() or a hang-up.
    [[nodiscard]] uint64_t plugs() const { return m_plugs.load(); }

    // Starts answering on a background thread.
    void start();
    // Stops the thread and closes the line.
    void stop();

    // Path the program opens: the pseudo-terminal's slave side or the given tty. A line plugged
    // in again has a new one.
    [[nodiscard]] std::string devicePath() const;
    [[nodiscard]] const std::string& error() const { return m_error; }
    [[nodiscard]] int baudRate() const { return m_baudRate; }

    // Runs f on the drive under the server's lock (the thread answers in between).
    void withDrive(const std::function<void(SimDrive&)>& f);
    // Waits until `done` holds for the drive (asked under the lock each time the server's
    // thread has handled something, and at least every kTick) or `bound` has passed; false
    // when it never held.
    [[nodiscard]] bool waitUntil(const std::function<bool(const SimDrive&)>& done,
                                 std::chrono::milliseconds bound);
    // Bytes put on the line so far, replies and streamed frames alike.
    [[nodiscard]] uint64_t bytesSent() const { return m_bytesSent.load(); }
    // The online oscilloscope's stream as it stands.
    [[nodiscard]] ScopeStream scope();
    // How late the samples of the running (or the last) stream were taken against their clock.
    struct StreamTiming {
        uint64_t samples = 0;
        std::chrono::nanoseconds worstLate{0};
        std::chrono::nanoseconds totalLate{0};
    };
    [[nodiscard]] StreamTiming streamTiming();
    // Bytes the line could not deliver because the other end's input buffer was full (the
    // program did not read): lost, as a receiver's overrun loses them.
    [[nodiscard]] uint64_t bytesLost() const { return m_bytesLost.load(); }
    // Bytes the offline recorder put on the line (record frames with their escapes, busy
    // answers and the acknowledge that precedes a record once the ring is full).
    [[nodiscard]] uint64_t recordBytesSent() const { return m_recordBytes.load(); }

private:
    using Clock = std::chrono::steady_clock;

    void run();
    // Runs the drive up to now, but never past the next sample that is due: a sample shows
    // the drive at its own time.
    void advanceDrive();
    void advanceLocked(Clock::time_point to);
    // When the drive's cycle number `cycle` ends on this thread's clock (under the lock).
    [[nodiscard]] Clock::time_point cycleTime(uint64_t cycle) const;
    // Sends the sample frames due by now, each with the drive advanced to its time, back to
    // back when behind; the time until the next one (kTick when not streaming).
    std::chrono::nanoseconds sendSamples();
    // Sends the offline recorder's busy answer when due, or the next piece of its record; the
    // time until it has more (kTick when it has nothing).
    std::chrono::nanoseconds sendRecord();
    // The line is gone: the stream ends with it.
    void lineLost();
    void report(const std::string& text) const;
    void answerFrame(const std::vector<uint8_t>& frame);
    // Sends at the line's byte time, starting when the line is free but not before notBefore
    // (a reply: now; a sample: its due time).
    void sendPaced(const uint8_t* bytes, size_t count, Clock::time_point notBefore = Clock::now());
    // Hands the line's bytes to the other end: the backlog first, then these; what its buffer
    // cannot take waits in the backlog, and what the backlog cannot hold is lost.
    void deliver(const uint8_t* bytes, size_t count);
    // Sends the late and repeated replies that are due; the time until the next one.
    std::chrono::milliseconds sendDue();
    // A hang-up: the line is closed for good, as when a cable is pulled.
    void closeLine();
    // Takes the line requests (unplug, plug, the unplugged line's time to come back); true when
    // a new line was opened.
    bool changeLine();
    // Opens a new pseudo-terminal in place of a closed one and points the link at it.
    bool replug();
    // Points the kept link at the line (made anew in one step).
    [[nodiscard]] bool pointLink();
    void removeLink();
    // Puts a reply or a streamed frame on the line as its fault shapes it, from `notBefore` on.
    void sendShaped(const SimReply& reply, Clock::time_point notBefore);
    [[nodiscard]] bool fail(const std::string& what);

    // A reply sent later while the drive goes on listening.
    struct Scheduled {
        Clock::time_point due;
        std::vector<uint8_t> bytes;
    };

    int m_baudRate;
    int m_fd = -1;        // the side the drive talks on
    bool m_pty = false;   // the line is a pseudo-terminal of our own, which may be opened anew
    int m_keepOpen = -1;  // the pty's slave kept open so that the master never reads EIO
    int m_stopPipe[2] = {-1, -1};
    std::string m_devicePath;  // changed on the server's thread, under m_pathMutex
    mutable std::mutex m_pathMutex;
    std::string m_linkPath;
    std::string m_error;
    // What unplug() and plug() asked for, under the lock: the server's thread takes it.
    struct LineRequest {
        bool unplug = false;
        bool plug = false;
        std::optional<std::chrono::milliseconds> backAfter;
    };
    LineRequest m_lineRequest;
    // When an unplugged line comes back (the server thread's own); max while it waits for plug().
    std::optional<Clock::time_point> m_plugAt;
    std::atomic<uint64_t> m_plugs{0};
    std::mutex m_mutex;
    SimDrive m_drive;
    ControlSocket m_control;
    std::function<void()> m_onQuit;
    Answerer m_answerer;
    std::function<void(const std::string&)> m_report;
    Clock::time_point m_lastAdvance{};
    std::vector<Scheduled> m_outbox;  // the server thread's own
    // The stream's clock, the server thread's own: sample k is due at start + k x period.
    uint64_t m_streamStarts = 0;  // the drive's start count the clock belongs to
    Clock::time_point m_streamStart{};
    uint64_t m_nextSample = 0;
    Clock::time_point m_nextDue = Clock::time_point::max();
    StreamTiming m_timing;  // under the lock
    // When the last byte handed to the line has left it.
    Clock::time_point m_lineFreeAt{};
    std::atomic<uint64_t> m_bytesLost{0};
    std::atomic<uint64_t> m_bytesSent{0};
    // Bytes the line has taken but the other end's buffer has not, as a serial port's driver
    // holds them (up to kLineBufferBytes); the server thread's own.
    std::vector<uint8_t> m_backlog;
    // Told after each turn of the server's loop (see waitUntil).
    std::condition_variable m_turned;
    std::atomic<uint64_t> m_recordBytes{0};
    // The recorder's busy answers: when the next is due, while a stop waits for the ring.
    bool m_busyAnswering = false;
    bool m_recordFlowing = false;  // the last piece sent was part of a record
    Clock::time_point m_nextBusy{};
    std::thread m_thread;
};

}  // namespace zrd::sim
