#include "session/status_poll.h"

namespace zrd::session {

namespace pm = zrd::params;
namespace mn = zrd::monitor;

std::optional<uint16_t> StatusPoll::readWord(int word) {
    const auto position = m_model.statusWordPosition(word);
    if (!position)
        return std::nullopt;
    return m_link.readIndex(m_model.parameter(*position).Index);
}

void StatusPoll::readInto(int frame, int column, int word) {
    if (const auto value = readWord(word))
        m_frames.at(frame).decode(column, static_cast<uint8_t>(*value & 0xFF),
                                  static_cast<uint8_t>(*value >> 8));
}

mn::StatusTick StatusPoll::tick() {
    mn::StatusTick t;
    const auto main = readWord(pm::kStateBitWords[0]);
    if (!main) {
        if (m_failures < mn::kToleratedFailures) {
            ++m_failures;
            t.outcome = mn::StatusTick::Outcome::Tolerated;
        } else {
            t.outcome = mn::StatusTick::Outcome::WentOffline;
            m_link.state().connected = 0;
            // The next connection starts counting anew.
            m_failures = 0;
        }
        return t;
    }
    t.outcome = mn::StatusTick::Outcome::Online;
    m_link.state().connected = 1;
    m_failures = 0;
    if (m_model.valueOrigin() == pm::kValueOriginStartup)
        m_model.setValueOrigin(0);

    mn::FrameBits& state = m_frames[0];
    state.decode(0, static_cast<uint8_t>(*main & 0xFF), static_cast<uint8_t>(*main >> 8));
    t.readErrors = state.bit(0, mn::kBitErrors);
    t.readWarnings = state.bit(0, mn::kBitWarnings);
    if (t.readErrors)
        readInto(0, 1, pm::kStateBitWords[1]);
    else
        state.clear(1);
    if (t.readWarnings)
        readInto(0, 2, pm::kStateBitWords[2]);
    else
        state.clear(2);
    for (int column = 0; column < mn::kFrameColumns; ++column)
        readInto(1, column, pm::kApplicationBitWords[column]);

    const std::string& language = m_model.language();
    if (t.readErrors) {
        t.errors = mn::setBitNames(state, 1, m_model.stateBits(), language);
        if (!t.errors.empty())
            t.errorCount =
                mn::countText(static_cast<int>(t.errors.size()), true, m_messages, language);
    }
    if (t.readWarnings) {
        t.warnings = mn::setBitNames(state, 2, m_model.stateBits(), language);
        if (!t.warnings.empty())
            t.warningCount =
                mn::countText(static_cast<int>(t.warnings.size()), false, m_messages, language);
    }
    return t;
}

mn::MonitorValues readMonitorValues(ParameterAccess& access, pm::ParameterModel& model) {
    const auto read = [&](std::string_view mnemonic) -> double {
        const auto position = model.find(mnemonic);
        if (!position)
            return 0;
        model.setCurrentParameter(*position);
        access.ReadParam();
        return model.value(*position);
    };
    mn::MonitorValues v;
    v.speedCommand = read("VSET");
    v.speedActual = read("VACT");
    v.currentCommand = read("ISET");
    v.currentActual = read("IACT");
    v.torqueCommand = read("TSET");
    v.torqueActual = read("TACT");
    const double commandRevolutions = read("PRREV");
    const double commandCounts = read("PRCTS");
    const double encoder = read("ENCR");
    v.positionCommand = mn::positionCounts(commandRevolutions, encoder, commandCounts);
    const double actualRevolutions = read("PFREV");
    const double actualCounts = read("PFCTS");
    v.positionActual = mn::positionCounts(actualRevolutions, encoder, actualCounts);
    v.analogIn = read("AINVOL");
    v.pulseIn = read("PINFRQ");
    v.direction = mn::directionText(v.pulseIn);
    v.followError = read("PERR");
    return v;
}

}  // namespace zrd::session
