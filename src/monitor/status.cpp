#include "monitor/status.h"

namespace zrd::monitor {

namespace lk = zrd::link;
namespace pm = zrd::params;

void FrameBits::decode(int column, uint8_t low, uint8_t high) {
    const int base = column * pm::kBitsPerWord;
    for (int b = 0; b < 8; ++b) {
        bits.at(base + b) = (low >> b) & 1;
        bits.at(base + 8 + b) = (high >> b) & 1;
    }
    words.at(column) = static_cast<uint16_t>(low | high << 8);
}

void FrameBits::clear(int column) {
    for (int b = 0; b < pm::kBitsPerWord; ++b)
        bits.at(column * pm::kBitsPerWord + b) = 0;
    words.at(column) = 0;
}

std::vector<std::string> setBitNames(const FrameBits& frame, int column,
                                     const pm::ParameterModel::BitTable& names,
                                     std::string_view language) {
    std::vector<std::string> out;
    for (int b = 0; b < pm::kBitsPerWord; ++b) {
        if (!frame.bit(column, b))
            continue;
        out.push_back(pm::description(names.at(column * pm::kBitsPerWord + b), language));
    }
    return out;
}

std::string countText(int n, bool errors, const pm::MessageTable& messages,
                      std::string_view language) {
    const std::string number = std::to_string(n);
    if (n == 1) {
        // The singular is always the message in the interface language.
        return number + " " + messages.text(errors ? kMsgOneError : kMsgOneWarning, language);
    }
    if (language == "Rus") {
        if (!errors)
            return " " + number + " Предупр.";
        return " " + number + (n >= 2 && n <= 4 ? " ошибки" : " ошибок");
    }
    return number + " " + messages.text(errors ? kMsgErrors : kMsgWarnings, language);
}

std::optional<std::string> setStateText(int state) {
    if (const auto text = pm::parameterSetStateText(state))
        return std::string(*text);
    return std::nullopt;
}

std::optional<uint16_t> StatusPoll::readWord(int word) {
    const auto position = m_model.statusWordPosition(word);
    if (!position)
        return std::nullopt;
    lk::LinkBuffers& b = m_link.buffers();
    lk::clearBuffer(b.request);
    b.request[0] = lk::kRequestRead;
    b.request[1] = m_model.parameter(*position).Index;
    m_link.ReadPar();
    if (b.receive[1] != lk::kReplyRead)
        return std::nullopt;
    lk::decodeReadReply(b.receive);
    return lk::replyRaw(b.receive);
}

void StatusPoll::readInto(int frame, int column, int word) {
    if (const auto value = readWord(word))
        m_frames.at(frame).decode(column, static_cast<uint8_t>(*value & 0xFF),
                                  static_cast<uint8_t>(*value >> 8));
}

StatusTick StatusPoll::tick() {
    StatusTick t;
    const auto main = readWord(pm::kStateBitWords[0]);
    if (!main) {
        if (m_failures < kToleratedFailures) {
            ++m_failures;
            t.outcome = StatusTick::Outcome::Tolerated;
        } else {
            t.outcome = StatusTick::Outcome::WentOffline;
            m_link.state().connected = 0;
            // The next connection starts counting anew.
            m_failures = 0;
        }
        return t;
    }
    t.outcome = StatusTick::Outcome::Online;
    m_link.state().connected = 1;
    m_failures = 0;
    if (m_model.valueOrigin() == pm::kValueOriginStartup)
        m_model.setValueOrigin(0);

    FrameBits& state = m_frames[0];
    state.decode(0, static_cast<uint8_t>(*main & 0xFF), static_cast<uint8_t>(*main >> 8));
    t.readErrors = state.bit(0, kBitErrors);
    t.readWarnings = state.bit(0, kBitWarnings);
    if (t.readErrors)
        readInto(0, 1, pm::kStateBitWords[1]);
    else
        state.clear(1);
    if (t.readWarnings)
        readInto(0, 2, pm::kStateBitWords[2]);
    else
        state.clear(2);
    for (int column = 0; column < kFrameColumns; ++column)
        readInto(1, column, pm::kApplicationBitWords[column]);

    const std::string& language = m_model.language();
    if (t.readErrors) {
        t.errors = setBitNames(state, 1, m_model.stateBits(), language);
        if (!t.errors.empty())
            t.errorCount = countText(static_cast<int>(t.errors.size()), true, m_messages, language);
    }
    if (t.readWarnings) {
        t.warnings = setBitNames(state, 2, m_model.stateBits(), language);
        if (!t.warnings.empty())
            t.warningCount =
                countText(static_cast<int>(t.warnings.size()), false, m_messages, language);
    }
    return t;
}

MonitorValues readMonitorValues(lk::ParameterAccess& access, pm::ParameterModel& model) {
    const auto read = [&](std::string_view mnemonic) -> double {
        const auto position = model.find(mnemonic);
        if (!position)
            return 0;
        model.setCurrentParameter(*position);
        access.ReadParam();
        return model.value(*position);
    };
    MonitorValues v;
    v.speedCommand = read("VSET");
    v.speedActual = read("VACT");
    v.currentCommand = read("ISET");
    v.currentActual = read("IACT");
    v.torqueCommand = read("TSET");
    v.torqueActual = read("TACT");
    const double commandRevolutions = read("PRREV");
    const double commandCounts = read("PRCTS");
    const double encoder = read("ENCR");
    v.positionCommand = positionCounts(commandRevolutions, encoder, commandCounts);
    const double actualRevolutions = read("PFREV");
    const double actualCounts = read("PFCTS");
    v.positionActual = positionCounts(actualRevolutions, encoder, actualCounts);
    v.analogIn = read("AINVOL");
    v.pulseIn = read("PINFRQ");
    v.direction = directionText(v.pulseIn);
    v.followError = read("PERR");
    return v;
}

uint16_t inversionValue(const std::array<bool, 16>& boxes) {
    uint16_t v = 0;
    for (int k = 0; k < 16; ++k)
        if (boxes[k])
            v = static_cast<uint16_t>(v | (1u << k));
    return v;
}

}  // namespace zrd::monitor
