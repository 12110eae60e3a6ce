// zrdctl as a script sees it: --json output parsed back, the exit statuses, diff and the help,
// run as a process against the simulated drive on a pseudo-terminal.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <map>

#include "formula/own_limits.h"
#include "params/database_loader.h"
#include "params/parameter_file.h"
#include "params_test_support.h"
#include "recording_ui.h"
#include "run_command.h"
#include "sim_server.h"

namespace zrd::cli {
namespace {

using test::fields;
using test::Outcome;

QJsonObject parsed(const std::string& text) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(text), &error);
    EXPECT_EQ(error.error, QJsonParseError::NoError) << text;
    EXPECT_TRUE(document.isObject()) << text;
    return document.object();
}

class ZrdctlScripting : public ::testing::Test {
protected:
    void SetUp() override {
        std::vector<std::string> body = {
            fields("P1", "HVER", 3, "UINT", "R", 0, 65535, "1", 0).line(),
            fields("P2", "SPD", 10, "INT", "R-W", -1000, 1000, "0.5", 50).line(),
            fields("P3", "NOREAD", 11, "UINT", "-", 0, 10, "1", 1).line(),
            fields("P4", "VSET", 12, "INT", "R", -30000, 30000, "1", 0).line(),
            fields("P7", "ENMOD", 7, "UINT", "R-W", 0, 2, "1", 1).line(),
        };
        int key = 5;
        for (const int word : {240, 241, 242, 243, 244, 246}) {
            test::ParamFields w = fields("P" + std::to_string(key++), "W" + std::to_string(word),
                                         word, "UINT", "R", 0, 65535, "1", 0);
            w.indexGroup = "9";
            body.push_back(w.line());
        }
        body.push_back("Col1=S3,240,3,R,Servo on,Серво,0,6");
        const std::vector<std::string> lines = test::database(body);
        dir.write("Param_base.mod", "\xEF\xBB\xBF" + test::joinLines(lines));
        dir.write("mess.dic", test::messageFile());
        params::MessageTable messages;
        messages.load(dir.file("mess.dic"), ui);
        ASSERT_TRUE(params::loadDatabaseLines(lines, *model, messages, ui, false).ok());
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.withDrive([&](sim::SimDrive& d) {
            d.loadParameters(*model);
            d.setRaw(10, 0xFFE8);  // SPD -12
            d.setRaw(12, 300);
            d.setRaw(240, 0x0008);
        });
        sim.start();
    }

    Outcome zrdctl(const std::string& args) {
        return test::runCommand(std::string("'") + ZRDCTL_PATH + "' --data-dir '" + dir.path() +
                                    "' --port " + sim.devicePath() + " " + args,
                                dir.file("stderr.txt"));
    }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    std::unique_ptr<params::ParameterModel> model = std::make_unique<params::ParameterModel>();
    sim::SimServer sim;
};

