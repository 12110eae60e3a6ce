// What the program tells about serial ports: descriptions and latency timers read from a fake
// sysfs tree, and why a port does not open for want of permission, on a real pseudo-terminal
// (a port held by another program: busy_port_test.cpp).
#include "session/port_advice.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <functional>

#include "fake_serial_tree.h"
#include "link/serial_port.h"
#include "params/message_numbers.h"
#include "recording_ui.h"
#include "temp_dir.h"

namespace zrd::session {
namespace {

using test::FakeSerialTree;

constexpr uid_t kNobody = 65534;
constexpr const char* kRules = "/usr/share/torvanta/99-zrd-serial.rules";

class PortAdvice : public ::testing::Test {
protected:
    void SetUp() override {
        messages.load(std::string(ZRD_SHIPPED_DATA_DIR) + "/" + params::kMessageFileName, ui);
        ASSERT_FALSE(text(params::kMsgPortLatency).empty());
    }
    std::string text(int n) const { return messages.text(n, params::kEnglish); }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    params::MessageTable messages;
};

TEST_F(PortAdvice, AdaptersAreDescribedFromSysfsAndSlowTimersAdvised) {
    FakeSerialTree tree(dir.path());
    tree.add(FakeSerialTree::ftdi("ttyUSB0", 16));
    tree.add({"ttyUSB1", "ftdi_sio", "0403", "6015", "FTDI", "FT230X Basic UART", "DK0AB1", 1, ""});
    tree.add({"ttyACM0", "cdc_acm", "2341", "0043", "Arduino (www.arduino.cc)", "Uno", "75833353",
              std::nullopt, ""});
    const std::vector<link::PortInfo> ports = link::listSerialPorts(tree.roots());
    const std::string ftdi =
        "FTDI FT232R USB UART, 0403:6001, serial A50285BI, by-id "
        "usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0";
    struct Expected {
        std::string device;
        std::string summary;
        std::optional<int> latencyMs;
        std::string driver;
    };
    const std::vector<Expected> expected = {
        {tree.byId("usb-FTDI_FT232R_USB_UART_A50285BI-if00-port0"),
         "FTDI FT232R USB UART, 0403:6001, serial A50285BI", 16, "ftdi_sio"},
        {tree.device("ttyACM0"), "Arduino (www.arduino.cc) Uno, 2341:0043, serial 75833353",
         std::nullopt, "cdc_acm"},
        {tree.device("ttyUSB0"), ftdi, 16, "ftdi_sio"},
        {tree.device("ttyUSB1"), "FTDI FT230X Basic UART, 0403:6015, serial DK0AB1", 1, "ftdi_sio"},
    };
    ASSERT_EQ(ports.size(), expected.size());
    for (size_t i = 0; i < ports.size(); ++i) {
        const Expected& e = expected[i];
        EXPECT_EQ(ports[i].device, e.device);
        EXPECT_EQ(link::portSummary(ports[i]), e.summary) << e.device;
        EXPECT_EQ(ports[i].latencyMs, e.latencyMs) << e.device;
        EXPECT_EQ(ports[i].driver, e.driver) << e.device;
        const std::string advice = latencyAdvice(ports[i], kRules, messages, params::kEnglish);
        // Only a timer above 1 ms is worth a word; the commands name the adapter's own file.
        if (e.latencyMs.value_or(0) > link::kLatencyAdviceAboveMs) {
            EXPECT_EQ(advice,
                      params::withArguments(text(params::kMsgPortLatency), {e.device, "16"}) +
                          "\n    echo 1 | sudo tee " + tree.latencyFile("ttyUSB0") +
                          "\n    sudo cp " + kRules + " /etc/udev/rules.d/" +
                          "\n    sudo udevadm control --reload && sudo udevadm trigger "
                          "--subsystem-match=usb-serial")
                << e.device;
        } else {
            EXPECT_EQ(advice, "") << e.device;
        }
    }
    // A typed path the system knows nothing about has no description and no advice.
    const link::PortInfo typed = link::describePort(dir.file("nothing"), tree.roots());
    EXPECT_EQ(link::portSummary(typed), "");
    EXPECT_FALSE(typed.latencyMs);
}

// In a child process: becomes the user "nobody" when the test runs as root (root may open any
// device, and ignores another program's exclusive hold). Its /proc entries stay readable to
// processes of the same user.
void dropRoot() {
    if (::geteuid() == 0 &&
        (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0))
        ::_exit(1);
    ::prctl(PR_SET_DUMPABLE, 1);
}

// A pseudo-terminal stands in for the drive's port. The work runs in a child process as an
// ordinary user and hands back a text.
std::string inChild(const std::function<std::string()>& work) {
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
    int status = 0;
    ::waitpid(pid, &status, 0);
    return text;
}

// A pseudo-terminal pair; the slave is the port.
class Pty {
public:
    Pty() : m_master(::posix_openpt(O_RDWR | O_NOCTTY)) {
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0)
            m_slave = ::ptsname(m_master);
    }
    ~Pty() {
        if (m_master >= 0)
            ::close(m_master);
    }
    [[nodiscard]] const std::string& slave() const { return m_slave; }

private:
    int m_master;
    std::string m_slave;
};

// What opening the port as the child's user ends with, and the advice the program gives.
std::string openAndAdvise(const std::string& device, const params::MessageTable& messages) {
    return inChild([&] {
        auto port = link::makeSystemSerialPort();
        if (port->open(device, 115200) == link::OpenResult::Ok)
            return std::string("opened");
        return openFailureAdvice(link::diagnoseOpenFailure(device, port->lastErrorCode()), messages,
                                 params::kEnglish);
    });
}

std::string userName(uid_t uid) {
    const passwd* entry = ::getpwuid(uid);
    return entry ? entry->pw_name : std::to_string(uid);
}

TEST_F(PortAdvice, APortWithoutPermissionNamesTheGroupOrTheRights) {
    Pty pty;
    ASSERT_FALSE(pty.slave().empty());
    std::string expected;
    if (::geteuid() == 0) {
        // A device of the group "dialout", as USB adapters are, and a user outside it.
        const group* dialout = ::getgrnam("dialout");
        ASSERT_NE(dialout, nullptr);
        ASSERT_EQ(::chown(pty.slave().c_str(), 0, dialout->gr_gid), 0);
        ASSERT_EQ(::chmod(pty.slave().c_str(), 0660), 0);
        expected = params::withArguments(text(params::kMsgPortJoinGroup),
                                         {pty.slave(), "dialout", userName(kNobody)}) +
                   "\n    sudo usermod -aG dialout " + userName(kNobody);
    } else {
        // Mode 000: neither the owner's nor any group's rights let the user in.
        ASSERT_EQ(::chmod(pty.slave().c_str(), 0), 0);
        struct stat st {};
        ASSERT_EQ(::stat(pty.slave().c_str(), &st), 0);
        expected =
            params::withArguments(text(params::kMsgPortNoAccess),
                                  {pty.slave(), userName(::geteuid()),
                                   ::getgrgid(st.st_gid)->gr_name, "0000", userName(::geteuid())});
    }
    EXPECT_EQ(openAndAdvise(pty.slave(), messages), expected);
}

}  // namespace
}  // namespace zrd::session
