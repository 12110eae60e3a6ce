#include "cmdmon/traffic_record.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sstream>

#include "core/os_error.h"
#include "core/text_file.h"
#include "link/frame_codec.h"
#include "params/parameter_table.h"

namespace zrd::cmdmon {
namespace {

constexpr const char* kLineEnd = "\r\n";
constexpr char kSentMark = '>';
constexpr char kReceivedMark = '<';
constexpr char kMeaningMark = ';';

std::string hexByte(uint8_t b) {
    return link::toHex(&b, 1);
}

std::string indexText(uint8_t index, const IndexNamer& names) {
    const std::string name = names ? names(index) : std::string();
    const std::string number = "index " + std::to_string(index);
    return name.empty() ? number : name + " (" + number + ")";
}

// The payload of a frame with its escapes resolved; false when the bytes are no frame.
bool payloadOf(const std::vector<uint8_t>& bytes, std::vector<uint8_t>& payload) {
    link::FrameAssembler assembler;
    bool complete = false;
    for (const uint8_t b : bytes)
        complete = assembler.feed(b);
    if (!complete)
        return false;
    payload = assembler.frame();
    return !payload.empty();
}

std::string describeSent(const std::vector<uint8_t>& p, const IndexNamer& names) {
    const uint8_t code = p[0];
    if (code == link::kCmdReadParameter && p.size() == 2)
        return "read " + indexText(p[1], names);
    if (code == link::kCmdWriteParameter && p.size() == 4)
        return "write " + indexText(p[1], names) + " = " + std::to_string(p[2] * 256 + p[3]);
    if (code >= link::kFirstCommandCode && code <= link::kLastCommandCode && p.size() == 4)
        return "command " + hexByte(code) + ' ' + hexByte(p[1]) + ' ' + hexByte(p[2]) + ' ' +
               hexByte(p[3]);
    return "unknown request " + hexByte(code);
}

std::string describeReceived(const std::vector<uint8_t>& p, const IndexNamer& names) {
    const uint8_t code = p[0];
    if (code == link::kReplyRead && p.size() == 4)
        return "value " + indexText(p[1], names) + " = " + std::to_string(p[2] * 256 + p[3]);
    if (code == link::kReplyAccepted && p.size() == 2)
        return "accepted " + indexText(p[1], names);
    if (code == link::kReplyRefused && p.size() == 2)
        return "refused " + indexText(p[1], names);
    if (code == link::kReplyAck && p.size() >= 2)
        return p[1] == link::kAckStatusRefused ? "acknowledge, refused (status 3)"
                                               : "acknowledge, status " + std::to_string(p[1]);
    if (code == link::kReplyScopeSample)
        return "oscilloscope sample";
    return "unknown reply " + hexByte(code);
}

}  // namespace

IndexNamer namesFrom(const params::ParameterModel& model) {
    auto names = std::make_shared<std::array<std::string, 256>>();
    for (int position = 0; position <= model.lastParameter(); ++position) {
        const params::TPar& p = model.parameter(position);
        if (!p.Pname.empty() && (*names)[p.Index].empty())
            (*names)[p.Index] = p.Pname;
    }
    return [names](uint8_t index) { return (*names)[index]; };
}

Direction senderOf(const std::vector<uint8_t>& bytes) {
    std::vector<uint8_t> payload;
    if (!payloadOf(bytes, payload))
        return Direction::Received;
    const uint8_t code = payload[0];
    const bool request = code == link::kCmdReadParameter || code == link::kCmdWriteParameter ||
                         (code >= link::kFirstCommandCode && code <= link::kLastCommandCode);
    return request ? Direction::Sent : Direction::Received;
}

std::string describeFrame(Direction direction, const std::vector<uint8_t>& bytes,
                          const IndexNamer& names) {
    std::vector<uint8_t> payload;
    if (!payloadOf(bytes, payload))
        return "no frame";
    return direction == Direction::Sent ? describeSent(payload, names)
                                        : describeReceived(payload, names);
}

std::string formatTrafficLine(const TrafficLine& line) {
    // "." whatever the locale.
    char seconds[32];
    const auto [end, ec] =
        std::to_chars(seconds, seconds + sizeof seconds, line.seconds, std::chars_format::fixed, 3);
    std::string text(ec == std::errc() ? std::string(seconds, end) : std::string("0.000"));
    constexpr size_t kTimeWidth = 10;
    if (text.size() < kTimeWidth)
        text.insert(0, kTimeWidth - text.size(), ' ');
    text += ' ';
    text += line.direction == Direction::Sent ? kSentMark : kReceivedMark;
    text += ' ' + link::toHex(line.bytes.data(), line.bytes.size());
    if (!line.meaning.empty())
        text += std::string(" ") + kMeaningMark + ' ' + line.meaning;
    return text;
}

bool loadTraffic(const std::string& path, std::vector<TrafficLine>& lines, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path + ": " + lastOsErrorText();
        return false;
    }
    std::stringstream text;
    text << in.rdbuf();
    return parseTraffic(text.str(), path, lines, error);
}

