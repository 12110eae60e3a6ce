#pragma once

#include <QMainWindow>
#include <QString>
#include <vector>

#include "app/program.h"

class QAction;
class QButtonGroup;
class QComboBox;
class QFrame;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTabWidget;
class QTimer;
class QToolButton;

namespace zrd::monitor {
class TStateFrame;
}

namespace zrd::app {

class TAboutBox;
class TLamp;
class TParamFrame;
class TEdit_par_Form;

inline constexpr const char* kMainCaption = "QX Torvanta v2.1 (ZRD)";
inline constexpr const char* kApplicationTitle = "QX Torvanta";
inline constexpr int kMainWidth = 1054;
inline constexpr int kMainHeight = 730;
inline constexpr const char* kStartDriveNumber = "ZRD-KT16";
inline constexpr const char* kDateFormat = "dd.MM.yy";
inline constexpr const char* kTimeFormat = "hh:mm:ss";

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

// One field of the monitor: value field, caption and unit label.
struct MonitorField {
    QLineEdit* field = nullptr;
    QLabel* caption = nullptr;
    QLabel* unit = nullptr;
};

// The main window: menus, the group notebook with the parameter pages, the drive-state area,
// the control area and the timers that drive the periodic work.
class TMainForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TMainForm(Program& program, QWidget* parent = nullptr);
    ~TMainForm() override;

    Program& program() { return m_program; }

    // Brings the program up, step by step; false when it must end (no parameter database).
    [[nodiscard]] bool startUp();

    // The service menus: shown from the About box, hidden again by their "Close" items.
    void openServiceMenus(bool admin);
    // Toggles the window outline between its rectangle and the perforated one.
    void toggleOutline();

    // Shows a value text in the page row of a table position (no row: nothing happens).
    void showInRow(int position, const QString& text);
    // The page frame that holds a table position's row, or nullptr.
    TParamFrame* frameOfPosition(int position) const;
    const std::vector<TParamFrame*>& frames() const { return m_frames; }
    // Builds the pages of groups 1..5 from the parameter table anew.
    void buildPages();
    // Applies motor type table line k to the table, the pages and (when connected) the drive,
    // pausing before each write.
    void applyMotorType(int line, int waitBeforeWriteMs = 0);
    // Shows motor type table line k in the motor selector and in Motor_sel.
    void showMotorType(int line);
    // The state poll's and the monitor's idle state after a reply time-out.
    void restoreIdle();
    // Reads every parameter from the drive into the table and onto the pages.
    void ReadParamAll();
    // Writes every writable parameter to the drive, logging each write.
    void writeAll();
    // One entry of the action log, stamped with the clock fields.
    void logAction(const std::string& action);
    // The two state frames ("Status", "Appendix info"), built after each database load.
    monitor::TStateFrame* stateFrame(int f) const { return m_stateFrames[f]; }
    // Presses the command-source button of an "INST" value and sets the panels that go with it.
    void showCommandSource(int inst);
    // The simulated drive's device the demo started, for the connection dialog; empty without.
    [[nodiscard]] QString simDevice() const;

    // Menu: File
    QMenu* File1;
    QAction* Readingparametersfromfile1;
    QAction* N10;
    QAction* N21;
    QAction* Saveparameterstofile1;
    QAction* N4;
    QAction* N20;
    QAction* Exit1;
    // Menu: Connection
    QMenu* Connection1;
    QAction* N3;
    QAction* N9;
    // Menu: Services
    QMenu* Services1;
    QAction* Filtercalculator1;
    QAction* Setdefaultparameters1;
    QAction* TypeofFGsignal1;
    QAction* RESET1;
    QAction* Setconfiguration1;
    // Menu: Help
    QMenu* Help1;
    QAction* About1;
    // Menu: Special functions (hidden)
    QMenu* Specialfunctions1;
    QAction* InitialDriveInitialization1;
    QAction* N17;
    QAction* Savedefault1;
    QAction* SaveprogramspartoEEPROM1;
    QAction* Loaddefault1;
    QAction* Language1;
    QAction* Testingformulas1;
    QAction* CALCPARA1;
    QAction* Closespecialfunction1;
    // Menu: Admin's functions (hidden)
    QMenu* Adminsfunctions1;
    QAction* Commandmonitor1;
    QAction* SeeOscDatRec;
    QAction* CloseAdminfunctions1;

    // Group notebook and its page controls
    QTabWidget* TabbedNotebook2;
    QLabel* Image1;
    QPushButton* Inverter;
    QPushButton* Current_cntr_1;
    QPushButton* Current_cntr_2;
    QPushButton* Speed_cntr;
    QPushButton* Position_cntr;
    QTabWidget* PageControl1;
    QTabWidget* PageControl2;
    QTabWidget* PageControl3;
    QTabWidget* PageControl4;
    QTabWidget* PageControl5;
    QTabWidget* PageControl6;
    QTabWidget* PageControl7;

