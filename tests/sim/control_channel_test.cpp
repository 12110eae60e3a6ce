// The control channel: its commands on the drive, and the same over a real socket.
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <future>

#include "control_commands.h"
#include "event_bound.h"
#include "shipped_drive.h"
#include "sim_server.h"
#include "temp_dir.h"

namespace zrd::sim {
namespace {

namespace lk = zrd::link;
using Clock = std::chrono::steady_clock;
using ControlCommands = test::ShippedDrive;

std::string run(SimDrive& d, const char* line) {
    return runControlCommand(line, d).text;
}

TEST_F(ControlCommands, CommandsChangeTheDrive) {
    struct Step {
        const char* line;
        const char* reply;
    };
    for (const Step& s : {
             Step{"state",
                  "ok 240=0x0288 241=0x0000 242=0x0000 243=0x0801 244=0x0000 246=0x0000 "
                  "servo=off pc-enable=off generator=off"},
             Step{"error raise 3", "ok"},
             Step{"warning raise 15", "ok"},
             Step{"apxerr raise 0", "ok"},
             Step{"input 4 1", "ok"},
             // Errors and warnings present, not ready.
             Step{"state",
                  "ok 240=0x020E 241=0x0008 242=0x8000 243=0x0801 244=0x0008 246=0x0001 "
                  "servo=off pc-enable=off generator=off"},
             Step{"error clear 3", "ok"},
             Step{"warning clear all", "ok"},
             Step{"apxerr clear 0", "ok"},
             Step{"input 4 0", "ok"},
             Step{"state",
                  "ok 240=0x0288 241=0x0000 242=0x0000 243=0x0801 244=0x0000 246=0x0000 "
                  "servo=off pc-enable=off generator=off"},
             Step{"set VSET -1500", "ok"},
             Step{"get VSET", "ok -1500"},
             Step{"get vset", "ok -1500"},
             Step{"get 197", "ok -1500"},
             Step{"set 0xF0 65535", "ok"},
             Step{"get STA", "ok 65535"},
             Step{"set KPV -1", "ok"},
             Step{"get KPV", "ok 65535"},
             Step{"plant resonance 250 0.1", "ok"},
             Step{"plant resonance 300", "ok"},
             Step{"plant status",
                  "ok resonance=300 damping=0.1 filters=none generator=off type=1 "
                  "speed=0 current=0"},
         }) {
        EXPECT_EQ(run(drive, s.line), s.reply) << s.line;
    }
}

TEST_F(ControlCommands, OverridesFaultsAndInputsTakeEffect) {
    const uint8_t vact = index("VACT");
    const uint8_t enmod = index("ENMOD");
    ASSERT_EQ(run(drive, "silent VACT"), "ok");
    EXPECT_TRUE(drive.silent(vact));
    ASSERT_EQ(run(drive, "answer ENMOD 9"), "ok");
    EXPECT_EQ(drive.answerOverride(enmod), 9);
    ASSERT_EQ(run(drive, "answer 7 -2"), "ok");
    EXPECT_EQ(drive.answerOverride(7), 0xFFFE);
    ASSERT_EQ(run(drive, "normal VACT"), "ok");
    EXPECT_FALSE(drive.silent(vact));
    EXPECT_TRUE(drive.answerOverride(enmod));
    ASSERT_EQ(run(drive, "normal all"), "ok");
    EXPECT_FALSE(drive.answerOverride(enmod));

    ASSERT_EQ(run(drive, "fault busy 2"), "ok");
    EXPECT_EQ(command(lk::kCmdCalcPara), lk::kAckStatusRefused);
    EXPECT_EQ(command(lk::kCmdCalcPara), lk::kAckStatusRefused);
    EXPECT_EQ(command(lk::kCmdCalcPara), 0);
    ASSERT_EQ(run(drive, "fault silent"), "ok");
    EXPECT_EQ(command(lk::kCmdCalcPara), -1);
    ASSERT_EQ(run(drive, "faults clear"), "ok");
    EXPECT_EQ(command(lk::kCmdCalcPara), 0);

    ASSERT_EQ(run(drive, "analog 2000"), "ok");
    ASSERT_EQ(run(drive, "pulse -12.5"), "ok");
    runMs(20);
    EXPECT_EQ(raw("AINVOL"), 2000);
    EXPECT_EQ(raw("PINFRQ"), -1250);  // 0.01 kHz
    EXPECT_TRUE(appBit(kAppPulseInput));
    ASSERT_EQ(run(drive, "load 30"), "ok");
    runMs(1);
    EXPECT_EQ(drive.plant().inputs().loadTorqueNcm, 30);
}

TEST_F(ControlCommands, MistakesAreAnsweredWithTheirReason) {
    struct Case {
        const char* line;
        const char* reply;
    };
    for (const Case& c : {
             Case{"", "error empty command (try help)"},
             Case{"   ", "error empty command (try help)"},
             Case{"bogus", "error unknown command: bogus (try help)"},
             Case{"ERROR raise 1", "error unknown command: ERROR (try help)"},
             Case{"error", "error usage: error raise N | error clear N|all"},
             Case{"error raise 1 2", "error usage: error raise N | error clear N|all"},
             Case{"error lift 3", "error usage: error raise N | error clear N|all"},
             Case{"error raise 16", "error bit must be 0..15: 16"},
             Case{"warning raise -1", "error bit must be 0..15: -1"},
             Case{"apxerr clear x", "error bit must be 0..15: x"},
             Case{"silent NOPE", "error no drive index or mnemonic: NOPE"},
             Case{"silent 256", "error no drive index or mnemonic: 256"},
             Case{"answer ENMOD", "error usage: answer INDEX|MNEMONIC RAW"},
             Case{"answer ENMOD 65536", "error raw value must be -32768..65535: 65536"},
             Case{"set VSET 1.5", "error raw value must be -32768..65535: 1.5"},
             Case{"set VSET -32769", "error raw value must be -32768..65535: -32769"},
             Case{"get", "error usage: get INDEX|MNEMONIC"},
             Case{"fault busy 0", "error count must be a positive number: 0"},
             Case{"faults", "error usage: faults clear"},
             Case{"faults drop", "error usage: faults clear"},
             Case{"input 0 1", "error input must be 1..16: 0"},
             Case{"input 3 2", "error input level must be 0 or 1: 2"},
             Case{"analog 10001", "error analog input must be -10000..10000 mV: 10001"},
             Case{"pulse fast", "error pulse frequency must be -1000..1000 kHz: fast"},
             Case{"load -1", "error load must be 0..100000 N-cm: -1"},
             Case{"state now", "error usage: state"},
             Case{"scope",
                  "error usage: scope status | scope refuse on|off | scope mute on|off "
                  "| scope badend N"},
             Case{"scope mute yes",
                  "error usage: scope status | scope refuse on|off | scope mute on|off | scope "
                  "badend N"},
             Case{"scope badend -1", "error badend needs a frame count, 0 for none: -1"},
             Case{"plant", "error usage: plant status | plant resonance HZ [DAMPING]"},
             Case{"plant resonance", "error usage: plant status | plant resonance HZ [DAMPING]"},
             Case{"plant resonance 1001", "error resonance must be 0..1000 Hz (0: rigid): 1001"},
             Case{"plant resonance 400 2", "error damping ratio must be 0..1: 2"},
         }) {
        const ControlReply r = runControlCommand(c.line, drive);
        EXPECT_EQ(r.text, c.reply) << "'" << c.line << "'";
        EXPECT_FALSE(r.quit);
    }
    EXPECT_TRUE(run(drive, "fault loud").starts_with("error unknown fault: loud ("));
    // Nothing of it reached the drive.
    EXPECT_EQ(drive.resonanceHz(), kDefaultResonanceHz);
    EXPECT_EQ(drive.raw(241), 0);
    EXPECT_EQ(drive.terminalInputs(), 0);
}

TEST(ControlCommandsBare, MnemonicsNeedADatabase) {
    SimDrive d;
    EXPECT_EQ(run(d, "get VSET"), "error no drive index (mnemonics need a database): VSET");
    EXPECT_EQ(run(d, "set 16 42"), "ok");
    EXPECT_EQ(run(d, "get 16"), "ok 42");
}

// A connection to the control socket, read with a deadline.
class Client {
public:
    explicit Client(const std::string& path) : m_fd(::socket(AF_UNIX, SOCK_STREAM, 0)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
        m_connected =
            ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    }
    ~Client() { ::close(m_fd); }
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    [[nodiscard]] bool connected() const { return m_connected; }
    void send(const std::string& text) {
        ASSERT_EQ(::send(m_fd, text.data(), text.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(text.size()));
    }
    void endSending() { ::shutdown(m_fd, SHUT_WR); }
    // The next line; "<eof>" when the server closed, "<timeout>" after the deadline.
    std::string line() {
        const auto deadline = Clock::now() + zrd::test::kEventBound;
        for (;;) {
            const size_t end = m_buffer.find('\n');
            if (end != std::string::npos) {
                std::string out = m_buffer.substr(0, end);
                m_buffer.erase(0, end + 1);
                return out;
            }
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
            pollfd p{m_fd, POLLIN, 0};
            if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0)
                return "<timeout>";
            char chunk[256];
            const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return "<eof>";
            m_buffer.append(chunk, static_cast<size_t>(n));
        }
    }

private:
    int m_fd;
    bool m_connected = false;
    std::string m_buffer;
};

class ControlSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::loadShippedDatabase(model));
        ASSERT_TRUE(server.openPty()) << server.error();
        ASSERT_TRUE(server.openControl(path)) << server.error();
        server.withDrive([&](SimDrive& d) { d.loadParameters(model); });
        server.setQuitHandler([this] { quit.set_value(); });
        server.start();
    }

    zrd::test::TempDir dir;
    std::string path = dir.file("control.sock");
    std::unique_ptr<params::ParameterModel> owner = std::make_unique<params::ParameterModel>();
    params::ParameterModel& model = *owner;
    std::promise<void> quit;
    SimServer server;
};

