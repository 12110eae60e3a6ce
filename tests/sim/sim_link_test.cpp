// The simulated drive behind the program's own link on a real pseudo-terminal: the server's
// thread runs the plant in real time between the program's frames.
#include <gtest/gtest.h>

#include <chrono>

#include "event_bound.h"
#include "shipped_drive.h"
#include "sim_fixture.h"

namespace zrd::sim {
namespace {

namespace lk = zrd::link;
using Clock = std::chrono::steady_clock;

class SimOnTheLine : public zrd::test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        ASSERT_TRUE(test::loadShippedDatabase(model));
        drive([&](SimDrive& d) {
            d.loadParameters(model);
            d.setNoise(0.0);
        });
    }

    uint8_t index(const char* name) {
        std::optional<uint8_t> i;
        drive([&](SimDrive& d) { i = d.indexOf(name); });
        EXPECT_TRUE(i) << name;
        return i.value_or(0);
    }

    // One read over the line; nullopt when the drive did not answer.
    std::optional<int16_t> read(uint8_t index) {
        auto& request = link.buffers().request;
        lk::clearBuffer(request);
        request[0] = lk::kRequestRead;
        request[1] = index;
        link.ReadPar();
        auto& rx = link.buffers().receive;
        if (rx[1] != lk::kReplyRead)
            return std::nullopt;
        lk::decodeReadReply(rx);
        return static_cast<int16_t>(lk::replyRaw(rx));
    }

    // The acknowledge status of a command, or -1 without one.
    int command(uint8_t code) {
        if (link.sendCommand(code) != static_cast<int>(lk::kCommandFrameLength))
            return -1;
        const auto status = link.awaitAck(false);
        return status ? *status : -1;
    }

    std::unique_ptr<params::ParameterModel> owner = std::make_unique<params::ParameterModel>();
    params::ParameterModel& model = *owner;
};

TEST_F(SimOnTheLine, EnabledServoReachesItsSpeedInRealTime) {
    const uint8_t vact = index("VACT");
    drive([&](SimDrive& d) {
        d.setRaw(d.indexOf("INST").value(), 1);
        d.setRaw(d.indexOf("VSET").value(), 1200);
    });
    ASSERT_EQ(command(lk::kCmdServoOn), 0);
    const auto state = read(240);
    ASSERT_TRUE(state);
    EXPECT_TRUE(*state & (1 << kStateServoOn));

    // The ramp takes 120 ms; the loop settles soon after.
    const auto deadline = Clock::now() + zrd::test::kEventBound;
    std::optional<int16_t> speed;
    while (Clock::now() < deadline) {
        speed = read(vact);
        if (speed && *speed == 1200)
            break;
    }
    ASSERT_TRUE(speed);
    EXPECT_EQ(*speed, 1200);
    EXPECT_EQ(command(lk::kCmdServoOff), 0);
}

TEST_F(SimOnTheLine, SilentIndexTimesOutAndAnOverrideArrivesAsItIs) {
    const uint8_t kpv = index("KPV");
    const uint8_t enmod = index("ENMOD");
    drive([&](SimDrive& d) {
        d.setSilent(kpv);
        d.setAnswer(enmod, 0x7FFF);
    });
    EXPECT_FALSE(read(kpv));
    EXPECT_EQ(ui.idleRestores, 1);
    EXPECT_EQ(read(enmod), 0x7FFF);
    drive([&](SimDrive& d) { d.setNormal(kpv); });
    EXPECT_EQ(read(kpv), 500);
}

}  // namespace
}  // namespace zrd::sim
