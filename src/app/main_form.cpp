#include "app/main_form.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include "app/about_box.h"
#include "app/block_diagram.h"
#include "app/language_switch.h"
#include "app/service_menus.h"
#include "app/start_up.h"
#include "core/ui/controls.h"
#include "core/ui/settings_file.h"
#include "monitor/ui/drive_state.h"
#include "monitor/ui/monitor_panel.h"
#include "monitor/ui/status_page.h"
#include "params/ui/param_pages.h"
#include "scope/scope_settings.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/online_scope_page.h"
#include "scope/ui/trace_viewer.h"
#include "scope/ui/trigger_panel.h"
#include "session/link_busy_guard.h"
#include "session/port_advice.h"
#include "session/ui/control_area.h"
#include "session/ui/drive_session.h"
#include "session/ui/edit_par_form.h"
#include "session/ui/parameter_files.h"
#include "session/ui/reconnect.h"
#include "session/ui/service_controls.h"
#include "tuning/ui/generator_control.h"
#include "tuning/ui/wave_form.h"

namespace zrd::app {
namespace {

constexpr int kAboutPauseMs = 100;
constexpr int kTranslatePauseMs = 10;
// The online "Stop oscillogram", disabled again after a reply time-out.
constexpr const char* kOnlineScopeStop = "Button18";

}  // namespace

TMainForm::TMainForm(Program& program, QWidget* parent)
    : QMainWindow(parent),
      TimerForTime(new QTimer(this)),
      Timer5(new QTimer(this)),
      TimerMonitor(new QTimer(this)),
      Timer1(new QTimer(this)),
      Timer4(new QTimer(this)),
      m_program(program),
      m_timers(TimerForTime, Timer5, TimerMonitor, program.link.state()),
      m_settings(std::make_unique<ui::SettingsFile>(
          QString::fromStdString(program.options.settingsFile))) {
    setObjectName("MainForm");
    setWindowTitle(kMainCaption);
    // Minimise and close only: the layout is made for one size.
    setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);

    createMenu();
    auto* central = new QWidget(this);
    central->setObjectName("MainPanel");
    auto* root = new QVBoxLayout(central);
    root->setContentsMargins(4, 4, 4, 4);
    root->setSpacing(4);
    createNotebook();
    root->addWidget(TabbedNotebook2, 1);

    m_driveState = new monitor::TDriveState(central);
    m_monitor = new monitor::TMonitorPanel;
    m_driveState->addPanel(m_monitor);
    m_controls = new session::TControlArea(central);
    auto* bottom = new QHBoxLayout;
    bottom->setSpacing(4);
    bottom->addWidget(m_driveState, 1);
    bottom->addWidget(m_controls, 0);
    root->addLayout(bottom);
    setCentralWidget(central);

    createTimers();
    AboutBox = new TAboutBox(*this);
    createSession();
    createOnlineScope();
    createOfflineScope();
    createGenerator();
    createServiceWindows();
    createConfiguration();
    createCommandMonitor();
    createLanguage();
    setFixedSize(kMainWidth, kMainHeight);
}

TMainForm::~TMainForm() {
    // The page and a step run go while the timers they hand back on the way out still exist.
    delete m_offlineScope;
    deleteToolRuns();
}

bool TMainForm::startUp() {
    return StartUp(*this).run();
}

void TMainForm::Timer1Timer() {
    Timer1->stop();
    if (!m_program.english()) {
        m_language->translateAtStartUp();
        m_program.ui.waitMs(kTranslatePauseMs);
        m_blockDiagram->showPicture(m_program.ui);
    }
    show();
    QApplication::restoreOverrideCursor();
    const int motor =
        m_controls->ComboBox6->findText(m_driveState->Motor_sel->text(), Qt::MatchStartsWith);
    if (motor >= 0)
        m_controls->ComboBox6->setCurrentIndex(motor);
    setEnabled(true);
    TimerForTime->start();
}

void TMainForm::createMenu() {
    buildMenu(*menuBar(), m_program.options.simDevice);
    connect(Exit1, &QAction::triggered, this, &TMainForm::Exit1Click);
    connect(About1, &QAction::triggered, this, &TMainForm::About1Click);
}

