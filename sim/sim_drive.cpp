#include "sim_drive.h"

#include <algorithm>
#include <cctype>

#include "core/parse_int.h"
#include "eeprom_file.h"
#include "link/frame_codec.h"
#include "params/parameter_table.h"

namespace zrd::sim {

namespace lk = zrd::link;

namespace {

bool parseInt(const std::string& text, int& out) {
    const auto value = zrd::parseInt(text);
    if (!value || *value < 0)
        return false;
    out = *value;
    return true;
}

// 0x65 with this argument stores only the parameters the program writes, and says so with
// status 1 (the program shows "data area saved" for it).
constexpr uint8_t kStoreProgramPart = 1;
constexpr uint8_t kProgramPartStored = 1;

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
    else if (name == "hangup" && (arg.empty() || parseInt(arg, f.value)))
        f.kind = FaultKind::HangUp;
    else if (name == "cut" && parseInt(arg, f.value))
        f.kind = FaultKind::Cut;
    else if (name == "late" && parseInt(arg, f.value))
        f.kind = FaultKind::Late;
    else if (name == "duplicate" && parseInt(arg, f.value))
        f.kind = FaultKind::Duplicate;
    else if (name == "noise" && !arg.empty() && lk::parseHex(arg, f.bytes))
        f.kind = FaultKind::Noise;
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
        if (m_silent.test(index))
            return {};
        const uint16_t value = m_answers[index].value_or(m_raw[index]);
        out.push_back(lk::kReplyRead);
        lk::appendEscaped(out, index);
        lk::appendEscaped(out, static_cast<uint8_t>(value >> 8));
        lk::appendEscaped(out, static_cast<uint8_t>(value & 0xFF));
    } else if (code == lk::kCmdWriteParameter && frame.size() >= 4) {
        if (m_silent.test(frame[1]))
            return {};
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
        out.push_back(busy ? lk::kAckStatusRefused : runCommand(frame));
    } else {
        return {};
    }
    out.push_back(lk::kEndByte);
    return out;
}

uint8_t SimDrive::runCommand(const std::vector<uint8_t>& frame) {
    const uint8_t code = frame[0];
    const uint8_t arg = frame.size() >= 2 ? frame[1] : 0;
    switch (code) {
        case lk::kCmdServoOn:
            // "ENMOD" 0 gives the enable to the input alone; a drive with an error stays off.
            if (enableMode() == EnableMode::InputOnly || m_errors != 0)
                return lk::kAckStatusRefused;
            enableFromPc(true);
            return kAckDone;
        case lk::kCmdServoOff:
            if (enableMode() == EnableMode::InputOnly)
                return lk::kAckStatusRefused;
            enableFromPc(false);
            return kAckDone;
        case lk::kCmdStartGenerator:
            return startGenerator();
        case lk::kCmdChirp:
            return prepareChirp();
        case lk::kCmdStopGenerator:
            m_generator = false;
            stateChanged();
            return kAckDone;
        case lk::kCmdStoreEeprom:
            if (arg == kStoreProgramPart)
                return storeEeprom(true) ? kProgramPartStored : lk::kAckStatusRefused;
            return storeEeprom(false) ? kAckDone : lk::kAckStatusRefused;
        case lk::kCmdStoreWorkingParameters:
            return storeEeprom(false) ? kAckDone : lk::kAckStatusRefused;
        case lk::kCmdLoadEeprom:
            loadEeprom();
            return kAckDone;
        case lk::kCmdReset:
            // A reset starts the drive again: the parameters come back from the EEPROM.
            loadEeprom();
            m_errors = 0;
            m_appendixErrors = 0;
            m_pcEnable = false;
            m_generator = false;
            stateChanged();
            return kAckDone;
        case lk::kCmdStartOnlineScope: {
            const uint8_t status =
                offlineMode() ? m_offline.start(arg, offlineSettings()) : startScope(frame);
            // A measurement starts: its noise too.
            if (status == kAckDone)
                m_plant.restartNoise();
            return status;
        }
        case lk::kCmdScope:
            if (offlineMode())
                return m_offline.stop();
            endScope();
            return kAckDone;
        case lk::kCmdCalcPara:
            // Gains and limits do not change under a running loop.
            if (m_recalculation.refuse || m_servoOn)
                return lk::kAckStatusRefused;
            (void)m_recalculation.run(m_raw, m_params);
            ++m_recalculation.runs;
            return kAckDone;
        default:
            return kAckDone;
    }
}

