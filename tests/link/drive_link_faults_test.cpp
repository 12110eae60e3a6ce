// The link against a drive that misbehaves on the line: each exchange takes only the answer to
// its own request, or none. Every case runs the real transport against zrd-sim's fault
// injection on a pseudo-terminal.
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

using test::SimLinkTest;

// How many of the answering indexes must answer under the fault.
enum class Answers { All, None, RightOrNothing };

// Where every index must answer, an exchange is repeated as the sweeps repeat it: a machine
// busy with other work may hold the simulator past one reply bound, which says nothing about
// the fault under test. A wrong value is caught on every attempt.
int attemptsFor(Answers expected) {
    return expected == Answers::All ? 3 : 1;
}

struct FaultCase {
    const char* fault;  // as given to zrd-sim --fault
    Answers answers;
};

sim::Fault fault(const char* text) {
    auto f = sim::parseFault(text);
    EXPECT_TRUE(f) << text;
    return f.value_or(sim::Fault{});
}

// Every second request goes to a silent index: its window is where a late or repeated
// answer to the request before it lands.
constexpr uint8_t kSilent[] = {0x21, 0x22, 0x23, 0x24};
// Values with bytes that travel escaped.
constexpr uint8_t kAnswering[] = {0x1B, 0xE1, 0x1D, 0xE4};
uint16_t valueOf(uint8_t index) {
    return static_cast<uint16_t>(index << 8 | (0xFF - index));
}

// Each case runs with the safe timing and with the fast link's short gap, where a late answer
// lands in the next request's window instead of the pauses before it.
class DriveLinkFaults : public SimLinkTest, public testing::WithParamInterface<int> {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        link.state().fastGapBytes = GetParam();
        drive([](sim::SimDrive& d) {
            for (const uint8_t i : kAnswering)
                d.setRaw(i, valueOf(i));
            for (const uint8_t i : kSilent)
                d.setSilent(i);
        });
    }

    void expectAnswers(Answers expected, int answered, const char* fault) {
        if (expected == Answers::All) {
            EXPECT_EQ(answered, static_cast<int>(std::size(kAnswering))) << fault;
        } else if (expected == Answers::None) {
            EXPECT_EQ(answered, 0) << fault;
        }
    }
};

TEST_P(DriveLinkFaults, ReadTakesOnlyTheValueOfTheIndexItAskedFor) {
    for (const FaultCase& c : {
             FaultCase{"noise=00", Answers::All},
             FaultCase{"noise=30,E1,30", Answers::All},
             FaultCase{"cut=4", Answers::None},
             FaultCase{"late=80", Answers::RightOrNothing},
             FaultCase{"duplicate=40", Answers::RightOrNothing},
             FaultCase{"split=75@2", Answers::RightOrNothing},
             FaultCase{"drop=5", Answers::None},
             FaultCase{"corrupt=2", Answers::None},
         }) {
        drive([&](sim::SimDrive& d) {
            d.clearFaults();
            d.addFault(fault(c.fault));
        });
        int answered = 0;
        for (size_t k = 0; k < std::size(kAnswering); ++k) {
            const uint8_t index = kAnswering[k];
            std::optional<uint16_t> value;
            for (int a = 0; a < attemptsFor(c.answers) && !value; ++a)
                value = link.readIndex(index);
            if (value) {
                EXPECT_EQ(*value, valueOf(index)) << c.fault << " index " << int(index);
                ++answered;
            }
            EXPECT_EQ(link.readIndex(kSilent[k]), std::nullopt) << c.fault;
        }
        expectAnswers(c.answers, answered, c.fault);
    }
}

TEST_P(DriveLinkFaults, WriteTakesOnlyTheVerdictOnItsOwnRequest) {
    // Alternately accepted and refused, so that a verdict taken from another write shows.
    constexpr uint8_t kRefused[] = {0xE1, 0xE4};
    drive([&](sim::SimDrive& d) {
        for (const uint8_t i : kRefused)
            d.setParameter(i, {.known = true, .readOnly = true});
    });
    const auto verdictFor = [&](uint8_t index) {
        return index == kRefused[0] || index == kRefused[1] ? kReplyRefused : kReplyAccepted;
    };
    for (const FaultCase& c : {
             FaultCase{"noise=E1,50,E2", Answers::All},
             FaultCase{"cut=3", Answers::None},
             FaultCase{"late=80", Answers::RightOrNothing},
             FaultCase{"duplicate=40", Answers::RightOrNothing},
         }) {
        drive([&](sim::SimDrive& d) {
            d.clearFaults();
            d.addFault(fault(c.fault));
        });
        int answered = 0;
        for (size_t k = 0; k < std::size(kAnswering); ++k) {
            const uint8_t index = kAnswering[k];
            uint8_t verdict = 0;
            for (int a = 0; a < attemptsFor(c.answers) && verdict == 0; ++a)
                verdict = link.writeIndex(index, 0x0102);
            if (verdict != 0) {
                EXPECT_EQ(verdict, verdictFor(index)) << c.fault << " index " << int(index);
                ++answered;
            }
            EXPECT_EQ(link.writeIndex(kSilent[k], 0x0102), 0) << c.fault;
        }
        expectAnswers(c.answers, answered, c.fault);
    }
}

TEST_P(DriveLinkFaults, CommandAckCountsOnlyAsAWholeFrame) {
    struct Case {
        const char* fault;
        std::optional<uint8_t> status;
    };
    for (const Case& c : {
             Case{"noise=E1,70,03", 0},
             Case{"cut=3", std::nullopt},
             Case{"drop=3", std::nullopt},
             Case{"corrupt=1", std::nullopt},
         }) {
        drive([&](sim::SimDrive& d) { d.addFault(fault(c.fault)); });
        ASSERT_EQ(link.sendCommand(kCmdCalcPara), 6);
        EXPECT_EQ(link.awaitAck(false), c.status) << c.fault;
        drive([](sim::SimDrive& d) { d.clearFaults(); });
    }
}

INSTANTIATE_TEST_SUITE_P(Timing, DriveLinkFaults, testing::Values(0, kDefaultFastGapBytes),
                         [](const testing::TestParamInfo<int>& info) {
                             return info.param == 0 ? "Safe" : "Fast";
                         });

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
            return link.sendCommand(kCmdCalcPara) >= 0 && link.awaitAck(true).has_value();
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

        // Processor time, not wall time: a busy machine may delay the wake-up, but only a
        // wait that spins burns the processor.
        const auto cpuStart = threadCpuTime();
        EXPECT_FALSE(run(link, c.exchange));
        EXPECT_LT(threadCpuTime() - cpuStart, std::chrono::milliseconds(20));

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
