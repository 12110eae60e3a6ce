#include "session/status_poll.h"

#include <gtest/gtest.h>

#include "../params/params_test_support.h"
#include "params/database_loader.h"
#include "recording_ui.h"
#include "sim_fixture.h"

namespace zrd::monitor {
namespace {

using session::readMonitorValues;
using session::StatusPoll;

using test::ParamFields;

ParamFields word(const std::string& key, const std::string& name, int index) {
    ParamFields p;
    p.key = key;
    p.name = name;
    p.index = std::to_string(index);
    p.maxVal = "65535";
    p.pType = "R";
    return p;
}

ParamFields value(const std::string& key, const std::string& name, int index,
                  const std::string& type = "INT") {
    ParamFields p;
    p.key = key;
    p.name = name;
    p.index = std::to_string(index);
    p.vType = type;
    // The whole raw range of the type.
    p.minVal = type == "INT" ? "-32768" : "0";
    p.maxVal = type == "INT" ? "32767" : "65535";
    return p;
}

std::vector<std::string> statusDatabase() {
    auto lines = test::database({
        word("P1", "STA", 240).line(),
        word("P2", "ERR", 241).line(),
        word("P3", "WRN", 242).line(),
        word("P4", "APPSGN", 243).line(),
        word("P5", "DINSTA", 244).line(),
        word("P6", "APXERR", 246).line(),
        value("P7", "VSET", 10).line(),
        value("P8", "VACT", 11).line(),
        value("P9", "ISET", 12).line(),
        value("P10", "IACT", 13).line(),
        value("P11", "TSET", 14).line(),
        value("P12", "TACT", 15).line(),
        value("P13", "PRREV", 16).line(),
        value("P14", "PRCTS", 17).line(),
        value("P15", "ENCR", 18, "UINT").line(),
        value("P16", "PFREV", 19).line(),
        value("P17", "PFCTS", 20).line(),
        value("P18", "AINVOL", 21).line(),
        value("P19", "PINFRQ", 22).line(),
        value("P20", "PERR", 23).line(),
        "Col1=S0,240,0,R,Servo on,Серво включено,0,6",
        "Col2=E0,241,0,R,Overcurrent,Перегрузка по току,0,6",
        "Col3=E2,241,2,R,Overvoltage,Перенапряжение,0,6",
        "Col4=W0,242,0,R,Hot,Перегрев,0,6",
    });
    lines[0] = "; status words of a test drive";
    return lines;
}

class StatusPollTest : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        messages.load(dir.write("mess.dic", test::messageFile()), ui);
        const auto loaded = params::loadDatabaseLines(statusDatabase(), model, messages, ui, false);
        ASSERT_TRUE(loaded.ok()) << static_cast<int>(loaded.status) << " " << loaded.badLine
                                 << (ui.boxes.empty() ? "" : ui.boxes.back().text);
        model.cachePositions();
        link.state().connected = 1;
    }

    void words(uint16_t w240, uint16_t w241 = 0, uint16_t w242 = 0) {
        drive([&](sim::SimDrive& d) {
            d.setRaw(240, w240);
            d.setRaw(241, w241);
            d.setRaw(242, w242);
        });
    }

    test::TempDir dir;
    params::MessageTable messages;
    params::ParameterModel model;
    StatusPoll poll{link, model, messages};
};

TEST_F(StatusPollTest, IdleDriveHasNoErrorsOrWarnings) {
    words(0x0000, 0xFFFF, 0xFFFF);
    const StatusTick t = poll.tick();
    EXPECT_EQ(t.outcome, StatusTick::Outcome::Online);
    EXPECT_FALSE(t.readErrors);
    EXPECT_TRUE(t.errors.empty());
    EXPECT_TRUE(t.warnings.empty());
    EXPECT_FALSE(poll.frame(0).bit(0, kBitSpeedZero));
    // Columns not read are cleared.
    EXPECT_EQ(poll.frame(0).words[1], 0);
}

TEST_F(StatusPollTest, ErrorListNamesTheSetBitsAndCountsThem) {
    words(0x0002, 0x0005);
    StatusTick t = poll.tick();
    EXPECT_EQ(t.errors, (std::vector<std::string>{"Overcurrent", "Overvoltage"}));
    EXPECT_EQ(t.errorCount, "2 E68");
    model.setLanguage("Rus");
    t = poll.tick();
    EXPECT_EQ(t.errors, (std::vector<std::string>{"Перегрузка по току", "Перенапряжение"}));
    EXPECT_EQ(t.errorCount, " 2 ошибки");
}

TEST_F(StatusPollTest, UnnamedBitIsStillCounted) {
    words(0x0006, 0x0002, 0x0003);
    const StatusTick t = poll.tick();
    EXPECT_EQ(t.errors, (std::vector<std::string>{""}));
    EXPECT_EQ(t.errorCount, "1 E24");
    EXPECT_EQ(t.warnings, (std::vector<std::string>{"Hot", ""}));
    EXPECT_EQ(t.warningCount, "2 E96");
}

