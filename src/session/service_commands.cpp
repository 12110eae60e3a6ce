#include "session/service_commands.h"

#include <functional>

#include "params/message_numbers.h"

namespace zrd::session {

namespace lk = zrd::link;
namespace pm = zrd::params;

const char* outcomeText(ServiceOutcome outcome) {
    switch (outcome) {
        case ServiceOutcome::Done:
            return "done";
        case ServiceOutcome::NotRun:
            return "not run";
        case ServiceOutcome::Refused:
            return "refused";
        case ServiceOutcome::NotWritten:
            return "the frame could not be written";
        case ServiceOutcome::NoAnswer:
            return "no answer";
        case ServiceOutcome::Foreign:
            return "answered with something that is no acknowledgement";
        case ServiceOutcome::HungUp:
            return "the port hung up";
    }
    return "";
}

bool ServiceResult::ok() const {
    if (outcome != ServiceOutcome::Done)
        return false;
    return !writeAll || (writeAll->ran && !writeAll->linkLost &&
                         writeAll->failedPositions.empty() && writeAll->skipped.empty());
}

bool ServiceCommands::take() {
    if (m_link.state().linkBusy)
        return false;
    m_link.state().linkBusy = true;
    m_link.ui().pauseTimers();
    return true;
}

void ServiceCommands::release() {
    m_link.state().readCount = lk::kDefaultReadCount;
    m_link.state().linkBusy = false;
    m_link.ui().resumeTimers();
}

namespace {

// Takes the link for a sequence and frees it on every way out, unless told to keep it.
class Hold {
public:
    Hold(bool acquired, std::function<void()> release)
        : m_acquired(acquired), m_release(std::move(release)) {}
    ~Hold() {
        if (m_acquired && !m_keep)
            m_release();
    }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;
    explicit operator bool() const { return m_acquired; }
    void keep() { m_keep = true; }

private:
    bool m_acquired;
    bool m_keep = false;
    std::function<void()> m_release;
};

bool acknowledged(ServiceOutcome o) {
    return o == ServiceOutcome::Done;
}

}  // namespace

void ServiceCommands::show(int message) const {
    m_messages.show(m_link.ui(), message, m_model.language());
}

ServiceCommands::Exchange ServiceCommands::command(uint8_t code, uint8_t argument, Wait wait,
                                                   int writeFailMessage) {
    Exchange e;
    if (m_link.sendCommand(code, argument) < 0) {
        e.outcome = m_link.state().hungUp ? ServiceOutcome::HungUp : ServiceOutcome::NotWritten;
        if (!m_link.state().hungUp)
            show(writeFailMessage);
        return e;
    }
    const bool eeprom = code == lk::kCmdStoreEeprom || code == lk::kCmdLoadEeprom;
    e.status = m_link.awaitAck(wait == Wait::Long, eeprom ? kEepromWriteMs : 0);
    // The long wait's time-out freed the link for the timers; the sequence still owns it.
    if (m_link.state().hungUp)
        e.outcome = ServiceOutcome::HungUp;
    else if (!e.status)
        e.outcome = m_link.lastWaitBytes() > 0 ? ServiceOutcome::Foreign : ServiceOutcome::NoAnswer;
    else
        e.outcome =
            *e.status == lk::kAckStatusRefused ? ServiceOutcome::Refused : ServiceOutcome::Done;
    return e;
}

void ServiceCommands::reportFailure(const Exchange& e, ServiceResult& r) const {
    r.outcome = e.outcome;
    r.status = e.status;
    int message = 0;
    switch (e.outcome) {
        case ServiceOutcome::NoAnswer:
            message = pm::kMsgCommandNoAnswer;
            break;
        case ServiceOutcome::Foreign:
            message = pm::kMsgCommandForeign;
            break;
        case ServiceOutcome::Refused:
            message = pm::kMsgCommandRefused;
            break;
        default:
            return;
    }
    r.message = message;
    show(message);
}

ServiceResult ServiceCommands::storeWorkingParameters() {
    ServiceResult r;
    const Exchange e =
        command(lk::kCmdStoreWorkingParameters, 0, Wait::Long, pm::kMsgEepromNotWritten);
    r.outcome = e.outcome;
    r.status = e.status;
    if (e.outcome == ServiceOutcome::Refused) {
        r.message = pm::kMsgEepromRefused;
        show(r.message);
    } else if (e.outcome == ServiceOutcome::Done) {
        r.message = pm::kMsgEepromDone;
        show(r.message);
        m_model.setParameterSetState(pm::ParameterSetState::Eeprom);
    } else {
        reportFailure(e, r);
    }
    return r;
}

ServiceResult ServiceCommands::WritePar() {
    if (!m_link.state().connected)
        return {};
    const Hold hold(take(), [this] { release(); });
    if (!hold)
        return {};
    return storeWorkingParameters();
}

ServiceResult ServiceCommands::writeButton(const DriveControls& controls) {
    m_link.ui().processEvents();
    if (controls.servoOn) {
        ServiceResult r;
        r.outcome = ServiceOutcome::Refused;
        r.message = pm::kMsgServoIsOn;
        show(r.message);
        return r;
    }
    return WritePar();
}

ServiceResult ServiceCommands::storeInEeprom(const WriteReport& report,
                                             const SweepProgress& progress) {
    ServiceResult r;
    const Hold hold(take(), [this] { release(); });
    if (!hold)
        return r;
    // Before the first poll the values on screen are the database's, not the drive's.
    if (m_model.valueOrigin() == pm::kValueOriginStartup) {
        show(pm::kMsgNothingKnown);
        return r;
    }
    if (!m_link.state().connected)
        return r;
    Sweeps sweeps(m_link, m_model, m_messages);
    r.writeAll = sweeps.writeAll(report, progress);
    // Write-all frees the link at its end; the store goes on under the same hold.
    m_link.state().linkBusy = true;
    if (!r.writeAll->ran || r.writeAll->linkLost) {
        r.outcome = m_link.state().hungUp ? ServiceOutcome::HungUp : ServiceOutcome::NotRun;
        return r;
    }
    const ServiceResult stored = storeWorkingParameters();
    r.outcome = stored.outcome;
    r.status = stored.status;
    r.message = stored.message;
    return r;
}

ServiceResult ServiceCommands::saveDataArea(uint8_t argument) {
    ServiceResult r;
    const Hold hold(take(), [this] { release(); });
    if (!hold)
        return r;
    const Exchange e = command(lk::kCmdStoreEeprom, argument, Wait::Short, pm::kMsgFrameNotWritten);
    if (!acknowledged(e.outcome)) {
        reportFailure(e, r);
        return r;
    }
    r.outcome = e.outcome;
    r.status = e.status;
    if (argument == 1 && e.status == 1) {
        r.message = pm::kMsgDataAreaSaved;
        show(r.message);
    }
    return r;
}

ServiceResult ServiceCommands::loadDataArea() {
    ServiceResult r;
    const Hold hold(take(), [this] { release(); });
    if (!hold)
        return r;
    const Exchange e = command(lk::kCmdLoadEeprom, 0, Wait::Short, pm::kMsgFrameNotWritten);
    if (!acknowledged(e.outcome)) {
        reportFailure(e, r);
        return r;
    }
    r.outcome = e.outcome;
    r.status = e.status;
    return r;
}

ServiceResult ServiceCommands::reset(DriveControls& controls, ResetKind kind) {
    ServiceResult r;
    Hold hold(take(), [this] { release(); });
    if (!hold)
        return r;
    if (kind == ResetKind::Checked && controls.servoOn) {
        r.outcome = ServiceOutcome::Refused;
        r.message = pm::kMsgServoIsOn;
        show(r.message);
        controls.generatorRunning = false;
        return r;
    }
    if (sendReset(controls, r, Pending::Reset))
        hold.keep();
    return r;
}

ServiceResult ServiceCommands::initialise(DriveControls& controls) {
    ServiceResult r;
    Hold hold(take(), [this] { release(); });
    if (!hold)
        return r;
    // The data area's answer is not evaluated; a frame not written ends the sequence.
    const Exchange area = command(lk::kCmdStoreEeprom, 1, Wait::Short, pm::kMsgFrameNotWritten);
    if (area.outcome == ServiceOutcome::NotWritten || area.outcome == ServiceOutcome::HungUp) {
        r.outcome = area.outcome;
        return r;
    }
    const ServiceResult stored = storeWorkingParameters();
    if (stored.outcome != ServiceOutcome::Done) {
        r.outcome = stored.outcome;
        r.status = stored.status;
        r.message = stored.message;
        return r;
    }
    if (sendReset(controls, r, Pending::Initialisation))
        hold.keep();
    return r;
}

bool ServiceCommands::sendReset(DriveControls& controls, ServiceResult& r, Pending pending) {
    if (m_link.sendCommand(lk::kCmdReset) < 0) {
        r.outcome = m_link.state().hungUp ? ServiceOutcome::HungUp : ServiceOutcome::NotWritten;
        if (pending == Pending::Initialisation)
            controls.generatorRunning = false;
        if (!m_link.state().hungUp) {
            r.message = pm::kMsgFrameNotWritten;
            show(r.message);
        }
        return false;
    }
    // The drive starts again: servo and generator off. Its acknowledge, if any, is dropped by
    // the purge before the next request.
    controls.servoOn = false;
    controls.generatorRunning = false;
    r.outcome = ServiceOutcome::Done;
    r.readAllDueMs = kResetPauseMs;
    m_pending = pending;
    return true;
}

ReadAllResult ServiceCommands::completeReset(const SweepProgress& progress) {
    if (m_pending == Pending::None)
        return {};
    const bool initialisation = m_pending == Pending::Initialisation;
    m_pending = Pending::None;
    m_link.state().linkBusy = false;
    m_link.state().readCount = lk::kDefaultReadCount;
    Sweeps sweeps(m_link, m_model, m_messages);
    ReadAllResult r = sweeps.ReadParamAll(progress);
    if (initialisation && r.ran && !r.linkLost)
        show(pm::kMsgDataAreaSaved);
    m_link.ui().resumeTimers();
    return r;
}

void ServiceCommands::abandonReset() {
    if (m_pending == Pending::None)
        return;
    m_pending = Pending::None;
    release();
}

double ServiceCommands::enmod() const {
    const auto position = m_model.knownPosition(pm::KnownParameter::ENMOD);
    return position ? m_model.value(*position) : 1.0;
}

bool ServiceCommands::enmodForbids() const {
    return m_model.knownPosition(pm::KnownParameter::ENMOD) && enmod() == 0;
}

void ServiceCommands::showEnmodRefusal() const {
    if (m_model.english())
        m_link.ui().showMessage(kEnmodCaptionEng, kEnmodTextEng);
    else
        m_link.ui().showMessage(kEnmodCaptionRus, kEnmodTextRus);
}

bool ServiceCommands::refusedByEnmod(ServiceResult& r) const {
    if (!enmodForbids())
        return false;
    showEnmodRefusal();
    r.outcome = ServiceOutcome::Refused;
    r.enmodRefused = true;
    return true;
}

ServiceResult ServiceCommands::servoOn(DriveControls& controls) {
    ServiceResult r;
    // The servo buttons wait their turn too: a frame sent in the middle of a sweep would take
    // one of its replies.
    const Hold hold(take(), [this] { release(); });
    if (!hold)
        return r;
    if (refusedByEnmod(r)) {
        controls.servoOn = false;
        return r;
    }
    const Exchange e = command(lk::kCmdServoOn, 0, Wait::Short, pm::kMsgFrameNotWritten);
    controls.servoOn = acknowledged(e.outcome);
    if (!controls.servoOn) {
        // With the servo off the oscilloscope may be set up again.
        r.enableScopeGroups = e.outcome != ServiceOutcome::NotWritten;
        reportFailure(e, r);
        r.outcome = e.outcome;
        return r;
    }
    r.outcome = e.outcome;
    r.status = e.status;
    return r;
}

ServiceResult ServiceCommands::servoOff(DriveControls& controls) {
    ServiceResult r;
    const Hold hold(take(), [this] { release(); });
    if (!hold)
        return r;
    if (refusedByEnmod(r))
        return r;
    const Exchange stop = command(lk::kCmdStopGenerator, 0, Wait::Short, pm::kMsgFrameNotWritten);
    if (stop.outcome == ServiceOutcome::NotWritten || stop.outcome == ServiceOutcome::HungUp) {
        r.outcome = stop.outcome;
        return r;
    }
    controls.servoOn = false;
    if (acknowledged(stop.outcome)) {
        r.enableScopeGroups = true;
        r.enableOfflineStart = true;
        controls.generatorRunning = false;
    }
    const Exchange off = command(lk::kCmdServoOff, 0, Wait::Short, pm::kMsgFrameNotWritten);
    if (off.outcome == ServiceOutcome::NotWritten || off.outcome == ServiceOutcome::HungUp) {
        r.outcome = off.outcome;
        return r;
    }
    if (acknowledged(off.outcome)) {
        controls.generatorRunning = false;
        r.enableOfflineStartByTrigger = true;
    }
    // One box for the sequence: the first exchange that failed.
    reportFailure(acknowledged(stop.outcome) ? off : stop, r);
    if (acknowledged(stop.outcome) && acknowledged(off.outcome)) {
        r.outcome = ServiceOutcome::Done;
        r.status = off.status;
    }
    return r;
}

}  // namespace zrd::session
