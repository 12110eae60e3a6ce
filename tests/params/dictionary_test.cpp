#include "params/dictionary.h"

#include <gtest/gtest.h>

#include "temp_dir.h"

namespace zrd::params {
namespace {

// One file, read the way the program reads it (UTF-8 with its byte-order mark), asked in both
// directions.
constexpr const char* kFile =
    "\xEF\xBB\xBF"
    "File=Файл\r\n"
    "File=Документ\r\n"
    "Open=Открыть\r\n"
    "Unfold=Открыть\r\n"
    "Heading\r\n"
    "Empty=\r\n"
    "a=b=c\r\n"
    "  Current=  Ток\r\n"
    "\r\n"
    "Last=Последний";

struct TranslateCase {
    const char* name;
    const char* text;
    const char* direction;
    const char* expected;
};

class DictionaryTranslate : public ::testing::TestWithParam<TranslateCase> {};

TEST_P(DictionaryTranslate, FirstMatchingLineGivesTheOtherSide) {
    test::TempDir dir;
    Dictionary dictionary;
    ASSERT_EQ(dictionary.load(dir.write(kDictionaryFileName, kFile)), TextFileStatus::Ok);
    const TranslateCase& c = GetParam();
    EXPECT_EQ(dictionary.translate(c.text, c.direction), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, DictionaryTranslate,
    ::testing::Values(
        TranslateCase{"FirstOfTwoLinesForOneTextWins", "File", "Rus", "Файл"},
        TranslateCase{"SecondLinesRussianStillTranslatesBack", "Документ", "Eng", "File"},
        TranslateCase{"FirstOfTwoTextsForOneTranslationWinsBack", "Открыть", "Eng", "Open"},
        TranslateCase{"LowerCaseEngSelectsRussian", "Open", "eng", "Открыть"},
        TranslateCase{"RussianSideIsNotASourceForRussian", "Файл", "Rus", "Файл"},
        TranslateCase{"EnglishSideIsNotASourceForEnglish", "File", "Eng", "File"},
        TranslateCase{"LineWithoutEqualsCarriesNoPair", "Heading", "Rus", "Heading"},
        TranslateCase{"LineEndingInEqualsCarriesNoPair", "Empty", "Rus", "Empty"},
        TranslateCase{"SplitAtTheFirstEquals", "a", "Rus", "b=c"},
        TranslateCase{"SplitAtTheFirstEqualsBack", "b=c", "Eng", "a"},
        TranslateCase{"SpacesArePartOfTheText", "  Current", "Rus", "  Ток"},
        TranslateCase{"TrimmedTextIsAnotherText", "Current", "Rus", "Current"},
        TranslateCase{"LastLineWithoutLineEnd", "Last", "Rus", "Последний"},
        TranslateCase{"EmptyTextStaysEmpty", "", "Rus", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DictionaryFile, AnsiFileIsWindows1251AndMissingFileIsEmpty) {
    test::TempDir dir;
    Dictionary dictionary;
    // "Выход" in Windows-1251, no byte-order mark.
    EXPECT_EQ(dictionary.load(dir.write(kDictionaryFileName, "Exit=\xC2\xFB\xF5\xEE\xE4\r\n")),
              TextFileStatus::Ok);
    EXPECT_EQ(dictionary.translate("Exit", "Rus"), "Выход");
    EXPECT_EQ(dictionary.load(dir.file("none.dic")), TextFileStatus::Missing);
    EXPECT_EQ(dictionary.size(), 0u);
    EXPECT_EQ(dictionary.translate("Exit", "Rus"), "Exit");
}

}  // namespace
}  // namespace zrd::params