void TMainForm::createNotebook() {
    TabbedNotebook2 = new QTabWidget(this);
    TabbedNotebook2->setObjectName("TabbedNotebook2");
    TabbedNotebook2->setUsesScrollButtons(false);
    // Ten tabs side by side across the window: all of them stay in sight.
    TabbedNotebook2->setStyleSheet("QTabBar::tab { padding: 4px 7px; }");
    m_blockDiagram = new TBlockDiagram(m_program);
    TabbedNotebook2->addTab(m_blockDiagram, "Block Diagram");
    m_pages = new params::TParamPages(m_program.model, m_program.messages, TabbedNotebook2);
    // The scope pages go in front of the status page once the windows they use are made.
    m_statusPage = new monitor::TStatusPage(m_program.model, m_program.messages, TabbedNotebook2);
    connect(TabbedNotebook2, &QTabWidget::tabBarClicked, this, &TMainForm::TabbedNotebook2Click);
}

void TMainForm::createTimers() {
    const auto timer = [this](QTimer* t, const char* name, int interval,
                              void (TMainForm::*handler)()) {
        t->setObjectName(name);
        t->setInterval(interval);
        connect(t, &QTimer::timeout, this, handler);
    };
    timer(TimerForTime, "TimerForTime", kTimerForTimeMs, &TMainForm::TimerForTimeTimer);
    timer(Timer5, "Timer5", kTimer5Ms, &TMainForm::Timer5Timer);
    timer(TimerMonitor, "TimerMonitor", kTimerMonitorMs, &TMainForm::TimerMonitorTimer);
    timer(Timer1, "Timer1", kTimer1Ms, &TMainForm::Timer1Timer);
    timer(Timer4, "Timer4", kTimer4Ms, &TMainForm::Timer4Timer);
}

void TMainForm::createSession() {
    Program& p = m_program;
    Edit_par_Form = new session::TEdit_par_Form(
        {p.link, p.model, p.access, p.messages, p.typeTables, p.functionNames}, this);
    const session::SessionParts parts{p.link,       p.model,      p.messages,
                                      p.typeTables, p.access,     p.status,
                                      p.actionLog,  p.connection, p.shell.operatingMode};
    const session::SessionWindows windows{
        this,       TabbedNotebook2,  m_pages,   m_statusPage, m_driveState, m_monitor,
        m_controls, Edit_par_Form,    &m_timers, N3,           N9,           N4,
        N10,        Setconfiguration1};
    m_session = new session::TDriveSession(parts, windows, this);
    m_session->setPortSources({}, p.dataFile(session::kSerialRulesFile));
    new session::TReconnect({*m_session, p.connection, p.messages, p.model, p.ui, {}},
                            m_driveState->Reconnect, TabbedNotebook2, this);
    connect(N3, &QAction::triggered, this, &TMainForm::N3Click);
    connect(N9, &QAction::triggered, this, &TMainForm::N9Click);
    connect(m_monitor->Monitor, &QPushButton::clicked, this, &TMainForm::MonitorClick);
    connect(m_monitor->Stop_monitor, &QPushButton::clicked, this, &TMainForm::Stop_monitorClick);
    connect(m_driveState, &monitor::TDriveState::Panel10Click, this, &TMainForm::Panel10Click);
}

