#pragma once

// A drive that answers from a traffic recording: each request gets the reply that followed the
// same request in the recording, so that a customer's session can be repeated on a desk.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "cmdmon/traffic_record.h"

namespace zrd::sim {

class ReplayDrive {
public:
    // Takes the recording's requests and the bytes received after each; false with the reason.
    [[nodiscard]] bool load(const std::string& path, std::string& error);
    void load(const std::vector<cmdmon::TrafficLine>& lines);

    // The bytes to send for an unescaped request (command byte first, without start and end
    // byte). A request met n times gets the n-th recorded reply, the last one once they run
    // out. A request the recording does not hold, or one that went unanswered there, gets
    // silence, as from a drive that did not hear it.
    std::optional<std::vector<uint8_t>> answer(const std::vector<uint8_t>& request);

    [[nodiscard]] size_t requestCount() const { return m_entries.size(); }

private:
    struct Entry {
        std::vector<uint8_t> request;               // unescaped
        std::vector<std::vector<uint8_t>> replies;  // as on the line, one per time it was sent
        size_t next = 0;
    };

    std::vector<Entry> m_entries;
};

}  // namespace zrd::sim
