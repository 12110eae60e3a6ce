#include "session/ui/service_controls.h"

#include <QAction>
#include <QLineEdit>
#include <QPushButton>
#include <QToolButton>

#include "core/ui/controls.h"
#include "monitor/status.h"
#include "session/ui/control_area.h"
#include "session/ui/drive_session.h"

namespace zrd::session {
TServiceControls::TServiceControls(const ServiceParts& parts, const ServiceWindows& windows,
                                   QObject* parent)
    : QObject(parent),
      ResetTimer(new QTimer(this)),
      m_parts(parts),
      m_windows(windows),
      m_commands(parts.link, parts.access, parts.model, parts.messages) {
    ResetTimer->setObjectName("ResetTimer");
    ResetTimer->setSingleShot(true);
    connect(ResetTimer, &QTimer::timeout, this, &TServiceControls::ResetTimerTimer);
    TControlArea* c = windows.controls;
    connect(c->Button6, &QPushButton::clicked, this, &TServiceControls::Button6Click);
    // A click checks its button before the handler runs: the servo state before it is taken
    // when the button goes down.
    for (QToolButton* b : {c->Enable_button, c->Desable_button})
        connect(b, &QToolButton::pressed, this, [this] { m_servoBefore = current().servoOn; });
    connect(c->Enable_button, &QToolButton::clicked, this, &TServiceControls::Enable_buttonClick);
    connect(c->Desable_button, &QToolButton::clicked, this, &TServiceControls::Desable_buttonClick);
    connect(c->SpeedButton4, &QToolButton::clicked, this, [this] { modeClick(kModeCurrent); });
    connect(c->SpeedButton5, &QToolButton::clicked, this, [this] { modeClick(kModeSpeed); });
    connect(c->SpeedButton6, &QToolButton::clicked, this, [this] { modeClick(kModePosition); });
    connect(c->SpeedButton1, &QToolButton::clicked, this,
            [this] { sourceClick(ServiceCommands::Source::Internal); });
    connect(c->SpeedButton2, &QToolButton::clicked, this,
            [this] { sourceClick(ServiceCommands::Source::External); });
}

void TServiceControls::connectMenu(QAction* store, QAction* dataArea0, QAction* dataArea1,
                                   QAction* loadDataArea, QAction* forcedReset,
                                   QAction* checkedReset, QAction* initialisation) {
    connect(store, &QAction::triggered, this, &TServiceControls::storeInEeprom);
    connect(dataArea0, &QAction::triggered, this,
            [this] { showResult(m_commands.saveDataArea(0)); });
    connect(dataArea1, &QAction::triggered, this,
            [this] { showResult(m_commands.saveDataArea(1)); });
    connect(loadDataArea, &QAction::triggered, this,
            [this] { showResult(m_commands.loadDataArea()); });
    connect(forcedReset, &QAction::triggered, this, [this] { reset(ResetKind::Forced); });
    connect(checkedReset, &QAction::triggered, this, [this] { reset(ResetKind::Checked); });
    connect(initialisation, &QAction::triggered, this, &TServiceControls::initialise);
}

DriveControls TServiceControls::current() const {
    const TControlArea* c = m_windows.controls;
    DriveControls d;
    d.servoOn = c->Enable_button->isChecked();
    d.generatorRunning = m_parts.generatorRunning;
    d.operatingMode = m_parts.operatingMode;
    d.displayFactor =
        m_parts.operatingMode == kModeCurrent ? kCurrentDisplayFactor : kDefaultDisplayFactor;
    d.internalSource = c->SpeedButton1->isChecked();
    return d;
}

void TServiceControls::show(const DriveControls& d) {
    TControlArea* c = m_windows.controls;
    (d.servoOn ? c->Enable_button : c->Desable_button)->setChecked(true);
    m_parts.generatorRunning = d.generatorRunning;
    if (!d.generatorRunning)
        c->SpeedButton7->setChecked(true);
    m_parts.operatingMode = d.operatingMode;
    c->showOperatingMode(d.operatingMode);
    (d.internalSource ? c->SpeedButton1 : c->SpeedButton2)->setChecked(true);
}

void TServiceControls::showState() {
    if (const auto text =
            monitor::setStateText(static_cast<int>(m_parts.model.parameterSetState())))
        m_windows.controls->show_state_par->setText(QString::fromStdString(*text));
}

void TServiceControls::showResult(const ServiceResult& result) {
    m_last = result;
    if (result.enableScopeGroups) {
        for (const char* name : kScopeSettingGroups)
            ui::setEnabledByName(m_windows.window, name, true);
    }
    if ((result.enableOfflineStart || result.enableOfflineStartByTrigger) &&
        m_windows.enableOfflineStart)
        m_windows.enableOfflineStart(!result.enableOfflineStart);
    showState();
}

void TServiceControls::storeInEeprom() {
    // Each write of the write-all goes to the action log, as "Write" of the pages does.
    showResult(m_commands.storeInEeprom(
        [this](int, bool, const std::string& action) { m_windows.session->logAction(action); }));
}

void TServiceControls::Button6Click() {
    showResult(m_commands.writeButton(current()));
}

void TServiceControls::Enable_buttonClick() {
    DriveControls d = current();
    d.servoOn = m_servoBefore;
    const ServiceResult r = m_commands.servoOn(d);
    show(d);
    showResult(r);
    readStateAgain(r.enmodRefused ? ServiceOutcome::NotRun : r.outcome);
}

void TServiceControls::Desable_buttonClick() {
    DriveControls d = current();
    d.servoOn = m_servoBefore;
    const ServiceResult r = m_commands.servoOff(d);
    show(d);
    showResult(r);
    readStateAgain(r.enmodRefused ? ServiceOutcome::NotRun : r.outcome);
}

void TServiceControls::modeClick(int mode) {
    DriveControls d = current();
    const ControlResult r = m_commands.selectOperatingMode(d, mode);
    show(d);
    if (!r.caption.empty())
        m_windows.controlCaption->setText(QString::fromStdString(r.caption));
    if (r.enableWriteButton)
        m_windows.controls->Button6->setEnabled(true);
    readStateAgain(r.outcome);
}

void TServiceControls::sourceClick(ServiceCommands::Source source) {
    DriveControls d = current();
    // The button is down already; the flag is what it was before.
    d.internalSource = source != ServiceCommands::Source::Internal;
    const ControlResult r = m_commands.selectCommandSource(d, source);
    show(d);
    TControlArea* c = m_windows.controls;
    if (r.enableWriteButton)
        c->Button6->setEnabled(true);
    if (r.generatorPanel)
        c->showGeneratorPanel(*r.generatorPanel);
    if (r.servoPanel)
        c->showServoPanel(*r.servoPanel);
    showResult(r.commands);
    readStateAgain(r.outcome);
}

void TServiceControls::reset(ResetKind kind) {
    DriveControls d = current();
    const ServiceResult r = m_commands.reset(d, kind);
    show(d);
    showResult(r);
    startResetPause(r);
}

void TServiceControls::initialise() {
    DriveControls d = current();
    const ServiceResult r = m_commands.initialise(d);
    show(d);
    showResult(r);
    startResetPause(r);
}

void TServiceControls::startResetPause(const ServiceResult& result) {
    // The drive starts again meanwhile; the window stays live and the link taken.
    if (result.readAllDueMs >= 0)
        ResetTimer->start(result.readAllDueMs);
}

void TServiceControls::ResetTimerTimer() {
    const ReadAllResult result = m_commands.completeReset();
    if (result.ran) {
        m_windows.session->showValuesRead(result);
        // The drive came up again with its servo off: the lamps follow now, not a poll later.
        readStateAgain(ServiceOutcome::Done);
    }
    showState();
}

void TServiceControls::readStateAgain(ServiceOutcome outcome) {
    // Only what reached the drive changes its state; a hang-up has taken the window offline.
    if (outcome == ServiceOutcome::NotRun || outcome == ServiceOutcome::NotWritten ||
        outcome == ServiceOutcome::HungUp)
        return;
    if (m_parts.link.state().connected != 0)
        m_windows.session->pollStatus();
}

}  // namespace zrd::session
