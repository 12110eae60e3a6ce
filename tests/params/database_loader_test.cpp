#include "params/database_loader.h"

#include <gtest/gtest.h>

#include "core/text_file.h"
#include "params_test_support.h"
#include "recording_ui.h"

namespace zrd::params {
namespace {

using test::database;
using test::ParamFields;

ParamFields fields(const std::string& key, const std::string& name,
                   const std::string& index = "1") {
    ParamFields s;
    s.key = key;
    s.name = name;
    s.index = index;
    return s;
}

std::string bitLine(const std::string& key, const std::string& name, int index, int bit,
                    int group = 6) {
    return key + "=" + name + "," + std::to_string(index) + "," + std::to_string(bit) + ",R," +
           name + " eng," + name + " рус,0," + std::to_string(group);
}

// UTF-16LE with its mark, from a UTF-8 text of characters below U+10000.
std::string utf16le(const std::string& utf8) {
    std::string out = "\xFF\xFE";
    for (size_t i = 0; i < utf8.size();) {
        const auto b = static_cast<unsigned char>(utf8[i]);
        const auto next = [&](size_t k) { return static_cast<char32_t>(utf8[i + k] & 0x3F); };
        char32_t c = b;
        size_t length = 1;
        if (b >= 0xE0) {
            c = (b & 0x0Fu) << 12 | next(1) << 6 | next(2);
            length = 3;
        } else if (b >= 0xC0) {
            c = (b & 0x1Fu) << 6 | next(1);
            length = 2;
        }
        i += length;
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override { messages = test::loadMessages(dir, ui); }

    LoadResult load(const std::vector<std::string>& lines, bool keepLanguage = false) {
        return loadDatabaseLines(lines, model, *messages, ui, keepLanguage);
    }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    std::unique_ptr<MessageTable> messages;
    std::unique_ptr<ParameterModel> owner = std::make_unique<ParameterModel>();
    ParameterModel& model = *owner;
};

TEST_F(LoaderTest, ParameterLineFillsEveryField) {
    ParamFields s;
    s.key = "P12";
    s.name = "SPD";
    s.index = "200";
    s.vType = "INT";
    s.minVal = "-1000";
    s.maxVal = "+1000";
    s.scale = "0.5";
    s.unitsRus = "об/мин";
    s.unitsEng = "rpm";
    s.defValue = "1.5e2";
    s.engName = "Speed set";
    s.rusName = "Задание скорости";
    s.modeMes = "0";
    s.updateCon = "2";
    s.indexGroup = "3";
    const auto r = load(database(
        {"[Group]", "Name_group=Speed,x", "[Subgroup]", "Name_subgroup=Setpoints,", s.line()}));
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(ui.boxes.empty());
    const TPar& p = model.parameter(0);
    EXPECT_EQ(p.Numpar, "P12");
    EXPECT_EQ(p.Pname, "SPD");
    EXPECT_EQ(p.Index, 200);
    EXPECT_EQ(p.vType, "INT");
    EXPECT_EQ(p.pType, "R-W");
    EXPECT_EQ(p.MinVal, -1000);
    EXPECT_EQ(p.MaxVal, 1000);
    EXPECT_DOUBLE_EQ(p.scale, 0.5);
    EXPECT_EQ(p.units_rus, "об/мин");
    EXPECT_EQ(p.units_eng, "rpm");
    EXPECT_DOUBLE_EQ(p.DefValue, 150);
    EXPECT_EQ(p.EngName, "Speed set");
    EXPECT_EQ(p.RusName, "Задание скорости");
    EXPECT_EQ(p.Mode_mes, 0);
    EXPECT_EQ(p.update_con, 2);
    EXPECT_EQ(p.IndexGroup, 3);
    EXPECT_EQ(p.NameGroup, "Speed");
    EXPECT_EQ(p.NameSubgroup, "Setpoints");
    EXPECT_EQ(p.indexFrame, kNoFrame);
    EXPECT_EQ(p.ind_of_change, 0);
    EXPECT_EQ(model.lastParameter(), 0);
    EXPECT_EQ(r.parameters, 1);
    // A row parameter starts at its default in display units.
    EXPECT_DOUBLE_EQ(model.value(0), 75);
    EXPECT_DOUBLE_EQ(model.previousValue(0), 75);
}

TEST_F(LoaderTest, LanguageComesFromLineOneUnlessKept) {
    const std::vector<std::string> one = {fields("P1", "A").line()};
    EXPECT_TRUE(load(database(one, "Eng")).ok());
    EXPECT_EQ(model.language(), "Eng");
    EXPECT_TRUE(model.english());
    EXPECT_TRUE(load(database(one, "eng")).ok());
    EXPECT_FALSE(model.english());
    model.setLanguage("Eng");
    EXPECT_TRUE(load(database(one, "Rus"), true).ok());
    EXPECT_EQ(model.language(), "Eng");
    EXPECT_TRUE(load(database(one, "Rus=x")).ok());
    EXPECT_EQ(model.language(), "Rus=x");
}

TEST_F(LoaderTest, LowerCaseKeysAreParameterLinesToo) {
    const auto r = load(database({fields("p1", "A").line(), fields("P2", "B").line()}));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(model.find("A"), 0);
    EXPECT_EQ(model.find("B"), 1);
}

TEST_F(LoaderTest, ScaleZeroIsStoredAsOne) {
    ParamFields s = fields("P1", "A");
    s.scale = "0";
    s.defValue = "7";
    const auto r = load(database({s.line(), "Rf,P5=A,1,UINT,R-W,0,10,0,,,5,a,а,0,0,1,1,0,0"}));
    ASSERT_TRUE(r.ok());
    EXPECT_DOUBLE_EQ(model.parameter(0).scale, 1.0);
    EXPECT_DOUBLE_EQ(model.calculated()[0].scale, 1.0);
    EXPECT_DOUBLE_EQ(model.value(0), 7);
}

TEST_F(LoaderTest, SectionNames) {
    struct Case {
        std::vector<std::string> lines;
        std::string group;
        std::string subgroup;
    };
    const std::vector<Case> cases = {
        {{"[Group]", "Name_group=Drive,1"}, "Drive", ""},
        {{"[Group]", "name_group=Drive,"}, "Drive", ""},
        // Without a comma the name is empty.
        {{"[Group]", "Name_group=Drive"}, "", ""},
        {{"[Group]", "Name_group=Old,", "[Group]", "Name_group=New"}, "", ""},
        // Another key leaves the name in force.
        {{"[Group]", "Name_group=Old,", "[Group]", "Group=New,"}, "Old", ""},
        {{"[Group]", "NAME_GROUP=New,"}, "", ""},
        {{"[Subgroup]", "Name_subgroup=Main,"}, "", "Main"},
        {{"[Subgroup]", "Name_Subgroup=Main,"}, "", "Main"},
        {{"[Subgroup]", "name_subgroup=Main,"}, "", ""},
        {{"[Subgroup]", "Name_group=Main,"}, "", ""},
        {{"[Group]", "Name_group=,"}, "", ""},
    };
    for (const Case& c : cases) {
        auto lines = c.lines;
        lines.push_back(fields("P1", "A").line());
        ASSERT_TRUE(load(database(lines)).ok());
        EXPECT_EQ(model.parameter(0).NameGroup, c.group) << c.lines.back();
        EXPECT_EQ(model.parameter(0).NameSubgroup, c.subgroup) << c.lines.back();
    }
}

TEST_F(LoaderTest, TheLineAfterASectionLineIsConsumedWhateverItHolds) {
    const auto r =
        load(database({"[Group]", fields("P1", "EATEN").line(), fields("P2", "KEPT").line()}));
    ASSERT_TRUE(r.ok());
    EXPECT_FALSE(model.find("EATEN"));
    EXPECT_EQ(model.find("KEPT"), 0);
    EXPECT_EQ(r.groups, 1);
}

TEST_F(LoaderTest, GroupAndSubgroupCarryOverUntilTheNextSection) {
    const auto r = load(database({
        "[Group]",
        "Name_group=Drive,",
        "[Subgroup]",
        "Name_subgroup=Main,",
        fields("P1", "A").line(),
        "; a comment between",
        fields("P2", "B").line(),
        "[Group]",
        "Name_group=Motor,",
        fields("P3", "C").line(),
        "[Subgroup]",
        "Name_subgroup=Data,",
        fields("P4", "D").line(),
    }));
    ASSERT_TRUE(r.ok());
    struct Want {
        const char* name;
        const char* group;
        const char* subgroup;
    };
    for (const Want& w : {Want{"A", "Drive", "Main"}, Want{"B", "Drive", "Main"},
                          Want{"C", "Motor", "Main"}, Want{"D", "Motor", "Data"}}) {
        const TPar& p = model.parameter(*model.find(w.name));
        EXPECT_EQ(p.NameGroup, w.group) << w.name;
        EXPECT_EQ(p.NameSubgroup, w.subgroup) << w.name;
    }
    EXPECT_EQ(r.groups, 2);
    EXPECT_EQ(r.subgroups, 2);
}

TEST_F(LoaderTest, EndOfScan) {
    const std::string a = fields("P1", "A").line();
    const std::string b = fields("P2", "B").line();
    const std::string calc = "Rf,P3=A,1,UINT,R-W,0,10,1,,,5,a,а,0,0,1,1,0,0";
    struct Case {
        const char* what;
        std::vector<std::string> body;
        int parameters;
        int endLine;  // within the whole file (two header lines), from 1
    };
    const std::vector<Case> cases = {
        {"a lone dot ends the data", {".", a}, 0, 3},
        {"the end of the file", {a, b}, 2, -1},
        {"a parameter line repeated", {a, a, b}, 1, 4},
        {"the dot no longer ends once a record was read", {a, ".", b}, 2, -1},
        {"a repeat further on is read again", {a, b, a}, 3, -1},
        {"a calculated line repeated", {a, calc, calc, b}, 1, 5},
        {"after a bit line, its first three letters",
         {a, bitLine("Col1", "RDYX", 240, 1), "RDY", b},
         1,
         5},
        {"after a bit line, not the whole mnemonic",
         {a, bitLine("Col1", "RDYX", 240, 1), "RDYX", b},
         2,
         -1},
        {"an unstored bit line counts too", {a, bitLine("Col1", "XYZ", 17, 1), "XYZ", b}, 1, 5},
    };
    for (const Case& c : cases) {
        const auto r = load(database(c.body));
        // Without a parameter the load counts as failed.
        EXPECT_EQ(r.status, c.parameters > 0 ? LoadStatus::Ok : LoadStatus::Empty) << c.what;
        EXPECT_EQ(r.parameters, c.parameters) << c.what;
        EXPECT_EQ(model.lastParameter(), c.parameters - 1) << c.what;
        EXPECT_EQ(r.endLine, c.endLine) << c.what;
    }
}

TEST_F(LoaderTest, BitLinesGoToTheirWordAndBit) {
    const auto r = load(database({
        bitLine("Col0", "RDY", 240, 7),
        bitLine("col1", "ERR", 241, 0),
        bitLine("Col2", "WRN", 242, 15),
        bitLine("Col3", "ELSE", 243, 1),  // a state line for a word it does not keep
        bitLine("App1", "APP", 243, 2, 7),
        bitLine("App2", "DIN", 244, 3, 7),
        bitLine("App3", "APX", 246, 4, 7),
        bitLine("App4", "NOT", 245, 4, 7),
        bitLine("osc1", "OSB", 0, 5),
        bitLine("osc2", "OSX", 1, 6),
        bitLine("Cxx1", "IGN", 240, 8),  // the prefix selects no table
        bitLine("app1", "IGN", 243, 8),
        bitLine("Osc1", "IGN", 0, 8),
        fields("P1", "A").line(),
    }));
    ASSERT_TRUE(r.ok());
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(model.stateBits()[7].Pname, "RDY");
    EXPECT_EQ(model.stateBits()[7].EngName, "RDY eng");
    EXPECT_EQ(model.stateBits()[7].RusName, "RDY рус");
    EXPECT_EQ(model.stateBits()[7].IndexGroup, 6);
    EXPECT_EQ(model.stateBits()[7].checked, 0);
    EXPECT_EQ(model.stateBits()[16].Pname, "ERR");
    EXPECT_EQ(model.stateBits()[47].Pname, "WRN");
    EXPECT_EQ(model.applicationBits()[2].Pname, "APP");
    EXPECT_EQ(model.applicationBits()[19].Pname, "DIN");
    EXPECT_EQ(model.applicationBits()[36].Pname, "APX");
    EXPECT_EQ(model.scopeBits()[5].Pname, "OSB");
    EXPECT_EQ(model.stateBits()[8].Pname, "");
    EXPECT_EQ(model.applicationBits()[8].Pname, "");
    EXPECT_EQ(model.scopeBits()[6].Pname, "");
    EXPECT_EQ(model.scopeBits()[8].Pname, "");
    EXPECT_EQ(r.stateBits, 3);
    EXPECT_EQ(r.applicationBits, 3);
    EXPECT_EQ(r.scopeBits, 1);
}

TEST_F(LoaderTest, BitNumberOutsideTheWordIsRefusedWithTheLine) {
    const std::string high = bitLine("Col1", "HIGH", 240, 16);
    const std::string low = bitLine("App1", "LOW", 243, -1);
    const auto r = load(database({high, low, bitLine("Col1", "UNS", 250, 99),
                                  bitLine("Col2", "OK", 240, 15), fields("P1", "A").line()}));
    ASSERT_TRUE(r.ok());
    ASSERT_EQ(r.refused.size(), 2u);
    EXPECT_EQ(r.refused[0].line, 3);
    EXPECT_EQ(r.refused[1].text, low);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].caption, "Attention");
    EXPECT_EQ(ui.boxes[0].text, "Bad line: " + high +
                                    "\nParam_base.mod, line 3: The bit number must be 0..15; this "
                                    "line is not loaded.");
    EXPECT_EQ(model.stateBits()[15].Pname, "OK");
    EXPECT_EQ(model.find("A"), 0);
}

TEST_F(LoaderTest, CalculatedLines) {
    const auto r = load(database({
        fields("P1", "A").line(),
        fields("P2", "B").line(),
        "Rf,P7=B,9,INT,R,f:MAXI*2,100,0.25,А,A,f:DEF,Calc B,Выч B,1,2,3,4,5,6",
        "R,p8=NONE,1,UINT,R-W,0,10,1,,,5,n,н,0,0,1,1,0,0",
        "Rf,P9=LATER,1,UINT,R-W,0,10,1,,,5,n,н,0,0,1,1,0,0",
        fields("P3", "LATER").line(),
        "Rf,X10=B,1,UINT,R-W,0,10,1,,,5,n,н,0,0,1,1,0,0",  // no record without a "P" key
        "Remarks follow",
    }));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.calculated, 1);
    EXPECT_EQ(r.calculatedWithoutKey, 2);
    // Lines whose mnemonic has no parameter (yet) would take over the limits of position 0.
    ASSERT_EQ(r.refused.size(), 2u);
    EXPECT_EQ(r.refused[0].line, 6);
    EXPECT_EQ(r.refused[1].line, 7);
    ASSERT_EQ(ui.boxes.size(), 2u);
    EXPECT_EQ(ui.boxes[0].text,
              "Bad line: R,p8=NONE,1,UINT,R-W,0,10,1,,,5,n,н,0,0,1,1,0,0\nParam_base.mod, line 6: "
              "No parameter line before it has this mnemonic; this line is not loaded.");
    const TParR& c = model.calculated()[0];
    EXPECT_EQ(c.typeD, "f");
    EXPECT_EQ(c.Numpar, "P7");
    EXPECT_EQ(c.Pname, "B");
    EXPECT_EQ(c.Index, 9);
    EXPECT_EQ(c.vType, "INT");
    EXPECT_EQ(c.pType, "R");
    EXPECT_EQ(c.MinVal, "f:MAXI*2");
    EXPECT_EQ(c.MaxVal, "100");
    EXPECT_DOUBLE_EQ(c.scale, 0.25);
    EXPECT_EQ(c.units_rus, "А");
    EXPECT_EQ(c.units_eng, "A");
    EXPECT_EQ(c.DefValue, "f:DEF");
    EXPECT_EQ(c.EngName, "Calc B");
    EXPECT_EQ(c.RusName, "Выч B");
    EXPECT_EQ(c.Mode_mes, 1);
    EXPECT_EQ(c.update_con, 2);
    EXPECT_EQ(c.IndexGroup, 3);
    EXPECT_EQ(c.prior_calc, 4);
    EXPECT_EQ(c.reason_calc, 5);
    EXPECT_EQ(c.type_calc, 6);
    EXPECT_EQ(c.NameGroup, "");
    EXPECT_EQ(c.num, 1);
    EXPECT_EQ(model.lastCalculated(), 0);
}

