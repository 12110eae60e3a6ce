// The operating-mode and command-source buttons of ServiceCommands.
#include "params/message_numbers.h"
#include "session/link_busy_guard.h"
#include "session/service_commands.h"

namespace zrd::session {

namespace lk = zrd::link;
namespace pm = zrd::params;

namespace {

constexpr std::string_view kModeMnemonic = "OPMOD";
constexpr std::string_view kSourceMnemonic = "INST";

bool acknowledgedDone(ServiceOutcome o) {
    return o == ServiceOutcome::Done;
}

}  // namespace

std::string ServiceCommands::modeCaption(int mode, bool undone) const {
    const std::string& language = m_model.language();
    if (mode == kModeSpeed)
        return m_messages.text(pm::kMsgModeSpeed, language);
    if (undone)
        return m_messages.text(mode == kModeCurrent ? pm::kMsgModeCurrent : pm::kMsgModePosition,
                               language);
    if (mode == kModeCurrent)
        return m_model.english() ? "  Current" : "  Ток";
    return m_model.english() ? "  Position" : " Положение";
}

std::optional<uint8_t> ServiceCommands::writeParameter(std::string_view mnemonic, double value) {
    const auto position = m_model.find(mnemonic);
    if (!position)
        return std::nullopt;
    m_model.setPreviousValue(*position, m_model.value(*position));
    m_model.setValue(*position, value);
    m_model.setCurrentParameter(*position);
    m_access.SetParam();
    // A reply time-out frees the link for the timers; the click still owns it.
    m_link.state().linkBusy = true;
    return m_access.lastReply();
}

ControlResult ServiceCommands::selectOperatingMode(DriveControls& controls, int mode) {
    ControlResult r;
    if (mode < kModeCurrent || mode > kModePosition)
        return r;
    const LinkBusyGuard hold(m_link);
    if (!hold) {
        r.undone = true;
        r.caption = modeCaption(controls.operatingMode, true);
        return r;
    }
    const int previous = controls.operatingMode;
    controls.operatingMode = mode;
    controls.displayFactor = mode == kModeCurrent ? kCurrentDisplayFactor : kDefaultDisplayFactor;
    r.caption = modeCaption(mode, false);
    r.enableWriteButton = true;
    const std::optional<uint8_t> verdict = writeParameter(kModeMnemonic, mode);
    if (!verdict)
        return r;
    r.verdict = *verdict;
    if (r.verdict == lk::kReplyAccepted) {
        r.outcome = ServiceOutcome::Done;
        return r;
    }
    // SetParam has told why; the buttons show the mode the drive still runs in.
    r.outcome = m_link.state().hungUp            ? ServiceOutcome::HungUp
                : r.verdict == lk::kReplyRefused ? ServiceOutcome::Refused
                                                 : ServiceOutcome::NoAnswer;
    controls.operatingMode = previous;
    controls.displayFactor =
        previous == kModeCurrent ? kCurrentDisplayFactor : kDefaultDisplayFactor;
    r.caption = modeCaption(previous, true);
    return r;
}

void ServiceCommands::stopForExternal(DriveControls& controls, ServiceResult& r) {
    r.outcome = ServiceOutcome::Done;
    if (controls.generatorRunning) {
        const Exchange stop =
            command(lk::kCmdStopGenerator, 0, Wait::Short, pm::kMsgFrameNotWritten);
        if (stop.outcome == ServiceOutcome::NotWritten || stop.outcome == ServiceOutcome::HungUp) {
            r.outcome = stop.outcome;
            return;
        }
        if (acknowledgedDone(stop.outcome))
            controls.generatorRunning = false;
        else
            reportFailure(stop, r);
    }
    if (controls.servoOn) {
        if (enmod() == 1)
            controls.servoOn = false;
        const Exchange off = command(lk::kCmdServoOff, 0, Wait::Short, pm::kMsgFrameNotWritten);
        if (off.outcome == ServiceOutcome::NotWritten || off.outcome == ServiceOutcome::HungUp) {
            r.outcome = off.outcome;
            return;
        }
        if (acknowledgedDone(off.outcome)) {
            controls.servoOn = false;
            controls.generatorRunning = false;
        } else if (r.outcome == ServiceOutcome::Done) {
            reportFailure(off, r);
        }
    }
}

ControlResult ServiceCommands::selectCommandSource(DriveControls& controls, Source source) {
    ControlResult r;
    const bool internal = source == Source::Internal;
    if (internal == controls.internalSource)
        return r;
    const LinkBusyGuard hold(m_link);
    if (!hold || !m_link.state().connected) {
        r.undone = true;
        return r;
    }
    r.enableWriteButton = true;
    r.generatorPanel = internal;
    if (internal)
        r.servoPanel = enmod() == 1;
    const int value = internal                                  ? kSourceInternal
                      : controls.operatingMode == kModePosition ? kSourceExternalPosition
                                                                : kSourceExternal;
    const std::optional<uint8_t> verdict = writeParameter(kSourceMnemonic, value);
    r.verdict = verdict.value_or(0);
    if (verdict && *verdict != lk::kReplyAccepted) {
        // SetParam has told why; the source stays as the drive has it.
        r.outcome = m_link.state().hungUp           ? ServiceOutcome::HungUp
                    : *verdict == lk::kReplyRefused ? ServiceOutcome::Refused
                                                    : ServiceOutcome::NoAnswer;
        r.undone = true;
        r.generatorPanel.reset();
        r.servoPanel.reset();
        return r;
    }
    controls.internalSource = internal;
    r.outcome = verdict ? ServiceOutcome::Done : ServiceOutcome::NotRun;
    if (!internal) {
        stopForExternal(controls, r.commands);
        if (r.commands.outcome != ServiceOutcome::Done)
            r.outcome = r.commands.outcome;
    }
    return r;
}

}  // namespace zrd::session
