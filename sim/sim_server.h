#pragma once

#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "sim_drive.h"

namespace zrd::sim {

// Runs a SimDrive on a pseudo-terminal (or a given tty) on its own thread, pacing every reply
// at the byte time of the configured baud rate.
class SimServer {
public:
    explicit SimServer(int baudRate = 115200) : m_baudRate(baudRate) {}
    ~SimServer();
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // Opens a new pseudo-terminal; false with error() set on failure.
    [[nodiscard]] bool openPty();
    // Opens an existing tty (a real line or one end of a null-modem pair).
    [[nodiscard]] bool openTty(const std::string& path);
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
    void answerFrame(const std::vector<uint8_t>& frame);
    void sendPaced(const uint8_t* bytes, size_t count);
    [[nodiscard]] bool fail(const std::string& what);

    int m_baudRate;
    int m_fd = -1;        // the side the drive talks on
    int m_keepOpen = -1;  // the pty's slave kept open so that the master never reads EIO
    int m_stopPipe[2] = {-1, -1};
    std::string m_devicePath;
    std::string m_error;
    std::mutex m_mutex;
    SimDrive m_drive;
    std::thread m_thread;
};

}  // namespace zrd::sim
