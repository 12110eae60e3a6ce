#include "session/sweeps.h"

#include <cmath>

#include "formula/configuration.h"

namespace zrd::session {

namespace lk = zrd::link;
namespace pm = zrd::params;

namespace {

constexpr std::string_view kCurrentLimit = "IFL";
constexpr std::string_view kWarningLimit = "IWL";
constexpr std::string_view kMotorPeakCurrent = "MPI";

// The whole part of a serial number word; the words are 16-bit raw values.
long long serialWord(double value) {
    const double whole = std::trunc(value);
    return whole >= 0 && whole <= 65535 ? static_cast<long long>(whole) : 0;
}

bool differs(double read, const std::optional<double>& basis) {
    return !basis || read != *basis;
}

}  // namespace

int sweepLength(const pm::ParameterModel& model) {
    int n = 0;
    while (n < pm::kParameterCount && !model.parameter(n).Pname.empty())
        ++n;
    return n;
}

long long serialNumber(const pm::ParameterModel& model) {
    return serialWord(model.value(0)) * 65536 + serialWord(model.value(1));
}

std::optional<uint16_t> Sweeps::readRaw(const pm::TPar& p) {
    const std::optional<uint16_t> raw = m_link.readIndex(p.Index);
    // A reply time-out frees the link for the timers; the sweep still owns it.
    m_link.state().linkBusy = true;
    return raw;
}

bool Sweeps::linkGone() const {
    return m_link.state().hungUp || m_link.state().connected == 0;
}

void Sweeps::showSweepMessage(int message, const std::string& tail) const {
    const std::string& language = m_model.language();
    m_messages.showText(m_link.ui(), m_messages.text(message, language) + tail, language);
}

ReadAllResult Sweeps::ReadParamAll(const SweepProgress& progress) {
    ReadAllResult result;
    if (m_link.state().linkBusy || !m_link.state().connected)
        return result;
    result.ran = true;
    m_link.state().linkBusy = true;
    m_model.previousValues() = m_model.values();

    const int total = sweepLength(m_model);
    result.positions = total;
    result.read.assign(static_cast<size_t>(total), std::nullopt);
    std::optional<double> ifl, mpi;
    std::optional<int> iflPosition, iwlPosition;
    const std::string& language = m_model.language();
    const pm::ParameterModel::TypeBasis basis = m_model.formulaBasis();
    // Positions given up since the last answer: their message 26 waits for the next answer, so
    // that a drive that is gone costs one message, not one per parameter.
    std::vector<int> silent;
    const auto showGivenUp = [&] {
        for (const int position : silent)
            m_messages.showText(m_link.ui(),
                                m_messages.text(pm::kMsgParameterSilent, language) +
                                    m_model.parameter(position).Pname,
                                language);
        silent.clear();
    };

    for (int position = 0; position < total; ++position) {
        const pm::TPar& p = m_model.parameter(position);
        std::optional<uint16_t> raw;
        for (int attempt = 0; attempt <= m_readAttempts && !raw && !linkGone(); ++attempt) {
            ++result.attempts;
            raw = readRaw(p);
            m_link.ui().processEvents();
        }
        if (!raw) {
            result.gaveUp.push_back(position);
            silent.push_back(position);
            if (linkGone() || static_cast<int>(silent.size()) >= kSilentInARowLinkDead) {
                // The run of silence belongs to the link's end, not to its parameters.
                result.linkLost = true;
                result.stoppedAt = silent.front();
                result.gaveUp.resize(result.gaveUp.size() - silent.size());
                // A hang-up was told by the link already.
                if (!m_link.state().hungUp)
                    showSweepMessage(pm::kMsgReadAllStopped,
                                     m_model.parameter(result.stoppedAt).Pname);
                break;
            }
            if (progress)
                progress(position + 1, total);
            continue;
        }
        showGivenUp();
        int32_t number = link::rawToNumber(*raw, pm::isSigned(p));
        if (number < p.MinVal || number > p.MaxVal)
            number = pm::defaultNumber(p).value_or(number);
        const double display = number * p.scale;
        result.read[static_cast<size_t>(position)] = display;
        if (p.Pname == kCurrentLimit)
            ifl = display, iflPosition = position;
        if (p.Pname == kWarningLimit)
            iwlPosition = position;
        if (p.Pname == kMotorPeakCurrent)
            mpi = display;
        // Parameters without a row are read, but the value table keeps what it had.
        if (m_model.hasPageRow(position)) {
            m_model.setKnownValue(position, display);
            m_link.ui().updatePageRow(position, pm::valueText(display));
        }
        // Against the types the limits stand for, not the previous values: a motor chosen
        // before this read (and written to the drive) changed the value table already.
        if (pm::isMotorType(p))
            result.motorChanged = differs(display, basis.motorType);
        if (pm::isDriveType(p))
            result.driveChanged = differs(display, basis.driveType);
        if (progress)
            progress(position + 1, total);
    }
    if (!result.linkLost)
        showGivenUp();

    if (ifl && *ifl == 0 && iflPosition) {
        const double peak = mpi.value_or(0);
        const auto follow = [&](int position, double value) {
            m_model.setValue(position, value);
            const bool shown = m_model.hasPageRow(position);
            m_model.setKnown(position, shown);
            if (shown)
                m_link.ui().updatePageRow(position, pm::valueText(value));
        };
        follow(*iflPosition, peak);
        if (iwlPosition)
            follow(*iwlPosition, kWarningLimitFactor * peak);
        result.currentLimitsFollowedMpi = true;
    }
    m_model.previousValues() = m_model.values();

    // The link is released before the formulas: a bad formula must not leave it blocked.
    m_link.state().linkBusy = false;
    m_model.setValueOrigin(1);
    m_model.setParameterSetState(pm::ParameterSetState::Ram);
    // After a stop the motor data are half read; the next full read runs the formulas.
    if ((result.motorChanged || result.driveChanged) && !result.linkLost)
        result.formulaPasses =
            formula::reevaluateFormulas(m_model, formula::kReadAllFormulaPasses, m_link.ui());
    return result;
}

WriteAllResult Sweeps::writeAll(const WriteReport& report, const SweepProgress& progress) {
    WriteAllResult result;
    if (!m_link.state().connected)
        return result;
    const std::string& language = m_model.language();
    const int total = sweepLength(m_model);
    bool anyKnown = false;
    for (int position = 0; position < total && !anyKnown; ++position)
        anyKnown = m_model.parameter(position).pType != pm::kReadOnly && m_model.isKnown(position);
    if (!anyKnown) {
        // Defaults or the zeros of a stopped load would overwrite the drive's whole set.
        result.nothingKnown = true;
        m_messages.show(m_link.ui(), pm::kMsgNothingKnown, language);
        return result;
    }
    result.ran = true;
    m_link.state().linkBusy = true;
    int silentInARow = 0;
    for (int position = 0; position < total; ++position) {
        pm::TPar& p = m_model.parameter(position);
        if (p.pType == pm::kReadOnly)
            continue;
        if (linkGone()) {
            result.linkLost = true;
            result.stoppedAt = position;
            break;
        }
        if (p.scale == 0)
            p.scale = 1.0;
        // Every way a value becomes known yields a raw value; anything else stays unsent.
        const std::optional<uint16_t> raw = pm::displayToRaw(p, m_model.value(position));
        if (!m_model.isKnown(position) || !raw) {
            result.skipped.push_back(position);
            continue;
        }
        const uint8_t verdict = m_link.writeIndex(p.Index, *raw);
        m_link.state().linkBusy = true;
        ++result.written;
        result.writes.push_back({position, verdict});
        const bool accepted = verdict == lk::kReplyAccepted;
        int logText = pm::kMsgWriteAccepted;
        if (!accepted) {
            result.failedPositions.push_back(position);
            if (verdict == lk::kReplyRefused) {
                ++result.refused;
                logText = pm::kMsgWriteRefused;
            } else {
                ++result.unanswered;
                logText = pm::kMsgWriteUnanswered;
            }
        }
        silentInARow = verdict == 0 ? silentInARow + 1 : 0;
        if (report)
            report(position, accepted, p.Pname + m_messages.text(logText, language));
        m_link.ui().processEvents();
        if (progress)
            progress(position + 1, total);
        if (silentInARow >= kSilentInARowLinkDead && position + 1 < total) {
            result.linkLost = true;
            result.stoppedAt = position + 1;
            break;
        }
    }
    if (result.linkLost && !m_link.state().hungUp)
        showSweepMessage(pm::kMsgWriteAllStopped, m_model.parameter(result.stoppedAt).Pname);
    if (!result.skipped.empty()) {
        std::string names;
        for (const int position : result.skipped)
            names += (names.empty() ? "" : ", ") + m_model.parameter(position).Pname;
        showSweepMessage(pm::kMsgUnknownNotWritten, names);
    }
    m_model.previousValues() = m_model.values();
    m_model.setValueOrigin(1);
    m_model.setParameterSetState(pm::ParameterSetState::Ram);
    m_link.state().linkBusy = false;
    return result;
}

}  // namespace zrd::session
