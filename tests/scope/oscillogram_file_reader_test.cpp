#include "scope/oscillogram_file_reader.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <memory>

#include "../params/params_test_support.h"
#include "core/text_file.h"
#include "params/database_loader.h"
#include "recording_ui.h"
#include "scope/oscillogram_file.h"
#include "scope/scope_settings.h"

namespace zrd::scope {
namespace {

using namespace std::string_literals;

// Puts the numeric locale back however a test ends.
struct LocaleGuard {
    std::string saved = std::setlocale(LC_ALL, nullptr);
    ~LocaleGuard() { std::setlocale(LC_ALL, saved.c_str()); }
};

// A locale that writes "0,5"; empty when none is installed.
std::string decimalCommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "ru_RU.UTF-8", "ru_RU.utf8"}) {
        if (std::setlocale(LC_ALL, name))
            return name;
    }
    return {};
}

class OscillogramReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        auto messages = test::loadMessages(dir, ui);
        ASSERT_TRUE(params::loadDatabase(
                        std::string(ZRD_SHIPPED_DATA_DIR) + "/" + params::kDatabaseFileName, *model,
                        *messages, ui, false)
                        .ok());
        for (int p = 0; p < params::kParameterCount; ++p)
            model->setValue(p, p * 1.25 - 100);
        iact = findScopeSignal(*model, "IACT").value();
        osc->channel(1) = channelOfSignal(*model, iact);
        osc->channel(2).name = "STA";
        osc->channel(3).name = "NOSUCH";
        osc->header = {makeStamp("09.12.26", "10:00:00"), makeStamp("09.12.26", "10:00:10"), 250.0,
                       0.004};
        osc->comments = "first\r\nвторая */ строка\r\n*/\r\n";
        // Values of every sign and size, with more decimals than the file keeps.
        for (int r = 0; r < kRecordCount; ++r) {
            for (int c = 0; c < kChannelCount; ++c)
                osc->buffer.setValue(r, c, std::sin(r * 0.37 + c) * std::pow(10.0, c) + c * 0.0004);
            osc->buffer.setValue(r, kSampleIndexSlot, r % 8192);
        }
    }

    // The file the program writes, as bytes.
    std::string written(ScopeKind kind) {
        osc->kind = kind;
        return datText(*osc, *model);
    }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    std::unique_ptr<params::ParameterModel> model = std::make_unique<params::ParameterModel>();
    std::unique_ptr<Oscillogram> osc = std::make_unique<Oscillogram>();
    std::unique_ptr<Oscillogram> back = std::make_unique<Oscillogram>();
    int iact = 0;
};

TEST_F(OscillogramReaderTest, DatFileRoundTripsToThreeDecimalsWhateverTheLocale) {
    const LocaleGuard guard;
    const std::string comma = decimalCommaLocale();
    struct Case {
        ScopeKind kind;
        bool commaLocale;
    };
    for (const Case& c : {Case{ScopeKind::Online, false}, Case{ScopeKind::Offline, false},
                          Case{ScopeKind::Online, true}, Case{ScopeKind::Offline, true}}) {
        SCOPED_TRACE(std::string(c.kind == ScopeKind::Online ? "online" : "offline") +
                     (c.commaLocale ? " under " + comma : ""));
        if (c.commaLocale && comma.empty()) {
            std::printf("row skipped: no de_DE or ru_RU locale is installed\n");
            continue;
        }
        std::setlocale(LC_ALL, c.commaLocale ? comma.c_str() : "C");
        osc->kind = c.kind;
        const std::string path = dir.file("Osc.dat");
        ASSERT_TRUE(writeDatFile(path, *osc, *model).ok);
        // Other PCs read the file: "." in the header and the records, whatever the locale.
        const std::string bytes = datText(*osc, *model);
        EXPECT_NE(bytes.find("\r\nFrequency = 250.00\r\n"), std::string::npos);
        const size_t names = bytes.find("\r\nN ");
        const std::string table = bytes.substr(names, bytes.find(kParameterStart) - names);
        EXPECT_EQ(table.find(','), std::string::npos);
        back = std::make_unique<Oscillogram>();
        const DatReadResult r = readDatFile(path, *back, model.get());
        ASSERT_TRUE(r.ok()) << r.error;

        EXPECT_EQ(back->kind, c.kind);
        EXPECT_EQ(r.records, recordCount(c.kind));
        EXPECT_EQ(back->header.startStamp, osc->header.startStamp);
        EXPECT_EQ(back->header.stopStamp, osc->header.stopStamp);
        EXPECT_EQ(back->header.frequency, 250.0);
        EXPECT_EQ(back->header.tick, 0.004);
        EXPECT_EQ(back->comments, osc->comments);
        for (int r2 = 0; r2 < kRecordCount; ++r2) {
            const bool inFile = r2 < recordCount(c.kind);
            for (int s = 0; s < kChannelCount; ++s) {
                const double expected = inFile ? osc->buffer.value(r2, s) : 0.0;
                ASSERT_NEAR(back->buffer.value(r2, s), expected, 0.0005) << r2 << " " << s;
            }
            ASSERT_EQ(back->buffer.value(r2, kSampleIndexSlot),
                      inFile ? osc->buffer.value(r2, kSampleIndexSlot) : 0.0);
        }
        // Channels: names as saved; IACT matched with its scale and unit, STA with its bits.
        EXPECT_EQ(back->channel(1).signal, iact);
        EXPECT_EQ(back->channel(1).scale, 0.01);
        EXPECT_EQ(back->channel(1).unit, "A");
        EXPECT_EQ(r.channels[1].signal, findScopeSignal(*model, "STA"));
        ASSERT_TRUE(r.channels[1].bitHints.has_value());
        EXPECT_EQ((*r.channels[1].bitHints)[0].substr(0, 5), "bit0 ");
        EXPECT_EQ(back->channel(3).name, "NOSUCH");
        EXPECT_FALSE(r.channels[2].signal.has_value());
        ASSERT_TRUE(r.parameters.has_value());
        for (int p = 0; p < params::kParameterCount; ++p)
            ASSERT_NEAR((*r.parameters)[static_cast<size_t>(p)], model->value(p), 0.0005);
    }
}

