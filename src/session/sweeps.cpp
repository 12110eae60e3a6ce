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
constexpr std::string_view kMotorType = "MT";
constexpr std::string_view kDriveType = "DT";

}  // namespace

int sweepLength(const pm::ParameterModel& model) {
    int n = 0;
    while (n < pm::kParameterCount && !model.parameter(n).Pname.empty())
        ++n;
    return n;
}

long long serialNumber(const pm::ParameterModel& model) {
    return static_cast<long long>(std::trunc(model.value(0))) * 65536 +
           static_cast<long long>(std::trunc(model.value(1)));
}

std::optional<uint16_t> Sweeps::readRaw(const pm::TPar& p) {
    const std::optional<uint16_t> raw = m_link.readIndex(p.Index);
    // A reply time-out frees the link for the timers; the sweep still owns it.
    m_link.state().linkBusy = true;
    return raw;
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

    for (int position = 0; position < total; ++position) {
        const pm::TPar& p = m_model.parameter(position);
        std::optional<uint16_t> raw;
        for (int attempt = 0; attempt <= kReadAttempts && !raw; ++attempt) {
            ++result.attempts;
            raw = readRaw(p);
            m_link.ui().processEvents();
        }
        if (!raw) {
            m_messages.showText(m_link.ui(),
                                m_messages.text(pm::kMsgParameterSilent, language) + p.Pname,
                                language);
            result.gaveUp.push_back(position);
            if (progress)
                progress(position + 1, total);
            continue;
        }
        int32_t number = link::rawToNumber(*raw, pm::isSigned(p));
        if (number < p.MinVal || number > p.MaxVal)
            number = static_cast<int32_t>(std::trunc(p.DefValue));
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
            m_model.setValue(position, display);
            m_link.ui().updatePageRow(position, pm::valueText(display));
        }
        if (p.Pname == kMotorType)
            result.motorChanged = display != m_model.previousValue(position);
        if (p.Pname == kDriveType)
            result.driveChanged = display != m_model.previousValue(position);
        if (progress)
            progress(position + 1, total);
    }

    if (ifl && *ifl == 0 && iflPosition) {
        const double peak = mpi.value_or(0);
        m_model.setValue(*iflPosition, peak);
        m_link.ui().updatePageRow(*iflPosition, pm::valueText(peak));
        if (iwlPosition) {
            m_model.setValue(*iwlPosition, kWarningLimitFactor * peak);
            m_link.ui().updatePageRow(*iwlPosition, pm::valueText(kWarningLimitFactor * peak));
        }
        result.currentLimitsFollowedMpi = true;
    }
    m_model.previousValues() = m_model.values();

    // The link is released before the formulas: a bad formula must not leave it blocked.
    m_link.state().linkBusy = false;
    m_model.setValueOrigin(1);
    m_model.setParameterSetState(pm::ParameterSetState::Ram);
    if (result.motorChanged || result.driveChanged)
        result.formulaPasses = formula::reevaluateFormulas(m_model, formula::kReadAllFormulaPasses);
    return result;
}

WriteAllResult Sweeps::writeAll(const WriteReport& report, const SweepProgress& progress) {
    WriteAllResult result;
    if (!m_link.state().connected)
        return result;
    result.ran = true;
    m_link.state().linkBusy = true;
    const std::string& language = m_model.language();
    const int total = sweepLength(m_model);
    for (int position = 0; position < total; ++position) {
        pm::TPar& p = m_model.parameter(position);
        if (p.pType == pm::kReadOnly)
            continue;
        if (p.scale == 0)
            p.scale = 1.0;
        const uint16_t raw = link::displayToRaw(m_model.value(position), p.scale);
        const bool accepted = m_link.writeIndex(p.Index, raw) == lk::kReplyAccepted;
        m_link.state().linkBusy = true;
        ++result.written;
        if (!accepted) {
            ++result.refused;
            result.failedPositions.push_back(position);
        }
        if (report)
            report(
                position, accepted,
                p.Pname + m_messages.text(accepted ? pm::kMsgWriteAccepted : pm::kMsgWriteRefused,
                                          language));
        m_link.ui().processEvents();
        if (progress)
            progress(position + 1, total);
    }
    m_model.previousValues() = m_model.values();
    m_model.setValueOrigin(1);
    m_model.setParameterSetState(pm::ParameterSetState::Ram);
    m_link.state().linkBusy = false;
    return result;
}

}  // namespace zrd::session
