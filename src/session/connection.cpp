#include "session/connection.h"

#include <algorithm>
#include <charconv>

#include "core/parse_int.h"
#include "link/port_info.h"
#include "session/port_advice.h"

namespace zrd::session {

namespace lk = zrd::link;
namespace pm = zrd::params;

namespace {

int openFailureMessage(lk::OpenResult r) {
    switch (r) {
        case lk::OpenResult::CannotOpen:
            return kMsgCannotOpen;
        case lk::OpenResult::CannotSetState:
            return kMsgCannotSetState;
        case lk::OpenResult::CannotSetTimeouts:
            return kMsgCannotSetTimeouts;
        case lk::OpenResult::CannotSetEvents:
            return kMsgCannotSetEvents;
        case lk::OpenResult::Ok:
            break;
    }
    return 0;
}

// True when a sample frame starts anywhere in what the drive sends unasked. A read may begin
// in the middle of a frame and end at its closing byte, so a second read follows one that saw
// bytes but no frame start.
bool streamsSamples(lk::DriveLink& link) {
    lk::LinkBuffers& b = link.buffers();
    for (int attempt = 0; attempt < 2; ++attempt) {
        lk::clearBuffer(b.request);
        const int n = link.PortRead(b.request);
        if (n <= 0)
            return false;
        const auto end = b.request.begin() + n;
        const uint8_t pair[] = {lk::kStartByte, lk::kReplyScopeSample};
        if (std::search(b.request.begin(), end, std::begin(pair), std::end(pair)) != end)
            return true;
    }
    return false;
}

// Opening and the preamble, without showing anything.
OpenOutcome openAndStop(lk::DriveLink& link, const ConnectionSettings& settings) {
    OpenOutcome outcome;
    link.state().fastGapBytes = settings.FastGapBytes;
    const lk::OpenResult opened =
        link.openPort(settings.device, settings.BaudRate, settings.PortTimeOut);
    if (opened != lk::OpenResult::Ok) {
        outcome.step = OpenOutcome::Step::OpenFailed;
        outcome.message = openFailureMessage(opened);
        return outcome;
    }

    // A drive still streaming oscilloscope samples is told to stop first.
    lk::LinkBuffers& b = link.buffers();
    if (streamsSamples(link)) {
        outcome.scopeWasStreaming = true;
        if (link.sendCommand(lk::kCmdScope, 0, 0, 0) < 0) {
            outcome.step = OpenOutcome::Step::ScopeStopFailed;
            outcome.message = kMsgFrameNotWritten;
            return outcome;
        }
    }

    lk::clearBuffer(b.transmit);
    if (link.sendCommand(lk::kCmdStopGenerator) < 0) {
        outcome.step = OpenOutcome::Step::GeneratorStopFailed;
        outcome.message = kMsgFrameNotWritten;
        link.state().linkBusy = false;
        return outcome;
    }
    // Only a whole acknowledge frame counts: stray bytes and streaming leftovers do not.
    if (const auto status = link.awaitAck(false))
        outcome.generatorStopped = *status != lk::kAckStatusRefused;
    return outcome;
}

}  // namespace

OpenOutcome openConnection(lk::DriveLink& link, const ConnectionSettings& settings,
                           const pm::MessageTable& messages, std::string_view language) {
    OpenOutcome outcome = openAndStop(link, settings);
    if (outcome.message == kMsgCannotOpen) {
        outcome.advice =
            openFailureAdvice(lk::diagnoseOpenFailure(settings.device, link.port().lastErrorCode()),
                              messages, language);
    }
    if (outcome.message != 0 && outcome.advice.empty())
        messages.show(link.ui(), outcome.message, language);
    else if (outcome.message != 0)
        messages.showText(link.ui(),
                          messages.text(outcome.message, language) + "\n\n" + outcome.advice,
                          language);
    return outcome;
}

namespace {

// The check of "HVER" without a word: true when the drive answered; the connected flag stays set
// then, and is cleared with the link held busy otherwise.
bool driveAnswers(lk::DriveLink& link, ParameterAccess& access, pm::ParameterModel& model,
                  ConnectionSettings& settings) {
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
    link.state().connected = 0;
    return false;
}

}  // namespace

bool checkConnection(lk::DriveLink& link, ParameterAccess& access, pm::ParameterModel& model,
                     const pm::MessageTable& messages, ConnectionSettings& settings) {
    if (link.state().handle == lk::PortHandle::None)
        return false;
    if (driveAnswers(link, access, model, settings))
        return true;
    messages.show(link.ui(), kMsgNoDrive, model.language());
    return false;
}

ReconnectOutcome reconnectDrive(lk::DriveLink& link, ParameterAccess& access,
                                pm::ParameterModel& model, ConnectionSettings& settings,
                                const std::string& device) {
    link.state().fastGapBytes = settings.FastGapBytes;
    if (link.openPort(device, settings.BaudRate, settings.PortTimeOut) != lk::OpenResult::Ok)
        return ReconnectOutcome::NotOpened;
    // Only a stream is stopped: a generator that runs was started by the user and goes on.
    if (streamsSamples(link) && link.sendCommand(lk::kCmdScope, 0, 0, 0) < 0) {
        link.closePort();
        return ReconnectOutcome::NotOpened;
    }
    if (driveAnswers(link, access, model, settings))
        return ReconnectOutcome::Back;
    // Closed, the port needs no holding: the next attempt may run.
    link.closePort();
    link.state().linkBusy = false;
    return ReconnectOutcome::NoAnswer;
}

ConnectOutcome connectDrive(lk::DriveLink& link, ParameterAccess& access, pm::ParameterModel& model,
                            const pm::MessageTable& messages, ConnectionSettings& settings) {
    ConnectOutcome outcome;
    outcome.open = openConnection(link, settings, messages, model.language());
    if (outcome.open.step != OpenOutcome::Step::Opened)
        return outcome;
    outcome.driveAnswered = checkConnection(link, access, model, messages, settings);
    return outcome;
}

bool parsePositive(const std::string& text, int& out) {
    const auto value = parseInt(text);
    if (!value || *value <= 0)
        return false;
    out = *value;
    return true;
}

}  // namespace zrd::session
