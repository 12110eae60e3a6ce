#include "session/ui/drive_session.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <cmath>
#include <optional>

#include "core/ui/colors.h"
#include "core/ui/controls.h"
#include "core/ui/qt_text.h"
#include "formula/configuration.h"
#include "link/port_lock.h"
#include "monitor/ui/drive_state.h"
#include "monitor/ui/monitor_panel.h"
#include "monitor/ui/status_page.h"
#include "params/ui/param_frame.h"
#include "params/ui/param_pages.h"
#include "session/link_busy_guard.h"
#include "session/type_follow_up.h"
#include "session/ui/com_cfg.h"
#include "session/ui/control_area.h"
#include "session/ui/edit_par_form.h"
#include "session/ui/poll_timers.h"

namespace zrd::session {
namespace {

namespace colors = zrd::ui::colors;
namespace mon = zrd::monitor;
namespace pm = zrd::params;

constexpr const char* kOfflineEnglish = "   Offline";
constexpr const char* kOfflineRussian = "  Офлайн";
// In place of a state message: the port was closed on purpose.
constexpr int kDisconnected = -1;
constexpr int kSerialWriteGapMs = 10;
// Controls of the oscilloscope pages, found by their designer names.
constexpr const char* kOnlineScopeStart = "Button3";
constexpr const char* kOfflineScopeStart = "Button5";
constexpr const char* kOfflineScopeStop = "Button1";
constexpr const char* kViewOscillogram = "Button21";
// The oscilloscope setting groups that follow the servo state.

// A sweep shows itself while it runs: the polls pause, the window is disabled, the mark is
// shown and the button counts the positions. Whatever ends the sweep (a formula error
// included), the destructor puts all of it back.
class SweepDisplay {
public:
    SweepDisplay(link::DriveLink& link, PollTimers& timers, QWidget* window, QPushButton* button,
                 QLabel* mark)
        : m_link(link),
          m_timers(timers),
          m_window(window),
          m_button(button),
          m_mark(mark),
          m_caption(button->text()) {
        m_timers.pause();
        m_mark->show();
        m_window->setEnabled(false);
    }
    ~SweepDisplay() {
        m_link.state().linkBusy = false;
        m_button->setText(m_caption);
        m_mark->hide();
        m_window->setEnabled(true);
        m_timers.resume();
    }
    SweepDisplay(const SweepDisplay&) = delete;
    SweepDisplay& operator=(const SweepDisplay&) = delete;

