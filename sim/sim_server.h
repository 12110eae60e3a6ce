#pragma once

#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "control_socket.h"
#include "sim_drive.h"

namespace zrd::sim {

// Runs a SimDrive on a pseudo-terminal (or a given tty) on its own thread, pacing every reply
// at the byte time of the configured baud rate. The same thread advances the drive's clock
// (on every wake and at least every kTick) and serves the control channel.
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

    // Starts answering on a background thread.
    void start();
    // Stops the thread and closes the line.
    void stop();

    // Path the program opens: the pseudo-terminal's slave side or the given tty.
    [[nodiscard]] const std::string& devicePath() const { return m_devicePath; }
    [[nodiscard]] const std::string& error() const { return m_error; }

    // Runs f on the drive under the server's lock (the thread answers in between).
    void withDrive(const std::function<void(SimDrive&)>& f);

private:
    void run();
    void advanceDrive();
    void report(const std::string& text) const;
    void answerFrame(const std::vector<uint8_t>& frame);
    void sendPaced(const uint8_t* bytes, size_t count);
    // Sends the late and repeated replies that are due; the time until the next one.
    std::chrono::milliseconds sendDue();
    // A hang-up: the line is closed for good, as when a cable is pulled.
    void closeLine();
    [[nodiscard]] bool fail(const std::string& what);

    // A reply sent later while the drive goes on listening.
    struct Scheduled {
        std::chrono::steady_clock::time_point due;
        std::vector<uint8_t> bytes;
    };

    int m_baudRate;
    int m_fd = -1;        // the side the drive talks on
    int m_keepOpen = -1;  // the pty's slave kept open so that the master never reads EIO
    int m_stopPipe[2] = {-1, -1};
    std::string m_devicePath;
    std::string m_error;
    std::mutex m_mutex;
    SimDrive m_drive;
    ControlSocket m_control;
    std::function<void()> m_onQuit;
    std::function<void(const std::string&)> m_report;
    std::chrono::steady_clock::time_point m_lastAdvance{};
    std::vector<Scheduled> m_outbox;  // the server thread's own
    std::thread m_thread;
};

}  // namespace zrd::sim
