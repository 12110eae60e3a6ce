#include "scope/oscillogram_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>

#include "../params/params_test_support.h"
#include "core/text_file.h"
#include "params/database_loader.h"
#include "recording_ui.h"

namespace zrd::scope {
namespace {

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The file's lines, split at CR LF only: a lone LF or CR would stay inside a line.
std::vector<std::string> crlfLines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2)
        lines.push_back(bytes.substr(start, end - start));
    EXPECT_EQ(start, bytes.size()) << "the last line has no CR LF";
    return lines;
}

// Texts left-justified in 20-character columns.
std::string columns(const std::vector<std::string>& texts) {
    std::string line;
    for (const auto& t : texts)
        line += t + std::string(20 - t.size(), ' ');
    return line;
}

class OscillogramFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto messages = test::loadMessages(dir, ui);
        ASSERT_TRUE(params::loadDatabase(
                        std::string(ZRD_SHIPPED_DATA_DIR) + "/" + params::kDatabaseFileName, *model,
                        *messages, ui, false)
                        .ok());
        model->setValue(*model->find("MDFRQ"), 2);
        osc->channel(1).name = "IACT";
        osc->channel(2).name = "STA";
        osc->header.startStamp = makeStamp("09.12.26", "10:00:00");
        osc->header.stopStamp = makeStamp("09.12.26", "10:00:10");
        osc->comments = "first line\r\nвторая\r\n";
        osc->buffer.setValue(0, 0, -0.02);
        osc->buffer.setValue(0, 1, 65534);
        osc->buffer.setValue(kRecordCount - 1, 0, 1.23456);
        osc->buffer.setValue(kOfflineSamples, 3, 7.5);
    }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    std::unique_ptr<params::ParameterModel> model = std::make_unique<params::ParameterModel>();
    std::unique_ptr<Oscillogram> osc = std::make_unique<Oscillogram>();
};

TEST_F(OscillogramFileTest, DatFileHoldsHeaderCommentsRecordsAndParameters) {
    struct Case {
        ScopeKind kind;
        int records;
        const char* kindLine;
        const char* tickLine;
    };
    for (const Case& c : {Case{ScopeKind::Online, kRecordCount, "1", "Tick = 0.001"},
                          Case{ScopeKind::Offline, kOfflineRecordCount, "0", "Tick = 0.00100"}}) {
        osc->kind = c.kind;
        const std::string path = dir.file("Osc.DAT");
        const FileResult r = writeOscillogramFile(path, *osc, *model);
        ASSERT_TRUE(r.ok) << r.error;
        const std::vector<std::string> lines = crlfLines(readBytes(path));
        const size_t data = 12;
        ASSERT_EQ(lines.size(), data + c.records + 1 + params::kParameterCount);
        EXPECT_EQ(lines[0], c.kindLine);
        EXPECT_EQ(lines[1], "Start time : 09.12.26 / 10:00:00");
        EXPECT_EQ(lines[2], "Stop time : 09.12.26 / 10:00:10");
        EXPECT_EQ(lines[3], "Frequency = 1000.00");
        EXPECT_EQ(lines[4], c.tickLine);
        EXPECT_EQ(lines[5], "");
        EXPECT_EQ(lines[6], "/*------------------------ Comments ------------------------");
        EXPECT_EQ(lines[7], "first line");
        EXPECT_EQ(lines[8], "\xE2\xF2\xEE\xF0\xE0\xFF");  // "вторая" in Windows-1251
        EXPECT_EQ(lines[9], "");
        EXPECT_EQ(lines[10], "------------------------------------------------------------*/");
        EXPECT_EQ(lines[11], columns({"N", "IACT", "STA", "N", "N"}));
        EXPECT_EQ(lines[data], columns({"0", "-0.020", "65534.000", "0.000", "0.000", "0"}));
        const std::string& last = lines[data + c.records - 1];
        if (c.kind == ScopeKind::Online)
            EXPECT_EQ(last, columns({"9999", "1.235", "0.000", "0.000", "0.000", "0"}));
        else
            EXPECT_EQ(last, columns({"2048", "0.000", "0.000", "0.000", "7.500", "0"}));
        const size_t parameters = data + c.records;
        EXPECT_EQ(lines[parameters],
                  "/*------------------------ Parameters ------------------------");
        const int mdfrq = *model->find("MDFRQ");
        const std::string& p = lines[parameters + 1 + mdfrq];
        EXPECT_EQ(p.substr(0, 60), columns({std::to_string(mdfrq), "2.000", "MDFRQ"}));
        EXPECT_EQ(p.substr(60), model->parameter(mdfrq).EngName +
                                    std::string(100 - model->parameter(mdfrq).EngName.size(), ' '));
        EXPECT_EQ(lines.back().substr(0, 20), columns({"299"}));
    }
}

TEST_F(OscillogramFileTest, CsvFileHolds2048LinesOfFourValues) {
    const std::string path = dir.file("Osc.csv");
    const FileResult r = writeOscillogramFile(path, *osc, *model);
    ASSERT_TRUE(r.ok) << r.error;
    const std::vector<std::string> lines = crlfLines(readBytes(path));
    ASSERT_EQ(lines.size(), 2048u);
    EXPECT_EQ(lines[0], "-0.02,65534,0,0");
    EXPECT_EQ(lines[1], "0,0,0,0");
    EXPECT_EQ(lines[2047], "0,0,0,0");
}

TEST_F(OscillogramFileTest, FailedWritesSaySoWithTheSystemsReason) {
    struct Case {
        std::string path;
        const char* reason;
    };
    // A device that takes no byte: the open succeeds, every write fails.
    for (const Case& c :
         {Case{"/dev/full", "No space left on device"},
          Case{dir.file("no-folder/Osc.dat"), "No such file or directory"},
          Case{dir.path(), "Is a directory"}, Case{dir.file("Osc.txt"), "*.dat or *.csv"}}) {
        const FileResult r = c.path.ends_with(".txt") ? writeOscillogramFile(c.path, *osc, *model)
                                                      : writeDatFile(c.path, *osc, *model);
        EXPECT_FALSE(r.ok) << c.path;
        EXPECT_NE(r.error.find(c.path), std::string::npos) << r.error;
        EXPECT_NE(r.error.find(c.reason), std::string::npos) << r.error;
    }
}

}  // namespace
}  // namespace zrd::scope
