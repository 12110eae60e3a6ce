// The simulated drive's online oscilloscope: the start and stop frames and the sample frames
// that the server's clock takes from the memory.
#include <algorithm>

#include "link/frame_codec.h"
#include "params/parameter_table.h"
#include "sim_drive.h"

namespace zrd::sim {

namespace lk = zrd::link;

static_assert(kScopeSignalSlots == static_cast<size_t>(params::kScopeSignalCount));

std::chrono::microseconds scopePeriod(uint8_t rate) {
    if (rate < kFirstScopeRate || rate > kLastScopeRate)
        return std::chrono::microseconds(0);
    // 1 ms at the first code, doubling with each next one.
    return std::chrono::microseconds(1000 << (rate - kFirstScopeRate));
}

uint8_t SimDrive::startScope(const std::vector<uint8_t>& frame) {
    const auto arg = [&frame](size_t i) -> uint8_t { return i < frame.size() ? frame[i] : 0; };
    const uint8_t rate = arg(1);
    // "OSCMOD" 1 selects the online scope; a bare drive has no such setting and streams.
    const bool online = static_cast<int>(value(Slot::OSCMOD, 1.0)) == 1;
    if (m_scopeFaults.refuse || !online || scopePeriod(rate).count() == 0)
        return lk::kAckStatusRefused;
    m_scope = {true, rate, arg(2), arg(3), 0, 0, m_scope.starts + 1, m_cycles};
    return kAckDone;
}

std::optional<uint8_t> SimDrive::scopeSignalIndex(int signal) const {
    if (signal <= 0)
        return std::nullopt;
    if (!m_live)
        return signal < static_cast<int>(kIndexCount) ? std::optional(static_cast<uint8_t>(signal))
                                                      : std::nullopt;
    if (signal >= m_scopeSignalCount)
        return std::nullopt;
    return m_scopeIndexes[static_cast<size_t>(signal)];
}

std::vector<uint8_t> SimDrive::takeScopeSample() {
    ++m_scope.samples;
    if (m_scopeFaults.mute)
        return {};
    std::vector<uint8_t> out{lk::kStartByte, lk::kReplyScopeSample};
    for (const uint8_t signal : {m_scope.ch1, m_scope.ch2}) {
        // No signal, or a number beyond the list, sends 0.
        const auto index = scopeSignalIndex(signal);
        const uint16_t raw = index ? m_raw[*index] : 0;
        lk::appendEscaped(out, static_cast<uint8_t>(raw >> 8));
        lk::appendEscaped(out, static_cast<uint8_t>(raw & 0xFF));
    }
    ++m_scope.frames;
    const int every = m_scopeFaults.badEndEvery;
    const bool badEnd = every > 0 && m_scope.frames % static_cast<uint64_t>(every) == 0;
    out.push_back(badEnd ? static_cast<uint8_t>(lk::kEndByte ^ kCorruptMask) : lk::kEndByte);
    return out;
}

}  // namespace zrd::sim
