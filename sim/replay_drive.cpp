#include "replay_drive.h"

#include <algorithm>

#include "link/frame_codec.h"

namespace zrd::sim {
namespace {

// The request's payload as the drive's assembler gives it; empty when the bytes are no frame.
std::vector<uint8_t> unescapedRequest(const std::vector<uint8_t>& bytes) {
    link::FrameAssembler assembler;
    for (const uint8_t b : bytes)
        if (assembler.feed(b))
            return assembler.frame();
    return {};
}

}  // namespace

bool ReplayDrive::load(const std::string& path, std::string& error) {
    std::vector<cmdmon::TrafficLine> lines;
    if (!cmdmon::loadTraffic(path, lines, error))
        return false;
    load(lines);
    if (m_entries.empty()) {
        error = path + " holds no request";
        return false;
    }
    return true;
}

void ReplayDrive::load(const std::vector<cmdmon::TrafficLine>& lines) {
    m_entries.clear();
    std::vector<uint8_t>* reply = nullptr;
    for (const cmdmon::TrafficLine& line : lines) {
        if (line.direction == cmdmon::Direction::Received) {
            // What arrived before the first request answers nothing.
            if (reply)
                reply->insert(reply->end(), line.bytes.begin(), line.bytes.end());
            continue;
        }
        reply = nullptr;
        std::vector<uint8_t> request = unescapedRequest(line.bytes);
        if (request.empty())
            continue;
        auto entry = std::find_if(m_entries.begin(), m_entries.end(),
                                  [&](const Entry& e) { return e.request == request; });
        if (entry == m_entries.end()) {
            m_entries.push_back({std::move(request), {}, 0});
            entry = m_entries.end() - 1;
        }
        entry->replies.emplace_back();
        reply = &entry->replies.back();
    }
}

std::optional<std::vector<uint8_t>> ReplayDrive::answer(const std::vector<uint8_t>& request) {
    const auto entry = std::find_if(m_entries.begin(), m_entries.end(),
                                    [&](const Entry& e) { return e.request == request; });
    if (entry == m_entries.end() || entry->replies.empty())
        return std::nullopt;
    const std::vector<uint8_t>& reply = entry->replies[entry->next];
    if (entry->next + 1 < entry->replies.size())
        ++entry->next;
    if (reply.empty())
        return std::nullopt;
    return reply;
}

}  // namespace zrd::sim
