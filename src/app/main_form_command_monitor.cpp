// The command monitor: menu Admin's functions.

#include <QAction>

#include "app/main_form.h"
#include "cmdmon/ui/ser_monitor.h"
#include "link/serial_port.h"
#include "session/ui/drive_session.h"

namespace zrd::app {

void TMainForm::createCommandMonitor() {
    cmdmon::MonitorParts parts{
        m_program.ui,
        m_program.messages,
        m_program.model,
        m_program.connection,
        // The monitor takes the line: the main link lets go of it and goes offline.
        [this] { session().disconnectDrive(); },
        [] { return link::listSerialDevices(); },
    };
    Ser_monitor = new cmdmon::TSer_monitor(std::move(parts), this);
    connect(Commandmonitor1, &QAction::triggered, this, [this] { Ser_monitor->showMonitor(); });
}

}  // namespace zrd::app
