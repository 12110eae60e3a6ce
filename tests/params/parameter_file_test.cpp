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
    const double values[] = {0, -1, 0.125, 1e-12, 123456789012345, -0.001, 1.0 / 3, 2.5e20};
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
    EXPECT_EQ(r.unknown, 1);
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

TEST_F(ParameterFileTest, CompactLineDoesNotConvertAndKeepsEarlierValues) {
    const std::string path = dir.write("c.prm", parameterFileLine("PAR0", 3) + "\r\nPAR1=5\r\n" +
                                                    parameterFileLine("PAR2", 4) + "\r\n");
    EXPECT_THROW(loadParameterFile(path, model), ParameterFileError);
    EXPECT_EQ(model.value(0), 3);
    EXPECT_NE(model.value(2), 4);
}

TEST_F(ParameterFileTest, MissingFileLoadsNothing) {
    model.setValue(0, 8);
    EXPECT_FALSE(loadParameterFile(dir.file("none.prm"), model).opened);
    EXPECT_EQ(model.value(0), 8);
    EXPECT_FALSE(saveParameterFile(dir.file("no/such/folder.prm"), model));
}

}  // namespace
}  // namespace zrd::params
