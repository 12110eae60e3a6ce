// zrdctl's db, get and set subcommands, run as a process against the simulated drive.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "params/database_loader.h"
#include "params/message_numbers.h"
#include "params/parameter_file.h"
#include "params_test_support.h"
#include "recording_ui.h"
#include "run_command.h"
#include "sim_server.h"

namespace zrd::params {
namespace {

using test::ParamFields;

using test::fields;
using test::Outcome;

class ZrdctlParams : public ::testing::Test {
protected:
    void SetUp() override {
        const std::vector<std::string> lines = test::database({
            fields("P1", "HVER", 3, "UINT", "R", 0, 65535, "1", 0).line(),
            fields("P2", "SPD", 10, "INT", "R-W", -1000, 1000, "0.5", 50).line(),
            fields("P3", "NOREAD", 11, "UINT", "-", 0, 10, "1", 1).line(),
        });
        dir.write("Param_base.mod", "\xEF\xBB\xBF" + test::joinLines(lines));
        dir.write("mess.dic", test::messageFile());
        MessageTable messages;
        messages.load(dir.file("mess.dic"), ui);
        ASSERT_TRUE(loadDatabaseLines(lines, model, messages, ui, false).ok());
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.withDrive([&](sim::SimDrive& d) { d.loadParameters(model); });
        sim.start();
    }

    // Runs zrdctl with the test's data folder and port; stdout and stderr apart.
    Outcome zrdctl(const std::string& args) {
        return test::runCommand(std::string("'") + ZRDCTL_PATH + "' --data-dir '" + dir.path() +
                                    "' --port " + sim.devicePath() + " " + args,
                                dir.file("stderr.txt"));
    }

    uint16_t raw(uint8_t index) {
        uint16_t value = 0;
        sim.withDrive([&](sim::SimDrive& d) { value = d.raw(index); });
        return value;
    }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    std::unique_ptr<ParameterModel> owner = std::make_unique<ParameterModel>();
    ParameterModel& model = *owner;
    sim::SimServer sim;
};

TEST_F(ZrdctlParams, GetPrintsDisplayValues) {
    sim.withDrive([](sim::SimDrive& d) { d.setRaw(10, 0xFFE8); });
    const Outcome r = zrdctl("get SPD HVER");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "SPD -12\nHVER 210\n");
}

TEST_F(ZrdctlParams, SetWritesWhatTheLimitsAllow) {
    struct Case {
        const char* value;
        int status;
        std::string out;
        uint16_t raw;
        const char* err;  // a piece of stderr, or empty when nothing is said
    };
    for (const Case& c :
         {Case{"-12.25", 0, "SPD -12\n", 0xFFE8, ""}, Case{"500", 0, "SPD 500\n", 1000, ""},
          // Outside the limits (raw 1001) nothing is written; the limits are named.
          Case{"500.5", 1, "", 1000, "P2 SPD: 500.5\nE85-500 .. 500"},
          // A text that is no number is a usage error (2), not a refusal (1).
          Case{"x", 2, "", 1000, "not a number"}, Case{"nan", 2, "", 1000, "not a number"},
          Case{"inf", 2, "", 1000, "not a number"}, Case{"0x10", 2, "", 1000, "not a number"},
          Case{"1e999", 2, "", 1000, "out of range"}, Case{"1e300", 1, "", 1000, "E85"},
          Case{"100000", 1, "", 1000, "E85"}}) {
        const Outcome r = zrdctl(std::string("set SPD ") + c.value);
        EXPECT_EQ(r.status, c.status) << c.value << ": " << r.err;
        EXPECT_EQ(r.out, c.out) << c.value;
        EXPECT_EQ(raw(10), c.raw) << c.value;
        if (*c.err)
            EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        else
            EXPECT_EQ(r.err, "") << c.value;
    }
}

TEST_F(ZrdctlParams, RefusedWriteShowsMessage88AndTheRestoredValue) {
    const Outcome r = zrdctl("set HVER 5");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "HVER 210\n");
    EXPECT_NE(r.err.find("Attention: P1 HVER: refused"), std::string::npos) << r.err;
    EXPECT_EQ(raw(3), sim::kHardwareVersion);
}