void TMainForm::createOnlineScope() {
    Program& p = m_program;
    m_onlineScope = new scope::TOnlineScopePage(
        {p.link, p.access, p.model, p.messages, *p.oscillogram, p.shell.cpuSpeedClass,
         [this](const std::string& text) { m_session->reportEnd(text); }},
        {this, m_controls->MaskEdit3, m_controls->MaskEdit4, N20, m_monitor->Monitor,
         m_monitor->Stop_monitor, TimerMonitor});
    TabbedNotebook2->insertTab(kTabOscillOnline, m_onlineScope, "Oscilloscope online");
    connect(m_session, &session::TDriveSession::valuesRead, m_onlineScope,
            [this] { m_onlineScope->showDriveSettings(false); });
    // The viewer's colours are remembered with the other settings.
    Oscill = new scope::TOscill(
        {*p.oscillogram, p.actionLog, p.messages, p.model, p.ui, m_settings.get()}, this);
    connect(m_onlineScope, &scope::TOnlineScopePage::viewRequested, Oscill, [this] {
        Oscill->showFor(m_controls->MaskEdit3->text().toStdString(),
                        m_controls->MaskEdit4->text().toStdString());
    });
    // A viewer kept open beside the program shows the buffer a new capture rewrites.
    connect(m_onlineScope, &scope::TOnlineScopePage::captureStarting, Oscill, &QWidget::close);
    // The viewer's bit rows follow the channel's signal.
    connect(m_onlineScope, &scope::TOnlineScopePage::channelSelected, Oscill, [this](int c) {
        Oscill->setBitGroup(
            c, scope::channelBitHints(m_program.model, m_program.oscillogram->channel(c).name));
    });
}

void TMainForm::createOfflineScope() {
    Program& p = m_program;
    OscillOff = new scope::TOscillOff(
        {*p.oscillogram, p.actionLog, p.messages, p.model, p.ui, m_settings.get()}, this);
    m_offlineScope = new scope::TOfflineScopePage(
        {p.link, p.access, p.model, p.messages, *p.oscillogram, p.shell.generatorRunning,
         [this](const std::string& text) { m_session->reportEnd(text); }},
        {m_controls->MaskEdit3, m_controls->MaskEdit4, N20, m_monitor->Monitor,
         m_monitor->Stop_monitor, TimerMonitor, m_onlineScope->Button3, m_controls->SpeedButton1,
         m_controls->SpeedButton2, OscillOff});
    TabbedNotebook2->insertTab(kTabOscillOffline, m_offlineScope, "Oscilloscope offline");
    connect(m_session, &session::TDriveSession::valuesRead, m_offlineScope,
            [this] { m_offlineScope->showDriveSettings(false); });
    // The viewer's bit rows follow the channel's signal.
    connect(m_offlineScope, &scope::TOfflineScopePage::channelSelected, OscillOff, [this](int c) {
        OscillOff->setBitGroup(
            c, scope::channelBitHints(m_program.model, m_program.oscillogram->channel(c).name));
    });
}

void TMainForm::createGenerator() {
    Program& p = m_program;
    Wave_Form = new tuning::TWave_Form(
        {p.link, p.access, p.model, p.messages, p.shell.operatingMode,
         [&p](const std::string& name) { return p.dataFile(name); }, [this] { m_timers.resume(); }},
        this);
    connect(TypeofFGsignal1, &QAction::triggered, this, &TMainForm::TypeofFGsignal1Click);
    connect(m_controls->BitBtn1, &QToolButton::clicked, this, &TMainForm::BitBtn1Click);
    m_generator = new tuning::TGeneratorControl(
        p.link, p.model, p.messages, p.shell.generatorRunning, *m_controls, *m_offlineScope, this);
}

void TMainForm::createServiceWindows() {
    Program& p = m_program;
    m_service = new session::TServiceControls(
        {p.link, p.access, p.model, p.messages, p.shell.operatingMode, p.shell.generatorRunning},
        {this, m_controls, m_session, m_driveState->Control,
         [this](bool byTrigger) {
             // By the trigger: only the triggers that wait for a motion of their own.
             const scope::TriggerType t = m_offlineScope->Trigger->type();
             if (!byTrigger || t == scope::TriggerType::Rising ||
                 t == scope::TriggerType::Falling || t == scope::TriggerType::Generator)
                 m_offlineScope->Button5->setEnabled(true);
         }},
        this);
    m_service->connectMenu(N4, Savedefault1, SaveprogramspartoEEPROM1, Loaddefault1, N17, RESET1,
                           InitialDriveInitialization1);
    m_serviceMenus =
        new TServiceMenus({*this, *m_controls, *m_pages, p.model, *m_session, m_timers}, this);
    m_files = new session::TParameterFiles(p.model, p.messages, p.ui, *m_session, this);
    connect(Saveparameterstofile1, &QAction::triggered, m_files,
            &session::TParameterFiles::Saveparameterstofile1Click);
    connect(Readingparametersfromfile1, &QAction::triggered, m_files,
            &session::TParameterFiles::Readingparametersfromfile1Click);
    createToolWindows(
        {p, this, *this, *m_controls, *m_onlineScope, *m_offlineScope, *Oscill, *OscillOff});
}

