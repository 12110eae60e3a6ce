#include "params/parameter_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "params/database_loader.h"
#include "params_test_support.h"
#include "recording_ui.h"

namespace zrd::params {
namespace {

using test::ParamFields;

class ParameterFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::string> body;
        for (int i = 0; i < 12; ++i) {
            ParamFields p;
            p.key = "p" + std::to_string(i);
            p.name = "PAR" + std::to_string(i);
            p.index = std::to_string(i);
            p.vType = "INT";
            p.minVal = "-1000";
            p.maxVal = "1000";
            p.scale = "0.001";
            body.push_back(p.line());
        }
        ASSERT_TRUE(loadDatabaseLines(test::database(body), model, messages, ui, false).ok());
    }

    std::string bytesOf(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    MessageTable messages;
    ParameterModel model;
};

TEST_F(ParameterFileTest, LinesArePaddedToTwentyCharacters) {
    EXPECT_EQ(parameterFileLine("OPMOD", 1500),
              "OPMOD               =                   1500                ");
    EXPECT_EQ(parameterFileLine("A_VERY_LONG_MNEMONIC_X", 0.125).substr(0, 23),
              "A_VERY_LONG_MNEMONIC_X=");
}

TEST_F(ParameterFileTest, SavedValuesReadBackExactly) {
    const double values[] = {0, -1, 0.125, 1e-12, 32.767, -0.001, 1.0 / 3, -32.768};
    for (int i = 0; i < 8; ++i)
        model.setValue(i, values[i]);
    const std::string path = dir.file("set.prm");
    ASSERT_TRUE(saveParameterFile(path, model));
    const auto saved = model.values();
    model.values().fill(42);
    const ParameterFileLoad r = loadParameterFile(path, model);
    EXPECT_EQ(r.lines, 12);
    EXPECT_EQ(r.stored, 12);
    // Every value comes back as its text was written (15 significant digits).
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(model.value(i), std::stod(valueText(saved[i]))) << i;
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(valueText(model.value(i)), valueText(saved[i])) << i;
    EXPECT_EQ(model.previousValue(0), 42);
    EXPECT_EQ(model.valueOrigin(), 0);
    EXPECT_EQ(model.parameterSetState(), ParameterSetState::File);
    EXPECT_EQ(bytesOf(path).substr(0, 62),
              "PAR0                =                   0                   \r\n");
}

TEST_F(ParameterFileTest, LaterLineWinsAndUnknownNamesAreSkipped) {
    const std::string path =
        dir.write("a.prm", parameterFileLine("PAR1", 5) + "\r\n" + parameterFileLine("NOPE", 6) +
                               "\r\n" + parameterFileLine("PAR1", 7) + "\r\n");
    const ParameterFileLoad r = loadParameterFile(path, model);
    EXPECT_EQ(r.stored, 2);
    EXPECT_EQ(r.unknown(), 1);
    EXPECT_EQ(model.value(1), 7);
}

TEST_F(ParameterFileTest, EmptyLineEndsTheFile) {
    std::string text;
    for (int i = 0; i < 10; ++i)
        text += parameterFileLine("PAR" + std::to_string(i), i + 1) + "\r\n";
    text += "\r\n" + parameterFileLine("PAR11", 99) + "\r\n";
    const ParameterFileLoad r = loadParameterFile(dir.write("b.prm", text), model);
    EXPECT_EQ(r.lines, 10);
    EXPECT_EQ(model.value(9), 10);
    EXPECT_NE(model.value(11), 99);
}

// A line whose value is not loaded is named by its line and ends the load there: the values
// before it stand, nothing of it or after it is taken. A line without "=" or of another
// database is skipped.
TEST_F(ParameterFileTest, BadValueEndsTheLoadAtItsLine) {
    struct Case {
        std::string line;
        FileLineFault fault;
        std::string text;  // of the issue, after "f.prm:2: "
        bool goesOn;       // the line after it still loads
    };
    const std::string field = parameterFileLine("PAR1", 0).substr(0, 40);
    const std::string readTo = "; the file is read up to this line";
    const std::vector<Case> cases = {
        // The "=" rule (the last 6 characters for "=" in column 5) would read 234567.
        {"PAR1=1234567", FileLineFault::CompactLine,
         "\"1234567\" is not where the padded layout puts the value (the line would read as a cut "
         "value)" +
             readTo,
         false},
        {"PAR1=5", FileLineFault::CompactLine,
         "\"5\" is not where the padded layout puts the value (the line would read as a cut "
         "value)" +
             readTo,
         false},
        {field + "nan", FileLineFault::NotANumber, "\"nan\" is not a number" + readTo, false},
        {field + "inf", FileLineFault::NotANumber, "\"inf\" is not a number" + readTo, false},
        {field + "0x10", FileLineFault::NotANumber, "\"0x10\" is not a number" + readTo, false},
        {field + "1e300", FileLineFault::DoesNotFit,
         "1e300 is outside the range of PAR1 (-32.768 .. 32.767)" + readTo, false},
        {field + "100", FileLineFault::DoesNotFit,
         "100 is outside the range of PAR1 (-32.768 .. 32.767)" + readTo, false},
        {"PAR1 no equals sign", FileLineFault::NoEquals, "no \"=\" in the line", true},
        {std::string("\x01\x02\xff\x7f\x00", 5), FileLineFault::NoEquals, "no \"=\" in the line",
         true},
        {parameterFileLine("NOPE", 1), FileLineFault::UnknownName,
         "no parameter NOPE in the database", true},
    };
    for (const Case& c : cases) {
        for (const int p : {1, 2}) {
            model.setValue(p, 8);
            model.setKnown(p, false);
        }
        const std::string path =
            dir.write("f.prm", parameterFileLine("PAR0", 3) + "\r\n" + c.line + "\r\n" +
                                   parameterFileLine("PAR2", 4) + "\r\n");
        const ParameterFileLoad r = loadParameterFile(path, model);
        ASSERT_EQ(r.issues.size(), 1u) << c.text;
        EXPECT_EQ(r.issues[0].fault, c.fault) << c.text;
        EXPECT_EQ(issueText(r.issues[0], "f.prm", model), "f.prm:2: " + c.text);
        EXPECT_EQ(r.stoppedAtLine, c.goesOn ? 0 : 2) << c.text;
        EXPECT_EQ(model.value(1), 8) << c.text;
        EXPECT_FALSE(model.isKnown(1)) << c.text;
        EXPECT_EQ(model.value(0), 3) << c.text;
        EXPECT_EQ(model.value(2), c.goesOn ? 4 : 8) << c.text;
        EXPECT_EQ(model.isKnown(2), c.goesOn) << c.text;
        EXPECT_EQ(model.parameterSetState(), ParameterSetState::File) << c.text;
    }
}

// Files that hold nothing to load, or more than is read, say so.
TEST_F(ParameterFileTest, EmptyOrCutFilesAreNamed) {
    const std::string line = parameterFileLine("PAR0", 3) + "\r\n";
    std::string long301;
    for (int i = 0; i < 301; ++i)
        long301 += line;
    struct Case {
        std::string bytes;
        int line;
        FileLineFault fault;
    };
    for (const Case& c :
         {Case{"", 1, FileLineFault::NoLines}, Case{"\r\n" + line, 1, FileLineFault::NoLines},
          Case{line + "\r\n" + line, 2, FileLineFault::StopsAtEmptyLine},
          Case{long301, 301, FileLineFault::BeyondTable}}) {
        const ParameterFileLoad r = loadParameterFile(dir.write("e.prm", c.bytes), model);
        ASSERT_FALSE(r.issues.empty()) << c.line;
        EXPECT_EQ(r.issues.front().line, c.line);
        EXPECT_EQ(r.issues.front().fault, c.fault) << c.line;
    }
}

TEST_F(ParameterFileTest, MissingFileLoadsNothing) {
    model.setValue(0, 8);
    EXPECT_FALSE(loadParameterFile(dir.file("none.prm"), model).opened);
    EXPECT_EQ(model.value(0), 8);
    EXPECT_FALSE(saveParameterFile(dir.file("no/such/folder.prm"), model));
}

}  // namespace
}  // namespace zrd::params
