#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "link/drive_link.h"
#include "recording_ui.h"
#include "sim_server.h"

namespace zrd::test {

// A simulated drive on a real pseudo-terminal and the program's link opened on it.
class SimLinkTest : public ::testing::Test {
protected:
    static constexpr int kBaud = 115200;

    void SetUp() override {
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.start();
        ASSERT_EQ(link.openPort(sim.devicePath(), kBaud, link::kDefaultPortTimeOutMs),
                  link::OpenResult::Ok)
            << port->lastError();
    }

    void TearDown() override {
        link.closePort();
        sim.stop();
    }

    void drive(const std::function<void(sim::SimDrive&)>& f) { sim.withDrive(f); }

    sim::SimServer sim{kBaud};
    RecordingUserInterface ui;
    std::unique_ptr<link::SerialPort> port = link::makeSystemSerialPort();
    link::DriveLink link{*port, ui};
};

}  // namespace zrd::test
