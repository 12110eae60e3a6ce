#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

#include "session/service_commands.h"

class QAction;
class QLineEdit;
class QWidget;

namespace zrd::session {

class TControlArea;
class TDriveSession;

// What the service buttons work with; all of it lives for the whole run.
struct ServiceParts {
    link::DriveLink& link;
    ParameterAccess& access;
    params::ParameterModel& model;
    const params::MessageTable& messages;
    int& operatingMode;      // the program's mode (1 current, 2 speed, 3 position)
    bool& generatorRunning;  // "Start FG" accepted and no "Stop FG" since
};

// Where the results show: the main window (its scope groups), the control area, the session
// (the read-all after a reset), and the offline "Start oscillogram" (true: only when the
// trigger calls for it).
struct ServiceWindows {
    QWidget* window;
    TControlArea* controls;
    TDriveSession* session;
    QLineEdit* controlCaption;  // the `Control` field of the drive state
    std::function<void(bool byTrigger)> enableOfflineStart;
};

// The menu items and buttons of the service commands: EEPROM store and data area, reset,
// initialisation, servo on and off, operating mode and command source. It keeps the buttons'
// state in one DriveControls and lets a reset's pause run on a single-shot timer.
class TServiceControls : public QObject {
    Q_OBJECT
public:
    TServiceControls(const ServiceParts& parts, const ServiceWindows& windows, QObject* parent);

    // The menu items: "Save parameters to EEPROM", the data-area items, the resets and the
    // initialisation.
    void connectMenu(QAction* store, QAction* dataArea0, QAction* dataArea1, QAction* loadDataArea,
                     QAction* forcedReset, QAction* checkedReset, QAction* initialisation);

    [[nodiscard]] const ServiceResult& lastResult() const { return m_last; }
    // The pause of a pending reset, before its read-all.
    QTimer* ResetTimer;

public slots:
    void storeInEeprom();
    void Button6Click();
    void Enable_buttonClick();
    void Desable_buttonClick();
    void modeClick(int mode);
    void sourceClick(ServiceCommands::Source source);
    void ResetTimerTimer();

private:
    // The buttons' state, as the windows show it now.
    DriveControls current() const;
    void show(const DriveControls& controls);
    void showResult(const ServiceResult& result);
    void showState();
    void reset(ResetKind kind);
    void initialise();
    void startResetPause(const ServiceResult& result);
    // After a command that changes the drive's state: the status words are read at once, so
    // that the lamps and the servo and generator buttons do not wait for the next poll.
    void readStateAgain(ServiceOutcome outcome);

    ServiceParts m_parts;
    ServiceWindows m_windows;
    ServiceCommands m_commands;
    ServiceResult m_last;
    bool m_servoBefore = false;
};

}  // namespace zrd::session
