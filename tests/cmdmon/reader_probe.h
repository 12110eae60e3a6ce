#pragma once

// What a PortReader hands over, collected for a test that waits on it with a deadline.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "cmdmon/frame_display.h"
#include "cmdmon/port_reader.h"

namespace zrd::test {

class ReaderProbe {
public:
    using Clock = std::chrono::steady_clock;

    // Starts the reader with callbacks that land here.
    [[nodiscard]] bool start(cmdmon::PortReader& reader) {
        return reader.start(
            [this](std::vector<uint8_t> chunk) {
                std::lock_guard lock(m_mutex);
                m_largestChunk = std::max(m_largestChunk, chunk.size());
                cmdmon::ChunkShown shown = m_display.feed(chunk.data(), chunk.size());
                for (cmdmon::ReceivedLine& line : shown.lines)
                    m_lines.push_back(std::move(line));
                m_changed.notify_all();
            },
            [this](cmdmon::ReaderEnd end, const std::string& reason) {
                std::lock_guard lock(m_mutex);
                m_end = end;
                m_reason = reason;
                m_changed.notify_all();
            });
    }

    // The next complete line, waiting until the deadline; nullopt when none came.
    std::optional<std::vector<uint8_t>> nextLine(Clock::duration within) {
        std::unique_lock lock(m_mutex);
        if (!m_changed.wait_for(lock, within, [&] { return m_taken < m_lines.size(); }))
            return std::nullopt;
        return m_lines[m_taken++].bytes;
    }

    // How the reader ended, waiting until the deadline; nullopt while it still runs.
    std::optional<cmdmon::ReaderEnd> end(Clock::duration within) {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, within, [&] { return m_end.has_value(); });
        return m_end;
    }

    std::string reason() {
        std::lock_guard lock(m_mutex);
        return m_reason;
    }
    size_t largestChunk() {
        std::lock_guard lock(m_mutex);
        return m_largestChunk;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    cmdmon::FrameDisplay m_display;
    std::vector<cmdmon::ReceivedLine> m_lines;
    size_t m_taken = 0;
    size_t m_largestChunk = 0;
    std::optional<cmdmon::ReaderEnd> m_end;
    std::string m_reason;
};

}  // namespace zrd::test
