#include "scope/oscillogram.h"

#include <algorithm>
#include <cstdio>

namespace zrd::scope {

std::optional<Rate> rateOfCode(int code) {
    for (const Rate& r : kRates) {
        if (r.code == code)
            return r;
    }
    return std::nullopt;
}

void RecordTable::zeroAll() {
    for (Record& r : m_records)
        r.fill(0.0);
}

void RecordTable::zeroChannels() {
    for (Record& r : m_records)
        std::fill_n(r.begin(), kChannelCount, 0.0);
}

void RecordTable::copySlot(const RecordTable& from, int slot) {
    const size_t s = slotAt(slot);
    for (size_t i = 0; i < m_records.size(); ++i)
        m_records[i].at(s) = from.m_records[i].at(s);
}

std::string makeStamp(std::string_view date, std::string_view time) {
    std::string stamp;
    stamp.append(date).append(" / ").append(time);
    if (stamp.size() > kStampLength)
        stamp.resize(kStampLength);
    return stamp;
}

std::string headerText(const OscillogramHeader& header, ScopeKind kind) {
    // Numbers in the header always use "." (the program runs with the C numeric locale).
    std::array<char, 64> frequency{};
    std::array<char, 64> tick{};
    std::snprintf(frequency.data(), frequency.size(), "%4.2f", header.frequency);
    std::snprintf(tick.data(), tick.size(), kind == ScopeKind::Online ? "%2.3f" : "%2.5f",
                  header.tick);
    std::string text;
    text.append("Start time : ").append(header.startStamp).append("\r\n");
    text.append("Stop time : ").append(header.stopStamp).append("\r\n");
    text.append("Frequency = ").append(frequency.data()).append("\r\n");
    text.append("Tick = ").append(tick.data());
    return text;
}

}  // namespace zrd::scope
