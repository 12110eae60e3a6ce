#include "scope/oscillogram.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace zrd::scope {

namespace {

// printf's "%.Nf" in the C locale; a value no text can hold reads as 0.
std::string fixedDecimals(double value, int decimals) {
    std::array<char, 400> text{};
    const auto r =
        std::to_chars(text.data(), text.data() + text.size(), std::isfinite(value) ? value : 0.0,
                      std::chars_format::fixed, decimals);
    return std::string(text.data(), r.ptr);
}

}  // namespace

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
    // The header goes into files that other PCs read: "." whatever the locale.
    std::string text;
    text.append("Start time : ").append(header.startStamp).append("\r\n");
    text.append("Stop time : ").append(header.stopStamp).append("\r\n");
    text.append("Frequency = ").append(fixedDecimals(header.frequency, 2)).append("\r\n");
    text.append("Tick = ").append(fixedDecimals(header.tick, kind == ScopeKind::Online ? 3 : 5));
    return text;
}

}  // namespace zrd::scope
