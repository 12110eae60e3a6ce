#pragma once

// The program's side of a capture on a real pseudo-terminal with the shipped database; the test
// plays the drive on the wire's other end.

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <utility>

#include "../params/params_test_support.h"
#include "link/drive_link.h"
#include "params/database_loader.h"
#include "pty_wire.h"
#include "recording_ui.h"
#include "scope/oscillogram.h"
#include "scope/scope_settings.h"

namespace zrd::scope::rig {

// Counts what a capture asks of the front end.
class CaptureUi : public zrd::test::RecordingUserInterface {
public:
    void pauseTimers() override { ++pauses; }
    void resumeTimers() override { ++resumes; }
    void linkLost(const std::string&) override { ++lost; }
    int pauses = 0;
    int resumes = 0;
    int lost = 0;
};

template <class Capture>
struct CaptureRig {
    zrd::test::TempDir dir;
    CaptureUi ui;
    std::unique_ptr<params::MessageTable> messages = zrd::test::loadMessages(dir, ui);
    std::unique_ptr<params::ParameterModel> model = std::make_unique<params::ParameterModel>();
    std::unique_ptr<Oscillogram> osc = std::make_unique<Oscillogram>();
    zrd::test::PtyWire wire;
    std::unique_ptr<link::SerialPort> port = link::makeSystemSerialPort();
    link::DriveLink link{*port, ui};
    Capture capture{link, *osc, *model, *messages};

    // Loads the database, opens the link as a connected drive and selects the channels' signals.
    void open(std::initializer_list<std::pair<int, const char*>> channels) {
        ASSERT_TRUE(params::loadDatabase(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod",
                                         *model, *messages, ui, false)
                        .ok());
        ASSERT_EQ(link.openPort(wire.devicePath(), link::kDefaultBaudRate, 30),
                  link::OpenResult::Ok);
        link.state().connected = 1;
        for (const auto& [c, name] : channels)
            osc->channel(c) = channelOfSignal(*model, findScopeSignal(*model, name).value_or(0));
        osc->buffer.setValue(kRecordCount - 1, 0, 1.5);  // a capture must clear it
    }
};

}  // namespace zrd::scope::rig
