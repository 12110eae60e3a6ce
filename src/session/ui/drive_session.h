#pragma once

#include <QObject>
#include <QString>
#include <string>

#include "link/drive_link.h"
#include "link/port_info.h"
#include "monitor/action_log.h"
#include "monitor/status.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "session/connection.h"
#include "session/parameter_access.h"
#include "session/parameter_edit.h"
#include "session/status_poll.h"
#include "session/sweeps.h"

class QAction;
class QTabWidget;

namespace zrd::params {
class TParamFrame;
class TParamPages;
}  // namespace zrd::params
namespace zrd::monitor {
class TDriveState;
class TMonitorPanel;
class TStatusPage;
}  // namespace zrd::monitor

namespace zrd::session {

class PollTimers;
class TControlArea;
class TEdit_par_Form;

// The core objects a drive session works with; all live for the whole run.
struct SessionParts {
    link::DriveLink& link;
    params::ParameterModel& model;
    const params::MessageTable& messages;
    const params::TypeTables& typeTables;
    ParameterAccess& access;
    StatusPoll& status;
    monitor::ActionLog& actionLog;
    ConnectionSettings& connection;
    int& operatingMode;  // 1 current, 2 speed, 3 position
};

// The pages the session shows itself on, and the main window's menu items and timers.
struct SessionWindows {
    QWidget* window;  // disabled during a sweep; the scope pages' buttons are found by name
    QTabWidget* notebook;
    params::TParamPages* pages;
    monitor::TStatusPage* statusPage;
    monitor::TDriveState* driveState;
    monitor::TMonitorPanel* monitor;
    TControlArea* controls;
    TEdit_par_Form* editor;
    PollTimers* timers;
    QAction* N3;   // Connection parameters
    QAction* N9;   // Disconnect
    QAction* N4;   // Save parameters to EEPROM
    QAction* N10;  // Reading parameters from drive
    QAction* Setconfiguration1;
};

// The drive session in the main window: connecting and disconnecting, read-all and write-all,
// the status and monitor polls, and the handlers of the page controls that write to the drive.
class TDriveSession : public QObject {
    Q_OBJECT
public:
    TDriveSession(const SessionParts& parts, const SessionWindows& windows, QObject* parent);
    // The link outlives the session: it no longer reports to it.
    ~TDriveSession() override;

    // "Connection parameters": the dialog opens the port and checks for a drive; a drive that
    // answers is read and polled. A cancelled dialog changes nothing and says nothing. True when
    // the port opened (whether or not a drive answered on it).
    bool connectDrive();
    // Where the connection dialog reads the ports' descriptions (tests give a fake tree), and the
    // udev rule its latency advice names.
    void setPortSources(link::SystemRoots roots, std::string rulesFile) {
        m_roots = std::move(roots);
        m_rulesFile = std::move(rulesFile);
    }
    // "Disconnect": the port closes, the connection ends and the window goes offline.
    void disconnectDrive();
    // One tick of the status poll.
    void pollStatus();
    // One tick of the monitor poll.
    void pollMonitor();
    // "Start monitor": the monitor poll runs while the control panels and the notebook wait.
    // Without a connected drive there is nothing to show, and nothing starts.
    void startMonitor();
    // "Stop monitor": the status poll alone again.
    void stopMonitor();
    // The monitor display put back when a tab is clicked while "Start monitor" is disabled;
    // it is offered again only with a connected drive.
    void revertMonitor();
    // The port hung up: one message naming the port and the reason, then the offline state.
    void linkLost(const std::string& reason);
    // Connects again to the drive whose device came back at `device`, nothing written: on its
    // answer the window shows it as after a connection (values read, the status at once);
    // otherwise it stays offline. Nothing is told: the caller says what came of it.
    ReconnectOutcome reconnectDrive(const std::string& device);
    // An exchange holds the link.
    [[nodiscard]] bool linkBusy() const { return m_parts.link.state().linkBusy; }
    // The system's text of the port's last failure.
    [[nodiscard]] std::string portError() const { return m_parts.link.port().lastError(); }
    // Writes positions 0 and 1 (the serial number) to a connected drive.
    void writeSerialNumber();

    // Reads every parameter into the table and onto the pages; false when it could not run.
    bool ReadParamAll();
    // Writes every writable parameter to the drive, logging each write.
    void writeAll();
    // One entry of the action log, stamped with the clock fields.
    void logAction(const std::string& action);
    // How an exchange ended by itself (the drive fell silent, the port went away): the text goes
    // to the action log and is shown.
    void reportEnd(const std::string& text);
    // The pages, buttons and fields after a read-all that ran elsewhere (a reset's).
    void showValuesRead(const ReadAllResult& result);

signals:
    // A drive answered on the port the connection dialog opened.
    void connectionMade();
    // The user ended the connection, or chose one on which no drive answered.
    void connectionEnded();
    // The port hung up; the monitor ran when it did.
    void linkWentAway(bool monitorWasRunning);
    // Read-all stored the drive's values: the pages that show settings of their own (the
    // scope's rate and channels) take them over.
    void valuesRead();

public slots:
    void Button9Click();
    void ComboBox6CloseUp();
    void InvClick(int bit, bool checked);
    void ParamMouseDown(params::TParamFrame* frame, int row);

private:
    [[nodiscard]] bool connected() const { return m_parts.link.state().connected != 0; }
    [[nodiscard]] QString message(int n) const;
    [[nodiscard]] bool servoPanelAllowed() const;
    void showOnline();
    // The drive answered a connection: drive controls and polls on, its values read.
    void showConnected();
    // Offline: connection fields red with the state message (-1: the fixed texts of a
    // disconnect), lamps grey, drive controls, menu items and the monitor off, polls stopped.
    void showOffline(int stateMessage);
    void showStatus(const monitor::StatusTick& tick);
    void showEditOutcome(const EditOutcome& outcome);
    void showCommandSource(int inst);
    void keepDriveControlsOffline();
    void showMotor(int line, const std::string& name);

    SessionParts m_parts;
    SessionWindows m_windows;
    link::SystemRoots m_roots;
    std::string m_rulesFile;
    // The window shows no drive (as at start-up): the next online tick gives back what the
    // offline state took.
    bool m_shownOffline = true;
};

}  // namespace zrd::session