bool parseTraffic(const std::string& content, const std::string& name,
                  std::vector<TrafficLine>& lines, std::string& error) {
    std::istringstream in(content);
    lines.clear();
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        text = std::string(trimmed(text));
        if (text.empty() || text[0] == '#')
            continue;
        const auto bad = [&](const std::string& why) {
            error = name + " line " + std::to_string(number) + ": " + why;
            return false;
        };
        TrafficLine line;
        // "." whatever the locale.
        const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), line.seconds,
                                               std::chars_format::fixed);
        if (ec != std::errc() || !std::isfinite(line.seconds) || line.seconds < 0)
            return bad("no time");
        std::string rest(
            trimmed(std::string_view(text).substr(static_cast<size_t>(end - text.data()))));
        if (rest.empty() || (rest[0] != kSentMark && rest[0] != kReceivedMark))
            return bad("no direction (> or <)");
        line.direction = rest[0] == kSentMark ? Direction::Sent : Direction::Received;
        rest = rest.substr(1);
        const size_t meaning = rest.find(kMeaningMark);
        if (meaning != std::string::npos) {
            line.meaning = std::string(trimmed(std::string_view(rest).substr(meaning + 1)));
            rest = rest.substr(0, meaning);
        }
        if (!link::parseHex(std::string(trimmed(rest)), line.bytes) || line.bytes.empty())
            return bad("no bytes in hex");
        lines.push_back(std::move(line));
    }
    return true;
}

bool TrafficRecorder::open(const std::string& path) {
    close();
    m_out.open(path, std::ios::binary | std::ios::trunc);
    if (!m_out) {
        m_error = "cannot write " + path + ": " + lastOsErrorText();
        return false;
    }
    m_path = path;
    m_start = Clock::now();
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    char stamp[32] = "";
    if (localtime_r(&now, &local))
        std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    m_out << "# QX Torvanta traffic recording, started " << stamp << kLineEnd
          << "# seconds, > sent or < received, bytes in hex ; meaning" << kLineEnd;
    m_out.flush();
    return static_cast<bool>(m_out);
}

void TrafficRecorder::close() {
    if (m_out.is_open())
        m_out.close();
}

bool TrafficRecorder::record(Direction direction, const std::vector<uint8_t>& bytes) {
    if (!m_out.is_open())
        return false;
    TrafficLine line;
    line.seconds = std::chrono::duration<double>(Clock::now() - m_start).count();
    line.direction = direction;
    line.bytes = bytes;
    line.meaning = describeFrame(direction, bytes, m_names);
    m_out << formatTrafficLine(line) << kLineEnd;
    m_out.flush();
    if (!m_out) {
        m_error = "cannot write " + m_path + ": " + lastOsErrorText();
        close();
        return false;
    }
    return true;
}

}  // namespace zrd::cmdmon
