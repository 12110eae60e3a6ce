// The data files shipped beside the program load without a single message, in UTF-8 as
// shipped and in Windows-1251 as files from other PCs arrive.
#include <gtest/gtest.h>

#include <filesystem>

#include "core/text_file.h"
#include "params/database_loader.h"
#include "params/type_tables.h"
#include "recording_ui.h"
#include "temp_dir.h"

namespace zrd::params {
namespace {

std::string shipped(const char* name) {
    return std::string(ZRD_SHIPPED_DATA_DIR) + "/" + name;
}

// The same text in Windows-1251, without a byte-order mark.
std::string asCp1251(const std::string& path) {
    std::string text;
    for (const auto& line : readTextFile(path).lines)
        text += line + "\r\n";
    return utf8ToCp1251(text);
}

TEST(ShippedDatabase, LoadsCleanlyInEitherEncoding) {
    if (!std::filesystem::exists(shipped(kDatabaseFileName)))
        GTEST_SKIP() << "no shipped database in " << ZRD_SHIPPED_DATA_DIR;
    test::TempDir dir;
    dir.write("Param_base.mod", asCp1251(shipped(kDatabaseFileName)));
    test::RecordingUserInterface ui;
    MessageTable messages;
    messages.load(shipped(kMessageFileName), ui);

    LoadResult first;
    for (const std::string& path : {shipped(kDatabaseFileName), dir.file("Param_base.mod")}) {
        auto model = std::make_unique<ParameterModel>();
        const LoadResult r = loadDatabase(path, *model, messages, ui, false);
        ASSERT_TRUE(r.ok()) << path << " stopped at line " << r.stoppedAtLine << ": " << r.badLine;
        for (const auto& refused : r.refused)
            ADD_FAILURE() << path << " line " << refused.line << " refused: " << refused.text;
        for (const auto& box : ui.boxes)
            ADD_FAILURE() << path << ": " << box.text;
        EXPECT_GT(r.parameters, 0);
        EXPECT_TRUE(model->knownPosition(KnownParameter::HVER)) << "no HVER";
        for (const int word : kStatusWords)
            EXPECT_TRUE(model->statusWordPosition(word)) << "no status word " << word;
        if (path == shipped(kDatabaseFileName)) {
            first = r;
            continue;
        }
        EXPECT_EQ(r.parameters, first.parameters);
        EXPECT_EQ(r.calculated, first.calculated);
        EXPECT_EQ(r.stateBits, first.stateBits);
        EXPECT_EQ(r.scopeSignals, first.scopeSignals);
    }

    if (!std::filesystem::exists(shipped(kMotorTypeFileName)))
        return;
    TypeTables tables;
    const auto types = tables.load(shipped(kMotorTypeFileName), shipped(kDriveTypeFileName),
                                   messages, ui, kEnglish);
    EXPECT_TRUE(types.refused.empty());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_GT(tables.motorTypes().count(), 1);
}

}  // namespace
}  // namespace zrd::params
