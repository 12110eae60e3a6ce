#include <gtest/gtest.h>

#include <memory>

#include "params/parameter_table.h"
#include "sim_drive.h"

namespace zrd::sim {
namespace {

using Bytes = std::vector<uint8_t>;
namespace pm = zrd::params;

pm::TPar record(const std::string& name, uint8_t index, const std::string& vType,
                const std::string& pType, int32_t minVal, int32_t maxVal, double defValue) {
    pm::TPar p;
    p.Pname = name;
    p.Index = index;
    p.vType = vType;
    p.pType = pType;
    p.MinVal = minVal;
    p.MaxVal = maxVal;
    p.DefValue = defValue;
    return p;
}

class SimDatabase : public ::testing::Test {
protected:
    void SetUp() override {
        model.parameter(0) = record("SPD", 10, "INT", "R-W", -100, 100, -5);
        model.parameter(1) = record("GAIN", 11, "UINT", "R-W", 10, 40000, 20);
        model.parameter(2) = record("HVER", 12, "UINT", "R", 0, 65535, 0);
        model.parameter(3) = record("STA", 240, "UINT", "R", 0, 65535, 1234);
        model.parameter(4) = record("SPD2", 10, "UINT", "R", 0, 1, 0);  // same index: first wins
        model.parameter(5) = record("FREE", 13, "UINT", "X", 0, 10, 3);
        drive.loadParameters(model);
    }

    // The verdict byte of a write of the raw value.
    uint8_t write(uint8_t index, uint16_t raw) {
        const auto reply = drive.answer(
            {0x40, index, static_cast<uint8_t>(raw >> 8), static_cast<uint8_t>(raw & 0xFF)});
        return reply ? reply->bytes.at(1) : 0;
    }

    std::unique_ptr<pm::ParameterModel> owner = std::make_unique<pm::ParameterModel>();
    pm::ParameterModel& model = *owner;
    SimDrive drive;
};

TEST_F(SimDatabase, MemoryStartsAtTheDefaultsWithAnIdleDrive) {
    EXPECT_EQ(drive.raw(10), 0xFFFB);
    EXPECT_EQ(drive.raw(11), 20);
    EXPECT_EQ(drive.raw(13), 3);
    EXPECT_EQ(drive.raw(12), kHardwareVersion);
    EXPECT_EQ(drive.raw(240), kIdleStateWord);
    for (const uint8_t word : {241, 242, 244, 246})
        EXPECT_EQ(drive.raw(word), 0) << +word;
    EXPECT_EQ(drive.raw(243), 1 << kAppMains);
    EXPECT_EQ(drive.answer({0x20, 12})->bytes, (Bytes{0xE1, 0x30, 12, 0x00, 210, 0xE2}));
}

TEST_F(SimDatabase, WritesOutsideTheLimitsOrToReadOnlyAreRefused) {
    struct Case {
        uint8_t index;
        uint16_t raw;
        uint8_t verdict;
    };
    for (const Case& c :
         {Case{10, 0xFF9C, 'P'},  // -100, signed
          Case{10, 0xFF9B, 'Q'},  // -101
          Case{10, 100, 'P'}, Case{10, 101, 'Q'},
          Case{11, 40000, 'P'},  // above 32767: compared unsigned
          Case{11, 40001, 'Q'}, Case{11, 9, 'Q'}, Case{12, 5, 'Q'}, Case{240, 0, 'Q'},
          Case{13, 10, 'P'}, Case{200, 0xFFFF, 'P'}}) {  // an index the database does not know
        const uint16_t before = drive.raw(c.index);
        EXPECT_EQ(write(c.index, c.raw), c.verdict) << +c.index << " " << c.raw;
        EXPECT_EQ(drive.raw(c.index), c.verdict == 'P' ? c.raw : before) << +c.index;
    }
}

TEST_F(SimDatabase, VersionDefaultOfTheDatabaseIsKept) {
    model.parameter(2).DefValue = 21;
    SimDrive d;
    d.loadParameters(model);
    EXPECT_EQ(d.raw(12), 21);
}

TEST(SimDriveWithoutDatabase, AcceptsEveryWrite) {
    SimDrive d;
    EXPECT_TRUE(d.accepts(240, 0xFFFF));
    EXPECT_EQ(d.answer({0x40, 240, 0xFF, 0xFF})->bytes.at(1), 0x50);
    EXPECT_EQ(d.raw(240), 0xFFFF);
}

}  // namespace
}  // namespace zrd::sim
