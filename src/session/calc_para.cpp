#include "session/calc_para.h"

#include "params/message_numbers.h"
#include "session/link_busy_guard.h"

namespace zrd::session {

namespace lk = zrd::link;
namespace pm = zrd::params;

CalcParaResult calcParaExchange(lk::DriveLink& link, const pm::ParameterModel& model,
                                const pm::MessageTable& messages, int workMs) {
    CalcParaResult r;
    const auto show = [&](int message) {
        r.message = message;
        messages.show(link.ui(), message, model.language());
    };
    if (link.sendCommand(lk::kCmdCalcPara) < 0) {
        r.outcome = link.state().hungUp ? ServiceOutcome::HungUp : ServiceOutcome::NotWritten;
        if (!link.state().hungUp)
            show(pm::kMsgFrameNotWritten);
        link.state().readCount = lk::kDefaultReadCount;
        return r;
    }
    const std::optional<uint8_t> status = link.awaitAck(false, workMs);
    link.state().readCount = lk::kDefaultReadCount;
    if (link.state().hungUp) {
        r.outcome = ServiceOutcome::HungUp;
    } else if (!status) {
        // Silence is no success: the drive may not have recalculated anything.
        r.outcome = link.lastWaitBytes() > 0 ? ServiceOutcome::Foreign : ServiceOutcome::NoAnswer;
        show(r.outcome == ServiceOutcome::Foreign ? pm::kMsgCommandForeign
                                                  : pm::kMsgCommandNoAnswer);
    } else if (*status == lk::kAckStatusRefused) {
        r.outcome = ServiceOutcome::Refused;
        show(pm::kMsgCalcParaRefused);
    } else {
        r.outcome = ServiceOutcome::Done;
        r.readAllDueMs = kCalcParaReadAllDelayMs;
    }
    return r;
}

CalcParaResult sendCalcPara(lk::DriveLink& link, const pm::ParameterModel& model,
                            const pm::MessageTable& messages, bool servoOn, int workMs) {
    if (link.state().linkBusy || link.state().connected == 0)
        return {};
    if (servoOn) {
        CalcParaResult r;
        r.outcome = ServiceOutcome::Refused;
        r.message = pm::kMsgServoIsOn;
        messages.show(link.ui(), r.message, model.language());
        return r;
    }
    const LinkBusyGuard guard(link);
    return calcParaExchange(link, model, messages, workMs);
}

}  // namespace zrd::session
