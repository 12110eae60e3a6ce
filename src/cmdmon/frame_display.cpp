#include "cmdmon/frame_display.h"

#include <algorithm>
#include <cstdio>

#include "link/frame_codec.h"

namespace zrd::cmdmon {
namespace {

std::string hex2(uint8_t b) {
    return link::toHex(&b, 1);
}

// The byte after an escape, shown as the byte it stands for.
uint8_t unescaped(uint8_t b) {
    switch (b) {
        case link::kEscapedEscape:
            return link::kEscapeByte;
        case link::kEscapedStart:
            return link::kStartByte;
        case link::kEscapedEnd:
            return link::kEndByte;
        default:
            return b;
    }
}

}  // namespace

std::string lineText(const std::vector<uint8_t>& bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const uint8_t b : bytes)
        text += hex2(b) + ' ';
    return text;
}

FrameGrid gridOf(const std::array<uint8_t, kFrameArrayBytes>& frame, size_t count) {
    FrameGrid grid;
    const size_t shown = std::min(count, kGridBytes);
    for (size_t j = 0; j < shown; ++j) {
        grid.hex[j] = hex2(frame[j]);
        grid.decimal[j] = std::to_string(frame[j]);
        const bool escaped = j > 0 && frame[j - 1] == link::kEscapeByte;
        grid.decoded[j] = std::to_string(escaped ? unescaped(frame[j]) : frame[j]);
        if (j > 0)
            grid.pairs[j - 1] = std::to_string(frame[j - 1] * 256 + frame[j]);
    }
    return grid;
}

ChunkShown FrameDisplay::feed(const uint8_t* bytes, size_t count) {
    ChunkShown shown;
    std::string lastLine;
    for (size_t i = 0; i < count; ++i) {
        const uint8_t b = bytes[i];
        // A start byte never stands inside a frame (it is escaped there): what came before it
        // was no frame, and goes to its own line so that the grid starts at the start byte.
        if (b == link::kStartByte && !m_line.empty())
            endLine(shown, false);
        if (m_line.size() < kFrameArrayBytes)
            m_frame[m_line.size()] = b;
        m_line.push_back(b);
        m_text += hex2(b) + ' ';
        if (b == link::kEndByte) {
            shown.grid = gridOf(m_frame, m_line.size());
            endLine(shown, true);
        } else if (m_line.size() >= kLongestLine) {
            endLine(shown, false);
        }
    }
    shown.runningText =
        !m_text.empty() || shown.lines.empty() ? m_text : lineText(shown.lines.back().bytes);
    return shown;
}

void FrameDisplay::endLine(ChunkShown& shown, bool complete) {
    shown.lines.push_back({std::move(m_line), complete});
    m_line.clear();
    m_text.clear();
    m_frame.fill(0);
}

void FrameDisplay::reset() {
    m_line.clear();
    m_text.clear();
    m_frame.fill(0);
}

}  // namespace zrd::cmdmon
