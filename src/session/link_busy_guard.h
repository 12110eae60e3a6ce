#pragma once

// The program-wide link-busy flag, taken for the length of a scope.

#include "link/drive_link.h"

namespace zrd::session {

// Takes the link when it is free: sets the busy flag and pauses the front end's polls; the
// destructor frees the link and resumes them on every way out, exceptions included. When the
// link was busy already, nothing is taken and `acquired()` is false: the caller returns.
class LinkBusyGuard {
public:
    // Whether the front end's polls pause while the link is held. The monitor's own tick keeps
    // them running: the busy flag alone keeps the status poll away, and pausing would restart
    // the status poll's interval on every tick, so that it never came due.
    enum class Polls { Pause, Keep };

    explicit LinkBusyGuard(link::DriveLink& link, Polls polls = Polls::Pause);
    ~LinkBusyGuard();
    LinkBusyGuard(const LinkBusyGuard&) = delete;
    LinkBusyGuard& operator=(const LinkBusyGuard&) = delete;

    [[nodiscard]] bool acquired() const { return m_acquired; }
    explicit operator bool() const { return m_acquired; }

private:
    link::DriveLink& m_link;
    bool m_acquired = false;
    bool m_paused = false;
};

}  // namespace zrd::session
