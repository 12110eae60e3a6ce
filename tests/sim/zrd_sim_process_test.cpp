// zrd-sim as a process, told what to do by zrdctl sim over its control socket and read by
// zrdctl over its pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "run_command.h"
#include "temp_dir.h"

extern char** environ;

namespace zrd::sim {
namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kDeadline = std::chrono::seconds(10);

std::string shipped(const char* name) {
    return std::string(ZRD_SHIPPED_DATA_DIR) + "/" + name;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A running zrd-sim; stopped (SIGTERM) at the end of the test unless it has quit.
class SimProcess {
public:
    SimProcess(const std::vector<std::string>& args, const std::string& errFile) {
        int out[2];
        if (::pipe2(out, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errFile.c_str(),
                                         O_WRONLY | O_CREAT | O_TRUNC, 0644);
        std::vector<std::string> all{ZRD_SIM_PATH};
        all.insert(all.end(), args.begin(), args.end());
        std::vector<char*> argv;
        for (auto& a : all)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        if (posix_spawn(&m_pid, ZRD_SIM_PATH, &actions, nullptr, argv.data(), environ) != 0)
            m_pid = -1;
        posix_spawn_file_actions_destroy(&actions);
        ::close(out[1]);
        m_out = out[0];
    }
    ~SimProcess() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            (void)wait();
        }
        if (m_out >= 0)
            ::close(m_out);
    }
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    // The next line of its stdout; empty after the deadline or at the end of the output.
    std::string line() {
        const auto deadline = Clock::now() + kDeadline;
        for (;;) {
            const size_t end = m_buffer.find('\n');
            if (end != std::string::npos) {
                std::string out = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return out;
            }
            if (!waitReadable(deadline))
                return {};
            char chunk[256];
            const ssize_t n = ::read(m_out, chunk, sizeof chunk);
            if (n <= 0)
                return {};
            m_buffer.append(chunk, static_cast<size_t>(n));
        }
    }
    // Waits for the process to close its output (it ends) and returns its exit status.
    int exitStatus() {
        const auto deadline = Clock::now() + kDeadline;
        char chunk[256];
        while (waitReadable(deadline) && ::read(m_out, chunk, sizeof chunk) > 0) {
        }
        return wait();
    }

private:
    bool waitReadable(Clock::time_point deadline) const {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
        pollfd p{m_out, POLLIN, 0};
        return left.count() > 0 && ::poll(&p, 1, static_cast<int>(left.count())) > 0;
    }
    int wait() {
        int status = 0;
        if (m_pid <= 0 || ::waitpid(m_pid, &status, 0) != m_pid)
            return -1;
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    pid_t m_pid = -1;
    int m_out = -1;
    std::string m_buffer;
};

using test::Outcome;

class ZrdSimProcess : public ::testing::Test {
protected:
    // Runs a shell command line; stdout and stderr apart.
    Outcome shell(const std::string& command) {
        return test::runCommand(command, dir.file("command-stderr.txt"));
    }
    Outcome zrdctl(const std::string& args) {
        return shell(std::string("'") + ZRDCTL_PATH + "' " + args);
    }
    Outcome sim(const std::string& command) {
        return zrdctl("sim --control '" + control + "' " + command);
    }

    zrd::test::TempDir dir;
    std::string control = dir.file("control.sock");
};

TEST_F(ZrdSimProcess, ZrdctlSimDrivesTheRunningSimulator) {
    const std::string eeprom = dir.file("eeprom.txt");
    SimProcess p(
        {"--db", shipped("Param_base.mod"), "--control", control, "--eeprom", eeprom, "--error",
         "4", "--warning", "1", "--input", "3", "--silent", "KPV", "--answer", "ENMOD=9"},
        dir.file("sim-stderr.txt"));
    const std::string device = p.line();
    ASSERT_TRUE(device.starts_with("/dev/")) << device << readFile(dir.file("sim-stderr.txt"));
    ASSERT_EQ(p.line(), control);

    const Outcome state = sim("state");
    EXPECT_EQ(state.status, 0) << state.err;
    for (const char* word : {"240=0x020E", "241=0x0010", "242=0x0002", "244=0x0004"})
        EXPECT_NE(state.out.find(word), std::string::npos) << word << " in " << state.out;

    struct Case {
        const char* command;
        int status;
        const char* out;
        const char* err;
    };
    for (const Case& c :
         {Case{"error clear all", 0, "ok\n", ""}, Case{"get ERR", 0, "ok 0\n", ""},
          Case{"get ENMOD", 0, "ok 1\n", ""},
          Case{"bogus", 1, "", "zrdctl: sim: error unknown command: bogus (try help)\n"},
          Case{"error raise 99", 1, "", "zrdctl: sim: error bit must be 0..15: 99\n"}}) {
        const Outcome r = sim(c.command);
        EXPECT_EQ(r.status, c.status) << c.command;
        EXPECT_EQ(r.out, c.out) << c.command;
        EXPECT_EQ(r.err, c.err) << c.command;
    }
    const Outcome fromEnvironment =
        shell("ZRD_SIM_CONTROL='" + control + "' '" + ZRDCTL_PATH + "' sim get DINSTA");
    EXPECT_EQ(fromEnvironment.out, "ok 4\n") << fromEnvironment.err;

    // Over the line: the override answers a value outside ENMOD's limits, KPV stays silent.
    const std::string line =
        "--data-dir '" + std::string(ZRD_SHIPPED_DATA_DIR) + "' --port " + device + " ";
    const Outcome enmod = zrdctl(line + "get ENMOD");
    EXPECT_EQ(enmod.out, "ENMOD 9\n") << enmod.err;
    EXPECT_NE(zrdctl(line + "get KPV").status, 0);

    // A store over the line reaches the EEPROM file.
    ASSERT_EQ(zrdctl(line + "set KIV 20").status, 0);
    const Outcome store = zrdctl(line + "raw E1 6F 00 00 00 E2");
    EXPECT_EQ(store.out, "E1 70 00 E2\n") << store.err;
    EXPECT_NE(readFile(eeprom).find("\n116 200\n"), std::string::npos);

    EXPECT_EQ(sim("quit").out, "ok bye\n");
    EXPECT_EQ(p.exitStatus(), 0);
    EXPECT_FALSE(std::filesystem::exists(control));
}

TEST_F(ZrdSimProcess, HangUpReachesZrdctlAsALostLink) {
    SimProcess p({"--db", shipped("Param_base.mod"), "--control", control, "--fault", "hangup"},
                 dir.file("sim-stderr.txt"));
    const std::string device = p.line();
    ASSERT_TRUE(device.starts_with("/dev/")) << device << readFile(dir.file("sim-stderr.txt"));
    ASSERT_EQ(p.line(), control);

    const Outcome read = zrdctl("--data-dir '" + std::string(ZRD_SHIPPED_DATA_DIR) + "' --port " +
                                device + " get ENMOD");
    EXPECT_NE(read.status, 0);
    const std::string lost = "link lost: the port " + device + " hung up";
    const size_t at = read.err.find(lost);
    EXPECT_NE(at, std::string::npos) << read.err;
    EXPECT_EQ(read.err.find("link lost", at + 1), std::string::npos) << "once: " << read.err;

    // The drive's line is gone; its control channel is not.
    EXPECT_EQ(sim("get ENMOD").out, "ok 1\n");
    EXPECT_EQ(sim("quit").out, "ok bye\n");
    EXPECT_EQ(p.exitStatus(), 0);
}

TEST_F(ZrdSimProcess, ZrdctlSimFailsWithAReason) {
    struct Case {
        const char* args;
        int status;  // 2 for a usage error, 3 for a simulator that cannot be reached
        const char* reason;
    };
    for (const Case& c :
         {Case{"sim", 2, "usage: sim [--control PATH] COMMAND..."},
          Case{"sim --control", 2, "--control needs a value"},
          Case{"sim --control /nonexistent/zrd.sock state", 3, "cannot reach the simulator"}}) {
        const Outcome r =
            shell("env -u ZRD_SIM_CONTROL '" + std::string(ZRDCTL_PATH) + "' " + c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.err.find(c.reason), std::string::npos) << c.args << ": " << r.err;
        EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << "one line: " << r.err;
    }
}

TEST_F(ZrdSimProcess, BadStartUpOptionsAreRefused) {
    const std::string broken = dir.write("broken.txt", "1 2 3\n");
    struct Case {
        std::vector<std::string> args;
        const char* reason;
    };
    for (const Case& c : {Case{{"--silent", "NOPE"}, "no drive index or mnemonic NOPE"},
                          Case{{"--answer", "ENMOD"}, "--answer needs"},
                          Case{{"--answer", "ENMOD=70000"}, "--answer needs"},
                          Case{{"--error", "16"}, "--error needs a bit 0..15"},
                          Case{{"--input", "0"}, "--input needs an input 1..16"},
                          Case{{"--resonance", "400,2"}, "--resonance needs HZ"},
                          Case{{"--eeprom", broken}, "broken.txt line 1"},
                          Case{{"--control", dir.file("plain.txt")}, "not a socket"}}) {
        dir.write("plain.txt", "x");
        std::vector<std::string> args{"--db", shipped("Param_base.mod"), "--control",
                                      dir.file("unused.sock")};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SimProcess p(args, dir.file("sim-stderr.txt"));
        EXPECT_EQ(p.line(), "") << c.reason;
        EXPECT_NE(p.exitStatus(), 0) << c.reason;
        const std::string err = readFile(dir.file("sim-stderr.txt"));
        EXPECT_NE(err.find(c.reason), std::string::npos) << c.reason << ": " << err;
    }
}

}  // namespace
}  // namespace zrd::sim
