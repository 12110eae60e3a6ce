#include "params/type_tables.h"

#include <gtest/gtest.h>

#include "core/text_file.h"
#include "params_test_support.h"
#include "recording_ui.h"

namespace zrd::params {
namespace {

class TypeTablesTest : public ::testing::Test {
protected:
    void SetUp() override { messages = test::loadMessages(dir, ui); }

    TypeTablesResult load(const std::string& motor, const std::string& drive) {
        return tables.load(dir.write("Motor_type.mod", utf8ToCp1251(motor)),
                           dir.write("Drive_type.mod", utf8ToCp1251(drive)), *messages, ui, "Eng");
    }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    std::unique_ptr<MessageTable> messages;
    TypeTables tables;
};

const std::string kMotors =
    "Motor MTC IMAX VMAX\r\n"
    "M1 1 100 3000\r\n"
    "\r\n"
    "AK-160-2.5-long 7 150 2500\r\n"
    "Двигатель-большой 3 10 20\r\n";
const std::string kDrives = "Drive\nZRD-5 a\nZRD-10A\n";

TEST_F(TypeTablesTest, LinesAndSelectors) {
    const auto r = load(kMotors, kDrives);
    EXPECT_TRUE(r.motorFile);
    EXPECT_TRUE(r.driveFile);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(tables.motorTypes().count(), 4);  // the empty line is skipped
    EXPECT_EQ(tables.motorSelectorItems(),
              (std::vector<std::string>{"M1 1 100 3000", "AK-160-2.5-long", "Двигатель-больш"}));
    EXPECT_EQ(tables.driveSelectorItems(), (std::vector<std::string>{"ZRD-5 a", "ZRD-10A"}));
    EXPECT_EQ(tables.motorMnemonics(), (std::vector<std::string>{"MTC", "IMAX", "VMAX"}));
    EXPECT_EQ(tables.motorValues(2), (std::vector<std::string>{"7", "150", "2500"}));
    EXPECT_TRUE(tables.motorValues(0).empty());
    EXPECT_TRUE(tables.motorValues(4).empty());
}

TEST_F(TypeTablesTest, SelectorTextOfAValue) {
    ASSERT_TRUE(load(kMotors, kDrives).motorFile);
    EXPECT_EQ(tables.motorSelectorText(1), "M1 ");
    EXPECT_EQ(tables.motorSelectorText(2.9), "AK-160-2.5-long ");
    EXPECT_FALSE(tables.motorSelectorText(4));
    EXPECT_FALSE(tables.motorSelectorText(-1));
    EXPECT_EQ(tables.driveSelectorText(1), "ZRD-5");
    EXPECT_EQ(tables.driveSelectorText(2), "ZRD-10A");
    EXPECT_FALSE(tables.driveSelectorText(3));
}

TEST_F(TypeTablesTest, MotorMatchBySecondWord) {
    ASSERT_TRUE(load(kMotors, kDrives).motorFile);
    EXPECT_EQ(tables.matchMotorLine("1"), 1);
    EXPECT_EQ(tables.matchMotorLine("7"), 2);
    EXPECT_EQ(tables.matchMotorLine("3"), 3);
    EXPECT_FALSE(tables.matchMotorLine("MTC"));  // the header is no type
    EXPECT_FALSE(tables.matchMotorLine("100"));

    auto owner = std::make_unique<ParameterModel>();
    owner->parameter(0).Pname = "MTC";
    owner->parameter(0).DefValue = 7;
    EXPECT_EQ(tables.matchMotorLineByDefault(*owner), 2);
    owner->parameter(0).Pname = "OTHER";
    EXPECT_FALSE(tables.matchMotorLineByDefault(*owner));
}

TEST_F(TypeTablesTest, MatchLooksAtLinesOneTo99Only) {
    std::string motors = "Motor MTC\n";
    for (int k = 1; k <= 100; ++k)
        motors += "M" + std::to_string(k) + " " + std::to_string(k) + "\n";
    ASSERT_TRUE(load(motors, kDrives).motorFile);
    EXPECT_EQ(tables.matchMotorLine("99"), 99);
    EXPECT_FALSE(tables.matchMotorLine("100"));
}

TEST_F(TypeTablesTest, SurplusLinesAreRefusedOnceNamed) {
    std::string motors = "Motor MTC\n";
    for (int k = 1; k <= 102; ++k)
        motors += "M" + std::to_string(k) + " " + std::to_string(k) + "\n";
    std::string drives = "Drive\n";
    for (int k = 1; k <= 10; ++k)
        drives += "D" + std::to_string(k) + "\n";
    const auto r = load(motors, drives);
    EXPECT_EQ(tables.motorTypes().count(), kMotorTypeLines);
    EXPECT_EQ(tables.driveTypes().count(), kDriveTypeLines);
    ASSERT_EQ(r.refused.size(), 2u);
    EXPECT_EQ(r.refused[0].text, "M101 101");
    EXPECT_EQ(r.refused[1].line, 103);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_NE(ui.boxes[0].text.find("M101 101"), std::string::npos);
}

TEST_F(TypeTablesTest, MissingFilesAreSkippedSilently) {
    const auto r =
        tables.load(dir.file("no_motor.mod"), dir.file("no_drive.mod"), *messages, ui, "Eng");
    EXPECT_FALSE(r.motorFile);
    EXPECT_FALSE(r.driveFile);
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_TRUE(tables.motorSelectorItems().empty());
    EXPECT_FALSE(tables.motorSelectorText(0));
}

TEST(SplitWords, BlankRunsSeparate) {
    EXPECT_EQ(splitWords("  a\tb   c "), (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_TRUE(splitWords("   ").empty());
}

}  // namespace
}  // namespace zrd::params
