#include "session/link_busy_guard.h"

namespace zrd::session {

LinkBusyGuard::LinkBusyGuard(link::DriveLink& link, Polls polls) : m_link(link) {
    if (m_link.state().linkBusy)
        return;
    m_acquired = true;
    m_link.state().linkBusy = true;
    m_paused = polls == Polls::Pause;
    if (m_paused)
        m_link.ui().pauseTimers();
}

LinkBusyGuard::~LinkBusyGuard() {
    if (!m_acquired)
        return;
    m_link.state().linkBusy = false;
    if (m_paused)
        m_link.ui().resumeTimers();
}

}  // namespace zrd::session