TEST_F(StatusPollTest, StatusBytesThatNeedEscapesAreReadRight) {
    words(0xE2E1 | 0x0002, 0x00E4);
    const StatusTick t = poll.tick();
    EXPECT_EQ(poll.frame(0).words[0], 0xE2E3);
    EXPECT_EQ(poll.frame(0).words[1], 0x00E4);
    EXPECT_EQ(t.outcome, StatusTick::Outcome::Online);
}

TEST_F(StatusPollTest, SixthFailedTickGoesOfflineAndAGoodOneResetsTheCount) {
    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 0, 5}); });
    for (int i = 1; i <= 5; ++i) {
        EXPECT_EQ(poll.tick().outcome, StatusTick::Outcome::Tolerated) << i;
        EXPECT_EQ(link.state().connected, 1);
    }
    EXPECT_EQ(poll.tick().outcome, StatusTick::Outcome::Online);
    EXPECT_EQ(poll.failures(), 0);

    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 0, -1}); });
    for (int i = 1; i <= 5; ++i)
        EXPECT_EQ(poll.tick().outcome, StatusTick::Outcome::Tolerated);
    EXPECT_EQ(poll.tick().outcome, StatusTick::Outcome::WentOffline);
    EXPECT_EQ(link.state().connected, 0);
    // After a new connection one failed tick is again only tolerated.
    link.state().connected = 1;
    EXPECT_EQ(poll.tick().outcome, StatusTick::Outcome::Tolerated);
}

TEST_F(StatusPollTest, FirstGoodTickEndsTheStartUpOrigin) {
    EXPECT_EQ(model.valueOrigin(), -1);
    (void)poll.tick();
    EXPECT_EQ(model.valueOrigin(), 0);
}

TEST_F(StatusPollTest, MonitorReadsComposePositions) {
    drive([](sim::SimDrive& d) {
        d.setRaw(16, 2);       // PRREV
        d.setRaw(17, 100);     // PRCTS
        d.setRaw(18, 4096);    // ENCR
        d.setRaw(19, 0xFFFF);  // PFREV -1
        d.setRaw(20, 4000);    // PFCTS
        d.setRaw(22, 0);       // PINFRQ
        d.setRaw(10, 0xFC18);  // VSET -1000
    });
    session::ParameterAccess access(link, model, messages);
    const MonitorValues v = readMonitorValues(access, model);
    EXPECT_EQ(v.positionCommand, 8292);
    EXPECT_EQ(v.positionActual, -96);
    EXPECT_EQ(v.direction, " +");
    EXPECT_EQ(v.speedCommand, -1000);
}

TEST(FrameBitsDecoding, SpreadsLowAndHighByte) {
    FrameBits f;
    f.decode(1, 0x01, 0x80);
    EXPECT_EQ(f.words[1], 0x8001);
    for (int b = 0; b < 16; ++b)
        EXPECT_EQ(f.bit(1, b), b == 0 || b == 15) << b;
    EXPECT_EQ(f.bits[16], 1);
    EXPECT_EQ(f.bits[31], 1);
    f.clear(1);
    for (int b = 0; b < 16; ++b)
        EXPECT_FALSE(f.bit(1, b));
}

TEST(CountTexts, FollowLanguageAndNumber) {
    test::TempDir dir;
    test::RecordingUserInterface ui;
    const auto messages = test::loadMessages(dir, ui);
    struct Case {
        int n;
        bool errors;
        const char* language;
        const char* text;
    };
    for (const Case& c : {Case{1, true, "Eng", "1 E24"}, Case{3, true, "Eng", "3 E68"},
                          Case{1, false, "Eng", "1 E95"}, Case{7, false, "Eng", "7 E96"},
                          Case{1, true, "Rus", "1 R24"}, Case{2, true, "Rus", " 2 ошибки"},
                          Case{4, true, "Rus", " 4 ошибки"}, Case{5, true, "Rus", " 5 ошибок"},
                          Case{12, true, "Rus", " 12 ошибок"}, Case{2, false, "Rus", " 2 Предупр."},
                          Case{2, true, "Deu", "2 R68"}, Case{1, false, "eng", "1 R95"}}) {
        EXPECT_EQ(countText(c.n, c.errors, *messages, c.language), c.text)
            << c.n << " " << c.language;
    }
}

TEST(InversionValue, ComposesTheBoxes) {
    std::array<bool, 16> boxes{};
    EXPECT_EQ(inversionValue(boxes), 0);
    boxes[3] = true;
    EXPECT_EQ(inversionValue(boxes), 8);
    boxes[15] = true;
    EXPECT_EQ(inversionValue(boxes), 0x8008);
}

}  // namespace
}  // namespace zrd::monitor