TEST_F(LoaderTest, BadLineStopsTheLoadKeepingWhatWasRead) {
    ParamFields bad = fields("P2", "BAD");
    const std::vector<std::string> badLines = {
        [&] {
            auto s = bad;
            s.index = "x1";
            return s.line();
        }(),
        [&] {
            auto s = bad;
            s.minVal = "1.5";
            return s.line();
        }(),
        [&] {
            auto s = bad;
            s.maxVal = " 5";
            return s.line();
        }(),
        [&] {
            auto s = bad;
            s.maxVal = "99999999999";
            return s.line();
        }(),
        [&] {
            auto s = bad;
            s.scale = "0,5";
            return s.line();
        }(),
        [&] {
            auto s = bad;
            s.defValue = "";
            return s.line();
        }(),
        [&] {
            auto s = bad;
            s.defValue = "nan";
            return s.line();
        }(),
        [&] {
            auto s = bad;
            s.indexGroup = "1,2";
            return s.line();
        }(),
        [&] {
            auto s = bad;
            s.updateCon = "+-1";
            return s.line();
        }(),
        "P2=BAD,1,UINT,R-W,0,100",
        "Parameters follow",
        "Col1=RDY,240,x,R,a,b,0,6",
        "Rf,P9=A,1,UINT,R-W,0,10,1,,,5,n,н,0,0,1,1,0",
        // Beyond what the wire carries: the drive index in 8 bits, raw values in 16.
        "P2=BAD,256,UINT,R-W,0,100,1,,,0,a,b,0,0,1",
        "P2=BAD,-1,UINT,R-W,0,100,1,,,0,a,b,0,0,1",
        "P2=BAD,1,UINT,R-W,-1,100,1,,,0,a,b,0,0,1",
        "P2=BAD,1,UINT,R-W,0,65536,1,,,0,a,b,0,0,1",
        "P2=BAD,1,INT,R-W,-32769,100,1,,,0,a,b,0,0,1",
        "P2=BAD,1,INT,R-W,0,32768,1,,,0,a,b,0,0,1",
        "P2=BAD,1,INT,R-W,0,100,1,,,1e30,a,b,0,0,1",
        "P2=BAD,1,UINT,R-W,0,100,1,,,-0.5,a,b,0,0,1",
    };
    for (const std::string& line : badLines) {
        ui.boxes.clear();
        ParamFields signal = fields("P1", "SIG", "240");
        signal.defValue = "5";
        const auto r = load(database({"[Subgroup]", "Name_subgroup=Signals_osc_page1,",
                                      signal.line(), line, fields("P3", "AFTER").line()}));
        EXPECT_EQ(r.status, LoadStatus::Stopped) << line;
        EXPECT_EQ(r.stoppedAtLine, 6) << line;
        EXPECT_EQ(r.badLine, line);
        ASSERT_EQ(ui.boxes.size(), 1u) << line;
        EXPECT_EQ(ui.boxes[0].caption, "Attention");
        EXPECT_EQ(ui.boxes[0].text.rfind("Bad line: " + line + "\nParam_base.mod, line 6: ", 0), 0u)
            << ui.boxes[0].text;
        // The record before stays; nothing after it, and nothing built from the tables.
        EXPECT_EQ(model.find("SIG"), 0) << line;
        EXPECT_FALSE(model.find("AFTER")) << line;
        EXPECT_FALSE(model.find("BAD")) << line;
        EXPECT_EQ(model.lastParameter(), 0) << line;
        EXPECT_FALSE(model.statusWordPosition(240)) << line;
        EXPECT_EQ(model.scopeSignalCount(), 1) << line;
        EXPECT_DOUBLE_EQ(model.value(0), 0) << line;
    }
}

