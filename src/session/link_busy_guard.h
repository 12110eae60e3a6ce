#pragma once

// The program-wide link-busy flag, taken for the length of a scope.

#include "link/drive_link.h"

namespace zrd::session {

// Takes the link when it is free: sets the busy flag and pauses the front end's polls; the
// destructor frees the link and resumes them on every way out, exceptions included. When the
// link was busy already, nothing is taken and `acquired()` is false: the caller returns.
class LinkBusyGuard {
public:
    explicit LinkBusyGuard(link::DriveLink& link);
    ~LinkBusyGuard();
    LinkBusyGuard(const LinkBusyGuard&) = delete;
    LinkBusyGuard& operator=(const LinkBusyGuard&) = delete;

    [[nodiscard]] bool acquired() const { return m_acquired; }
    explicit operator bool() const { return m_acquired; }

private:
    link::DriveLink& m_link;
    bool m_acquired = false;
};

}  // namespace zrd::session
