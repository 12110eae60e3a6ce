// The monitor's receive display fed chunk by chunk: lines, running text and grid.

#include "cmdmon/frame_display.h"

#include <gtest/gtest.h>

#include <vector>

#include "link/frame_codec.h"

namespace zrd::cmdmon {
namespace {

using Bytes = std::vector<uint8_t>;

struct DisplayCase {
    const char* name;
    std::vector<Bytes> chunks;
    std::vector<std::string> lines;  // Memo lines, in order
    std::string running;             // what the running text shows after the last chunk
    std::vector<std::string> hex;    // grid cells 1..10 of the last frame
    std::vector<std::string> decoded;
    std::vector<std::string> pairs;
};

// A frame of n bytes: start byte, n-2 payload bytes 1, 2, ..., end byte.
Bytes longFrame(size_t n) {
    Bytes frame{link::kStartByte};
    for (size_t i = 1; i + 1 < n; ++i)
        frame.push_back(static_cast<uint8_t>(i));
    frame.push_back(link::kEndByte);
    return frame;
}

// Bytes [from, to) of a long frame of n bytes.
Bytes longFramePart(size_t n, size_t from, size_t to) {
    const Bytes frame = longFrame(n);
    return Bytes(frame.begin() + static_cast<long>(from), frame.begin() + static_cast<long>(to));
}

std::string longLine(size_t n) {
    return lineText(longFrame(n));
}

const DisplayCase kCases[] = {
    {"ReplySplitAfterTheIndexIsOneLine",
     {{0xE1, 0x30, 0x0A}, {0xE4, 0x02, 0x05, 0xE2}},
     {"E1 30 0A E4 02 05 E2 "},
     "E1 30 0A E4 02 05 E2 ",
     {"E1", "30", "0A", "E4", "02", "05", "E2", "", "", ""},
     {"225", "48", "10", "228", "225", "5", "226", "", "", ""},
     {"57648", "12298", "2788", "58370", "517", "1506", "", "", ""}},
    {"ThirtyByteFrameShownWholeInItsLine",
     {longFramePart(30, 0, 16), longFramePart(30, 16, 30)},
     {longLine(30)},
     longLine(30),
     {"E1", "01", "02", "03", "04", "05", "06", "07", "08", "09"},
     {"225", "1", "2", "3", "4", "5", "6", "7", "8", "9"},
     {"57601", "258", "515", "772", "1029", "1286", "1543", "1800", "2057"}},
    {"NoiseBeforeTheStartByteGetsItsOwnLine",
     {{0x00, 0x7F}, {0xE1, 0x50, 0x41, 0xE2}},
     {"00 7F ", "E1 50 41 E2 "},
     "E1 50 41 E2 ",
     {"E1", "50", "41", "E2", "", "", "", "", "", ""},
     {"225", "80", "65", "226", "", "", "", "", "", ""},
     {"57680", "20545", "16866", "", "", "", "", "", ""}},
    {"TwoFramesInOneChunkLeaveTheSecondInTheGrid",
     {{0xE1, 0x50, 0x41, 0xE2, 0xE1, 0x51, 0x42, 0xE2, 0xE1, 0x30}},
     {"E1 50 41 E2 ", "E1 51 42 E2 "},
     "E1 30 ",
     {"E1", "51", "42", "E2", "", "", "", "", "", ""},
     {"225", "81", "66", "226", "", "", "", "", "", ""},
     {"57681", "20802", "17122", "", "", "", "", "", ""}},
};

class FrameDisplayTest : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(FrameDisplayTest, ShowsLinesRunningTextAndGrid) {
    const DisplayCase& c = GetParam();
    FrameDisplay display;
    std::vector<std::string> lines;
    std::optional<FrameGrid> grid;
    std::string running;
    for (const Bytes& chunk : c.chunks) {
        const ChunkShown shown = display.feed(chunk.data(), chunk.size());
        for (const ReceivedLine& line : shown.lines)
            lines.push_back(lineText(line.bytes));
        if (shown.grid)
            grid = shown.grid;
        running = shown.runningText;
    }
    EXPECT_EQ(lines, c.lines);
    EXPECT_EQ(running, c.running);
    ASSERT_TRUE(grid.has_value());
    EXPECT_EQ(std::vector<std::string>(grid->hex.begin(), grid->hex.end()), c.hex);
    EXPECT_EQ(std::vector<std::string>(grid->decoded.begin(), grid->decoded.end()), c.decoded);
    EXPECT_EQ(std::vector<std::string>(grid->pairs.begin(), grid->pairs.end()), c.pairs);
}

INSTANTIATE_TEST_SUITE_P(Chunks, FrameDisplayTest, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zrd::cmdmon