TEST_F(LoaderTest, MessageOneInTheLanguageOfLineOne) {
    const std::string line = "P1=BAD";
    EXPECT_EQ(load(database({line}, "Rus")).status, LoadStatus::Stopped);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].caption, "Внимание");
    EXPECT_EQ(ui.boxes[0].text, "Ошибка в строке: " + line +
                                    "\nParam_base.mod, строка 3: Поле этой строки не "
                                    "преобразуется; загрузка остановлена.");
}

TEST_F(LoaderTest, SurplusParameterAndCalculatedLinesAreRefused) {
    std::vector<std::string> body;
    for (int i = 0; i < kParameterCount + 2; ++i)
        body.push_back(fields("P" + std::to_string(i), "N" + std::to_string(i)).line());
    for (int i = 0; i < kCalculatedCount + 1; ++i)
        body.push_back("Rf,P" + std::to_string(i) + "=N" + std::to_string(i) +
                       ",1,UINT,R-W,0,10,1,,,5,n,н,0,0,1,1,0,0");
    body.push_back(bitLine("Col1", "RDY", 240, 1));
    const auto r = load(database(body));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.parameters, kParameterCount);
    EXPECT_EQ(model.lastParameter(), kParameterCount - 1);
    EXPECT_EQ(model.parameter(kParameterCount - 1).Pname, "N299");
    EXPECT_FALSE(model.find("N300"));
    EXPECT_EQ(r.calculated, kCalculatedCount);
    EXPECT_EQ(model.calculated()[kCalculatedCount - 1].Pname, "N299");
    ASSERT_EQ(r.refused.size(), 3u);
    EXPECT_EQ(r.refused[0].line, 3 + kParameterCount);
    EXPECT_EQ(r.refused[0].text, body[kParameterCount]);
    EXPECT_EQ(r.refused[2].line, 3 + kParameterCount + 2 + kCalculatedCount);
    ASSERT_EQ(ui.boxes.size(), 3u);
    EXPECT_NE(ui.boxes[0].text.find(body[kParameterCount]), std::string::npos);
    // The scan goes on after the surplus.
    EXPECT_EQ(model.stateBits()[1].Pname, "RDY");
}

