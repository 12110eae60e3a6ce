#pragma once

#include <QObject>
#include <optional>
#include <string>

#include "core/user_interface.h"
#include "link/device_watch.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "session/connection.h"

class QPushButton;
class QTabWidget;
class QTimer;

namespace zrd::session {

class TDriveSession;

// What a reconnect works with; all live for the whole run.
struct ReconnectParts {
    TDriveSession& session;
    const ConnectionSettings& connection;  // AutoReconnect: without a click
    const params::MessageTable& messages;
    const params::ParameterModel& model;  // the language
    UserInterface& ui;
    link::SystemRoots roots;  // where the device is looked for (tests give a fake tree)
};

// Reconnect after a cable pull: once the port of a connected drive hangs up, the same device is
// looked for (its by-id name, its USB serial number, else its path); while it is back the status
// line offers "Reconnect", and with "Reconnect automatically" the drive is connected to again
// without a click. A reconnect reads what the window shows (HVER, the parameters, the status),
// keeps the user's page, starts the monitor again if it ran, and writes nothing.
class TReconnect : public QObject {
    Q_OBJECT
public:
    // How often the device is looked for while it is away.
    static constexpr int kLookMs = 500;

    // `button` is the status line's "Reconnect"; the notebook is put back on the user's page
    // (read-all shows the first) as a click on its tab does.
    TReconnect(ReconnectParts parts, QPushButton* button, QTabWidget* notebook, QObject* parent);

    // A lost drive's device is being looked for.
    [[nodiscard]] bool watching() const { return m_watch.has_value(); }

    QTimer* WatchTimer;

public slots:
    // "Reconnect": a drive that does not answer, or a device that does not open, is told.
    void ReconnectClick();

private:
    void remember();
    void forget();
    void watch(bool monitorWasRunning);
    void WatchTimerTimer();
    // One attempt on the device where it is; true when the drive is back.
    bool attempt(bool byUser);

    ReconnectParts m_parts;
    QPushButton* m_button;
    QTabWidget* m_notebook;
    // The device of the connected drive, taken while it is there.
    std::optional<link::DeviceIdentity> m_device;
    std::optional<link::DeviceWatch> m_watch;
    bool m_resumeMonitor = false;
    // An automatic attempt found no drive on the device: the next waits for it to come back anew.
    bool m_autoGaveUp = false;
};

}  // namespace zrd::session
