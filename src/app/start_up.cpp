#include "app/start_up.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>
#include <clocale>

#include "app/block_diagram.h"
#include "app/main_form.h"
#include "app/shell_messages.h"
#include "core/ui/controls.h"
#include "core/ui/qt_text.h"
#include "core/ui/settings_file.h"
#include "monitor/ui/drive_state.h"
#include "monitor/ui/monitor_panel.h"
#include "monitor/ui/status_page.h"
#include "params/database_loader.h"
#include "params/message_numbers.h"
#include "params/ui/param_pages.h"
#include "scope/ui/offline_scope_page.h"
#include "scope/ui/online_scope_page.h"
#include "session/ui/control_area.h"
#include "session/ui/drive_session.h"

namespace zrd::app {
StartUp::StartUp(TMainForm& form) : m_form(form), m_program(form.program()) {}

bool StartUp::run() {
    setFormats();
    m_program.openActionLog();
    m_form.hide();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    disableDriveControls();
    m_program.messages.load(m_program.dataFile(params::kMessageFileName), m_program.ui);
    showInitialState();
    if (!loadDatabase()) {
        QApplication::restoreOverrideCursor();
        return false;
    }
    m_form.driveState().captionFields(m_program.messages, m_program.language());
    loadTypeTables(m_form);
    m_form.blockDiagram().showPicture(m_program.ui);
    if (const auto line = m_program.typeTables.matchMotorLineByDefault(m_program.model))
        m_form.controls().selectMotorLine(*line);
    cachePositionsAndUnits(m_form);
    // Rate, channel signals and scales of the scopes; Stop, View and Reset wait for a capture.
    m_form.onlineScope().applyDefaults();
    m_form.offlineScope().applyDefaults();
    m_program.loadFunctionNameLists();
    applySettings();
    // Counted since the program state was made, across the steps above, not across a sleep.
    m_program.measureCpuSpeed();
    checkConnection();
    m_form.Timer4->stop();
    m_form.Timer1->start();
    m_form.controls().ComboBox6->setFocus();
    return true;
}

void StartUp::setFormats() {
    // Numbers in files and fields use "." whatever the user's locale says; Qt has set the
    // C library's locale from the environment by now.
    std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(QLocale::c());
    m_form.setWindowTitle(kMainCaption);
    QApplication::setApplicationName(kApplicationTitle);
}

void StartUp::disableDriveControls() {
    m_program.model.setValueOrigin(params::kValueOriginStartup);
    for (QAction* item : {m_form.N10, m_form.N4, m_form.N9})
        item->setEnabled(false);
    // Both scopes' "Start oscillogram" wait for a drive.
    for (const char* name : {"Button3", "Button5"})
        ui::setEnabledByName(&m_form, name, false);
    m_form.controls().showOnline(false);
    m_program.shell.operatingMode = kStartOperatingMode;
}

void StartUp::showInitialState() {
    m_form.driveState().Control->setText(qs(m_program.message(kMsgFirstStatusCaption)));
    m_form.driveState().Dr_Num->setText(kStartDriveNumber);
    m_form.driveState().Edit5->setText(qs(m_program.message(kMsgOfflineDetail)));
    m_form.controls().show_state_par->setText(qs(std::string(*params::parameterSetStateText(0))));
    // "Stop oscillogram", "View oscillogram" and "Reset Oscilloscope" of the offline scope page.
    for (const char* name : {"Button1", "Button2", "Button4"})
        ui::setEnabledByName(&m_form, name, false);
    m_form.controls().SpeedButton2->setChecked(true);
    m_form.TabbedNotebook2->setCurrentIndex(kTabBlockDiagram);
}

bool StartUp::loadDatabase() {
    m_form.TabbedNotebook2->hide();
    const params::LoadResult result =
        params::loadDatabase(m_program.dataFile(params::kDatabaseFileName), m_program.model,
                             m_program.messages, m_program.ui, false);
    if (result.status == params::LoadStatus::Missing ||
        result.status == params::LoadStatus::Unreadable) {
        m_program.messages.show(m_program.ui, kMsgNoDatabase, m_program.language());
        return false;
    }
    if (result.ok()) {
        m_form.pages().build();
        m_form.statusPage().build();
        m_form.TabbedNotebook2->show();
    } else {
        m_program.messages.show(m_program.ui, kMsgDatabaseFailed, m_program.language());
    }
    m_form.onlineScope().fillChannelSelectors();
    m_form.offlineScope().fillChannelSelectors();
    return true;
}

void loadTypeTables(TMainForm& form) {
    Program& program = form.program();
    params::TypeTables& tables = program.typeTables;
    (void)tables.load(program.dataFile(params::kMotorTypeFileName),
                      program.dataFile(params::kDriveTypeFileName), program.messages, program.ui,
                      program.language());
    form.controls().showMotorItems(tables.motorSelectorItems());
    if (const std::optional<int> mt = program.model.find("MT")) {
        if (const auto motor = tables.motorSelectorText(program.model.parameter(*mt).DefValue))
            form.driveState().Motor_sel->setText(qs(*motor).trimmed());
    }
    if (const std::optional<int> dt = program.model.find("DT")) {
        if (const auto drive = tables.driveSelectorText(program.model.parameter(*dt).DefValue))
            form.driveState().Dr_Num->setText(qs(*drive));
    }
}

void cachePositionsAndUnits(TMainForm& form) {
    form.program().model.cachePositions();
    form.monitorPanel().showUnits(form.program().model);
}

void showSettingsProblem(Program& program, const ui::SettingsFile::Problem& problem) {
    using Kind = ui::SettingsFile::Problem::Kind;
    const int message = problem.kind == Kind::Unreadable      ? params::kMsgSettingsBroken
                        : problem.kind == Kind::UnusableValue ? params::kMsgSettingsValue
                                                              : params::kMsgSettingsNotSaved;
    program.messages.showText(program.ui,
                              params::withArguments(program.message(message), problem.arguments),
                              program.language());
}

void StartUp::applySettings() {
    ui::SettingsFile& settings = m_form.settings();
    for (const ui::SettingsFile::Problem& problem : settings.load())
        showSettingsProblem(m_program, problem);
    // A simulated drive started beside the program is offered before the remembered port.
    if (const auto c = settings.connection()) {
        session::ConnectionSettings& connection = m_program.connection;
        if (m_program.options.simDevice.empty())
            connection.device = c->device;
        connection.BaudRate = c->baudRate;
        connection.PortTimeOut = c->timeOutMs;
        connection.FastGapBytes = c->fastGapBytes;
        connection.AutoReconnect = c->autoReconnect;
    }
    if (const auto page = settings.lastPage(m_form.TabbedNotebook2->count()))
        m_form.TabbedNotebook2->setCurrentIndex(*page);
}

void StartUp::checkConnection() {
    // The port opens only from the connection dialog: a drive answers here only when one was
    // opened before start-up.
    const bool answered =
        session::checkConnection(m_program.link, m_program.access, m_program.model,
                                 m_program.messages, m_program.connection);
    if (answered)
        m_form.session().ReadParamAll();
    m_form.monitorPanel().Monitor->setEnabled(answered);
    if (!answered)
        m_form.Timer5->stop();
}

}  // namespace zrd::app