TEST_F(OscillogramReaderTest, ReadsTheEncodingsAndLineEndsOfOtherWriters) {
    osc->kind = ScopeKind::Offline;
    const std::string cp1251 = written(ScopeKind::Offline);
    const auto lf = [](std::string bytes) {
        std::erase(bytes, '\r');
        return bytes;
    };
    const auto crOnly = [](std::string bytes) {
        std::erase(bytes, '\n');
        return bytes;
    };
    // A PC with a decimal comma writes "0,500"; its data fields are still apart.
    std::string comma = cp1251;
    const size_t firstRecord = comma.find("\r\n0  ");
    std::replace(comma.begin() + static_cast<long>(firstRecord), comma.end(), '.', ',');
    struct Case {
        const char* name;
        std::string bytes;
        ScopeKind kind;
    };
    for (const Case& c : {
             Case{"Windows-1251, CR LF", cp1251, ScopeKind::Offline},
             Case{"UTF-8, LF", lf(cp1251ToUtf8(cp1251)), ScopeKind::Offline},
             Case{"UTF-8 with its mark, CR LF", "\xEF\xBB\xBF" + cp1251ToUtf8(cp1251),
                  ScopeKind::Offline},
             Case{"Windows-1251, CR alone", crOnly(cp1251), ScopeKind::Offline},
             Case{"decimal commas", comma, ScopeKind::Offline},
             Case{"empty first line: online", "\r\n" + written(ScopeKind::Online).substr(3),
                  ScopeKind::Online},
         }) {
        SCOPED_TRACE(c.name);
        back = std::make_unique<Oscillogram>();
        const DatReadResult r = readDatBytes(c.bytes, "Osc.dat", *back, model.get());
        ASSERT_TRUE(r.ok()) << r.error;
        EXPECT_EQ(back->kind, c.kind);
        EXPECT_EQ(back->comments, osc->comments);
        EXPECT_NEAR(back->buffer.value(2048, 3), osc->buffer.value(2048, 3), 0.0005);
        EXPECT_TRUE(r.parameters.has_value());
    }
}

