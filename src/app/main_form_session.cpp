// The main window's drive session: connection and disconnection, read-all and write-all, the
// status poll with its state frames, the monitor poll and the clock-stamped action log.

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

#include "app/colors.h"
#include "app/lamp.h"
#include "app/main_form.h"
#include "monitor/ui/state_frame.h"
#include "session/sweeps.h"
#include "session/ui/com_cfg.h"

namespace zrd::app {
namespace {

namespace mon = zrd::monitor;
namespace pm = zrd::params;

// The "Read" button pauses this long between stopping the timers and reading.
constexpr int kBeforeReadAllMs = 100;
constexpr int kStartMonitorPauseMs = 10;
constexpr const char* kOfflineEnglish = "   Offline";
constexpr const char* kOfflineRussian = "  Офлайн";
// The oscilloscope setting groups that follow the servo state.
constexpr const char* kScopeSettingGroups[] = {"GroupBox2", "Panel1", "Panel19", "GroupBox3",
                                               "Panel27"};

QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

// A list whose shown text is not one of its items, as the error and warning lists are.
void setListText(QComboBox* list, const QString& text) {
    if (!list->isEditable()) {
        list->setEditable(true);
        list->lineEdit()->setReadOnly(true);
    }
    list->setEditText(text);
}

}  // namespace

void TMainForm::connectSessionHandlers() {
    connect(N3, &QAction::triggered, this, &TMainForm::N3Click);
    connect(N9, &QAction::triggered, this, &TMainForm::N9Click);
    connect(N4, &QAction::triggered, this, &TMainForm::N4Click);
    connect(Button9, &QPushButton::clicked, this, &TMainForm::Button9Click);
    connect(Monitor, &QPushButton::clicked, this, &TMainForm::MonitorClick);
    connect(Stop_monitor, &QPushButton::clicked, this, &TMainForm::Stop_monitorClick);
    Panel10->installEventFilter(this);
    N9->setEnabled(false);
    for (int f = 0; f < 2; ++f) {
        m_stateFrames[f] = new mon::TStateFrame(f == 0 ? mon::TStateFrame::Kind::Status
                                                       : mon::TStateFrame::Kind::Application);
    }
    connect(m_stateFrames[1], &mon::TStateFrame::inversionClicked, this, &TMainForm::InvClick);
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    // A click on the drive-state area itself, not on one of its controls.
    if (watched == Panel10 && event->type() == QEvent::MouseButtonPress)
        Panel10Click();
    return QMainWindow::eventFilter(watched, event);
}

void TMainForm::buildStateFrames() {
    QTabWidget* controls[] = {PageControl6, PageControl7};
    const pm::ParameterModel::BitTable* tables[] = {&m_program.model.stateBits(),
                                                    &m_program.model.applicationBits()};
    const int captions[] = {pm::kMsgStatusPage, pm::kMsgApplicationPage};
    for (int f = 0; f < 2; ++f) {
        QTabWidget* pages = controls[f];
        // The frame is kept; only its sheet is made anew.
        while (pages->count() > 0) {
            QWidget* sheet = pages->widget(0);
            pages->removeTab(0);
            m_stateFrames[f]->setParent(nullptr);
            delete sheet;
        }
        auto* sheet = new QWidget;
        sheet->setObjectName(QString("StateSheet%1").arg(f));
        m_stateFrames[f]->setParent(sheet);
        m_stateFrames[f]->move(2, 2);
        m_stateFrames[f]->show();
        pages->addTab(sheet, qs(m_program.message(captions[f])));
        const bool any = m_stateFrames[f]->build(*tables[f], m_program.language());
        m_stateFrames[f]->adjustSize();
        pages->setVisible(any);
    }
}

void TMainForm::logAction(const std::string& action) {
    m_program.actionLog.write(mon::composeLogEntry(m_program.messages, m_program.language(),
                                                   MaskEdit3->text().toStdString(),
                                                   MaskEdit4->text().toStdString(), action));
}

void TMainForm::N3Click() {
    session::TCOM_CFG dialog(
        m_program.connection, link::listSerialDevices(),
        [this](session::ConnectionSettings& s) { return openConnection(s); }, m_program.ui, this);
    dialog.exec();
    connectionCheck();
}

bool TMainForm::openConnection(session::ConnectionSettings& settings) {
    link::LinkState& state = m_program.link.state();
    const session::OpenOutcome outcome =
        session::openConnection(m_program.link, settings, m_program.messages, m_program.language());
    switch (outcome.step) {
        case session::OpenOutcome::Step::OpenFailed:
        case session::OpenOutcome::Step::ScopeStopFailed:
            Timer5->stop();
            return false;
        case session::OpenOutcome::Step::GeneratorStopFailed:
            state.linkBusy = false;
            startStatusTimers();
            return false;
        case session::OpenOutcome::Step::Opened:
            break;
    }
    if (outcome.generatorStopped)
        SpeedButton7->setChecked(true);
    N10->setEnabled(true);
    N4->setEnabled(true);
    for (const char* name : {"Button3"})
        setEnabledByName(name, true);
    Button9->setEnabled(true);
    Panel3->setEnabled(true);
    Panel6->setEnabled(true);
    Timer5->start();
    setEnabledByName("Button1", false);
    TimerForTime->start();
    return true;
}

void TMainForm::connectionCheck() {
    if (!session::checkConnection(m_program.link, m_program.access, m_program.model,
                                  m_program.messages, m_program.connection)) {
        if (m_program.link.state().handle != link::PortHandle::None) {
            Timer5->stop();
            Monitor->setEnabled(false);
        }
        return;
    }
    ReadParamAll();
    setEnabledByName("Button5", true);
    Monitor->setEnabled(true);
    Setconfiguration1->setEnabled(true);
}

void TMainForm::N9Click() {
    link::LinkState& state = m_program.link.state();
    Timer5->stop();
    state.linkBusy = false;
    m_program.link.closePort();
    N10->setEnabled(false);
    N4->setEnabled(false);
    N9->setEnabled(false);
    N3->setEnabled(true);
    setEnabledByName("Button3", false);
    for (QWidget* w : std::initializer_list<QWidget*>{Button9, Button6, Panel7, Panel3, Panel6})
        w->setEnabled(false);
    TimerMonitor->stop();
    Monitor->setEnabled(false);
    showOffline();
}

void TMainForm::showOffline() {
    paintState(Edit5, colors::kRed);
    paintState(State_connection, colors::kRed);
    State_connection->setText(m_program.english() ? kOfflineEnglish : kOfflineRussian);
    Edit5->setText(qs(m_program.message(mon::kMsgOfflineDetail)));
}

void TMainForm::Button9Click() {
    if (m_program.link.state().connected == 0)
        return;
    stopStatusTimers();
    m_program.ui.waitMs(kBeforeReadAllMs);
    ReadParamAll();
    logAction(m_program.message(params::kMsgLogReadAll));
}

void TMainForm::N4Click() {
    link::LinkState& state = m_program.link.state();
    if (state.linkBusy)
        return;
    state.linkBusy = true;
    stopStatusTimers();
    // Nothing is stored before the values on the pages came from somewhere.
    if (m_program.model.valueOrigin() != pm::kValueOriginStartup) {
        state.linkBusy = false;
        writeAll();
    }
    state.linkBusy = false;
    startStatusTimers();
}

void TMainForm::writeAll() {
    setEnabled(false);
    Timer5->stop();
    WPar->show();
    session::Sweeps sweeps(m_program.link, m_program.model, m_program.messages);
    const QString caption = Button6->text();
    const auto progress = [this, &caption](int done, int total) {
        Button6->setText(QString("%1 %2/%3").arg(caption).arg(done).arg(total));
    };
    (void)sweeps.writeAll([this](int, bool, const std::string& action) { logAction(action); },
                          progress);
    Button6->setText(caption);
    WPar->hide();
    Timer5->start();
    setEnabled(true);
}

void TMainForm::setInversionFromDinlev() {
    const auto dinlev = m_program.model.knownPosition(pm::KnownParameter::DINLEV);
    if (!dinlev)
        return;
    const auto value = static_cast<uint16_t>(static_cast<int>(m_program.model.value(*dinlev)));
    // The boxes are set without their handlers, and the value goes back once, not once per box.
    m_stateFrames[1]->setInversion(value);
    if (m_program.link.state().connected != 1 || m_program.link.state().linkBusy)
        return;
    m_program.model.setCurrentParameter(*dinlev);
    m_program.access.SetParam();
}

void TMainForm::InvClick(int, bool) {
    link::LinkState& state = m_program.link.state();
    if (state.connected != 1)
        return;
    const auto dinlev = m_program.model.knownPosition(pm::KnownParameter::DINLEV);
    if (!dinlev)
        return;
    m_program.model.setCurrentParameter(*dinlev);
    m_program.model.setValue(*dinlev, m_stateFrames[1]->inversion());
    m_program.access.SetParam();
}

void TMainForm::paintMonitorFields(QRgb colour) {
    for (const MonitorField& f : m_monitor)
        paintState(f.field, colour);
}

void TMainForm::MonitorClick() {
    link::LinkState& state = m_program.link.state();
    state.linkBusy = true;
    Timer5->stop();
    m_program.ui.waitMs(kStartMonitorPauseMs);
    state.linkBusy = true;
    stopStatusTimers();
    Panel32->setEnabled(false);
    TabbedNotebook2->setEnabled(false);
    TimerMonitor->start();
    paintMonitorFields(colors::kAqua);
    QApplication::processEvents();
    Monitor->setChecked(true);
    state.linkBusy = false;
    startStatusTimers();
}

void TMainForm::Stop_monitorClick() {
    TimerMonitor->stop();
    m_program.ui.waitMs(kStartMonitorPauseMs);
    Timer5->stop();
    TimerMonitor->stop();
    Panel32->setEnabled(true);
    TabbedNotebook2->setEnabled(true);
    paintMonitorFields(colors::kSilver);
    Monitor->setChecked(false);
    Stop_monitor->setChecked(true);
    Timer5->start();
}

void TMainForm::Panel10Click() {
    Timer5->stop();
    TimerMonitor->start();
}

void TMainForm::TimerMonitorTimer() {
    link::LinkState& state = m_program.link.state();
    if (state.linkBusy)
        return;
    state.linkBusy = true;
    const bool statusWasOn = Timer5->isActive();
    Timer5->stop();
    const mon::MonitorValues v = session::readMonitorValues(m_program.access, m_program.model);
    const auto show = [](QLineEdit* field, double value) {
        field->setText(QString::fromStdString(pm::valueText(value)));
    };
    show(Speed_com, v.speedCommand);
    show(Act_speed, v.speedActual);
    show(Current_com, v.currentCommand);
    show(Act_current, v.currentActual);
    show(Torque_com, v.torqueCommand);
    show(Act_torque, v.torqueActual);
    show(Position_com, v.positionCommand);
    show(Act_position, v.positionActual);
    show(Analog_in, v.analogIn);
    show(Pulse_in, v.pulseIn);
    Direction->setText(QString::fromStdString(v.direction));
    show(Follow_err, v.followError);
    QApplication::processEvents();
    state.linkBusy = false;
    if (statusWasOn)
        Timer5->start();
}

void TMainForm::Timer5Timer() {
    link::LinkState& state = m_program.link.state();
    if (state.linkBusy)
        return;
    const bool monitorWasOn = TimerMonitor->isActive();
    TimerMonitor->stop();
    state.linkBusy = true;
    stopStatusTimers();

    const auto enmod = m_program.model.knownPosition(pm::KnownParameter::ENMOD);
    const double enmodValue = enmod ? m_program.model.value(*enmod) : 0;
    Panel7->setEnabled(enmodValue != 0);
    paintState(Panel7, enmodValue != 0 ? colors::kButtonFace : colors::kGrey);

    const mon::StatusTick tick = m_program.status.tick();
    switch (tick.outcome) {
        case mon::StatusTick::Outcome::Online:
            showStatus(tick);
            break;
        case mon::StatusTick::Outcome::WentOffline:
            showOffline();
            Edit5->setText(qs(m_program.message(mon::kMsgOfflineDetail)));
            State_connection->setText(qs(m_program.message(mon::kMsgStateOffline)));
            for (QWidget* w : std::initializer_list<QWidget*>{Panel7, Panel14}) {
                paintState(w, colors::kGrey);
                w->setEnabled(false);
            }
            N10->setEnabled(false);
            N4->setEnabled(false);
            N3->setEnabled(true);
            for (QWidget* w : std::initializer_list<QWidget*>{Panel3, Panel6, Button6, Button9})
                w->setEnabled(false);
            setEnabledByName("Button3", false);
            TimerMonitor->stop();
            Monitor->setEnabled(false);
            N9->setEnabled(false);
            // The link stays blocked until a new connection; the clock goes on.
            state.linkBusy = true;
            Timer5->stop();
            TimerForTime->start();
            return;
        case mon::StatusTick::Outcome::Tolerated:
        case mon::StatusTick::Outcome::Skipped:
            break;
    }
    state.linkBusy = false;
    if (monitorWasOn)
        TimerMonitor->start();
    startStatusTimers();
}

void TMainForm::showOnline() {
    paintState(Edit5, colors::kLime);
    paintState(State_connection, colors::kLime);
    State_connection->setText(qs(m_program.message(mon::kMsgOnline)));
    Edit5->setText(qs(m_program.message(mon::kMsgOnlineDetail)));
    N10->setEnabled(true);
    N4->setEnabled(true);
    N9->setEnabled(true);
    N3->setEnabled(false);
    Panel6->setEnabled(true);
    Panel3->setEnabled(true);
    setEnabledByName("Button3", true);
    Button9->setEnabled(true);
}

void TMainForm::showStatus(const mon::StatusTick& tick) {
    showOnline();
    const mon::FrameBits& state = m_program.status.frame(0);
    const mon::FrameBits& application = m_program.status.frame(1);
    if (state.bit(0, mon::kBitServoOn)) {
        Enable_button->setChecked(true);
        paintState(drive_en, colors::kLime);
    } else {
        Desable_button->setChecked(true);
        paintState(drive_en, colors::kButtonFace);
        for (const char* name : kScopeSettingGroups)
            setEnabledByName(name, true);
    }
    m_stateFrames[0]->showBits(state);
    m_stateFrames[1]->showBits(application);
    if (state.bit(0, mon::kBitServoOn) || state.bit(0, mon::kBitServoOnAlso))
        Enable_button->setChecked(true);
    if (state.bit(0, mon::kBitGeneratorRunning))
        SpeedButton3->setChecked(true);

    const auto lamp = [](TLamp* l, bool on, QRgb off = colors::kGrey) {
        l->setColour(on ? colors::kLime : off);
    };
    lamp(Servo_enable, state.bit(0, mon::kBitServoOn));
    lamp(N_0, state.bit(0, mon::kBitSpeedZero), colors::kRed);
    lamp(drive_on, application.bit(0, mon::kBitDriveOn));
    lamp(Drive_ready, state.bit(0, mon::kBitReady));
    showErrorList(tick);
    showWarningList(tick);

    const auto enmod = m_program.model.knownPosition(pm::KnownParameter::ENMOD);
    if (state.bit(0, mon::kBitPcControl)) {
        paintState(PC_control, colors::kLime);
        paintState(Panel14, colors::kGrey);
        Panel14->setEnabled(false);
    } else {
        paintState(PC_control, colors::kFuchsia);
        if (enmod && m_program.model.value(*enmod) == 1) {
            paintState(Panel7, colors::kButtonFace);
            Panel7->setEnabled(true);
        }
        paintState(Panel14, colors::kButtonFace);
        Panel14->setEnabled(true);
    }
    Button9->setEnabled(true);
    N4->setEnabled(true);
    N10->setEnabled(true);
    if (const auto text = mon::setStateText(static_cast<int>(m_program.model.parameterSetState())))
        show_state_par->setText(qs(*text));
}

void TMainForm::showErrorList(const mon::StatusTick& tick) {
    if (!tick.readErrors) {
        paintState(Error, colors::kLime);
        Error->setText(qs(m_program.message(mon::kMsgNoErrors)));
        setListText(ComboBox1, qs(m_program.message(mon::kMsgNoErrorsList)));
        return;
    }
    paintState(Error, colors::kRed);
    ComboBox1->clear();
    for (const std::string& name : tick.errors)
        ComboBox1->addItem(qs(name));
    if (tick.errors.empty())
        return;
    setListText(ComboBox1, qs(m_program.message(mon::kMsgErrorsPresent)));
    Error->setText(qs(tick.errorCount));
}

void TMainForm::showWarningList(const mon::StatusTick& tick) {
    if (!tick.readWarnings) {
        paintState(Warning, colors::kLime);
        Warning->setText(qs(m_program.message(mon::kMsgWarnings)));
        setListText(ComboBox9, qs(m_program.message(mon::kMsgNoWarningsList)));
        return;
    }
    paintState(Warning, colors::kYellow);
    ComboBox9->clear();
    for (const std::string& name : tick.warnings)
        ComboBox9->addItem(qs(name));
    if (tick.warnings.empty())
        return;
    setListText(ComboBox9, qs(m_program.message(mon::kMsgWarningsPresent)));
    Warning->setText(qs(tick.warningCount));
}

}  // namespace zrd::app
