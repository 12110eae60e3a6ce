#pragma once

// Recordings of the traffic on a line: one text line per frame with its time, its direction,
// its bytes in hex and what it means. The format is described in docs/traffic-recording.md.

#include <array>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace zrd::params {
class ParameterModel;
}

namespace zrd::cmdmon {

enum class Direction { Sent, Received };

// The mnemonic of a drive index, empty when the table does not know it.
using IndexNamer = std::function<std::string(uint8_t)>;

// The mnemonics of the drive indexes in the model's table (first entry wins).
IndexNamer namesFrom(const params::ParameterModel& model);

// What a frame means, in words: "read HVER (index 65)", "value HVER (index 65) = 21",
// "command 65 01 00 00", "acknowledge, status 0". The bytes are as they went on the line.
std::string describeFrame(Direction direction, const std::vector<uint8_t>& bytes,
                          const IndexNamer& names);

// Who sent a frame seen on a tap of the line: the program's requests and commands carry their
// own codes, every other frame comes from the drive.
Direction senderOf(const std::vector<uint8_t>& bytes);

struct TrafficLine {
    double seconds = 0;  // since the recording began
    Direction direction = Direction::Sent;
    std::vector<uint8_t> bytes;
    std::string meaning;
};

// "     1.234 > E1 20 41 E2 ; read HVER (index 65)" (without the line end).
std::string formatTrafficLine(const TrafficLine& line);

// Reads a recording; false with the reason (naming the line) in error. Comment lines ("#")
// and empty lines are skipped.
bool loadTraffic(const std::string& path, std::vector<TrafficLine>& lines, std::string& error);
// The same for a recording's text; `name` names it in the error.
bool parseTraffic(const std::string& text, const std::string& name, std::vector<TrafficLine>& lines,
                  std::string& error);

// Writes a recording as the traffic passes, each line at once, so that a crash loses nothing.
class TrafficRecorder {
public:
    explicit TrafficRecorder(IndexNamer names) : m_names(std::move(names)) {}

    // Starts a new file (replacing one of the same name); false with error() set.
    [[nodiscard]] bool open(const std::string& path);
    void close();
    [[nodiscard]] bool isOpen() const { return m_out.is_open(); }
    [[nodiscard]] const std::string& error() const { return m_error; }

    // Records one frame; false when the line could not be written (the recorder closes).
    bool record(Direction direction, const std::vector<uint8_t>& bytes);

private:
    using Clock = std::chrono::steady_clock;

    IndexNamer m_names;
    std::ofstream m_out;
    std::string m_path;
    std::string m_error;
    Clock::time_point m_start;
};

}  // namespace zrd::cmdmon
