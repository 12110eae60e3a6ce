#include "sim_drive.h"

#include <algorithm>

#include "link/frame_codec.h"
#include "params/parameter_table.h"

namespace zrd::sim {

namespace lk = zrd::link;

namespace {

bool parseInt(const std::string& text, int& out) {
    if (text.empty())
        return false;
    size_t used = 0;
    try {
        out = std::stoi(text, &used);
    } catch (...) {
        return false;
    }
    return used == text.size() && out >= 0;
}

}  // namespace

std::optional<Fault> parseFault(const std::string& text) {
    const size_t eq = text.find('=');
    const std::string name = text.substr(0, eq);
    const std::string arg = eq == std::string::npos ? "" : text.substr(eq + 1);
    Fault f;
    if (name == "silent" && arg.empty())
        f.kind = FaultKind::Silent;
    else if (name == "refuse" && arg.empty())
        f.kind = FaultKind::Refuse;
    else if (name == "busy" && arg.empty())
        f.kind = FaultKind::Busy;
    else if (name == "delay" && parseInt(arg, f.value))
        f.kind = FaultKind::Delay;
    else if (name == "drop" && parseInt(arg, f.value))
        f.kind = FaultKind::Drop;
    else if (name == "corrupt" && parseInt(arg, f.value))
        f.kind = FaultKind::Corrupt;
    else if (name == "split") {
        const size_t at = arg.find('@');
        if (!parseInt(arg.substr(0, at), f.value))
            return std::nullopt;
        if (at != std::string::npos && !parseInt(arg.substr(at + 1), f.at))
            return std::nullopt;
        f.kind = FaultKind::Split;
    } else {
        return std::nullopt;
    }
    return f;
}

std::vector<uint8_t> SimDrive::replyTo(const std::vector<uint8_t>& frame, bool refuse, bool busy) {
    std::vector<uint8_t> out{lk::kStartByte};
    const uint8_t code = frame[0];
    if (code == lk::kCmdReadParameter && frame.size() >= 2) {
        const uint8_t index = frame[1];
        out.push_back(lk::kReplyRead);
        lk::appendEscaped(out, index);
        lk::appendEscaped(out, static_cast<uint8_t>(m_raw[index] >> 8));
        lk::appendEscaped(out, static_cast<uint8_t>(m_raw[index] & 0xFF));
    } else if (code == lk::kCmdWriteParameter && frame.size() >= 4) {
        // The verdict echoes the index, so that it reaches the program's 4-byte reply wait.
        const auto raw = static_cast<uint16_t>(frame[2] << 8 | frame[3]);
        if (refuse || !accepts(frame[1], raw)) {
            out.push_back(lk::kReplyRefused);
        } else {
            m_raw[frame[1]] = raw;
            out.push_back(lk::kReplyAccepted);
        }
        lk::appendEscaped(out, frame[1]);
    } else if (code >= lk::kFirstCommandCode && code <= lk::kLastCommandCode) {
        out.push_back(lk::kReplyAck);
        out.push_back(busy ? lk::kAckStatusRefused : 0);
    } else {
        return {};
    }
    out.push_back(lk::kEndByte);
    return out;
}

void SimDrive::loadParameters(const params::ParameterModel& model) {
    std::array<bool, kIndexCount> taken{};
    for (const params::TPar& p : model.parameters()) {
        if (p.Pname.empty() || taken[p.Index])
            continue;
        taken[p.Index] = true;
        m_params[p.Index] = {true, params::isSigned(p), p.pType == params::kReadOnly, p.MinVal,
                             p.MaxVal};
        // The default is in raw units already.
        m_raw[p.Index] = lk::displayToRaw(p.DefValue, 1.0);
    }
    for (const int word : params::kStatusWords)
        m_raw[static_cast<size_t>(word)] = 0;
    m_raw[static_cast<size_t>(params::kStateBitWords[0])] = kIdleStateWord;
    const auto hverName =
        params::kKnownMnemonics[static_cast<size_t>(params::KnownParameter::HVER)];
    // A drive always reports some version: its default, or ours when the database has none.
    if (const auto hver = model.find(hverName); hver && m_raw[model.parameter(*hver).Index] == 0)
        m_raw[model.parameter(*hver).Index] = kHardwareVersion;
}

bool SimDrive::accepts(uint8_t index, uint16_t raw) const {
    const SimParameter& p = m_params[index];
    if (!p.known)
        return true;
    if (p.readOnly)
        return false;
    const int32_t value = lk::rawToNumber(raw, p.isSigned);
    return value >= p.minVal && value <= p.maxVal;
}

std::optional<SimReply> SimDrive::answer(const std::vector<uint8_t>& frame) {
    ++m_framesSeen;
    if (frame.empty())
        return std::nullopt;
    const Fault active = m_faults.empty() ? Fault{} : m_faults.front();
    useUpFaults();
    if (active.kind == FaultKind::Silent)
        return std::nullopt;
    SimReply reply;
    reply.bytes = replyTo(frame, active.kind == FaultKind::Refuse, active.kind == FaultKind::Busy);
    if (reply.bytes.empty())
        return std::nullopt;
    const auto at = static_cast<size_t>(active.value);
    switch (active.kind) {
        case FaultKind::Delay:
            reply.delayMs = active.value;
            break;
        case FaultKind::Drop:
            if (at < reply.bytes.size())
                reply.bytes.erase(reply.bytes.begin() + active.value);
            break;
        case FaultKind::Corrupt:
            if (at < reply.bytes.size())
                reply.bytes[at] ^= 0x5A;
            break;
        case FaultKind::Split:
            reply.splitAt = std::min(static_cast<size_t>(active.at), reply.bytes.size());
            reply.splitPauseMs = active.value;
            break;
        default:
            break;
    }
    ++m_framesAnswered;
    return reply;
}

void SimDrive::useUpFaults() {
    if (m_faults.empty())
        return;
    Fault& f = m_faults.front();
    if (f.count > 0 && --f.count == 0)
        m_faults.erase(m_faults.begin());
}

}  // namespace zrd::sim