TEST_F(ZrdctlScripting, JsonOutputParsesBackToTheDrivesValues) {
    Outcome r = zrdctl("get --json SPD HVER NOREAD");
    EXPECT_EQ(r.status, 1) << r.err;  // NOREAD is never read
    QJsonObject o = parsed(r.out);
    EXPECT_EQ(o["values"].toObject()["SPD"].toDouble(), -12);
    EXPECT_EQ(o["values"].toObject()["HVER"].toDouble(), sim::kHardwareVersion);
    EXPECT_EQ(o["failures"].toArray().at(0).toObject()["name"].toString(), "NOREAD");

    r = zrdctl("read-all --json");
    EXPECT_EQ(r.status, 0) << r.err;
    o = parsed(r.out);
    const QJsonObject values = o["values"].toObject();
    EXPECT_EQ(values["SPD"].toDouble(), -12);
    EXPECT_EQ(values["VSET"].toDouble(), 300);
    EXPECT_EQ(values.size(), o["parameters"].toInt());
    EXPECT_TRUE(o["unanswered"].toArray().isEmpty());

    r = zrdctl("status --json");
    EXPECT_EQ(r.status, 0) << r.err;
    const QJsonArray words = parsed(r.out)["words"].toArray();
    ASSERT_EQ(words.size(), 6);
    // The drive keeps its own state bits in the word beside the one set here.
    uint16_t state = 0;
    sim.withDrive([&](sim::SimDrive& d) { state = d.raw(240); });
    ASSERT_TRUE(state & 0x0008);
    EXPECT_EQ(words[0].toObject()["word"].toInt(), 240);
    EXPECT_EQ(words[0].toObject()["value"].toInt(), state);
    // Every set bit by number, mnemonic and text; one the data set does not name by its number.
    QJsonArray expected;
    for (int bit = 0; bit < 16; ++bit) {
        if ((state >> bit & 1) == 0)
            continue;
        const bool named = bit == 3;
        expected.append(
            QJsonObject{{"bit", bit},
                        {"mnemonic", named ? QJsonValue("S3") : QJsonValue(QJsonValue::Null)},
                        {"text", named ? QString("Servo on") : QString("bit %1").arg(bit)}});
    }
    ASSERT_GT(expected.size(), 1) << "the drive sets no unnamed bit";
    EXPECT_EQ(words[0].toObject()["bits"].toArray(), expected) << r.out;
    // The plain output names them alike.
    r = zrdctl("status");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("Servo on"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("(unnamed)"), std::string::npos) << r.out;

    // A pseudo-terminal is no USB adapter: listed, with nothing known about it.
    r = zrdctl("ports --json");
    EXPECT_EQ(r.status, 0) << r.err;
    const QJsonObject port = parsed(r.out)["ports"].toArray().at(0).toObject();
    EXPECT_EQ(port["device"].toString().toStdString(), sim.devicePath());
    EXPECT_TRUE(port["latency_ms"].isNull());

    // One object per line and tick; a value the database lacks is null, not 0.
    r = zrdctl("monitor --json --count 2 --interval 0");
    EXPECT_EQ(r.status, 0) << r.err;
    const QStringList ticks = QString::fromStdString(r.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(ticks.size(), 2) << r.out;
    for (int i = 0; i < ticks.size(); ++i) {
        const QJsonObject tick = parsed(ticks[i].toStdString());
        EXPECT_EQ(tick["tick"].toInt(), i);
        EXPECT_EQ(tick["VSET"].toDouble(), 300);
        EXPECT_TRUE(tick["VACT"].isNull());
    }
}

TEST_F(ZrdctlScripting, DiffNamesWhatDiffersAndSaysSoInItsStatus) {
    struct Case {
        double spd;  // the file's value; the drive holds -12
        int status;
        QJsonArray differences;
    };
    for (const Case& c :
         {Case{-12, 0, {}},
          // -12.2 is the drive's raw value too (scale 0.5): no difference.
          Case{-12.2, 0, {}}, Case{5, 1, {QJsonObject{{"name", "SPD"}, {"a", 5}, {"b", -12}}}}}) {
        const std::string file =
            dir.write("drive.prm", params::parameterFileLine("SPD", c.spd) + "\r\n" +
                                       params::parameterFileLine("NOREAD", 1) + "\r\n");
        const Outcome r = zrdctl("diff --json '" + file + "' drive");
        EXPECT_EQ(r.status, c.status) << c.spd << ": " << r.err;
        const QJsonObject o = parsed(r.out);
        EXPECT_EQ(o["differences"].toArray(), c.differences) << c.spd;
        // NOREAD is never read: only SPD is compared.
        EXPECT_EQ(o["compared"].toInt(), 1) << c.spd;
    }
}

// A parameter file goes to the drive and back unchanged; two files compare without a drive,
// with the defaults and the limits that a value passes.
TEST_F(ZrdctlScripting, ParameterFileRoundTripsThroughTheDrive) {
    const std::string saved = dir.file("saved.prm");
    Outcome r = zrdctl("save-params '" + saved + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    const std::string changed =
        dir.write("changed.prm", params::parameterFileLine("SPD", 100.5) + "\r\n");
    r = zrdctl("load-params '" + changed + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    uint16_t spd = 0;
    sim.withDrive([&](sim::SimDrive& d) { spd = d.raw(10); });
    EXPECT_EQ(spd, 201);
    EXPECT_EQ(zrdctl("diff '" + saved + "' drive").status, 1);
    r = zrdctl("load-params '" + saved + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    r = zrdctl("diff '" + saved + "' drive");
    EXPECT_EQ(r.status, 0) << r.out << r.err;

    // SPD's limits are -1000 .. 1000 raw, -500 .. 500 in display units.
    const std::string small =
        dir.write("small.prm", params::parameterFileLine("SPD", 5) + "\r\n" +
                                   params::parameterFileLine("NOREAD", 1) + "\r\n");
    const std::string wide = dir.write("wide.prm", params::parameterFileLine("SPD", 600) + "\r\n");
    r = zrdctl("--port none diff --json --defaults '" + small + "' '" + wide + "'");
    EXPECT_EQ(r.status, 1) << r.err;
    const QJsonArray d = parsed(r.out)["differences"].toArray();
    ASSERT_EQ(d.size(), 2) << r.out;  // SPD differs, NOREAD is in one file only
    const QJsonObject row = d.at(0).toObject();
    EXPECT_EQ(row["name"].toString(), "SPD");
    EXPECT_EQ(row["b"].toDouble(), 600);
    EXPECT_EQ(row["default"].toDouble(), 25);
    EXPECT_EQ(row["limits"].toString().toStdString(), wide + ": 600 is above the maximum 500");

    // A file with a bad line is named with its line, and nothing reaches the drive.
    const std::string bad =
        dir.write("bad.prm", params::parameterFileLine("SPD", 7) + "\r\nSPD=1234567\r\n");
    r = zrdctl("load-params '" + bad + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(bad + ":2: "), std::string::npos) << r.err;
    sim.withDrive([&](sim::SimDrive& d) { spd = d.raw(10); });
    EXPECT_EQ(spd, 0xFFE8);
}

// A file is judged by the limits its own values give: the current limits follow the motor's peak
// current (MPI) the file names, not the default motor's. The comparison the window shows and
// zrdctl diff agree, value for value, on every case.
TEST(DiffLimits, EachFileIsJudgedByItsOwnMotorInTheWindowAndInZrdctl) {
    test::TempDir dir;
    test::RecordingUserInterface ui;
    params::MessageTable messages;
    const std::string data = ZRD_SHIPPED_DATA_DIR;
    messages.load(data + "/" + params::kMessageFileName, ui);
    auto model = std::make_unique<params::ParameterModel>();
    ASSERT_TRUE(
        params::loadDatabase(data + "/" + params::kDatabaseFileName, *model, messages, ui, false)
            .ok());
    model->setLanguage(params::kEnglish);
    const auto at = [&](const char* mnemonic) { return *model->find(mnemonic); };
    // The default motor's peak current bounds the current limit of a file that names no motor.
    const double defaultPeak = model->value(at("MPI"));
    const double biggerPeak = defaultPeak + 5;

    using Values = std::vector<std::pair<std::string, double>>;
    struct Case {
        const char* what;
        Values a;
        Values b;
        // The sides whose value is outside, by parameter: "a", "b" or "ab".
        std::map<std::string, std::string> outside;
    };
    const std::vector<Case> cases = {
        {"a bigger motor's peak current in both",
         {{"MPI", biggerPeak}, {"IFL", biggerPeak}, {"IWL", biggerPeak - 1}},
         {{"MPI", biggerPeak}, {"IFL", biggerPeak}, {"IWL", biggerPeak - 2}},
         {}},
        {"the limit above the file's own motor",
         {{"MPI", biggerPeak}, {"IFL", biggerPeak}},
         {{"MPI", biggerPeak}, {"IFL", biggerPeak + 1}},
         {{"IFL", "b"}}},
        {"no motor in the file: the default one's",
         {{"IFL", biggerPeak}},
         {{"MPI", biggerPeak}, {"IFL", biggerPeak}},
         {{"IFL", "a"}}},
        {"the warning level above the file's own limit",
         {{"MPI", biggerPeak}, {"IFL", defaultPeak}, {"IWL", defaultPeak + 1}},
         {{"MPI", biggerPeak}, {"IFL", biggerPeak}, {"IWL", defaultPeak + 1}},
         {{"IWL", "a"}}},
    };
    const auto file = [&](const std::string& name, const Values& values) {
        std::string text;
        for (const auto& [mnemonic, value] : values)
            text += params::parameterFileLine(mnemonic, value) + "\r\n";
        return dir.write(name, text);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string a = file("a.prm", c.a);
        const std::string b = file("b.prm", c.b);
        // The window's comparison: the program's core over the two files.
        const params::Comparison window = formula::compareSets(
            *model, params::fileSource(params::readParameterFile(a, *model), a),
            params::fileSource(params::readParameterFile(b, *model), b));
        std::map<std::string, std::string> seen;
        std::map<std::string, std::string> notes;
        for (const params::ComparisonRow& row : window.rows) {
            if (!row.aOutside && !row.bOutside)
                continue;
            seen[row.mnemonic] = std::string(row.aOutside ? "a" : "") + (row.bOutside ? "b" : "");
            notes[row.mnemonic] = row.limitNote;
        }
        EXPECT_EQ(seen, c.outside);
        EXPECT_EQ(window.outside, static_cast<int>(c.outside.size()));

        const Outcome r = test::runCommand(std::string("'") + ZRDCTL_PATH + "' --data-dir '" +
                                               data + "' diff --json '" + a + "' '" + b + "'",
                                           dir.file("stderr.txt"));
        EXPECT_EQ(r.status, window.differing == 0 ? 0 : 1) << r.err;
        std::map<std::string, std::string> printed;
        for (const QJsonValue& row : parsed(r.out)["differences"].toArray()) {
            const QJsonObject o = row.toObject();
            if (o.contains("limits"))
                printed[o["name"].toString().toStdString()] = o["limits"].toString().toStdString();
        }
        EXPECT_EQ(printed, notes) << r.out;
    }
}

// The service commands one after the other on the same drive: each exit status tells done,
// refused (by the program or the drive) and link failures apart.
TEST_F(ZrdctlScripting, ServiceCommandsExitAsTheDriveAnswers) {
    struct Case {
        std::string args;
        std::string fault;  // of the drive for this command; "" none
        uint16_t enmod;
        int status;
        std::string out;  // a piece of stdout (status 0) or stderr
    };
    for (const Case& c :
         {Case{"eeprom save-da 1", "", 1, 0, "eeprom save-da: done"},
          Case{"eeprom load-da", "busy", 1, 1, "refused by the drive"},
          Case{"servo on", "", 1, 0, "servo on: done"}, Case{"reset", "", 1, 1, "the servo is on"},
          Case{"servo off", "", 0, 1, "\"ENMOD\" is 0"},
          Case{"servo off", "", 1, 0, "servo off: done"}, Case{"reset", "", 1, 0, "reset: done"},
          Case{"eeprom save", "", 1, 0, "eeprom save: done"}}) {
        sim.withDrive([&](sim::SimDrive& d) {
            d.clearFaults();
            d.setRaw(7, c.enmod);
        });
        if (!c.fault.empty()) {
            // The connection's own exchanges (the generator stop, "HVER") pass first.
            sim::Fault pass{sim::FaultKind::None};
            pass.count = 2;
            sim::Fault fault = *sim::parseFault(c.fault);
            sim.withDrive([&](sim::SimDrive& d) {
                d.addFault(pass);
                d.addFault(fault);
            });
        }
        const Outcome r = zrdctl(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
        EXPECT_NE((c.status == 0 ? r.out : r.err).find(c.out), std::string::npos)
            << c.args << ": " << r.out << r.err;
    }
}

TEST_F(ZrdctlScripting, ExitStatusTellsRefusalUsageAndLinkApart) {
    const std::string silentPort = dir.write("not-a-port", "");
    struct Case {
        std::string args;
        int status;
        std::string err;  // a piece of stderr
    };
    for (const Case& c : {Case{"get SPD", 0, ""}, Case{"set HVER 5", 1, "refused"},
                          Case{"get", 2, "usage: --port DEV get"},
                          Case{"--bogus x get SPD", 2, "unknown option --bogus"},
                          Case{"frobnicate", 2, "unknown command frobnicate"},
                          Case{"help frobnicate", 2, "unknown command frobnicate"},
                          Case{"monitor --count zero", 2, "--count must be a whole number"},
                          // A later --port wins: a file that is no serial port.
                          Case{"--port '" + silentPort + "' get SPD", 3, "cannot"}}) {
        const Outcome r = zrdctl(c.args);
        EXPECT_EQ(r.status, c.status) << c.args << ": " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << ": " << r.err;
    }
}

TEST_F(ZrdctlScripting, EveryCommandHasItsHelp) {
    const Outcome list = zrdctl("--help");
    ASSERT_EQ(list.status, 0);
    for (const char* command :
         {"frame", "decode", "raw",         "messages",   "formula", "db",     "pages",
          "get",   "set",    "read-all",    "write-all",  "diff",    "status", "monitor",
          "ports", "sim",    "filter",      "eeprom",     "reset",   "init",   "servo",
          "mode",  "source", "save-params", "load-params"}) {
        const Outcome help = zrdctl(std::string("help ") + command);
        const Outcome flag = zrdctl(std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_EQ(flag.out, help.out) << command;
        // The synopsis of the command is the first line, as the list of commands shows it.
        const std::string usage = help.out.substr(0, help.out.find('\n'));
        ASSERT_TRUE(usage.starts_with("usage: zrdctl ")) << help.out;
        EXPECT_NE(list.out.find("  " + usage.substr(14)), std::string::npos) << usage;
    }
}

}  // namespace
}  // namespace zrd::cli
