#include "session/ui/poll_timers.h"

#include <QTimer>

namespace zrd::session {

void PollTimers::pause() {
    // The clock's handler touches no link: it goes on while an exchange holds the line, so
    // that the time shown stays true through a long capture.
    m_status->stop();
}

void PollTimers::resume() {
    m_clock->start();
    if (connected())
        m_status->start();
    else
        m_status->stop();
}

void PollTimers::restoreIdle() {
    if (!m_clock->isActive())
        m_clock->start();
    if (connected() && !m_status->isActive())
        m_status->start();
}

void PollTimers::stopPolls() {
    m_status->stop();
    m_monitor->stop();
}

}  // namespace zrd::session
