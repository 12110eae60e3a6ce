#include "params/sweeps.h"

#include <cmath>

#include "formula/configuration.h"

namespace zrd::params {

namespace lk = zrd::link;

namespace {

constexpr std::string_view kCurrentLimit = "IFL";
constexpr std::string_view kWarningLimit = "IWL";
constexpr std::string_view kMotorPeakCurrent = "MPI";
constexpr std::string_view kMotorType = "MT";
constexpr std::string_view kDriveType = "DT";

}  // namespace

int sweepLength(const ParameterModel& model) {
    int n = 0;
    while (n < kParameterCount && !model.parameter(n).Pname.empty())
        ++n;
    return n;
}

long long serialNumber(const ParameterModel& model) {
    return static_cast<long long>(std::trunc(model.value(0))) * 65536 +
           static_cast<long long>(std::trunc(model.value(1)));
}

std::optional<uint16_t> Sweeps::readRaw(const TPar& p) {
    lk::LinkBuffers& b = m_link.buffers();
    lk::clearBuffer(b.request);
    b.request[0] = lk::kRequestRead;
    b.request[1] = p.Index;
    m_link.ReadPar();
    // A reply time-out frees the link for the timers; the sweep still owns it.
    m_link.state().linkBusy = true;
    if (b.receive[1] != lk::kReplyRead)
        return std::nullopt;
    lk::decodeReadReply(b.receive);
    return lk::replyRaw(b.receive);
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
        const TPar& p = m_model.parameter(position);
        std::optional<uint16_t> raw;
        for (int attempt = 0; attempt <= kReadAttempts && !raw; ++attempt) {
            ++result.attempts;
            raw = readRaw(p);
            m_link.ui().processEvents();
        }
        if (!raw) {
            m_messages.showText(m_link.ui(),
                                m_messages.text(kMsgParameterSilent, language) + p.Pname, language);
            result.gaveUp.push_back(position);
            if (progress)
                progress(position + 1, total);
            continue;
        }
        int32_t number = link::rawToNumber(*raw, isSigned(p));
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
            m_link.ui().updatePageRow(position, valueText(display));
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
        m_link.ui().updatePageRow(*iflPosition, valueText(peak));
        if (iwlPosition) {
            m_model.setValue(*iwlPosition, kWarningLimitFactor * peak);
            m_link.ui().updatePageRow(*iwlPosition, valueText(kWarningLimitFactor * peak));
        }
        result.currentLimitsFollowedMpi = true;
    }
    m_model.previousValues() = m_model.values();

    // The link is released before the formulas: a bad formula must not leave it blocked.
    m_link.state().linkBusy = false;
    m_model.setValueOrigin(1);
    m_model.setParameterSetState(ParameterSetState::Ram);
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
    lk::LinkBuffers& b = m_link.buffers();
    for (int position = 0; position < total; ++position) {
        TPar& p = m_model.parameter(position);
        if (p.pType == kReadOnly)
            continue;
        if (p.scale == 0)
            p.scale = 1.0;
        const uint16_t raw = link::displayToRaw(m_model.value(position), p.scale);
        lk::clearBuffer(b.request);
        b.request[0] = lk::kRequestWrite;
        b.request[1] = p.Index;
        b.request[2] = static_cast<uint8_t>(raw >> 8);
        b.request[3] = static_cast<uint8_t>(raw & 0xFF);
        m_link.ReadPar();
        m_link.state().linkBusy = true;
        const bool accepted = b.receive[1] == lk::kReplyAccepted;
        ++result.written;
        if (!accepted) {
            ++result.refused;
            result.failedPositions.push_back(position);
        }
        if (report)
            report(position, accepted,
                   p.Pname +
                       m_messages.text(accepted ? kMsgWriteAccepted : kMsgWriteRefused, language));
        m_link.ui().processEvents();
        if (progress)
            progress(position + 1, total);
    }
    m_model.previousValues() = m_model.values();
    m_model.setValueOrigin(1);
    m_model.setParameterSetState(ParameterSetState::Ram);
    m_link.state().linkBusy = false;
    return result;
}

}  // namespace zrd::params