void TMainForm::TypeofFGsignal1Click() {
    repaint();
    Wave_Form->showModal();
}

void TMainForm::BitBtn1Click() {
    Wave_Form->showModal();
}

void TMainForm::showInRow(int position, const QString& text) {
    m_pages->showInRow(position, text);
}

void TMainForm::restoreIdle() {
    m_timers.restoreIdle();
    m_monitor->Monitor->setEnabled(m_timers.connected());
    ui::setEnabledByName(this, kOnlineScopeStop, false);
}

void TMainForm::linkLost(const std::string& reason) {
    m_session->linkLost(reason);
}

void TMainForm::N3Click() {
    // Read-all shows the first page; a reconnecting user stays where the work was.
    const int page = TabbedNotebook2->currentIndex();
    if (!m_session->connectDrive())
        return;
    if (TabbedNotebook2->currentIndex() != page) {
        TabbedNotebook2->setCurrentIndex(page);
        TabbedNotebook2Click(page);
    }
    // The port that opened is offered first at the next start.
    const session::ConnectionSettings& c = m_program.connection;
    m_settings->setConnection(
        {c.device, c.BaudRate, c.PortTimeOut, c.FastGapBytes, c.AutoReconnect});
    saveSettings();
}

void TMainForm::saveSettings() {
    if (const auto problem = m_settings->save())
        showSettingsProblem(m_program, *problem);
}

void TMainForm::N9Click() {
    // A running capture is stopped as by its own button while the port is still open.
    m_onlineScope->Button18Click();
    m_offlineScope->cancelCapture();
    cancelToolRuns();
    m_session->disconnectDrive();
}

void TMainForm::Timer5Timer() {
    m_session->pollStatus();
}

void TMainForm::TimerMonitorTimer() {
    m_session->pollMonitor();
}

void TMainForm::TimerForTimeTimer() {
    m_controls->showClock(QDateTime::currentDateTime());
}

void TMainForm::Timer4Timer() {}

void TMainForm::MonitorClick() {
    m_session->startMonitor();
}

void TMainForm::Stop_monitorClick() {
    m_session->stopMonitor();
}

void TMainForm::Panel10Click() {
    if (!m_timers.connected())
        return;
    Timer5->stop();
    TimerMonitor->start();
}

void TMainForm::TabbedNotebook2Click(int tab) {
    // A capture holds "Start monitor" until it ends.
    const bool capturing = m_onlineScope->capturing() || m_offlineScope->listening();
    if (!m_monitor->Monitor->isEnabled() && !capturing)
        m_session->revertMonitor();
    if (tab == kTabBlockDiagram)
        return;
    m_onlineScope->synchronise(tab == kTabOscillOnline);
    m_offlineScope->synchronise(tab == kTabOscillOffline);
    TimerForTime->start();
}

void TMainForm::About1Click() {
    session::LinkBusyGuard guard(m_program.link);
    if (guard)
        m_program.ui.waitMs(kAboutPauseMs);
    AboutBox->exec();
}

void TMainForm::openServiceMenus(bool admin) {
    m_serviceMenus->open(admin);
}

void TMainForm::Exit1Click() {
    close();
}

void TMainForm::closeEvent(QCloseEvent* event) {
    m_settings->setLastPage(TabbedNotebook2->currentIndex());
    saveSettings();
    Timer5->stop();
    // An armed record is abandoned while the port is still open.
    m_offlineScope->cancelCapture();
    cancelToolRuns();
    m_program.link.state().linkBusy = false;
    m_program.shell.generatorRunning = false;
    m_program.link.closePort();
    event->accept();
}

}  // namespace zrd::app
