// zrd-sim as a process, told what to do by zrdctl sim over its control socket and read by
// zrdctl over its pseudo-terminal.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <sys/socket.h>
#include <sys/un.h>

#include "child_process.h"
#include "event_bound.h"
#include "link/port_info.h"
#include "params/message_table.h"
#include "recording_ui.h"
#include "run_command.h"
#include "session/port_advice.h"
#include "temp_dir.h"

namespace zrd::sim {
namespace {

constexpr auto kDeadline = zrd::test::kEventBound;

std::string shipped(const char* name) {
    return std::string(ZRD_SHIPPED_DATA_DIR) + "/" + name;
}

std::string readFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Starts zrd-sim with its stderr in errFile; stopped (SIGTERM) at the end of the test unless it
// has quit.
zrd::test::ChildProcess startSim(const std::vector<std::string>& args, const std::string& errFile) {
    std::vector<std::string> argv{ZRD_SIM_PATH};
    argv.insert(argv.end(), args.begin(), args.end());
    return zrd::test::ChildProcess(argv, {.errorFile = errFile, .stopSignal = SIGTERM});
}

using zrd::test::Outcome;

class ZrdSimProcess : public ::testing::Test {
protected:
    // Runs a shell command line; stdout and stderr apart.
    Outcome shell(const std::string& command) {
        return zrd::test::runCommand(command, dir.file("command-stderr.txt"));
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
    zrd::test::ChildProcess p = startSim(
        {"--db", shipped("Param_base.mod"), "--control", control, "--eeprom", eeprom, "--error",
         "4", "--warning", "1", "--input", "3", "--silent", "KPV", "--answer", "ENMOD=9"},
        dir.file("sim-stderr.txt"));
    const std::string device = p.nextLine(kDeadline);
    ASSERT_TRUE(device.starts_with("/dev/")) << device << readFile(dir.file("sim-stderr.txt"));
    ASSERT_EQ(p.nextLine(kDeadline), control);

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
    EXPECT_EQ(p.exitStatus(kDeadline), 0);
    EXPECT_FALSE(std::filesystem::exists(control));
}

// A simulator started by hand, with its socket where it puts it by default, is offered by every
// port list with its pseudo-terminal; the socket file of one that died is passed over.
TEST_F(ZrdSimProcess, PortListsOfferTheLinesOfRunningSimulators) {
    const std::string folder = dir.file("run");
    std::filesystem::create_directories(folder);
    zrd::test::ChildProcess p({"/usr/bin/env", "XDG_RUNTIME_DIR=" + folder, ZRD_SIM_PATH},
                              {.errorFile = dir.file("sim-stderr.txt"), .stopSignal = SIGTERM});
    const std::string device = p.nextLine(kDeadline);
    ASSERT_TRUE(device.starts_with("/dev/")) << device << readFile(dir.file("sim-stderr.txt"));
    const std::string control = p.nextLine(kDeadline);
    EXPECT_EQ(control, zrd::link::simulatorSocketPath(folder, p.pid()));
    // A socket file nobody listens at any more, as a killed simulator leaves it.
    const std::string stale = zrd::link::simulatorSocketPath(folder, 0);
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", stale.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }

    zrd::test::RecordingUserInterface ui;
    zrd::params::MessageTable messages;
    messages.load(shipped(zrd::params::kMessageFileName), ui);
    zrd::link::SystemRoots roots;
    roots.simulators = {folder};
    std::vector<zrd::link::PortInfo> simulated;
    for (const zrd::link::PortInfo& port : zrd::link::listSerialPorts(roots))
        if (port.simulator)
            simulated.push_back(port);
    ASSERT_EQ(simulated.size(), 1U);
    EXPECT_EQ(simulated[0].device, device);
    EXPECT_EQ(simulated[0].simulator->control, control);
    EXPECT_EQ(simulated[0].simulator->pid, p.pid());
    const std::string mark =
        zrd::session::portListMark(simulated[0], messages, zrd::params::kEnglish);
    EXPECT_NE(mark.find(std::to_string(p.pid())), std::string::npos) << mark;

    // zrdctl ports, run where the simulator was started, says the same.
    const std::string ports = "XDG_RUNTIME_DIR='" + folder + "' '" + ZRDCTL_PATH +
                              "' --data-dir '" + ZRD_SHIPPED_DATA_DIR + "' ports";
    struct Case {
        const char* options;
        std::string expected;
    };
    for (const Case& c : {Case{"", device + "\n    " + mark + ", control socket " + control + "\n"},
                          Case{" --json", "{\"device\": \"" + device + "\""},
                          Case{" --json", "\"simulator\": {\"control\": \"" + control +
                                              "\", \"pid\": " + std::to_string(p.pid()) + "}"}}) {
        const Outcome r = shell(ports + c.options);
        EXPECT_EQ(r.status, 0) << r.err;
        EXPECT_NE(r.out.find(c.expected), std::string::npos) << c.expected << " in " << r.out;
        EXPECT_EQ(r.out.find(stale), std::string::npos) << r.out;
    }
}

TEST_F(ZrdSimProcess, HangUpReachesZrdctlAsALostLink) {
    zrd::test::ChildProcess p =
        startSim({"--db", shipped("Param_base.mod"), "--control", control, "--fault", "hangup"},
                 dir.file("sim-stderr.txt"));
    const std::string device = p.nextLine(kDeadline);
    ASSERT_TRUE(device.starts_with("/dev/")) << device << readFile(dir.file("sim-stderr.txt"));
    ASSERT_EQ(p.nextLine(kDeadline), control);

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
    EXPECT_EQ(p.exitStatus(kDeadline), 0);
}

// The first line (numbered from 1) where two texts differ, with both versions; empty when equal.
std::string firstDifference(const std::string& a, const std::string& b) {
    std::istringstream x(a);
    std::istringstream y(b);
    std::string lineA;
    std::string lineB;
    for (int n = 1;; ++n) {
        const bool moreA = static_cast<bool>(std::getline(x, lineA));
        const bool moreB = static_cast<bool>(std::getline(y, lineB));
        if (!moreA && !moreB)
            return "";
        if (moreA != moreB || lineA != lineB)
            return "line " + std::to_string(n) + ": " + lineA + " | " + lineB;
    }
}

// A chirp recorded offline with the generator's trigger on a fresh simulator: the samples
// (without the file's time stamps) as zrdctl converts them.
class ChirpRecord : public ZrdSimProcess {
protected:
    std::string record(const std::vector<std::string>& simArgs, const std::string& name) {
        std::vector<std::string> args{
            "--db", shipped("Param_base.mod"), "--control", control, "--baud", kBaud};
        args.insert(args.end(), simArgs.begin(), simArgs.end());
        zrd::test::ChildProcess p = startSim(args, dir.file("sim-stderr.txt"));
        const std::string device = p.nextLine(kDeadline);
        EXPECT_TRUE(device.starts_with("/dev/")) << readFile(dir.file("sim-stderr.txt"));
        (void)p.nextLine(kDeadline);
        const std::string line = "--data-dir '" + std::string(ZRD_SHIPPED_DATA_DIR) + "' --baud " +
                                 kBaud + " --port " + device + " ";
        for (const std::string& command :
             {std::string("mode speed"), std::string("source internal"), std::string("servo on"),
              std::string("fg set --type chirp --amp 300 --period 250 --width 800"),
              "scope offline --tick 0 --ch VSET VACT ISET IACT --trigger fg --start-fg -o '" +
                  dir.file(name + ".dat") + "'",
              "scope convert '" + dir.file(name + ".dat") + "' -o '" + dir.file(name + ".csv") +
                  "'"}) {
            const Outcome run = zrdctl(line + command);
            EXPECT_EQ(run.status, 0) << command << ": " << run.err;
        }
        return readFile(dir.file(name + ".csv"));
    }
    static constexpr const char* kBaud = "921600";
};

TEST_F(ChirpRecord, RepeatsSampleForSampleWhateverTheScheduling) {
    struct Case {
        const char* name;
        std::vector<std::string> args;
    };
    const std::vector<Case> cases = {
        {"exact", {"--noise", "0"}}, {"noisy", {"--seed", "7"}}, {"other-seed", {"--seed", "8"}}};
    std::vector<std::string> records;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string first = record(c.args, std::string(c.name) + "-1");
        const std::string second = record(c.args, std::string(c.name) + "-2");
        ASSERT_EQ(std::count(first.begin(), first.end(), '\n'), 2048);
        EXPECT_EQ(firstDifference(first, second), "");
        records.push_back(first);
    }
    // The noise is there, and the seed chooses it.
    EXPECT_NE(records[0], records[1]);
    EXPECT_NE(records[1], records[2]);
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
        zrd::test::ChildProcess p = startSim(args, dir.file("sim-stderr.txt"));
        EXPECT_EQ(p.nextLine(kDeadline), "") << c.reason;
        EXPECT_NE(p.exitStatus(kDeadline), 0) << c.reason;
        const std::string err = readFile(dir.file("sim-stderr.txt"));
        EXPECT_NE(err.find(c.reason), std::string::npos) << c.reason << ": " << err;
    }
}

}  // namespace
}  // namespace zrd::sim
