#include "session/status_poll.h"

#include <array>

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

namespace {

// The parameters of a monitor tick in the order they are read.
enum MonitorRead {
    VSET,
    VACT,
    ISET,
    IACT,
    TSET,
    TACT,
    PRREV,
    PRCTS,
    ENCR,
    PFREV,
    PFCTS,
    AINVOL,
    PINFRQ,
    PERR,
    kMonitorReads
};
constexpr std::array<std::string_view, kMonitorReads> kMonitorMnemonics = {
    "VSET",  "VACT", "ISET",  "IACT",  "TSET",   "TACT",   "PRREV",
    "PRCTS", "ENCR", "PFREV", "PFCTS", "AINVOL", "PINFRQ", "PERR"};

struct MonitorReads {
    // Per read: the value read this tick, and the value-table entry after it.
    std::array<std::optional<double>, kMonitorReads> read{};
    std::array<double, kMonitorReads> table{};
    int requested = 0;
    int answered = 0;
};

MonitorReads readTick(ParameterAccess& access, pm::ParameterModel& model) {
    MonitorReads r;
    for (size_t k = 0; k < kMonitorMnemonics.size(); ++k) {
        const auto position = model.find(kMonitorMnemonics[k]);
        if (!position)
            continue;
        model.setCurrentParameter(*position);
        access.ReadParam();
        ++r.requested;
        if (access.lastReply() == link::kReplyRead) {
            ++r.answered;
            r.read[k] = model.value(*position);
        }
        r.table[k] = model.value(*position);
    }
    return r;
}

std::optional<double> position(const std::optional<double>& revolutions,
                               const std::optional<double>& encoder,
                               const std::optional<double>& counts) {
    if (!revolutions || !encoder || !counts)
        return std::nullopt;
    return mn::positionCounts(*revolutions, *encoder, *counts);
}

// The monitor's fields from one tick: its answers (optional) or the value-table entries.
template <class Fields, class Values, class Position>
void fillFields(Fields& v, const Values& x, Position position) {
    v.speedCommand = x[VSET];
    v.speedActual = x[VACT];
    v.currentCommand = x[ISET];
    v.currentActual = x[IACT];
    v.torqueCommand = x[TSET];
    v.torqueActual = x[TACT];
    v.positionCommand = position(x[PRREV], x[ENCR], x[PRCTS]);
    v.positionActual = position(x[PFREV], x[ENCR], x[PFCTS]);
    v.analogIn = x[AINVOL];
    v.pulseIn = x[PINFRQ];
    v.followError = x[PERR];
}

}  // namespace

MonitorSample readMonitorSample(ParameterAccess& access, pm::ParameterModel& model) {
    const MonitorReads r = readTick(access, model);
    MonitorSample v;
    fillFields(v, r.read, position);
    v.requested = r.requested;
    v.answered = r.answered;
    return v;
}

mn::MonitorValues readMonitorValues(ParameterAccess& access, pm::ParameterModel& model) {
    const MonitorReads r = readTick(access, model);
    mn::MonitorValues v;
    fillFields(v, r.table, mn::positionCounts);
    v.direction = mn::directionText(v.pulseIn);
    return v;
}

}  // namespace zrd::session
