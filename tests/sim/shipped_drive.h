#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "link/frame_codec.h"
#include "params/database_loader.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "recording_ui.h"
#include "sim_drive.h"

namespace zrd::sim::test {

inline std::string shippedFile(const char* name) {
    return std::string(ZRD_SHIPPED_DATA_DIR) + "/" + name;
}

// Loads the shipped database; false (with a test failure) when it does not load.
inline bool loadShippedDatabase(params::ParameterModel& model) {
    zrd::test::RecordingUserInterface ui;
    params::MessageTable messages;
    messages.load(shippedFile(params::kMessageFileName), ui);
    const params::LoadResult r =
        params::loadDatabase(shippedFile(params::kDatabaseFileName), model, messages, ui, false);
    EXPECT_TRUE(r.ok()) << "the shipped database stopped at line " << r.stoppedAtLine;
    return r.ok();
}

// A live drive on the shipped database, exact (no noise), driven by explicit time steps.
class ShippedDrive : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(loadShippedDatabase(model));
        drive.loadParameters(model);
        drive.setNoise(0.0);
    }

    uint8_t index(const char* name) const {
        const auto i = drive.indexOf(name);
        EXPECT_TRUE(i) << name;
        return i.value_or(0);
    }
    // The raw value as the drive's memory holds it, signed where the parameter is.
    int raw(const char* name) const {
        const uint8_t i = index(name);
        return drive.isSigned(i) ? static_cast<int16_t>(drive.raw(i)) : drive.raw(i);
    }
    // Writes through a write frame; the verdict byte ("P" or "Q").
    uint8_t write(const char* name, int value) {
        const auto raw = static_cast<uint16_t>(value);
        const auto reply =
            drive.answer({link::kCmdWriteParameter, index(name), static_cast<uint8_t>(raw >> 8),
                          static_cast<uint8_t>(raw & 0xFF)});
        return reply ? reply->bytes.at(1) : 0;
    }
    // Sends a command frame; the acknowledge status, or -1 without a reply.
    int command(uint8_t code, uint8_t arg = 0) {
        const auto reply = drive.answer({code, arg, 0, 0});
        if (!reply || reply->bytes.size() < 3 || reply->bytes[1] != link::kReplyAck)
            return -1;
        return reply->bytes[2];
    }
    void runMs(int ms) { drive.advance(std::chrono::milliseconds(ms)); }
    bool stateBit(int b) const { return (drive.raw(240) >> b) & 1; }
    bool appBit(int b) const { return (drive.raw(243) >> b) & 1; }

    std::unique_ptr<params::ParameterModel> owner = std::make_unique<params::ParameterModel>();
    params::ParameterModel& model = *owner;
    SimDrive drive;
};

}  // namespace zrd::sim::test
