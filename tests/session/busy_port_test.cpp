// A port held by another program, by each lock a Linux serial program takes (the exclusive
// mode, an flock, a UUCP lock file): refused with the holder named, as root and as an ordinary
// user, by the port, the port list and zrdctl; the locks the program itself takes while it
// holds a port; a stale lock file. On real pseudo-terminals, with the holders in processes of
// their own.
#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "../sim/shipped_drive.h"
#include "link/port_lock.h"
#include "link/serial_port.h"
#include "params/message_numbers.h"
#include "recording_ui.h"
#include "run_command.h"
#include "session/port_advice.h"
#include "sim_server.h"
#include "temp_dir.h"

namespace zrd::session::busy_port {
namespace {

using session::holderList;
using session::openFailureAdvice;

constexpr uid_t kNobody = 65534;

enum class Hold { Exclusive, Flock, LockFile };

const char* holdName(Hold hold) {
    switch (hold) {
        case Hold::Exclusive:
            return "exclusive mode";
        case Hold::Flock:
            return "flock";
        case Hold::LockFile:
            return "lock file";
    }
    return "";
}

// Becomes the user "nobody" when running as root: root passes the exclusive mode, an ordinary
// user does not. Its /proc entries stay readable to processes of the same user.
void dropRoot() {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        ::_exit(1);
    ::prctl(PR_SET_DUMPABLE, 1);
}

std::string lockFileText(int pid) {
    char text[16];
    std::snprintf(text, sizeof text, "%10d\n", pid);
    return text;
}

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A pseudo-terminal whose slave is the port; every user may open it.
class Pty {
public:
    Pty() : m_master(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC)) {
        char name[128];
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0 &&
            ::ptsname_r(m_master, name, sizeof name) == 0 && ::chmod(name, 0666) == 0)
            m_slave = name;
    }
    ~Pty() {
        if (m_master >= 0)
            ::close(m_master);
    }
    Pty(const Pty&) = delete;
    Pty& operator=(const Pty&) = delete;
    [[nodiscard]] const std::string& slave() const { return m_slave; }

private:
    int m_master;
    std::string m_slave;
};

// Closes the pseudo-terminal master sides that a child inherited.
void closeMasters() {
    std::vector<int> masters;
    for (const auto& fd : std::filesystem::directory_iterator("/proc/self/fd")) {
        std::error_code ec;
        if (std::filesystem::read_symlink(fd.path(), ec).filename() == "ptmx")
            masters.push_back(std::stoi(fd.path().filename().string()));
    }
    for (const int fd : masters)
        ::close(fd);
}

