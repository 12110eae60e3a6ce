#pragma once

// A simulated drive with the shipped data set, in speed mode on the internal command source,
// and zrdctl run against it from a fresh folder.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "link/frame_codec.h"
#include "params/database_loader.h"
#include "recording_ui.h"
#include "run_command.h"
#include "sim_server.h"
#include "temp_dir.h"

namespace zrd::tuning {

class SpeedLoopRig {
public:
    explicit SpeedLoopRig(int baud = 115200) : sim(baud), m_baud(baud) {}

    // Loads the data set into the drive and starts it; with the servo switched on when asked,
    // and without measurement noise when asked.
    ::testing::AssertionResult start(bool servoOn, bool noiseless) {
        params::MessageTable none;
        if (!params::loadDatabase(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod", *model,
                                  none, ui, false)
                 .ok())
            return ::testing::AssertionFailure() << "the shipped database does not load";
        if (!sim.openPty())
            return ::testing::AssertionFailure() << sim.error();
        bool on = true;
        sim.withDrive([&](sim::SimDrive& d) {
            d.loadParameters(*model);
            if (noiseless)
                d.setNoise(0);
            d.setRaw(*d.indexOf("OPMOD"), 2);
            d.setRaw(*d.indexOf("INST"), 1);
            if (servoOn)
                on = d.answer({link::kCmdServoOn, 0, 0, 0}).has_value();
        });
        sim.start();
        return on ? ::testing::AssertionSuccess()
                  : ::testing::AssertionFailure() << "the servo did not switch on";
    }

    zrd::test::Outcome zrdctl(const std::string& args) {
        return zrd::test::runCommand(
            "cd '" + dir.path() + "' && '" + ZRDCTL_PATH + "' --data-dir '" + ZRD_SHIPPED_DATA_DIR +
                "' --baud " + std::to_string(m_baud) + " --port " + sim.devicePath() + " " + args,
            dir.file("err"));
    }

    zrd::test::TempDir dir;
    zrd::test::RecordingUserInterface ui;
    std::unique_ptr<params::ParameterModel> model = std::make_unique<params::ParameterModel>();
    sim::SimServer sim;

private:
    int m_baud;
};

}  // namespace zrd::tuning