bool SimDrive::offlineMode() const {
    return m_live && static_cast<int>(value(Slot::OSCMOD, 1.0)) == 0;
}

RecorderSettings SimDrive::offlineSettings() const {
    const auto number = [this](std::string_view name, int fallback) {
        const auto index = m_map.find(name);
        if (!index)
            return fallback;
        return static_cast<int>(lk::rawToNumber(m_raw[*index], m_params[*index].isSigned));
    };
    RecorderSettings s;
    s.trigger = number("TRGTYP", 0);
    s.source = number("TRGSRC", 1);
    s.level = number("TRGLEV", 0);
    s.position = number("TRGPOS", 0);
    constexpr std::array<std::string_view, kRecorderChannels> kSignals = {"CH1SEL", "CH2SEL",
                                                                          "CH3SEL", "CH4SEL"};
    for (size_t c = 0; c < kSignals.size(); ++c) {
        s.indexes[c] = scopeSignalIndex(number(kSignals[c], 0));
        s.isSigned[c] = s.indexes[c] && m_params[*s.indexes[c]].isSigned;
    }
    s.triggerIndex = m_map.find("OSCTRG");
    return s;
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

    m_scopeSignalCount = std::min(model.scopeSignalCount(), static_cast<int>(kScopeSignalSlots));
    for (int n = 1; n < m_scopeSignalCount; ++n)
        m_scopeIndexes[static_cast<size_t>(n)] = model.scopeSignal(n).Index;
    m_map.build(model);
    m_recalculation.load(model);
    for (size_t i = 0; i < kGeneratorMnemonics.size(); ++i)
        m_generatorEntries[i] = m_map.entryOf(kGeneratorMnemonics[i]);
    constexpr std::array<std::string_view, kFilterParameterCount> kFilterParts = {
        "TYPE", "NUM0", "NUM1", "NUM2", "DEN1", "DEN2"};
    for (size_t n = 0; n < kFilterSlots; ++n)
        for (size_t k = 0; k < kFilterParts.size(); ++k) {
            std::string mnemonic = "F";
            mnemonic.append(std::to_string(n + 1)).append(kFilterParts[k]);
            m_filterEntries[n * kFilterParts.size() + k] = m_map.entryOf(mnemonic);
        }
    m_plant = ServoPlant{};
    m_pending = {};
    m_live = true;
    m_ownsStatusWords = true;
    m_eeprom = m_raw;
    updateServo();
    updateStatusWords();
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

std::optional<uint8_t> SimDrive::indexOf(std::string_view text) const {
    if (text.empty())
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string_view digits = hex ? text.substr(2) : text;
    const bool number = std::all_of(digits.begin(), digits.end(), [hex](char c) {
        return (c >= '0' && c <= '9') || (hex && std::isxdigit(static_cast<unsigned char>(c)));
    });
    if (number && !digits.empty()) {
        if (digits.size() > 4)
            return std::nullopt;
        const unsigned long v = std::stoul(std::string(digits), nullptr, hex ? 16 : 10);
        if (v >= kIndexCount)
            return std::nullopt;
        return static_cast<uint8_t>(v);
    }
    return m_map.find(text);
}

void SimDrive::setSilent(uint8_t index) {
    m_silent.set(index);
    m_answers[index].reset();
}

void SimDrive::setAnswer(uint8_t index, uint16_t raw) {
    m_silent.reset(index);
    m_answers[index] = raw;
}

void SimDrive::setNormal(uint8_t index) {
    m_silent.reset(index);
    m_answers[index].reset();
}

bool SimDrive::restoredFromEeprom(size_t index) const {
    // Ratings, versions, process values and status words are the drive's own; the EEPROM
    // gives back the parameters only.
    return !m_params[index].known || !m_params[index].readOnly;
}

bool SimDrive::storeEeprom(bool programPartOnly) {
    RawMemory image = m_eeprom;
    for (size_t i = 0; i < kIndexCount; ++i)
        if (!programPartOnly || restoredFromEeprom(i))
            image[i] = m_raw[i];
    if (!m_eepromFile.empty()) {
        std::string error;
        if (!writeEepromFile(m_eepromFile, image, error)) {
            report("EEPROM not stored: " + error);
            return false;
        }
    }
    m_eeprom = image;
    return true;
}

void SimDrive::loadEeprom() {
    for (size_t i = 0; i < kIndexCount; ++i)
        if (restoredFromEeprom(i))
            m_raw[i] = m_eeprom[i];
    if (m_ownsStatusWords)
        updateStatusWords();
}

bool SimDrive::loadEepromFile(const std::string& path, std::string& error) {
    if (!readEepromFile(path, m_eeprom, error))
        return false;
    loadEeprom();
    return true;
}

void SimDrive::report(const std::string& text) const {
    if (m_report)
        m_report(text);
}

void SimDrive::addFault(const Fault& fault) {
    if (fault.kind == FaultKind::HangUp)
        m_framesBeforeHangUp = fault.value;
    else
        m_faults.push_back(fault);
}

void SimDrive::clearFaults() {
    m_faults.clear();
    m_framesBeforeHangUp.reset();
}

std::optional<SimReply> SimDrive::answer(const std::vector<uint8_t>& frame) {
    ++m_framesSeen;
    if (frame.empty())
        return std::nullopt;
    ++m_framesOf[frame.front()];
    if (m_framesBeforeHangUp && (*m_framesBeforeHangUp)-- == 0) {
        m_framesBeforeHangUp.reset();
        SimReply gone;
        gone.hangUp = true;
        return gone;
    }
    const Fault active = m_faults.empty() ? Fault{} : m_faults.front();
    useUpFaults();
    if (active.kind == FaultKind::Silent)
        return std::nullopt;
    SimReply reply;
    reply.bytes = replyTo(frame, active.kind == FaultKind::Refuse, active.kind == FaultKind::Busy);
    if (reply.bytes.empty())
        return std::nullopt;
    applyFault(active, reply);
    ++m_framesAnswered;
    return reply;
}

void SimDrive::applyFault(const Fault& active, SimReply& reply) {
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
                reply.bytes[at] ^= kCorruptMask;
            break;
        case FaultKind::Split:
            reply.splitAt = std::min(static_cast<size_t>(active.at), reply.bytes.size());
            reply.splitPauseMs = active.value;
            break;
        case FaultKind::Cut:
            // Never the end byte, however long the reply.
            reply.bytes.resize(std::min(at, reply.bytes.size() - 1));
            break;
        case FaultKind::Late:
            reply.lateMs = active.value;
            break;
        case FaultKind::Duplicate:
            reply.repeatAfterMs = active.value;
            break;
        case FaultKind::Noise:
            reply.bytes.insert(reply.bytes.begin(), active.bytes.begin(), active.bytes.end());
            break;
        default:
            break;
    }
}

SimReply SimDrive::streamed(std::vector<uint8_t> bytes) {
    SimReply reply;
    reply.bytes = std::move(bytes);
    if (m_streamFaults.empty() || reply.bytes.empty())
        return reply;
    const Fault active = m_streamFaults.front();
    Fault& f = m_streamFaults.front();
    if (active.kind == FaultKind::HangUp) {
        // Counts down the frames it lets pass, then stays until cleared.
        if (f.value-- <= 0)
            reply.hangUp = true;
        return reply;
    }
    if (f.count > 0 && --f.count == 0)
        m_streamFaults.erase(m_streamFaults.begin());
    if (active.kind == FaultKind::Silent)
        reply.bytes.clear();
    else
        applyFault(active, reply);
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