TEST_F(LoaderTest, ScopeSignalsInTableOrderUpTo128Entries) {
    std::vector<std::string> body = {"[Subgroup]",
                                     "Name_subgroup=Signals_osc_page2,",
                                     fields("P1", "IACT", "50").line(),
                                     fields("P2", "VACT", "7").line(),
                                     "[Subgroup]",
                                     "Name_subgroup=Main,",
                                     fields("P3", "OTHER").line()};
    auto r = load(database(body));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.scopeSignals, 3);
    EXPECT_EQ(model.scopeSignal(0).EngName, "No signal");
    EXPECT_EQ(model.scopeSignal(0).RusName, "Нет сигнала");
    EXPECT_EQ(model.scopeSignal(1).Pname, "IACT");
    EXPECT_EQ(model.scopeSignal(2).Pname, "VACT");

    body = {"[Subgroup]", "Name_subgroup=Signals_osc_page6,"};
    for (int i = 0; i < kScopeSignalCount + 1; ++i)
        body.push_back(fields("P" + std::to_string(i), "S" + std::to_string(i)).line());
    r = load(database(body));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.scopeSignals, kScopeSignalCount);
    EXPECT_EQ(model.scopeSignal(kScopeSignalCount - 1).Pname, "S126");
    ASSERT_EQ(r.refused.size(), 2u);
    EXPECT_EQ(r.refused[0].text, body[2 + 127]);
    EXPECT_EQ(ui.boxes.size(), 2u);
}