TEST_F(ControlSocketTest, LinesAreAnsweredInOrderHoweverTheyArrive) {
    Client c(path);
    ASSERT_TRUE(c.connected());
    c.send("error raise 1\r\nget ERR\nget S");
    c.send("TA\nbogus\n");
    EXPECT_EQ(c.line(), "ok");
    EXPECT_EQ(c.line(), "ok 2");
    const std::string state = c.line();
    ASSERT_TRUE(state.starts_with("ok ")) << state;
    EXPECT_EQ(std::stoi(state.substr(3)) & (1 << kStateErrors), 1 << kStateErrors);
    EXPECT_EQ(c.line(), "error unknown command: bogus (try help)");
    uint16_t errors = 0;
    server.withDrive([&](SimDrive& d) { errors = d.bits(BitList::Errors); });
    EXPECT_EQ(errors, 2);
}

TEST_F(ControlSocketTest, LastLineWithoutItsEndIsAnsweredAtTheClose) {
    Client c(path);
    c.send("get ENMOD");
    c.endSending();
    EXPECT_EQ(c.line(), "ok 1");
    EXPECT_EQ(c.line(), "<eof>");
}

TEST_F(ControlSocketTest, OverlongLineIsRefusedAndTheConnectionClosed) {
    Client c(path);
    c.send(std::string(ControlSocket::kLongestLine + 10, 'x'));
    EXPECT_EQ(c.line(), "error line longer than 1024 characters");
    EXPECT_EQ(c.line(), "<eof>");
    Client next(path);
    next.send("get ENMOD\n");
    EXPECT_EQ(next.line(), "ok 1");
}

