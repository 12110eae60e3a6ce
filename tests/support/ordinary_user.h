#pragma once

// Work done as an ordinary user: the port checks differ for root, and the tests run as root.

#include <grp.h>
#include <sys/prctl.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <functional>
#include <string>

namespace zrd::test {

inline constexpr uid_t kNobody = 65534;

// In a child process: becomes the user "nobody" (ends the child when it cannot), keeping the
// process readable in /proc as any user's is.
inline void dropRoot() {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        ::_exit(1);
    ::prctl(PR_SET_DUMPABLE, 1);
}

// Runs the work in a child process as an ordinary user and hands back its text.
inline std::string asOrdinaryUser(const std::function<std::string()>& work) {
    int out[2];
    if (::pipe(out) != 0)
        return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(out[0]);
        dropRoot();
        const std::string text = work();
        (void)!::write(out[1], text.data(), text.size());
        ::_exit(0);
    }
    ::close(out[1]);
    std::string text;
    char chunk[512];
    ssize_t n;
    while ((n = ::read(out[0], chunk, sizeof chunk)) > 0)
        text.append(chunk, static_cast<size_t>(n));
    ::close(out[0]);
    ::waitpid(pid, nullptr, 0);
    return text;
}

}  // namespace zrd::test