TEST_F(OscillogramReaderTest, AFaultyFileNamesItsLineAndKeepsWhatWasRead) {
    const std::string good = written(ScopeKind::Offline);
    // Byte offset where line n (from 1) begins.
    const auto lineStart = [&](int n) {
        size_t at = 0;
        for (int i = 1; i < n; ++i)
            at = good.find("\r\n", at) + 2;
        return at;
    };
    constexpr int kFirstRecordLine = 14;  // after the kind, header, blank, comment block, names
    const int parameterMarker = kFirstRecordLine + kOfflineRecordCount;
    std::string notNumber = good;
    notNumber.replace(lineStart(kFirstRecordLine + 7) + 20, 4, "1x.5");
    std::string tooMany = written(ScopeKind::Online);
    tooMany[0] = '0';  // offline: 2049 records, then the marker should follow
    struct Case {
        const char* name;
        std::string bytes;
        int line;
        bool changed;
        int records;
        const char* says;
    };
    for (const Case& c : {
             Case{"truncated in the records", good.substr(0, lineStart(kFirstRecordLine + 500) + 9),
                  kFirstRecordLine + 500, true, 500, "6 numbers"},
             Case{"ends before a record", good.substr(0, lineStart(kFirstRecordLine + 500)),
                  kFirstRecordLine + 500, true, 500, "ends after 500 of 2049 records"},
             Case{"no number", notNumber, kFirstRecordLine + 7, true, 7, "\"1x.5"},
             Case{"more records than its kind", tooMany, parameterMarker, true, kOfflineRecordCount,
                  "marker"},
             Case{"parameter block cut", good.substr(0, lineStart(parameterMarker + 101)),
                  parameterMarker + 101, true, kOfflineRecordCount, "after 100 of 300"},
             Case{"unknown kind", "7\r\n" + good.substr(3), 1, false, 0, "scope kind is \"7\""},
             Case{"no header", "1\r\nhello\r\n", 2, false, 0, "\"Start time : \" is expected"},
             Case{"UTF-16 without its mark", "1\0\r\0"s + "S\0"s, 1, false, 0, "scope kind"},
         }) {
        SCOPED_TRACE(c.name);
        back = std::make_unique<Oscillogram>();
        back->buffer.setValue(kRecordCount - 1, 0, 42.0);
        const DatReadResult r = readDatBytes(c.bytes, "/tmp/x/Osc.dat", *back, model.get());
        EXPECT_TRUE(r.error.starts_with("/tmp/x/Osc.dat: line " + std::to_string(c.line) + ": "))
            << r.error;
        EXPECT_NE(r.error.find(c.says), std::string::npos) << r.error;
        EXPECT_EQ(r.errorLine, c.line);
        EXPECT_EQ(r.changed, c.changed);
        EXPECT_EQ(r.records, c.records);
        EXPECT_FALSE(r.parameters.has_value());
        // Read records stand; the rest of the buffer is clear, or untouched when refused.
        if (c.records > 0) {
            EXPECT_NEAR(back->buffer.value(c.records - 1, 1), osc->buffer.value(c.records - 1, 1),
                        0.0005);
        }
        EXPECT_EQ(back->buffer.value(c.records, 1), 0.0);
        EXPECT_EQ(back->buffer.value(kRecordCount - 1, 0), c.changed ? 0.0 : 42.0);
    }
}

TEST_F(OscillogramReaderTest, ParametersAreTakenOverOnlyOnYes) {
    const std::string bytes = written(ScopeKind::Online);
    const params::ParameterModel::ValueTable before = model->values();
    for (int p = 0; p < params::kParameterCount; ++p)
        model->setValue(p, 0.0);
    const params::ParameterModel::ValueTable zero = model->values();
    // One parameter with a row on the pages.
    constexpr int kRow = 5;
    model->parameter(kRow).indexFrame = 0;
    for (const bool yes : {false, true}) {
        SCOPED_TRACE(yes ? "Yes" : "No");
        const DatReadResult r = readDatBytes(bytes, "Osc.dat", *back, model.get());
        ASSERT_TRUE(r.parameters.has_value());
        storeChannelSignals(r, *model);
        if (yes)
            takeOverParameters(*r.parameters, *model, ui);
        // No: only the channel selections took the matched signals, nothing was sent.
        const int mdtyp1 = *model->find("MDTYP1");
        const int mdtyp2 = *model->find("MDTYP2");
        for (int p = 0; p < params::kParameterCount; ++p) {
            double expected = (yes ? before : zero)[static_cast<size_t>(p)];
            if (!yes && (p == mdtyp1 || p == mdtyp2))
                expected = *findScopeSignal(*model, p == mdtyp1 ? "IACT" : "STA");
            ASSERT_NEAR(model->value(p), expected, 0.0005) << p;
        }
        EXPECT_EQ(model->parameterSetState() == params::ParameterSetState::Osc, yes);
        EXPECT_EQ(ui.rows.size(), yes ? 1u : 0u);
        if (yes) {
            EXPECT_EQ(ui.rows[0].position, kRow);
            EXPECT_EQ(ui.rows[0].text, params::valueText(before[kRow]));
        }
    }
}

}  // namespace
}  // namespace zrd::scope
