// The link against a drive whose line hangs up: the link goes offline once and no wait spins.
// Every case runs the real transport against zrd-sim's fault injection on a pseudo-terminal.
#include <time.h>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/drive_link.h"
#include "sim_fixture.h"

namespace zrd::link {
namespace {

using Clock = std::chrono::steady_clock;

sim::Fault fault(const char* text) {
    auto f = sim::parseFault(text);
    EXPECT_TRUE(f) << text;
    return f.value_or(sim::Fault{});
}

// Records the hang-ups besides everything else.
class HangUpRecorder : public test::RecordingUserInterface {
public:
    void linkLost(const std::string& reason) override { lost.push_back(reason); }
    std::vector<std::string> lost;
};

std::chrono::nanoseconds threadCpuTime() {
    timespec t{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return std::chrono::seconds(t.tv_sec) + std::chrono::nanoseconds(t.tv_nsec);
}

// The exchange that meets the hang-up; true when it got an answer.
enum class Exchange { Read, Write, Command };
bool run(DriveLink& link, Exchange e) {
    switch (e) {
        case Exchange::Read:
            return link.readIndex(0x10).has_value();
        case Exchange::Write:
            return link.writeIndex(0x10, 7) != 0;
        case Exchange::Command:
            return link.sendCommand(kCmdCalcPara) >= 0 && link.pollingWait(1, true) &&
                   link.PortRead(link.buffers().request) > 0;
    }
    return false;
}

TEST(DriveLinkHangUp, LinkGoesOfflineOnceWithoutSpinning) {
    // A slow line gives the reply wait a long bound (160 ms): a wait that spun on the dead line
    // would burn a good part of it.
    constexpr int kSlowBaud = 1200;
    struct Case {
        const char* name;
        const char* fault;  // nullptr: the simulator ends between two exchanges
        int answeredBefore;
        Exchange exchange;
    };
    for (const Case& c : {
             Case{"line closes during a read", "hangup", 0, Exchange::Read},
             Case{"line closes after two answers", "hangup=2", 2, Exchange::Read},
             Case{"line closes during a write", "hangup", 0, Exchange::Write},
             Case{"line closes during a command", "hangup", 0, Exchange::Command},
             Case{"simulator ends before the request", nullptr, 1, Exchange::Read},
         }) {
        SCOPED_TRACE(c.name);
        auto sim = std::make_unique<sim::SimServer>();
        ASSERT_TRUE(sim->openPty()) << sim->error();
        sim->start();
        HangUpRecorder ui;
        auto port = makeSystemSerialPort();
        DriveLink link(*port, ui);
        const std::string device = sim->devicePath();
        ASSERT_EQ(link.openPort(device, kSlowBaud, kDefaultPortTimeOutMs), OpenResult::Ok);
        link.state().connected = 1;
        if (c.fault)
            sim->withDrive([&](sim::SimDrive& d) { d.addFault(fault(c.fault)); });
        for (int i = 0; i < c.answeredBefore; ++i)
            ASSERT_TRUE(run(link, c.exchange));
        if (!c.fault)
            sim->stop();

        const auto wallStart = Clock::now();
        const auto cpuStart = threadCpuTime();
        EXPECT_FALSE(run(link, c.exchange));
        const auto cpu = threadCpuTime() - cpuStart;
        EXPECT_LT(Clock::now() - wallStart, std::chrono::seconds(1));
        EXPECT_LT(cpu, std::chrono::milliseconds(20));

        EXPECT_TRUE(link.state().hungUp);
        EXPECT_EQ(link.state().connected, 0);
        EXPECT_FALSE(port->isOpen());
        ASSERT_EQ(ui.lost.size(), 1u);
        EXPECT_NE(ui.lost[0].find(device), std::string::npos) << ui.lost[0];
        EXPECT_EQ(ui.idleRestores, 0);

        // Everything after it ends at once, without a word more.
        for (const Exchange e : {Exchange::Read, Exchange::Write, Exchange::Command})
            EXPECT_FALSE(run(link, e));
        EXPECT_EQ(ui.lost.size(), 1u);

        // A new line brings the link back.
        sim::SimServer next;
        ASSERT_TRUE(next.openPty()) << next.error();
        next.start();
        next.withDrive([](sim::SimDrive& d) { d.setRaw(0x10, 0x4321); });
        ASSERT_EQ(link.openPort(next.devicePath(), 115200, kDefaultPortTimeOutMs), OpenResult::Ok);
        EXPECT_FALSE(link.state().hungUp);
        EXPECT_EQ(link.readIndex(0x10), 0x4321);
    }
}

}  // namespace
}  // namespace zrd::link
