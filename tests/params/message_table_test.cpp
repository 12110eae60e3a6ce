#include "params/message_table.h"

#include <gtest/gtest.h>

#include "core/text_file.h"
#include "recording_ui.h"
#include "temp_dir.h"

namespace zrd::params {
namespace {

struct LineCase {
    const char* line;
    const char* name;
    const char* eng;
    const char* rus;
};

class MessageLine : public ::testing::TestWithParam<LineCase> {};

TEST_P(MessageLine, SplitsIntoNameEnglishRussian) {
    const auto r = parseMessageLine(GetParam().line);
    EXPECT_EQ(r.mess_name, GetParam().name);
    EXPECT_EQ(r.mess_eng, GetParam().eng);
    EXPECT_EQ(r.mess_rus, GetParam().rus);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, MessageLine,
    ::testing::Values(LineCase{"m1:No answer=Нет ответа", "m1", "No answer", "Нет ответа"},
                      LineCase{"m2:a=b=c", "m2", "a", "b=c"},
                      LineCase{"m3:Time: 5 s=Время: 5 с", "m3", "Time: 5 s", "Время: 5 с"},
                      LineCase{":unnamed=без имени", "", "unnamed", "без имени"},
                      LineCase{"m4:English only", "m4", "English only", ""},
                      LineCase{"m5:=", "m5", "", ""}));

class MessageFile : public ::testing::Test {
protected:
    // Test texts are UTF-8; a file without a byte-order mark would be read as Windows-1251.
    MessageTable load(const std::string& utf8) { return loadBytes("\xEF\xBB\xBF" + utf8); }
    MessageTable loadBytes(const std::string& bytes) {
        MessageTable table;
        table.load(dir.write("mess.dic", bytes), ui);
        return table;
    }
    test::TempDir dir;
    test::RecordingUserInterface ui;
};

TEST_F(MessageFile, EmptyNameLeavesItsSlotToTheNextLine) {
    const auto t = load("cap:Caption=Заголовок\n:lost=потеряно\none:One=Один\n\ntwo:Two=Два\n");
    EXPECT_EQ(t.text(0, "Eng"), "Caption");
    EXPECT_EQ(t.text(1, "Eng"), "One");
    EXPECT_EQ(t.text(2, "Eng"), "Two");
    EXPECT_EQ(t.text(2, "Rus"), "Два");
    EXPECT_EQ(t.text(3, "Eng"), "");
}

TEST_F(MessageFile, OnlyExactEngSelectsEnglish) {
    const auto t = load("cap:Caption=Заголовок\n");
    EXPECT_EQ(t.text(0, "Eng"), "Caption");
    EXPECT_EQ(t.text(0, "eng"), "Заголовок");
    EXPECT_EQ(t.text(0, "English"), "Заголовок");
    EXPECT_EQ(t.text(0, ""), "Заголовок");
}

TEST_F(MessageFile, ReadsEveryEncoding) {
    const std::string utf8 = "cap:Caption=Заголовок\r\nm1:Drive=Привод\r\n";
    EXPECT_EQ(loadBytes(utf8ToCp1251(utf8)).text(1, "Rus"), "Привод");
    EXPECT_EQ(loadBytes("\xEF\xBB\xBF" + utf8).text(1, "Rus"), "Привод");
    const std::string utf16le(
        "\xFF\xFE"
        "c\0a\0p\0:\0X\0=\0\x16\x04",
        16);
    EXPECT_EQ(loadBytes(utf16le).text(0, "Eng"), "X");
    EXPECT_EQ(loadBytes(utf16le).text(0, "Rus"), "Ж");
    const std::string utf16be(
        "\xFE\xFF"
        "\0c\0a\0p\0:\0X\0=\x04\x16",
        16);
    EXPECT_EQ(loadBytes(utf16be).text(0, "Rus"), "Ж");
}

TEST_F(MessageFile, LinesBeyondTheTableAreIgnored) {
    std::string bytes;
    for (int i = 0; i < kMessageCount + 50; ++i)
        bytes += "m" + std::to_string(i) + ":E" + std::to_string(i) + "=R\n";
    const auto t = load(bytes);
    const int last = kMessageCount - 1;
    EXPECT_EQ(t.text(last, "Eng"), "E" + std::to_string(last));
    EXPECT_EQ(t.text(kMessageCount, "Eng"), "");
    EXPECT_EQ(t.text(-1, "Eng"), "");
}

TEST_F(MessageFile, MissingFileLeavesTextsEmptyAndSaysNothing) {
    MessageTable table;
    table.load(dir.file("mess.dic"), ui);
    EXPECT_EQ(table.text(0, "Eng"), "");
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(MessageFile, UnreadableFileShowsTheFixedText) {
    MessageTable table;
    table.load(dir.path(), ui);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Attention");
    EXPECT_EQ(ui.boxes[0].text, "mess.dict file not found.");
}

TEST_F(MessageFile, BoxesCarryMessageZeroAsCaption) {
    const auto t = load("cap:Drive=Привод\nm1:No answer=Нет ответа\n");
    t.show(ui, 1, "Eng");
    t.show(ui, 1, "Rus");
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].caption, "Drive");
    EXPECT_EQ(ui.boxes[0].text, "No answer");
    EXPECT_EQ(ui.boxes[1].caption, "Привод");
    EXPECT_EQ(ui.boxes[1].text, "Нет ответа");
}

}  // namespace
}  // namespace zrd::params