    // Drive-state area
    QFrame* Panel10;
    TLamp* Servo_enable;
    TLamp* N_0;
    TLamp* drive_on;
    TLamp* Drive_ready;
    QLineEdit* Control;
    QLineEdit* PC_control;
    QLineEdit* drive_en;
    QLineEdit* State_connection;
    QLineEdit* Edit5;
    QLineEdit* Machine;
    QLineEdit* Axis;
    QLineEdit* Error;
    QComboBox* ComboBox1;
    QLineEdit* Warning;
    QComboBox* ComboBox9;
    QLineEdit* Dr_Num;
    QLineEdit* Motor_sel;
    QLineEdit* Speed_com;
    QLineEdit* Act_speed;
    QLineEdit* Current_com;
    QLineEdit* Act_current;
    QLineEdit* Torque_com;
    QLineEdit* Act_torque;
    QLineEdit* Position_com;
    QLineEdit* Act_position;
    QLineEdit* Analog_in;
    QLineEdit* Pulse_in;
    QLineEdit* Direction;
    QLineEdit* Follow_err;
    QPushButton* Monitor;
    QPushButton* Stop_monitor;

    // Control area
    QGroupBox* Panel32;
    QGroupBox* Panel7;
    QToolButton* Enable_button;
    QToolButton* Desable_button;
    QGroupBox* Panel3;
    QToolButton* SpeedButton4;
    QToolButton* SpeedButton5;
    QToolButton* SpeedButton6;
    QGroupBox* Panel14;
    QToolButton* SpeedButton3;
    QToolButton* SpeedButton7;
    QToolButton* BitBtn1;
    QGroupBox* Panel6;
    QToolButton* SpeedButton1;
    QToolButton* SpeedButton2;
    QComboBox* ComboBox6;
    QLineEdit* show_state_par;
    QLineEdit* SerNum;
    QLabel* RPar;
    QLabel* WPar;
    QPushButton* Button9;
    QPushButton* Button6;
    QLineEdit* MaskEdit3;
    QLineEdit* MaskEdit4;

    // Timers (all stopped until start-up starts them)
    QTimer* TimerForTime;
    QTimer* Timer5;
    QTimer* TimerMonitor;
    QTimer* Timer1;
    QTimer* Timer4;

    // Windows that live for the whole run
    TAboutBox* AboutBox;
    TEdit_par_Form* Edit_par_Form;

public slots:
    void TimerForTimeTimer();
    void Timer5Timer();
    void TimerMonitorTimer();
    void Timer1Timer();
    void Timer4Timer();
    void TabbedNotebook2Click(int tab);
    void About1Click();
    void Exit1Click();
    void Closespecialfunction1Click();
    void CloseAdminfunctions1Click();
    void ComboBox6CloseUp();
    void PictureButtonClick();
    void ParamMouseDown(TParamFrame* frame, int row);
    // Session: connection, read and write, monitor.
    void N3Click();
    void N9Click();
    void N4Click();
    void Button9Click();
    void MonitorClick();
    void Stop_monitorClick();
    void Panel10Click();
    void InvClick(int bit, bool checked);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Construction, one area at a time.
    void createMenu();
    void createNotebook();
    QWidget* createBlockDiagram();
    QWidget* createDriveState();
    QWidget* createMonitor();
    QWidget* createControlArea();
    void createTimers();
    MonitorField addMonitorField(const QString& name, const QString& caption, const QString& unit);

    // Start-up steps, in their order.
    void setFormats();
    void openActionLog();
    void hideWhileStarting();
    void measureCpuSpeed();
    void blockLinkAndControls();
    void loadMessages();
    void showInitialState();
    [[nodiscard]] bool loadDatabase();
    void captionStatusFields();
    void loadTypeTables();
    void showBlockDiagram();
    void selectMotorType();
    void cachePositionsAndUnits();
    void resetScopeScales();
    void loadFunctionNameLists();
    void checkConnection();
    void finishStartUp();

    // After read-all: fields, mode buttons and motor type from the values read.
    void showReadValues(bool formulasRan);
    // Limits and defaults that the configuration formulas changed, marked yellow.
    void markFormulaLimits();

    // Session wiring and state displays.
    void connectSessionHandlers();
    void buildStateFrames();
    [[nodiscard]] bool openConnection(session::ConnectionSettings& settings);
    void connectionCheck();
    void showOnline();
    void showOffline();
    void showStatus(const monitor::StatusTick& tick);
    void showErrorList(const monitor::StatusTick& tick);
    void showWarningList(const monitor::StatusTick& tick);
    void paintMonitorFields(QRgb colour);
    void setInversionFromDinlev();
    bool eventFilter(QObject* watched, QEvent* event) override;

    // Shared by the handlers.
    void closeServiceMenus();
    void writeSerialNumber();
    void stopStatusTimers();
    void startStatusTimers();
    void setEnabledByName(const char* name, bool enabled);
    void showMessageNumber(int n);

    Program& m_program;
    std::vector<MonitorField> m_monitor;
    std::vector<TParamFrame*> m_frames;
    monitor::TStateFrame* m_stateFrames[2] = {nullptr, nullptr};
    bool m_perforated = false;
};

}  // namespace zrd::app