TEST_F(ZrdctlParams, FailuresEndWithAReason) {
    struct Case {
        const char* args;
        int status;
        const char* err;
    };
    for (const Case& c :
         {Case{"get NOPE", 2, "no parameter NOPE"}, Case{"get NOREAD", 1, "NOREAD is never read"},
          Case{"set SPD", 2, "usage"}}) {
        const Outcome r = zrdctl(c.args);
        EXPECT_EQ(r.status, c.status) << c.args;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << c.args << ": " << r.err;
    }
}

// Every command that talks to the drive connects as the program does (the "HVER" check) and
// ends with a one-line reason when no drive answers.
TEST_F(ZrdctlParams, DriveCommandsOnASilentDriveEndWithAReason) {
    const std::string file = dir.write("f.prm", parameterFileLine("SPD", 1) + "\r\n");
    sim.withDrive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 4, -1}); });
    for (const std::string& args :
         std::vector<std::string>{"get SPD", "set SPD 1", "read-all", "write-all '" + file + "'",
                                  "status", "monitor --count 1"}) {
        const Outcome r = zrdctl(args);
        EXPECT_EQ(r.status, 3) << args;
        const std::string last = r.err.substr(r.err.rfind("zrdctl: "));
        EXPECT_EQ(last, "zrdctl: no drive answers on " + sim.devicePath() + "\n") << args;
        EXPECT_EQ(r.out.find("SPD"), std::string::npos) << args << ": " << r.out;
    }
}

TEST_F(ZrdctlParams, DbCheckCountsOrNamesTheBadLine) {
    Outcome r = zrdctl("db check");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("parameters 3\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("language Eng\n"), std::string::npos) << r.out;

    const std::string bad = "P9=BAD,x,UINT,R-W,0,1,1,,,0,a,b,0,0,1";
    const std::string file = dir.write("bad.mod", test::joinLines(test::database({bad})));
    r = zrdctl("db check '" + file + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("Attention: Bad line: " + bad), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(file + ", line 3: "), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("stopped at line 3"), std::string::npos) << r.err;
}

TEST_F(ZrdctlParams, DbListShowsDisplayUnitsInTheChosenLanguage) {
    Outcome r = zrdctl("db list --lang Rus");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("SPD       10    INT   R-W    -500        500         25          ед"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("SPD рус"), std::string::npos) << r.out;
}

TEST_F(ZrdctlParams, ReadAllFileWrittenBackByWriteAll) {
    sim.withDrive([](sim::SimDrive& d) { d.setRaw(10, 0xFFE8); });
    const std::string file = dir.file("backup.prm");
    Outcome r = zrdctl("read-all -o '" + file + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("read-all: 3 parameters, 0 failures"), std::string::npos) << r.out;

    sim.withDrive([](sim::SimDrive& d) { d.setRaw(10, 7); });
    r = zrdctl("write-all '" + file + "'");
    EXPECT_EQ(r.status, 0) << r.err;
    // The read-only parameter is never written.
    EXPECT_EQ(r.out,
              "SPD        accepted\nNOREAD     accepted\nwrite-all: 2 parameters, 0 refused, "
              "0 unanswered, " +
                  r.out.substr(r.out.rfind(", ") + 2));
    EXPECT_EQ(raw(10), 0xFFE8);
}

// A file with any line that does not load is refused whole before the drive is touched, with
// file and line of each fault.
TEST_F(ZrdctlParams, WriteAllRefusesAFileWithABadLine) {
    const std::string good = parameterFileLine("NOREAD", 2) + "\r\n";
    const std::string value = parameterFileLine("SPD", 0).substr(0, 40);
    struct Case {
        std::string bytes;
        std::string err;
    };
    for (const Case& c : {Case{good + value + "nan\r\n", ":2: \"nan\" is not a number"},
                          Case{good + value + "100000\r\n", ":2: 100000 is outside the range"},
                          Case{"", ":1: the file holds no parameter line"},
                          Case{std::string("\x7f"
                                           "ELF\x02\x00\x00\xff\r\n\x01",
                                           10),
                               ":1: no \"=\" in the line"}}) {
        const std::string file = dir.write("bad.prm", c.bytes);
        const Outcome r = zrdctl("write-all '" + file + "'");
        EXPECT_EQ(r.status, 1) << c.err;
        EXPECT_NE(r.err.find("zrdctl: " + file + c.err), std::string::npos) << r.err;
        EXPECT_EQ(r.out, "") << c.err;
        EXPECT_EQ(raw(11), 1) << c.err;  // NOREAD's default: the good line was not written
    }
}

TEST_F(ZrdctlParams, MonitorPrintsADashForWhatIsNotRead) {
    const Outcome r = zrdctl("monitor --count 2 --interval 0");
    // The test database holds none of the monitor parameters: nothing is read, nothing failed.
    EXPECT_EQ(r.status, 0) << r.err;
    const std::string dashes =
        "         -          -        -        -        -        -"
        "            -            -        -        -   -        -\n";
    EXPECT_EQ(r.out.substr(r.out.find('\n') + 1), dashes + dashes);
}

// The drive falls silent while the monitor runs: it ends with a reason, not with status 0.
TEST_F(ZrdctlParams, MonitorEndsWhenTheDriveFallsSilent) {
    dir.write(
        "Param_base.mod",
        "\xEF\xBB\xBF" + test::joinLines(test::database({
                             fields("P1", "HVER", 3, "UINT", "R", 0, 65535, "1", 0).line(),
                             fields("P2", "VSET", 10, "INT", "R-W", -1000, 1000, "1", 0).line(),
                         })));
    const std::string errFile = dir.file("stderr.txt");
    const std::string command = std::string("'") + ZRDCTL_PATH + "' --data-dir '" + dir.path() +
                                "' --port " + sim.devicePath() +
                                " monitor --count 500 --interval 0 2>'" + errFile + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    char line[512];
    // The header, then the first tick: the drive answered it.
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    ASSERT_NE(std::fgets(line, sizeof line, pipe), nullptr);
    EXPECT_EQ(std::string(line).substr(0, 10), "        50");  // the raw the drive holds
    sim.withDrive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 4, -1}); });
    int ticks = 1;
    while (std::fgets(line, sizeof line, pipe))
        ++ticks;
    const int status = ::pclose(pipe);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 3);
    EXPECT_LT(ticks, 500);
    std::ifstream err(errFile);
    std::stringstream text;
    text << err.rdbuf();
    EXPECT_EQ(text.str(), "zrdctl: the drive on " + sim.devicePath() + " does not answer\n");
}