TEST_F(ControlSocketTest, ConnectionsBeyondTheLimitAreTurnedAway) {
    std::vector<std::unique_ptr<Client>> clients;
    for (size_t i = 0; i < ControlSocket::kMaxConnections; ++i) {
        clients.push_back(std::make_unique<Client>(path));
        clients.back()->send("get ENMOD\n");
        ASSERT_EQ(clients.back()->line(), "ok 1") << i;
    }
    Client extra(path);
    EXPECT_EQ(extra.line(), "error too many control connections");
    EXPECT_EQ(extra.line(), "<eof>");
    clients.front().reset();
    // The freed place is taken by the next connection once the server saw the close.
    const auto deadline = Clock::now() + zrd::test::kEventBound;
    std::string answer;
    while (Clock::now() < deadline) {
        Client again(path);
        again.send("get ENMOD\n");
        answer = again.line();
        if (answer == "ok 1")
            break;
    }
    EXPECT_EQ(answer, "ok 1");
}

TEST_F(ControlSocketTest, QuitIsAnsweredThenHandedToTheOwner) {
    Client c(path);
    c.send("quit\n");
    EXPECT_EQ(c.line(), "ok bye");
    EXPECT_EQ(c.line(), "<eof>");
    EXPECT_EQ(quit.get_future().wait_for(zrd::test::kEventBound), std::future_status::ready);
}

TEST_F(ControlSocketTest, SocketPathsThatCannotServeAreRefused) {
    SimServer other;
    EXPECT_FALSE(other.openControl(path));
    EXPECT_NE(other.error().find("in use"), std::string::npos) << other.error();
    EXPECT_FALSE(other.openControl(dir.write("plain-file", "x")));
    EXPECT_NE(other.error().find("not a socket"), std::string::npos) << other.error();
    EXPECT_FALSE(other.openControl(dir.file(std::string(120, 'n'))));
    EXPECT_NE(other.error().find("path must have"), std::string::npos) << other.error();
    EXPECT_FALSE(other.openControl(dir.file("no-folder/control.sock")));

    // A socket file left behind by a simulator that died is taken over.
    const std::string stale = dir.file("stale.sock");
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::strncpy(address.sun_path, stale.c_str(), sizeof address.sun_path - 1);
        ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    EXPECT_TRUE(other.openControl(stale)) << other.error();
    other.stop();
    EXPECT_FALSE(std::filesystem::exists(stale));
}

}  // namespace
}  // namespace zrd::sim