// Another program: a process of the ordinary user that holds the port by one lock until the
// holder is destroyed. It lets go of the pseudo-terminal's master side, which belongs to the
// drive's end of the line.
class Holder {
public:
    Holder(const std::string& device, Hold hold, const std::string& lockFolder) {
        int ready[2];
        int quit[2];
        if (::pipe(ready) != 0 || ::pipe(quit) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(quit[1]);
            closeMasters();
            dropRoot();
            bool held = false;
            int fd = -1;
            if (hold == Hold::LockFile) {
                const std::string path = lockFolder + "/" + link::lockFileName(device);
                const std::string text = lockFileText(::getpid());
                std::ofstream(path, std::ios::binary) << text;
                held = fileText(path) == text;
            } else {
                fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                held = fd >= 0 && (hold == Hold::Exclusive ? ::ioctl(fd, TIOCEXCL) == 0
                                                           : ::flock(fd, LOCK_EX | LOCK_NB) == 0);
            }
            const char state = held ? 'y' : 'n';
            (void)!::write(ready[1], &state, 1);
            char byte;
            (void)!::read(quit[0], &byte, 1);
            // As a program that behaves: a pseudo-terminal keeps the mode past the last close.
            if (hold == Hold::Exclusive && fd >= 0)
                (void)::ioctl(fd, TIOCNXCL);
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(quit[0]);
        m_quit = quit[1];
        char state = 0;
        m_held = ::read(ready[0], &state, 1) == 1 && state == 'y';
        ::close(ready[0]);
        std::ifstream comm("/proc/" + std::to_string(m_pid) + "/comm");
        std::getline(comm, m_name);
    }
    ~Holder() {
        if (m_quit >= 0)
            ::close(m_quit);
        if (m_pid > 0)
            ::waitpid(m_pid, nullptr, 0);
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;

    [[nodiscard]] bool held() const { return m_held; }
    [[nodiscard]] pid_t pid() const { return m_pid; }
    [[nodiscard]] const std::string& name() const { return m_name; }
    // As the messages name it: "session_tests (PID 1234)".
    [[nodiscard]] std::string named() const {
        return m_name + " (PID " + std::to_string(m_pid) + ")";
    }

private:
    pid_t m_pid = -1;
    int m_quit = -1;
    bool m_held = false;
    std::string m_name;
};

// Runs the work as root (in this process) or as the ordinary user (in a child) and hands back
// its text.
std::string runAs(bool asRoot, const std::function<std::string()>& work) {
    if (asRoot)
        return work();
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

class BusyPort : public ::testing::Test {
protected:
    void SetUp() override {
        messages.load(std::string(ZRD_SHIPPED_DATA_DIR) + "/" + params::kMessageFileName, ui);
        ASSERT_FALSE(messages.text(params::kMsgPortBusy, params::kEnglish).empty());
        ASSERT_FALSE(pty.slave().empty());
        // Every user may leave a lock file here, as in /var/lock.
        ASSERT_EQ(::chmod(locks.path().c_str(), 01777), 0);
        roots.lock = locks.path();
    }

    std::string busyText(const std::string& holders) const {
        return params::withArguments(messages.text(params::kMsgPortBusy, params::kEnglish),
                                     {pty.slave(), holders});
    }
    std::string lockFile() const { return locks.file(link::lockFileName(pty.slave())); }

    test::TempDir locks;
    link::SystemRoots roots;
    test::RecordingUserInterface ui;
    params::MessageTable messages;
    Pty pty;
};

TEST_F(BusyPort, APortHeldByAnyLockIsRefusedNamingTheHolder) {
    for (const Hold hold : {Hold::Exclusive, Hold::Flock, Hold::LockFile}) {
        for (const bool asRoot : {true, false}) {
            if (asRoot && ::geteuid() != 0)
                continue;
            SCOPED_TRACE(std::string(holdName(hold)) + (asRoot ? ", as root" : ", as a user"));
            Holder holder(pty.slave(), hold, locks.path());
            ASSERT_TRUE(holder.held());
            const std::string seen = runAs(asRoot, [&] {
                auto port = link::makeSystemSerialPort(roots);
                if (port->open(pty.slave(), 115200) == link::OpenResult::Ok)
                    return std::string("opened");
                if (port->lastErrorCode() != EBUSY)
                    return "failed: " + port->lastError();
                // The port list marks it with the same holder.
                const std::string listed = holderList(link::findLockHolders(pty.slave(), roots));
                const std::string advice = openFailureAdvice(
                    link::diagnoseOpenFailure(pty.slave(), port->lastErrorCode(), roots), messages,
                    params::kEnglish);
                return listed + "\n" + advice;
            });
            EXPECT_EQ(seen, holder.named() + "\n" + busyText(holder.named()));
            // A holder's own lock file is its to remove.
            EXPECT_EQ(std::filesystem::exists(lockFile()), hold == Hold::LockFile);
            std::filesystem::remove(lockFile());
        }
    }
}

TEST_F(BusyPort, AnOpenPortHoldsEveryLockUntilItIsClosed) {
    auto port = link::makeSystemSerialPort(roots);
    ASSERT_EQ(port->open(pty.slave(), 115200), link::OpenResult::Ok) << port->lastError();
    EXPECT_EQ(fileText(lockFile()), lockFileText(::getpid()));
    // What another program finds: refused by an ordinary user's open (exclusive mode), the
    // flock taken, the lock file naming this process; afterwards none of them.
    const auto probe = [&] {
        return runAs(false, [&] {
            const int fd = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
            if (fd < 0)
                return std::string(errno == EBUSY ? "exclusive" : "failed");
            const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
            ::close(fd);
            return std::string(locked ? "flock" : "free");
        });
    };
    EXPECT_EQ(probe(), "exclusive");
    if (::geteuid() == 0) {
        const int fd = ::open(pty.slave().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        ASSERT_GE(fd, 0);
        int exclusive = 0;
        EXPECT_EQ(::ioctl(fd, TIOCGEXCL, &exclusive), 0);
        EXPECT_NE(exclusive, 0);
        EXPECT_NE(::flock(fd, LOCK_EX | LOCK_NB), 0);
        EXPECT_EQ(errno, EWOULDBLOCK);
        ::close(fd);
    }
    port->close();
    EXPECT_FALSE(std::filesystem::exists(lockFile()));
    // A pseudo-terminal keeps the exclusive mode past the last close unless it is cleared.
    EXPECT_EQ(probe(), "free");
    ASSERT_EQ(port->open(pty.slave(), 115200), link::OpenResult::Ok) << port->lastError();
}

TEST_F(BusyPort, AStaleLockFileIsRemovedAndTheLockTaken) {
    // The pid of a process that has ended.
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ASSERT_GT(gone, 0);
    ::waitpid(gone, nullptr, 0);
    for (const std::string& stale : {lockFileText(gone), std::string("garbage\n")}) {
        SCOPED_TRACE(stale);
        std::ofstream(lockFile(), std::ios::binary) << stale;
        auto port = link::makeSystemSerialPort(roots);
        ASSERT_EQ(port->open(pty.slave(), 115200), link::OpenResult::Ok) << port->lastError();
        EXPECT_EQ(fileText(lockFile()), lockFileText(::getpid()));
        port->close();
        EXPECT_FALSE(std::filesystem::exists(lockFile()));
    }
}

// zrdctl on the simulated drive's port while another program holds it: exit status 3 with
// the message that names the holder, the port listed with its holder; once the holder has
// gone, the same command reads the drive.
TEST_F(BusyPort, ZrdctlRefusesAHeldPortAndListsItsHolder) {
    params::ParameterModel model;
    ASSERT_TRUE(sim::test::loadShippedDatabase(model));
    sim::SimServer sim;
    ASSERT_TRUE(sim.openPty()) << sim.error();
    ASSERT_EQ(::chmod(sim.devicePath().c_str(), 0666), 0);
    sim.withDrive([&](sim::SimDrive& d) { d.loadParameters(model); });
    sim.start();
    const std::string zrdctl = "ZRD_LOCK_DIR='" + locks.path() + "' '" + ZRDCTL_PATH +
                               "' --data-dir '" + ZRD_SHIPPED_DATA_DIR + "' --port " +
                               sim.devicePath() + " ";
    test::TempDir dir;
    const std::string busy = "The port " + sim.devicePath() + " is in use by another program: ";
    for (const Hold hold : {Hold::Exclusive, Hold::Flock, Hold::LockFile}) {
        SCOPED_TRACE(holdName(hold));
        Holder holder(sim.devicePath(), hold, locks.path());
        ASSERT_TRUE(holder.held());
        const test::Outcome status = test::runCommand(zrdctl + "status", dir.file("err"));
        EXPECT_EQ(status.status, 3);
        const std::string lastLine = "zrdctl: cannot open " + sim.devicePath() + ": " + busy +
                                     holder.named() + ". Close it, then connect again.\n";
        EXPECT_TRUE(status.err.ends_with(lastLine)) << status.err;
        const test::Outcome ports = test::runCommand(zrdctl + "ports", dir.file("err"));
        EXPECT_EQ(ports.status, 0) << ports.err;
        EXPECT_NE(ports.out.find("\n    in use by " + holder.named() + "\n"), std::string::npos)
            << ports.out;
        const test::Outcome json = test::runCommand(zrdctl + "ports --json", dir.file("err"));
        EXPECT_NE(json.out.find("\"holders\": [{\"pid\": " + std::to_string(holder.pid()) +
                                ", \"name\": \"" + holder.name() + "\"}]"),
                  std::string::npos)
            << json.out;
        std::filesystem::remove(locks.file(link::lockFileName(sim.devicePath())));
    }
    const test::Outcome free = test::runCommand(zrdctl + "status", dir.file("err"));
    EXPECT_EQ(free.status, 0) << free.err;
    EXPECT_EQ(free.err, "");
    const test::Outcome ports = test::runCommand(zrdctl + "ports --json", dir.file("err"));
    EXPECT_NE(ports.out.find("\"holders\": []"), std::string::npos) << ports.out;
    sim.stop();
}

}  // namespace
}  // namespace zrd::session::busy_port
