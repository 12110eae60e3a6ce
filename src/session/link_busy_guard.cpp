#include "session/link_busy_guard.h"

namespace zrd::session {

LinkBusyGuard::LinkBusyGuard(link::DriveLink& link) : m_link(link) {
    if (m_link.state().linkBusy)
        return;
    m_acquired = true;
    m_link.state().linkBusy = true;
    m_link.ui().pauseTimers();
}

LinkBusyGuard::~LinkBusyGuard() {
    if (!m_acquired)
        return;
    m_link.state().linkBusy = false;
    m_link.ui().resumeTimers();
}

}  // namespace zrd::session
