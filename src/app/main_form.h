#pragma once

#include <QMainWindow>
#include <QString>
#include <memory>
#include <string>

#include "app/main_menu.h"
#include "app/program.h"
#include "app/tool_windows.h"
#include "session/ui/poll_timers.h"

class QTabWidget;
class QTimer;

namespace zrd::params {
class TParamPages;
}
namespace zrd::ui {
class SettingsFile;
}
namespace zrd::monitor {
class TDriveState;
class TMonitorPanel;
class TStatusPage;
}  // namespace zrd::monitor
namespace zrd::scope {
class TOscill;
class TOscillOff;
}  // namespace zrd::scope
namespace zrd::tuning {
class TGeneratorControl;
class TWave_Form;
}  // namespace zrd::tuning
namespace zrd::formula {
class Ttest_formulas_Form;
}
namespace zrd::cmdmon {
class TSer_monitor;
}
namespace zrd::session {
class TControlArea;
class TDriveSession;
class TEdit_par_Form;
class TParameterFiles;
class TServiceControls;
class Tset_config_Form;
}  // namespace zrd::session

namespace zrd::app {

class TAboutBox;
class TBlockDiagram;
class TLanguageSwitch;
class TServiceMenus;

inline constexpr const char* kMainCaption = "QX Torvanta v2.1 (ZRD)";
inline constexpr int kMainWidth = 1054;
inline constexpr int kMainHeight = 730;
inline constexpr const char* kStartDriveNumber = "ZRD-KT16";

inline constexpr int kTimerForTimeMs = 500;
inline constexpr int kTimer5Ms = 2000;
inline constexpr int kTimerMonitorMs = 300;
inline constexpr int kTimer1Ms = 10;
inline constexpr int kTimer4Ms = 50;

// Tabs of the group notebook.
enum NotebookTab {
    kTabBlockDiagram = 0,
    kTabFirstGroup = 1,
    kTabOscillOnline = 6,
    kTabOscillOffline = 7,
    kTabStatus = 8,
    kTabAppendix = 9,
    kNotebookTabs = 10,
};

// The main window: it composes the pages, the menu bar (TMainMenu) and the tool windows
// (TToolWindows), and holds the timers that drive the periodic work. Each page and area is a
// class of its module; the drive session works on them.
class TMainForm : public QMainWindow, public TMainMenu, public TToolWindows {
    Q_OBJECT
public:
    explicit TMainForm(Program& program, QWidget* parent = nullptr);
    ~TMainForm() override;

    Program& program() { return m_program; }

    // Brings the program up, step by step; false when it must end (no parameter database).
    [[nodiscard]] bool startUp();

    // The service menus: shown from the About box, hidden again by their "Close" items.
    void openServiceMenus(bool admin);

    // The user-interface hook's work: page rows, the polls around an exchange, the idle state
    // after a reply time-out, a port that hung up.
    void showInRow(int position, const QString& text);
    void pauseTimers() { m_timers.pause(); }
    void resumeTimers() { m_timers.resume(); }
    void restoreIdle();
    void linkLost(const std::string& reason);

    TBlockDiagram& blockDiagram() { return *m_blockDiagram; }
    params::TParamPages& pages() { return *m_pages; }
    monitor::TStatusPage& statusPage() { return *m_statusPage; }
    monitor::TDriveState& driveState() { return *m_driveState; }
    monitor::TMonitorPanel& monitorPanel() { return *m_monitor; }
    session::TControlArea& controls() { return *m_controls; }
    session::TDriveSession& session() { return *m_session; }
    scope::TOnlineScopePage& onlineScope() { return *m_onlineScope; }
    scope::TOfflineScopePage& offlineScope() { return *m_offlineScope; }
    tuning::TGeneratorControl& generator() { return *m_generator; }
    session::TServiceControls& service() { return *m_service; }
    session::TParameterFiles& parameterFiles() { return *m_files; }
    // What is remembered between runs (the file named by the start options).
    ui::SettingsFile& settings() { return *m_settings; }
    // Writes the settings; a file that cannot be written is told.
    void saveSettings();

    QTabWidget* TabbedNotebook2;

    // Timers (all stopped until start-up starts them)
    QTimer* TimerForTime;
    QTimer* Timer5;
    QTimer* TimerMonitor;
    QTimer* Timer1;
    QTimer* Timer4;

    // Windows that live for the whole run
    TAboutBox* AboutBox;
    session::TEdit_par_Form* Edit_par_Form;
    scope::TOscill* Oscill;        // the online viewer
    scope::TOscillOff* OscillOff;  // the offline viewer
    tuning::TWave_Form* Wave_Form;
    // The configuration dialog and the formula tester.
    session::Tset_config_Form* set_config_Form = nullptr;
    formula::Ttest_formulas_Form* test_formulas_Form = nullptr;
    // The command monitor.
    cmdmon::TSer_monitor* Ser_monitor = nullptr;

public slots:
    void TimerForTimeTimer();
    void Timer5Timer();
    void TimerMonitorTimer();
    void Timer1Timer();
    void Timer4Timer();
    void TabbedNotebook2Click(int tab);
    void About1Click();
    void Exit1Click();
    void N3Click();
    void N9Click();
    void MonitorClick();
    void Stop_monitorClick();
    void Panel10Click();
    void TypeofFGsignal1Click();
    void BitBtn1Click();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void createMenu();
    void createNotebook();
    void createTimers();
    void createSession();
    void createOnlineScope();
    void createOfflineScope();
    void createGenerator();
    void createServiceWindows();
    // Each in its own file: main_form_configuration.cpp, main_form_command_monitor.cpp,
    // main_form_language.cpp.
    void createConfiguration();
    void createCommandMonitor();
    void createLanguage();

    Program& m_program;
    TBlockDiagram* m_blockDiagram = nullptr;
    params::TParamPages* m_pages = nullptr;
    monitor::TStatusPage* m_statusPage = nullptr;
    monitor::TDriveState* m_driveState = nullptr;
    monitor::TMonitorPanel* m_monitor = nullptr;
    session::TControlArea* m_controls = nullptr;
    session::TDriveSession* m_session = nullptr;
    scope::TOnlineScopePage* m_onlineScope = nullptr;
    scope::TOfflineScopePage* m_offlineScope = nullptr;
    tuning::TGeneratorControl* m_generator = nullptr;
    session::TServiceControls* m_service = nullptr;
    session::TParameterFiles* m_files = nullptr;
    TLanguageSwitch* m_language = nullptr;
    TServiceMenus* m_serviceMenus = nullptr;
    session::PollTimers m_timers;
    std::unique_ptr<ui::SettingsFile> m_settings;
};

}  // namespace zrd::app