    SweepProgress progress() {
        return [this](int done, int total) {
            m_button->setText(QString("%1 %2/%3").arg(m_caption).arg(done).arg(total));
        };
    }

private:
    link::DriveLink& m_link;
    PollTimers& m_timers;
    QWidget* m_window;
    QPushButton* m_button;
    QLabel* m_mark;
    QString m_caption;
};

}  // namespace

TDriveSession::TDriveSession(const SessionParts& parts, const SessionWindows& windows,
                             QObject* parent)
    : QObject(parent), m_parts(parts), m_windows(windows) {
    TControlArea* controls = m_windows.controls;
    connect(controls->Button9, &QPushButton::clicked, this, &TDriveSession::Button9Click);
    // The motor is applied when the list closes on a choice, not while browsing it.
    connect(controls->ComboBox6, qOverload<int>(&QComboBox::activated), this,
            &TDriveSession::ComboBox6CloseUp);
    connect(m_windows.statusPage, &mon::TStatusPage::inversionClicked, this,
            &TDriveSession::InvClick);
    connect(m_windows.pages, &pm::TParamPages::ParamMouseDown, this,
            &TDriveSession::ParamMouseDown);
    connect(m_windows.editor, &TEdit_par_Form::written, this, &TDriveSession::showEditOutcome);
    // A default written in place of a value is an action of its own in the log.
    m_parts.access.setSubstitutionReport([this](const std::string& action) { logAction(action); });
    // An answer that came too late to count is dropped; the log keeps that it came.
    m_parts.link.setLateAnswerReport([this](int count) {
        logAction(pm::withArguments(
            m_parts.messages.text(pm::kMsgLogLateAnswers, m_parts.model.language()),
            {std::to_string(count)}));
    });
    m_windows.N9->setEnabled(false);
}

TDriveSession::~TDriveSession() {
    m_parts.link.setLateAnswerReport({});
}

QString TDriveSession::message(int n) const {
    return qs(m_parts.messages.text(n, m_parts.model.language()));
}

bool TDriveSession::servoPanelAllowed() const {
    const auto enmod = m_parts.model.knownPosition(pm::KnownParameter::ENMOD);
    return enmod && m_parts.model.value(*enmod) == 1;
}

bool TDriveSession::connectDrive() {
    ConnectOutcome outcome;
    const auto connectOnDialog = [&](ConnectionSettings& settings) {
        outcome = session::connectDrive(m_parts.link, m_parts.access, m_parts.model,
                                        m_parts.messages, settings);
        // The dialog closes once the port is open; whether a drive answered is told after.
        return outcome.open.step == OpenOutcome::Step::Opened;
    };
    TCOM_CFG dialog(m_parts.connection, link::listSerialPorts(m_roots), connectOnDialog,
                    m_parts.link.ui(), m_windows.window);
    dialog.setPortNotes([this](const std::string& device) {
        link::PortInfo info = link::describePort(device, m_roots);
        info.holders = link::findLockHolders(device, m_roots);
        return portNotes(info, m_rulesFile, m_parts.messages, m_parts.model.language());
    });
    dialog.markPorts([this](const link::PortInfo& port) {
        return qs(portListMark(port, m_parts.messages, m_parts.model.language()));
    });
    // A cancelled dialog changes nothing and says nothing.
    if (dialog.exec() != QDialog::Accepted)
        return false;
    // Every connection counts the status poll's failures anew.
    m_parts.status.resetFailures();
    if (outcome.open.generatorStopped)
        m_windows.controls->SpeedButton7->setChecked(true);
    if (!outcome.driveAnswered) {
        // The check told the user; the link stays blocked until the next connection.
        showOffline(pm::kMsgStateOffline);
        emit connectionEnded();
        return true;
    }
    showConnected();
    emit connectionMade();
    return true;
}

ReconnectOutcome TDriveSession::reconnectDrive(const std::string& device) {
    const ReconnectOutcome outcome = session::reconnectDrive(
        m_parts.link, m_parts.access, m_parts.model, m_parts.connection, device);
    if (outcome != ReconnectOutcome::Back) {
        // A read that timed out started the polls again: offline they stay stopped.
        showOffline(pm::kMsgStateOffline);
        return outcome;
    }
    m_parts.connection.device = device;
    m_parts.status.resetFailures();
    showConnected();
    pollStatus();
    return outcome;
}

void TDriveSession::showConnected() {
    m_windows.N10->setEnabled(true);
    m_windows.N4->setEnabled(true);
    ui::setEnabledByName(m_windows.window, kOnlineScopeStart, true);
    m_windows.controls->showOnline(true);
    ui::setEnabledByName(m_windows.window, kOfflineScopeStop, false);
    m_windows.timers->resume();
    ReadParamAll();
    ui::setEnabledByName(m_windows.window, kOfflineScopeStart, true);
    m_shownOffline = false;
    m_windows.monitor->Monitor->setEnabled(true);
    m_windows.Setconfiguration1->setEnabled(true);
}

void TDriveSession::disconnectDrive() {
    link::LinkState& state = m_parts.link.state();
    m_windows.timers->stopPolls();
    state.linkBusy = false;
    m_parts.link.closePort();
    // Nothing may write to the closed port: every handler asks this flag first.
    state.connected = 0;
    m_parts.status.resetFailures();
    showOffline(kDisconnected);
    emit connectionEnded();
}

void TDriveSession::linkLost(const std::string& reason) {
    const bool monitorWasRunning = m_windows.monitor->Monitor->isChecked();
    m_parts.link.state().connected = 0;
    m_parts.status.resetFailures();
    showOffline(pm::kMsgStateOffline);
    // The link's reason names the port.
    reportEnd(m_parts.messages.text(pm::kMsgPortLost, m_parts.model.language()) + reason);
    emit linkWentAway(monitorWasRunning);
}

void TDriveSession::reportEnd(const std::string& text) {
    logAction(text);
    m_parts.messages.showText(m_parts.link.ui(), text, m_parts.model.language());
}

void TDriveSession::showOffline(int stateMessage) {
    // The closed port's own words: the state message, or the fixed texts of a disconnect.
    const auto state = [this, stateMessage] {
        if (stateMessage >= 0)
            return message(stateMessage);
        return QString(m_parts.model.english() ? kOfflineEnglish : kOfflineRussian);
    };
    m_windows.driveState->showOffline(state, [this] { return message(mon::kMsgOfflineDetail); });
    m_windows.statusPage->showLive(false);
    m_windows.N10->setEnabled(false);
    m_windows.N4->setEnabled(false);
    m_windows.N9->setEnabled(false);
    m_windows.N3->setEnabled(true);
    ui::setEnabledByName(m_windows.window, kOnlineScopeStart, false);
    ui::setEnabledByName(m_windows.window, kOfflineScopeStart, false);
    m_shownOffline = true;
    m_windows.controls->showOnline(false);
    m_windows.timers->stopPolls();
    // A running monitor ends with the connection.
    mon::TMonitorPanel* monitor = m_windows.monitor;
    monitor->paintFields(colors::kSilver);
    monitor->clearValues();
    monitor->Stop_monitor->setChecked(true);
    monitor->Monitor->setEnabled(false);
    m_windows.controls->Panel32->setEnabled(true);
    m_windows.notebook->setEnabled(true);
}

void TDriveSession::showOnline() {
    m_windows.driveState->showOnline([this] { return message(mon::kMsgOnline); },
                                     [this] { return message(mon::kMsgOnlineDetail); });
    m_windows.N10->setEnabled(true);
    m_windows.N4->setEnabled(true);
    m_windows.N9->setEnabled(true);
    m_windows.N3->setEnabled(false);
    ui::setEnabledByName(m_windows.window, kOnlineScopeStart, true);
    m_windows.controls->showOnline(true);
    // The offline scope's start, held while offline, comes back once with the drive.
    if (m_shownOffline)
        ui::setEnabledByName(m_windows.window, kOfflineScopeStart, true);
    m_shownOffline = false;
}

void TDriveSession::pollStatus() {
    QTimer* monitorTimer = m_windows.timers->monitor();
    mon::StatusTick tick;
    bool monitorWasOn = false;
    {
        LinkBusyGuard guard(m_parts.link);
        if (!guard)
            return;
        monitorWasOn = monitorTimer->isActive();
        monitorTimer->stop();
        const auto enmod = m_parts.model.knownPosition(pm::KnownParameter::ENMOD);
        m_windows.controls->showServoPanel(enmod && m_parts.model.value(*enmod) != 0);
        tick = m_parts.status.tick();
        if (tick.outcome == mon::StatusTick::Outcome::Online)
            showStatus(tick);
    }
    if (tick.outcome == mon::StatusTick::Outcome::WentOffline) {
        showOffline(mon::kMsgStateOffline);
        // The link stays blocked until a new connection.
        m_parts.link.state().linkBusy = true;
        reportEnd(pm::withArguments(
            m_parts.messages.text(pm::kMsgStatusPollSilent, m_parts.model.language()),
            {std::to_string(mon::kToleratedFailures + 1)}));
        return;
    }
    if (monitorWasOn)
        monitorTimer->start();
}

void TDriveSession::showStatus(const mon::StatusTick& tick) {
    showOnline();
    const mon::FrameBits& state = m_parts.status.frame(0);
    const mon::FrameBits& application = m_parts.status.frame(1);
    if (!state.bit(0, mon::kBitServoOn)) {
        for (const char* name : kScopeSettingGroups)
            ui::setEnabledByName(m_windows.window, name, true);
    }
    m_windows.statusPage->showBits(state, application);
    m_windows.statusPage->showLive(true);
    m_windows.driveState->showStatus(tick, state, application, m_parts.messages,
                                     m_parts.model.language());
    m_windows.controls->showStatus(state, servoPanelAllowed());
    m_windows.N4->setEnabled(true);
    m_windows.N10->setEnabled(true);
    if (const auto text = mon::setStateText(static_cast<int>(m_parts.model.parameterSetState())))
        m_windows.controls->show_state_par->setText(qs(*text));
}

void TDriveSession::pollMonitor() {
    // The status poll keeps its own schedule: the busy flag alone keeps it out of this tick.
    LinkBusyGuard guard(m_parts.link, LinkBusyGuard::Polls::Keep);
    if (!guard)
        return;
    m_windows.monitor->showValues(readMonitorValues(m_parts.access, m_parts.model));
}

void TDriveSession::startMonitor() {
    mon::TMonitorPanel* monitor = m_windows.monitor;
    LinkBusyGuard guard(m_parts.link);
    // The monitor reads a connected drive; offline it has nothing to show.
    if (!guard || !connected()) {
        monitor->Stop_monitor->setChecked(true);
        return;
    }
    m_windows.controls->Panel32->setEnabled(false);
    m_windows.notebook->setEnabled(false);
    m_windows.timers->monitor()->start();
    monitor->paintFields(colors::kAqua);
    monitor->Monitor->setChecked(true);
}

void TDriveSession::stopMonitor() {
    m_windows.timers->monitor()->stop();
    m_windows.controls->Panel32->setEnabled(true);
    m_windows.notebook->setEnabled(true);
    m_windows.monitor->paintFields(colors::kSilver);
    m_windows.monitor->Monitor->setChecked(false);
    m_windows.monitor->Stop_monitor->setChecked(true);
    m_windows.timers->restoreIdle();
}

void TDriveSession::revertMonitor() {
    m_windows.timers->monitor()->stop();
    m_windows.monitor->paintFields(colors::kSilver);
    m_windows.monitor->Stop_monitor->setChecked(true);
    m_windows.monitor->Monitor->setEnabled(connected());
    if (!connected())
        m_windows.timers->status()->stop();
    m_windows.controls->Panel32->setEnabled(true);
}

bool TDriveSession::ReadParamAll() {
    const link::LinkState& state = m_parts.link.state();
    if (state.linkBusy || state.connected == 0)
        return false;
    ReadAllResult result;
    {
        SweepDisplay display(m_parts.link, *m_windows.timers, m_windows.window,
                             m_windows.controls->Button9, m_windows.controls->RPar);
        Sweeps sweeps(m_parts.link, m_parts.model, m_parts.messages);
        result = sweeps.ReadParamAll(display.progress());
    }
    if (result.ran)
        showValuesRead(result);
    m_windows.notebook->setCurrentIndex(0);
    m_windows.controls->Button6->setEnabled(true);
    ui::setEnabledByName(m_windows.window, kViewOscillogram, false);
    return result.ran;
}

void TDriveSession::showValuesRead(const ReadAllResult& result) {
    pm::ParameterModel& model = m_parts.model;
    m_windows.pages->showReadRows();
    for (int position = 0; position < result.positions; ++position) {
        if (!model.hasPageRow(position))
            continue;
        const std::string& name = model.parameter(position).Pname;
        const int value = static_cast<int>(std::trunc(model.value(position)));
        if (name == "OPMOD") {
            m_windows.controls->showOperatingMode(value);
            m_parts.operatingMode = value;
        } else if (name == "INST") {
            m_windows.controls->showCommandSource(value, servoPanelAllowed());
        }
    }
    if (result.formulaPasses > 0) {
        for (const formula::ChangeMark& mark : formula::changeMarks(model))
            m_windows.pages->markChanged(mark.position, mark.mark);
    }
    const TypesOfValues types = typesOfValues(model, m_parts.typeTables);
    // The motor the drive holds, in the selector and in Motor_sel alike.
    if (types.motorLine)
        showMotor(*types.motorLine, types.motorName);
    if (types.driveName)
        m_windows.driveState->Dr_Num->setText(qs(*types.driveName));
    m_windows.controls->SerNum->setText(QString::number(serialNumber(model)));
    // The boxes show the levels as read, without their click handlers: the drive holds that
    // value already. "DINLEV" is written only when the user changes a box.
    if (const auto dinlev = model.knownPosition(pm::KnownParameter::DINLEV))
        m_windows.statusPage->setInversion(
            static_cast<uint16_t>(static_cast<int>(model.value(*dinlev))));
    if (const auto text = mon::setStateText(static_cast<int>(model.parameterSetState())))
        m_windows.controls->show_state_par->setText(qs(*text));
    keepDriveControlsOffline();
    emit valuesRead();
}

void TDriveSession::keepDriveControlsOffline() {
    // Values from a file or an edit show on the buttons, but without a drive no button may act.
    if (!connected())
        m_windows.controls->showOnline(false);
}

void TDriveSession::Button9Click() {
    if (!connected())
        return;
    if (ReadParamAll())
        logAction(m_parts.messages.text(pm::kMsgLogReadAll, m_parts.model.language()));
}

void TDriveSession::writeAll() {
    if (!connected())
        return;
    SweepDisplay display(m_parts.link, *m_windows.timers, m_windows.window,
                         m_windows.controls->Button6, m_windows.controls->WPar);
    Sweeps sweeps(m_parts.link, m_parts.model, m_parts.messages);
    (void)sweeps.writeAll([this](int, bool, const std::string& action) { logAction(action); },
                          display.progress());
}

void TDriveSession::logAction(const std::string& action) {
    m_parts.actionLog.write(
        mon::composeLogEntry(m_windows.controls->MaskEdit3->text().toStdString(),
                             m_windows.controls->MaskEdit4->text().toStdString(), action));
}

void TDriveSession::ComboBox6CloseUp() {
    // Offline the values change only in the table and on the pages.
    std::optional<LinkBusyGuard> guard;
    if (connected()) {
        guard.emplace(m_parts.link);
        if (!*guard)
            return;
    }
    const int line = std::max(m_windows.controls->ComboBox6->currentIndex(), 0) + 1;
    const MotorTypeApplied applied =
        applyMotorType(m_parts.link, m_parts.access, m_parts.model, m_parts.typeTables, line);
    guard.reset();
    showMotor(applied.line, applied.name);
    m_windows.driveState->Error->setFocus();
}

void TDriveSession::InvClick(int, bool) {
    const auto dinlev = m_parts.model.knownPosition(pm::KnownParameter::DINLEV);
    if (!connected() || !dinlev)
        return;
    LinkBusyGuard guard(m_parts.link);
    if (!guard)
        return;
    m_parts.model.setCurrentParameter(*dinlev);
    m_parts.model.setValue(*dinlev, m_windows.statusPage->inversion());
    m_parts.access.SetParam();
}

void TDriveSession::ParamMouseDown(pm::TParamFrame* frame, int row) {
    m_windows.editor->openForRow(*frame, row, true);
    const int position = frame->positionOf(row);
    if (position >= 0 && m_parts.model.parameter(position).Pname == kMotorType) {
        const int line = static_cast<int>(std::trunc(m_parts.model.value(position)));
        showMotor(line, motorName(m_parts.typeTables, line));
    }
}

void TDriveSession::showEditOutcome(const EditOutcome& outcome) {
    TControlArea* controls = m_windows.controls;
    controls->Button6->setEnabled(true);
    if (outcome.operatingMode) {
        controls->showOperatingMode(*outcome.operatingMode);
        m_parts.operatingMode = *outcome.operatingMode;
    }
    if (outcome.commandSource)
        showCommandSource(*outcome.commandSource);
    if (outcome.motor)
        showMotor(outcome.motor->line, outcome.motor->name);
    if (outcome.driveName)
        m_windows.driveState->Dr_Num->setText(qs(*outcome.driveName));
    keepDriveControlsOffline();
}

void TDriveSession::showCommandSource(int inst) {
    TControlArea* controls = m_windows.controls;
    controls->showCommandSource(inst, servoPanelAllowed());
    if (inst == 0 || inst == 1) {
        controls->Button6->setEnabled(true);
    } else if (inst == 2 || inst == 3) {
        controls->showServoPanel(false);
        controls->Button6->setEnabled(false);
    }
}

void TDriveSession::showMotor(int line, const std::string& name) {
    if (name.empty())
        return;
    m_windows.controls->selectMotorLine(line);
    m_windows.driveState->Motor_sel->setText(qs(name));
}

void TDriveSession::writeSerialNumber() {
    m_windows.controls->Button6->setEnabled(true);
    LinkBusyGuard guard(m_parts.link);
    if (!guard)
        return;
    for (int position : {0, 1}) {
        m_parts.model.setCurrentParameter(position);
        m_parts.access.SetParam();
        m_parts.link.ui().waitMs(kSerialWriteGapMs);
    }
}

}  // namespace zrd::session
