#pragma once

// A program run beside the test with its standard output on a pipe that the test reads with a
// deadline. Standard error joins the pipe or goes to a file; the program still running when
// the test lets go of it is stopped with the chosen signal.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace zrd::test {

struct ChildOptions {
    // Empty: standard error shares the pipe with standard output. Otherwise the file (made
    // anew) that takes standard error.
    std::string errorFile;
    // Sent when the test lets go of a program that still runs.
    int stopSignal = SIGKILL;
};

class ChildProcess {
public:
    using Clock = std::chrono::steady_clock;

    // argv[0] is the program's path.
    explicit ChildProcess(const std::vector<std::string>& argv, const ChildOptions& options = {})
        : m_stopSignal(options.stopSignal) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        if (options.errorFile.empty())
            posix_spawn_file_actions_adddup2(&actions, out[1], STDERR_FILENO);
        else
            posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, options.errorFile.c_str(),
                                             O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (args[0] == nullptr ||
            ::posix_spawn(&m_pid, args[0], &actions, nullptr, args.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_fd = out[0];
    }
    ~ChildProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, m_stopSignal);
            ::waitpid(m_pid, nullptr, 0);
        }
        if (m_fd >= 0)
            ::close(m_fd);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    [[nodiscard]] bool running() const { return m_pid > 0; }
    [[nodiscard]] pid_t pid() const { return m_pid; }

    // Reads output until it holds the text (true) or the deadline passed or the output ended.
    bool waitForText(const std::string& text, Clock::duration within) {
        const auto deadline = Clock::now() + within;
        while (m_output.find(text, m_searchFrom) == std::string::npos) {
            if (!readSome(deadline))
                return false;
        }
        m_searchFrom = m_output.find(text, m_searchFrom) + text.size();
        return true;
    }

    // The first whole line of output that begins with the prefix, without its end.
    std::string lineStartingWith(const std::string& prefix, Clock::duration within) {
        const auto deadline = Clock::now() + within;
        for (;;) {
            for (size_t at = 0; at < m_output.size();) {
                const size_t eol = m_output.find('\n', at);
                if (eol == std::string::npos)
                    break;
                if (m_output.compare(at, prefix.size(), prefix) == 0)
                    return m_output.substr(at, eol - at);
                at = eol + 1;
            }
            if (!readSome(deadline))
                return {};
        }
    }

    // The line after the last one this returned, without its end; empty when the deadline
    // passed or the output ended first.
    std::string nextLine(Clock::duration within) {
        const auto deadline = Clock::now() + within;
        for (;;) {
            const size_t eol = m_output.find('\n', m_lineFrom);
            if (eol != std::string::npos) {
                std::string line = m_output.substr(m_lineFrom, eol - m_lineFrom);
                m_lineFrom = eol + 1;
                return line;
            }
            if (!readSome(deadline))
                return {};
        }
    }

    void signal(int number) const {
        if (m_pid > 0)
            ::kill(m_pid, number);
    }

    // Reads the rest of the output and the exit status; -1 when it did not end in time or did
    // not exit normally.
    int exitStatus(Clock::duration within) {
        const auto deadline = Clock::now() + within;
        while (readSome(deadline)) {
        }
        if (m_pid <= 0 || Clock::now() >= deadline)
            return -1;
        int status = 0;
        const bool reaped = ::waitpid(m_pid, &status, 0) == m_pid;
        m_pid = -1;
        return reaped && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    [[nodiscard]] const std::string& output() const { return m_output; }

private:
    bool readSome(Clock::time_point deadline) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{m_fd, POLLIN, 0};
        if (m_fd < 0 || left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
            return false;
        char buffer[512];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        m_output.append(buffer, static_cast<size_t>(n));
        return true;
    }

    int m_stopSignal;
    pid_t m_pid = -1;
    int m_fd = -1;
    std::string m_output;
    size_t m_searchFrom = 0;
    size_t m_lineFrom = 0;
};

}  // namespace zrd::test
