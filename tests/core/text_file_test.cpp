#include "core/text_file.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace zrd {
namespace {

struct DecodeCase {
    const char* name;
    std::string bytes;
    std::string utf8;
};

class TextDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(TextDecoding, FollowsTheByteOrderMark) {
    EXPECT_EQ(decodeTextBytes(GetParam().bytes), GetParam().utf8);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, TextDecoding,
    ::testing::Values(DecodeCase{"Utf8Bom",
                                 "\xEF\xBB\xBF"
                                 "Ток=\xD0\xA2",
                                 "Ток=Т"},
                      DecodeCase{"Utf16Le",
                                 std::string("\xFF\xFE"
                                             "A\0\x22\x04",
                                             6),
                                 "AТ"},
                      DecodeCase{"Utf16Be", std::string("\xFE\xFF\0A\x04\x22", 6), "AТ"},
                      DecodeCase{"Utf16LeSurrogatePair", std::string("\xFF\xFE\x3D\xD8\x00\xDE", 6),
                                 "\xF0\x9F\x98\x80"},
                      DecodeCase{"Windows1251", "\xD2\xEE\xEA mA", "Ток mA"},
                      DecodeCase{"PlainAscii", "Speed=1", "Speed=1"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineSplitting, AcceptsEveryLineEnd) {
    EXPECT_EQ(splitLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_EQ(splitLines("a\r\n\r\nb\r\n"), (std::vector<std::string>{"a", "", "b"}));
    EXPECT_TRUE(splitLines("").empty());
}

TEST(Cp1251, RoundTripsCyrillicAndReplacesTheRest) {
    const std::string text = "Ошибка привода №5";
    EXPECT_EQ(cp1251ToUtf8(utf8ToCp1251(text)), text);
    EXPECT_EQ(utf8ToCp1251("a\xE2\x82\xAC"
                           "b"),
              "a\x88"
              "b");  // the euro sign exists in 1251
    EXPECT_EQ(utf8ToCp1251("a\xE4\xB8\xAD"
                           "b"),
              "a?b");
}

TEST(TextFileRead, TellsMissingFromUnreadable) {
    test::TempDir dir;
    EXPECT_EQ(readTextFile(dir.file("none.txt")).status, TextFileStatus::Missing);
    EXPECT_EQ(readTextFile(dir.path()).status, TextFileStatus::ReadError);
    const auto file = readTextFile(dir.write("a.txt", "x\r\ny"));
    EXPECT_EQ(file.status, TextFileStatus::Ok);
    EXPECT_EQ(file.lines, (std::vector<std::string>{"x", "y"}));
}

}  // namespace
}  // namespace zrd
