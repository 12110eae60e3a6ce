#pragma once

#include "link/drive_link.h"

class QTimer;

namespace zrd::session {

// The main window's poll timers as exchanges with the drive pause and resume them: the clock,
// the status poll and the monitor poll. The status poll never runs without a connected drive.
class PollTimers {
public:
    PollTimers(QTimer* clock, QTimer* status, QTimer* monitor, const link::LinkState& link)
        : m_clock(clock), m_status(status), m_monitor(monitor), m_link(link) {}

    // An exchange took the link: the status poll stops; the clock goes on.
    void pause();
    // The link is free again: both start anew, the status poll only with a drive connected.
    void resume();
    // After a reply time-out: what should run and does not is started; a timer that runs keeps
    // its schedule, so that failed reads of the monitor never postpone the status poll.
    void restoreIdle();
    // Offline: neither poll runs; the clock goes on.
    void stopPolls();

    [[nodiscard]] bool connected() const { return m_link.connected != 0; }
    [[nodiscard]] QTimer* clock() const { return m_clock; }
    [[nodiscard]] QTimer* status() const { return m_status; }
    [[nodiscard]] QTimer* monitor() const { return m_monitor; }

private:
    QTimer* m_clock;
    QTimer* m_status;
    QTimer* m_monitor;
    const link::LinkState& m_link;
};

}  // namespace zrd::session
