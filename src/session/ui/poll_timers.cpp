#include "session/ui/poll_timers.h"

#include <QTimer>

namespace zrd::session {

void PollTimers::pause() {
    m_status->stop();
    m_clock->stop();
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