TEST_F(LoaderTest, StatusWordPositionsAndKnownMnemonics) {
    const auto r = load(
        database({fields("P1", "HVER", "3").line(), fields("P2", "STA", "240").line(),
                  fields("P3", "STA_COPY", "240").line(), fields("P4", "APXERR", "246").line()}));
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(model.statusWordPosition(240), 1);
    EXPECT_EQ(model.statusWordPosition(246), 3);
    EXPECT_FALSE(model.statusWordPosition(241));
    EXPECT_EQ(model.knownPosition(KnownParameter::HVER), 0);
    EXPECT_FALSE(model.knownPosition(KnownParameter::ENMOD));
}

TEST_F(LoaderTest, ReloadClearsNamesButBitSlotsStayUntilRenamed) {
    ASSERT_TRUE(load(database({fields("P1", "A").line(), fields("P2", "B").line(),
                               "Rf,P3=A,1,UINT,R-W,0,10,1,,,5,n,н,0,0,1,1,0,0",
                               bitLine("Col1", "OLD", 240, 1), bitLine("Col2", "KEEP", 240, 2)}))
                    .ok());
    model.parameter(0).indexFrame = 4;
    ASSERT_TRUE(load(database({fields("P1", "C").line(), bitLine("Col1", "NEW", 240, 1)})).ok());
    EXPECT_EQ(model.find("C"), 0);
    EXPECT_EQ(model.parameter(0).indexFrame, kNoFrame);
    EXPECT_FALSE(model.find("B"));
    EXPECT_EQ(model.lastParameter(), 0);
    EXPECT_EQ(model.calculated()[0].typeD, "");
    EXPECT_EQ(model.lastCalculated(), -1);
    EXPECT_EQ(model.stateBits()[1].Pname, "NEW");
    EXPECT_EQ(model.stateBits()[2].Pname, "KEEP");
}

