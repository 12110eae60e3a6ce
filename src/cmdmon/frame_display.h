#pragma once

// What the command monitor shows of the bytes it receives: the running text of the frame so far,
// one line per frame, and the byte grid of the last complete frame (hex, decimal, decimal with
// the escapes undone, and adjacent bytes paired into 16-bit numbers).

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zrd::cmdmon {

// The frame byte array: bytes past it are shown in the line, never stored.
inline constexpr size_t kFrameArrayBytes = 11;
// Grid cells: bytes 1..10 and the pairs "1-2" .. "9-10".
inline constexpr size_t kGridBytes = 10;
inline constexpr size_t kGridPairs = kGridBytes - 1;
// A line without an end byte is cut here, so that noise cannot grow the text for ever.
inline constexpr size_t kLongestLine = 256;

// The grid of one complete frame; cells past the frame's end are empty.
struct FrameGrid {
    std::array<std::string, kGridBytes> hex;
    std::array<std::string, kGridBytes> decimal;
    std::array<std::string, kGridBytes> decoded;
    std::array<std::string, kGridPairs> pairs;
};

// One line of the received traffic: a frame up to its end byte, or the bytes that stood before
// a start byte without an end (noise, a frame cut short).
struct ReceivedLine {
    std::vector<uint8_t> bytes;
    bool complete = false;  // ended by the end byte
};

// What one chunk changed.
struct ChunkShown {
    std::vector<ReceivedLine> lines;  // in order of arrival
    std::optional<FrameGrid> grid;    // the last frame this chunk completed
    std::string runningText;          // the text to show: the frame so far, else the last line
};

// "E1 30 0A ": each byte as two upper-case hex digits followed by a blank.
std::string lineText(const std::vector<uint8_t>& bytes);

// The grid of a frame from its first kFrameArrayBytes bytes.
FrameGrid gridOf(const std::array<uint8_t, kFrameArrayBytes>& frame, size_t count);

// The receive side of the monitor, fed chunk by chunk as the bytes arrive.
class FrameDisplay {
public:
    ChunkShown feed(const uint8_t* bytes, size_t count);
    // The frame so far, as shown.
    [[nodiscard]] const std::string& runningText() const { return m_text; }
    void reset();

private:
    void endLine(ChunkShown& shown, bool complete);

    std::string m_text;
    std::vector<uint8_t> m_line;  // every byte of the frame so far, up to kLongestLine
    std::array<uint8_t, kFrameArrayBytes> m_frame{};
};

}  // namespace zrd::cmdmon
