#include "monitor/action_log.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "core/text_file.h"
#include "recording_ui.h"
#include "temp_dir.h"

namespace zrd::monitor {
namespace {

std::string fileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class ActionLogTest : public ::testing::Test {
protected:
    test::TempDir dir;
    test::RecordingUserInterface ui;
    ActionLog log{ui};
    std::string path() const { return dir.file(kActionLogFileName); }
};

TEST_F(ActionLogTest, FirstStartCreatesTheHeaderOnly) {
    log.open(dir.path());
    EXPECT_EQ(fileBytes(path()), "Date,Time,Action\r\n");
    log.write("first");
    EXPECT_EQ(fileBytes(path()), "Date,Time,Action\r\nfirst\r\n");
}

TEST_F(ActionLogTest, NewestEntryGoesDirectlyBelowTheHeader) {
    log.open(dir.path());
    log.write("one");
    log.write("two");
    log.write("three");
    EXPECT_EQ(readTextFile(path()).lines,
              (std::vector<std::string>{"Date,Time,Action", "three", "two", "one"}));
}

TEST_F(ActionLogTest, KeepsTheHeaderAndTheNewestEntriesWithinTheLimit) {
    log.open(dir.path());
    for (int i = 1; i <= 1200; ++i)
        log.write("entry " + std::to_string(i));
    const auto lines = readTextFile(path()).lines;
    ASSERT_EQ(lines.size(), 1000u);
    EXPECT_EQ(lines[0], "Date,Time,Action");
    EXPECT_EQ(lines[1], "entry 1200");
    EXPECT_EQ(lines[999], "entry 202");
}

TEST_F(ActionLogTest, ExistingLogIsContinuedAndAnEmptyOneGetsItsHeaderBack) {
    dir.write(kActionLogFileName, "Date,Time,Action\r\nold\r\n");
    log.open(dir.path());
    log.write("new");
    EXPECT_EQ(readTextFile(path()).lines,
              (std::vector<std::string>{"Date,Time,Action", "new", "old"}));

    test::TempDir other;
    other.write(kActionLogFileName, "");
    ActionLog second(ui);
    second.open(other.path());
    second.write("entry");
    EXPECT_EQ(readTextFile(other.file(kActionLogFileName)).lines,
              (std::vector<std::string>{"Date,Time,Action", "entry"}));
}

TEST_F(ActionLogTest, WritesWindows1251) {
    log.open(dir.path());
    log.write("Чтение");
    EXPECT_EQ(fileBytes(path()), "Date,Time,Action\r\n\xD7\xF2\xE5\xED\xE8\xE5\r\n");
}

TEST_F(ActionLogTest, UnwritableLogIsReportedOnceAndNeverStopsTheCaller) {
    const std::string blocked = dir.file("blocked");
    std::filesystem::create_directory(blocked);
    // A directory where the file should be: every save fails.
    std::filesystem::create_directory(blocked + "/" + kActionLogFileName);
    log.open(blocked);
    log.write("a");
    log.write("b");
    EXPECT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(log.lines().size(), 3u);
    EXPECT_EQ(log.lines()[1], "b");
}

// Entries used to run the time into the action ("20:34:08HTOUT: written") under a header that
// announces three columns.
TEST(LogEntryText, EntriesHaveTheHeadersThreeColumns) {
    struct Case {
        const char* action;
        const char* entry;
    };
    for (const Case& c : {
             Case{"HTOUT: written", "08.12.26,20:34:08,HTOUT: written"},
             Case{"  All parameters read from the drive",
                  "08.12.26,20:34:08,All parameters read from the drive"},
             Case{"Чтение", "08.12.26,20:34:08,Чтение"},
             Case{"read, then saved", "08.12.26,20:34:08,\"read, then saved\""},
             Case{"the \"fast\" set", "08.12.26,20:34:08,\"the \"\"fast\"\" set\""},
         }) {
        EXPECT_EQ(composeLogEntry("08.12.26", "20:34:08", c.action), c.entry) << c.action;
    }
}

}  // namespace
}  // namespace zrd::monitor