TEST_F(LoaderTest, FileEncodings) {
    const std::vector<std::string> lines = database({[] {
        ParamFields s = fields("P1", "SPD");
        s.rusName = "Скорость";
        return s.line();
    }()});
    const std::string utf8 = test::joinLines(lines);
    struct Case {
        const char* what;
        std::string bytes;
    };
    for (const Case& c :
         {Case{"windows-1251", utf8ToCp1251(utf8)}, Case{"utf-8 with mark", "\xEF\xBB\xBF" + utf8},
          Case{"utf-16le with mark", utf16le(utf8)}}) {
        const std::string path = dir.write("Param_base.mod", c.bytes);
        const auto r = loadDatabase(path, model, *messages, ui, false);
        ASSERT_TRUE(r.ok()) << c.what;
        EXPECT_EQ(model.parameter(0).RusName, "Скорость") << c.what;
        EXPECT_EQ(model.language(), "Eng") << c.what;
    }
}

// A file of 1000 parameter lines: ten refusals one by one, each naming file and line, then one
// message for the rest.
TEST_F(LoaderTest, RefusalsBeyondTheTenthAreSummed) {
    std::vector<std::string> body;
    for (int i = 0; i < 1000; ++i)
        body.push_back(fields("P" + std::to_string(i), "N" + std::to_string(i)).line());
    const std::string path = dir.write("big.mod", "\xEF\xBB\xBF" + test::joinLines(database(body)));
    const auto r = loadDatabase(path, model, *messages, ui, false);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(r.refused.size(), 700u);
    EXPECT_EQ(r.refused.back().line, 1002);
    ASSERT_EQ(ui.boxes.size(), 11u);
    EXPECT_EQ(ui.boxes[0].text, "Bad line: " + body[300] + "\n" + path +
                                    ", line 303: The parameter table holds 300 parameters; this "
                                    "line is not loaded.");
    EXPECT_NE(ui.boxes[9].text.find(path + ", line 312: "), std::string::npos);
    EXPECT_EQ(ui.boxes[10].text, "… and 690 more refused lines of " + path);
}

