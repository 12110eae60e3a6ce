#include "link/connection.h"

#include <charconv>

namespace zrd::link {

namespace pm = zrd::params;

namespace {

int openFailureMessage(OpenResult r) {
    switch (r) {
        case OpenResult::CannotOpen:
            return kMsgCannotOpen;
        case OpenResult::CannotSetState:
            return kMsgCannotSetState;
        case OpenResult::CannotSetTimeouts:
            return kMsgCannotSetTimeouts;
        case OpenResult::CannotSetEvents:
            return kMsgCannotSetEvents;
        case OpenResult::Ok:
            break;
    }
    return 0;
}

// Opening and the preamble, without showing anything.
OpenOutcome openAndStop(DriveLink& link, const ConnectionSettings& settings) {
    OpenOutcome outcome;
    const OpenResult opened =
        link.openPort(settings.device, settings.BaudRate, settings.PortTimeOut);
    if (opened != OpenResult::Ok) {
        outcome.step = OpenOutcome::Step::OpenFailed;
        outcome.message = openFailureMessage(opened);
        return outcome;
    }

    // A drive still streaming oscilloscope samples is told to stop first.
    LinkBuffers& b = link.buffers();
    clearBuffer(b.request);
    const int n = link.PortRead(b.request);
    if (n > 1 && b.request[1] == kReplyScopeSample) {
        outcome.scopeWasStreaming = true;
        if (link.sendCommand(kCmdScope, 0, 0, 0) < 0) {
            outcome.step = OpenOutcome::Step::ScopeStopFailed;
            outcome.message = kMsgFrameNotWritten;
            return outcome;
        }
    }

    clearBuffer(b.transmit);
    if (link.sendCommand(kCmdStopGenerator) < 0) {
        outcome.step = OpenOutcome::Step::GeneratorStopFailed;
        outcome.message = kMsgFrameNotWritten;
        link.state().linkBusy = false;
        return outcome;
    }
    if (link.waitForInput(kShortReplyThreshold, kCommandFrameLength)) {
        const int got = link.PortRead(b.request);
        outcome.generatorStopped =
            got > 0 && b.request[1] == kReplyAck && b.request[2] != kAckStatusRefused;
    }
    return outcome;
}

}  // namespace

OpenOutcome openConnection(DriveLink& link, const ConnectionSettings& settings,
                           const pm::MessageTable& messages, std::string_view language) {
    OpenOutcome outcome = openAndStop(link, settings);
    if (outcome.message != 0)
        messages.show(link.ui(), outcome.message, language);
    return outcome;
}

bool checkConnection(DriveLink& link, ParameterAccess& access, pm::ParameterModel& model,
                     const pm::MessageTable& messages, ConnectionSettings& settings) {
    if (link.state().handle == PortHandle::None)
        return false;
    settings.Protocol = 0;
    settings.TryCount = kConnectionTryCount;
    if (const auto hver = model.knownPosition(pm::KnownParameter::HVER))
        model.setCurrentParameter(*hver);
    const int position = model.currentParameter();
    model.setPreviousValue(position, model.value(position));
    model.setValue(position, kNoAnswerValue);
    link.state().linkBusy = false;
    link.state().connected = 1;
    access.ReadParam();
    if (model.value(position) != kNoAnswerValue)
        return true;
    link.state().linkBusy = true;
    messages.show(link.ui(), kMsgNoDrive, model.language());
    link.state().connected = 0;
    return false;
}

bool parsePositive(const std::string& text, int& out) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value <= 0)
        return false;
    out = value;
    return true;
}

}  // namespace zrd::link
