#pragma once

// The command monitor's own port and the thread that reads it. The thread shares nothing with
// the rest of the program but the stop flag: each chunk it reads is handed over by value.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/serial_port.h"

namespace zrd::cmdmon {

// The largest chunk read at once.
inline constexpr size_t kChunkBytes = 16;
// The longest the thread waits before it looks at the stop flag again.
inline constexpr int kReaderPollMs = 20;

// Why the reader ended.
enum class ReaderEnd {
    Stopped,  // stop was asked for
    HungUp,   // the other end went away (adapter unplugged, pseudo-terminal closed)
    Failed,   // the system refused a wait or a read
};

class PortReader {
public:
    // Called on the reader thread with each chunk (1..kChunkBytes bytes).
    using ChunkHandler = std::function<void(std::vector<uint8_t>)>;
    // Called on the reader thread once, as its last act, with the reason in words.
    using EndHandler = std::function<void(ReaderEnd, const std::string&)>;

    PortReader();
    ~PortReader();
    PortReader(const PortReader&) = delete;
    PortReader& operator=(const PortReader&) = delete;

    // Opens the device exclusively, raw, with the line settings; any open port is closed first.
    [[nodiscard]] link::OpenResult open(const std::string& device, const link::LineSettings& line);
    [[nodiscard]] bool isOpen() const { return m_port->isOpen(); }
    [[nodiscard]] std::string lastError() const { return m_port->lastError(); }

    // Starts the thread on the open port; false when the port is not open or a thread runs.
    [[nodiscard]] bool start(ChunkHandler onChunk, EndHandler onEnd);
    // Tells the thread to end; it does so within kReaderPollMs plus one read.
    void requestStop() { m_stop.store(true); }
    // Ends the thread, waits for it, and closes the port.
    void stop();
    // True while a thread has been started and not yet joined.
    [[nodiscard]] bool started() const { return m_thread.joinable(); }

    // Writes a frame (bounded: the port's write gives up on a stalled line); the count written,
    // or -1.
    [[nodiscard]] int write(const uint8_t* data, size_t count);

private:
    static void run(int fd, const std::atomic<bool>& stop, const ChunkHandler& onChunk,
                    const EndHandler& onEnd);

    std::unique_ptr<link::SerialPort> m_port;
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

}  // namespace zrd::cmdmon
