// zrdctl monitor --reconnect across a pulled line, run as a process against the simulated drive
// behind a stable link (as /dev/serial/by-id names are): the loss and the return are told, the
// values after the return are the drive's own, and nothing but reads reaches the drive.
#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#include "../sim/shipped_drive.h"
#include "child_process.h"
#include "event_bound.h"
#include "link/frame_codec.h"
#include "params/message_numbers.h"
#include "params/message_table.h"
#include "recording_ui.h"
#include "sim_server.h"
#include "temp_dir.h"

namespace zrd::session::zrdctl_reconnect {
namespace {

constexpr auto kDeadline = test::kEventBound;
// What the analog input reads while the line is away: the ticks after the return must show it.
constexpr double kAnalogWhileAwayMv = 1234;

struct Pull {
    const char* name;
    bool newSimulator;  // the simulator is stopped and another one takes its link
};

void PrintTo(const Pull& p, std::ostream* os) {
    *os << p.name;
}

const Pull kPulls[] = {
    {"the line unplugged and plugged back", false},
    {"the simulator started anew on the same link", true},
};

// Frames the drive took that are no parameter reads.
int notReads(const sim::SimDrive& d) {
    return d.framesSeen() - d.framesOf(link::kCmdReadParameter);
}

class ZrdctlReconnect : public ::testing::TestWithParam<Pull> {
protected:
    void SetUp() override {
        messages.load(sim::test::shippedFile(params::kMessageFileName), ui);
        ASSERT_TRUE(sim::test::loadShippedDatabase(model));
    }

    // A drive on the shipped database behind the link, exact so that a value can be expected.
    std::unique_ptr<sim::SimServer> startSim() {
        auto s = std::make_unique<sim::SimServer>();
        EXPECT_TRUE(s->openPty()) << s->error();
        EXPECT_TRUE(s->keepLink(linkPath)) << s->error();
        s->withDrive([&](sim::SimDrive& d) {
            d.loadParameters(model);
            d.setNoise(0.0);
        });
        s->start();
        return s;
    }

    std::string text(int n, const std::vector<std::string>& arguments) const {
        return params::withArguments(messages.text(n, params::kEnglish), arguments);
    }

    test::TempDir dir;
    std::string linkPath = dir.file("drive");
    test::RecordingUserInterface ui;
    params::MessageTable messages;
    params::ParameterModel model;
};

TEST_P(ZrdctlReconnect, MonitorGoesOnAcrossAPullAndWritesNothing) {
    std::unique_ptr<sim::SimServer> sim = startSim();
    test::ChildProcess monitor({ZRDCTL_PATH, "--data-dir", ZRD_SHIPPED_DATA_DIR, "--port", linkPath,
                                "monitor", "--reconnect", "--json", "--count", "1000000",
                                "--interval", "20"});
    ASSERT_TRUE(monitor.waitForText("{\"tick\": 1,", kDeadline)) << monitor.output();
    int before = 0;
    sim->withDrive([&](sim::SimDrive& d) { before = notReads(d); });

    if (GetParam().newSimulator)
        sim->stop();
    else
        sim->unplug();
    ASSERT_TRUE(monitor.waitForText(text(params::kMsgReconnectWaiting, {linkPath}), kDeadline))
        << monitor.output();
    // The drive goes on while the line is away.
    const uint8_t analogIndex = model.parameter(*model.find("AINVOL")).Index;
    const auto analogIn = [&](sim::SimDrive& d) {
        d.setAnalogInput(kAnalogWhileAwayMv);
        if (GetParam().newSimulator)
            before = notReads(d);
    };
    if (GetParam().newSimulator) {
        sim = startSim();
        sim->withDrive(analogIn);
    } else {
        sim->withDrive(analogIn);
        sim->plug();
    }
    ASSERT_TRUE(monitor.waitForText(text(params::kMsgReconnectBack, {linkPath}), kDeadline))
        << monitor.output();
    ASSERT_TRUE(sim->waitUntil(
        [&](const sim::SimDrive& d) {
            return static_cast<int16_t>(d.raw(analogIndex)) == kAnalogWhileAwayMv;
        },
        kDeadline));
    EXPECT_TRUE(
        monitor.waitForText("\"AIN\": " + params::valueText(kAnalogWhileAwayMv) + ", ", kDeadline))
        << monitor.output();

    monitor.signal(SIGINT);
    EXPECT_EQ(monitor.exitStatus(kDeadline), 0) << monitor.output();
    sim->withDrive([&](sim::SimDrive& d) { EXPECT_EQ(notReads(d), before); });
}

INSTANTIATE_TEST_SUITE_P(Pulls, ZrdctlReconnect, ::testing::ValuesIn(kPulls));

}  // namespace
}  // namespace zrd::session::zrdctl_reconnect