// A database without parameters would let every command "succeed" doing nothing.
TEST_F(LoaderTest, FileWithoutParametersIsAFailedLoad) {
    struct Case {
        const char* what;
        std::string bytes;
        LoadStatus status;
    };
    for (const Case& c : {Case{"empty", "", LoadStatus::Empty},
                          Case{"header only", test::joinLines(database({"; no parameters yet"})),
                               LoadStatus::Empty},
                          Case{"binary",
                               std::string("\x7f"
                                           "ELF\x02\x01\x01\x00\x00\x00\r\n\xff\xfe\x00\x01",
                                           16),
                               LoadStatus::Empty},
                          Case{"binary with a p", std::string("\x00\n\x01\x02\npZ\x03\x04", 9),
                               LoadStatus::Stopped}}) {
        ui.boxes.clear();
        const std::string path = dir.write("Param_base.mod", c.bytes);
        const auto r = loadDatabase(path, model, *messages, ui, false);
        EXPECT_EQ(r.status, c.status) << c.what;
        EXPECT_FALSE(r.ok()) << c.what;
        ASSERT_EQ(ui.boxes.size(), 1u) << c.what;
        EXPECT_NE(ui.boxes[0].text.find(path), std::string::npos) << ui.boxes[0].text;
    }
}

TEST_F(LoaderTest, MissingFileIsReportedNotShown) {
    const auto r = loadDatabase(dir.file("none.mod"), model, *messages, ui, false);
    EXPECT_EQ(r.status, LoadStatus::Missing);
    EXPECT_TRUE(ui.boxes.empty());
}

}  // namespace
}  // namespace zrd::params
