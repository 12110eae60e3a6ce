#include "params/function_names.h"

#include <gtest/gtest.h>

#include "recording_ui.h"
#include "temp_dir.h"

namespace zrd::params {
namespace {

TEST(FunctionNames, TakeTheSideOfTheLanguageWithoutEmptyLines) {
    test::TempDir dir;
    test::RecordingUserInterface ui;
    dir.write(kDigitalInputsFile,
              "\xEF\xBB\xBFNone=Нет\r\n\r\nEnable=Разрешение\r\nLimit+=Конец+=\r\n");
    EXPECT_EQ(loadFunctionNames(dir.path(), kDigitalInputsFile, "Eng", ui),
              (std::vector<std::string>{"None", "Enable", "Limit+"}));
    EXPECT_EQ(loadFunctionNames(dir.path(), kDigitalInputsFile, "Rus", ui),
              (std::vector<std::string>{"Нет", "Разрешение", "Конец+="}));
    EXPECT_TRUE(ui.boxes.empty());
}

TEST(FunctionNames, MissingListIsEmptyUnreadableOneIsReported) {
    test::TempDir dir;
    test::RecordingUserInterface ui;
    EXPECT_TRUE(loadFunctionNames(dir.path(), kAnalogOutputsFile, "Eng", ui).empty());
    EXPECT_TRUE(ui.boxes.empty());
    std::filesystem::create_directory(dir.file(kDigitalOutputsFile));
    EXPECT_TRUE(loadFunctionNames(dir.path(), kDigitalOutputsFile, "Eng", ui).empty());
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Attention");
    EXPECT_EQ(ui.boxes[0].text, "digital_out.dic file not found.");
}

}  // namespace
}  // namespace zrd::params