TEST_F(ZrdctlParams, PagesAndTheParametersOfOnePage) {
    Outcome r = zrdctl("pages");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "PAGE  ROWS  GROUP                         NAME\n"
              "1     3     1                             \n");
    r = zrdctl("db list --page 1");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.out.find("\nHVER "), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\nNOREAD "), std::string::npos) << r.out;
    r = zrdctl("db list --page 2");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("--page must be a whole number from 1 to 1"), std::string::npos) << r.err;
}

TEST_F(ZrdctlParams, ReadAllPrintsEveryValueOrADash) {
    sim.withDrive([](sim::SimDrive& d) { d.setRaw(10, 4); });
    const Outcome r = zrdctl("read-all");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find("read-all:")),
              "HVER       210\nSPD        2\nNOREAD     1\n");
}

TEST_F(ZrdctlParams, StatusWithoutStatusWordsSaysSo) {
    const Outcome r = zrdctl("status");
    // The test database has no status words: every row says so.
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.out.find("240 state            not in the database"), std::string::npos) << r.out;
    // The reason names the data set's lack (message 142), not a drive that does not answer.
    MessageTable messages;
    messages.load(dir.file("mess.dic"), ui);
    EXPECT_NE(r.err.find("zrdctl: " + withArguments(messages.text(kMsgDataSetLacksWord, kEnglish),
                                                    {dir.file("Param_base.mod"),
                                                     "240, 241, 242, 243, 244, 246"})),
              std::string::npos)
        << r.err;
}

}  // namespace
}  // namespace zrd::params
