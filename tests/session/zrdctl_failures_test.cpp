// zrdctl's failures as a script sees them, run as a process against the simulated drive on a
// pseudo-terminal: a data set that lacks the parameter a command needs is named as such (never
// a drive that does not answer), a drive that refuses is said to refuse, and init ends with
// message 72 as the window does.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

#include "../sim/shipped_drive.h"
#include "params/message_numbers.h"
#include "params/message_table.h"
#include "recording_ui.h"
#include "run_command.h"
#include "sim_server.h"
#include "temp_dir.h"

namespace zrd::session::zrdctl_failures {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDatabase = "Param_base.mod";

// A copy of the shipped data set whose database lacks the parameter lines matching `drop`.
std::string dataSetWithout(const test::TempDir& dir, const std::string& name,
                           const std::string& drop) {
    const fs::path folder = fs::path(dir.path()) / name;
    fs::create_directories(folder);
    for (const auto& entry : fs::directory_iterator(ZRD_SHIPPED_DATA_DIR))
        if (entry.is_regular_file())
            fs::copy_file(entry.path(), folder / entry.path().filename(),
                          fs::copy_options::overwrite_existing);
    std::ifstream in(folder / kDatabase, std::ios::binary);
    std::stringstream kept;
    std::string line;
    const std::regex dropped(drop);
    while (std::getline(in, line))
        if (!std::regex_search(line, dropped))
            kept << line << '\n';
    in.close();
    std::ofstream(folder / kDatabase, std::ios::binary) << kept.str();
    return folder.string();
}

std::string lastLine(const std::string& text) {
    const size_t end = text.find_last_not_of('\n');
    if (end == std::string::npos)
        return {};
    const size_t start = text.rfind('\n', end);
    return text.substr(start == std::string::npos ? 0 : start + 1,
                       end - (start == std::string::npos ? 0 : start + 1) + 1);
}

class ZrdctlFailures : public ::testing::Test {
protected:
    void SetUp() override {
        messages.load(std::string(ZRD_SHIPPED_DATA_DIR) + "/" + params::kMessageFileName, ui);
        ASSERT_TRUE(sim::test::loadShippedDatabase(model));
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.withDrive([&](sim::SimDrive& d) { d.loadParameters(model); });
        sim.start();
    }
    void TearDown() override { sim.stop(); }

    test::Outcome zrdctl(const std::string& dataDir, const std::string& args) {
        return test::runCommand(std::string("'") + ZRDCTL_PATH + "' --data-dir '" + dataDir +
                                    "' --port " + sim.devicePath() + " " + args,
                                dir.file("err"));
    }
    std::string text(int n, const std::vector<std::string>& arguments = {}) const {
        return params::withArguments(messages.text(n, params::kEnglish), arguments);
    }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    params::MessageTable messages;
    params::ParameterModel model;
    sim::SimServer sim;
};

TEST_F(ZrdctlFailures, ADataSetThatLacksAParameterNamesIt) {
    struct Case {
        const char* name;
        const char* drop;  // the database lines left out
        std::vector<const char*> commands;
        int message;
        const char* parameter;
    };
    const std::vector<Case> cases = {
        {"the state word",
         "^p240=",
         {"status", "servo on", "reset", "mode speed", "source internal", "calcpara", "fg start",
          "step", "filter write --slot 1 --type off"},
         params::kMsgDataSetLacksWord,
         "240"},
        {"the connection check",
         "^p252=HVER,",
         {"get VSET", "status"},
         params::kMsgDataSetLacks,
         "HVER"},
        {"the operating mode",
         "^p[0-9]+=OPMOD,",
         {"mode speed", "fg set --type const --amp 0"},
         params::kMsgDataSetLacks,
         "OPMOD"},
        {"a filter coefficient",
         "^p[0-9]+=F1DEN1,",
         {"filter write --slot 1 --type off"},
         params::kMsgDataSetLacks,
         "F1DEN1"},
        {"a scope channel",
         "^p[0-9]+=CH1SEL,",
         {"scope offline --tick 1 --ch VACT VSET IACT ISET -o never-written.dat", "step"},
         params::kMsgDataSetLacks,
         "CH1SEL"},
    };
    for (const Case& c : cases) {
        const std::string data =
            dataSetWithout(dir, "data" + std::to_string(&c - cases.data()), c.drop);
        for (const char* command : c.commands) {
            SCOPED_TRACE(std::string(c.name) + ": " + command);
            const test::Outcome run = zrdctl(data, command);
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_EQ(lastLine(run.err),
                      "zrdctl: " + text(c.message, {data + "/" + kDatabase, c.parameter}));
        }
    }
}

TEST_F(ZrdctlFailures, ADriveThatRefusesIsSaidToRefuse) {
    struct Case {
        const char* name;
        const char* fault;  // of every reply
        const char* command;
        std::string lastLine;
    };
    const std::vector<Case> cases = {
        {"values refused", "refuse", "mode current", "zrdctl: mode current: refused"},
        {"values refused", "refuse", "config --drive ZRD-KT8 --no-calcpara",
         "zrdctl: config: the drive did not take DT"},
        {"values refused", "refuse", "eeprom save",
         "zrdctl: eeprom save: stored, but not every parameter was written first ("},
        {"commands refused", "busy", "servo on", "zrdctl: servo on: refused by the drive"},
        {"commands refused", "busy", "calcpara", "zrdctl: calcpara: refused by the drive"},
        {"commands refused", "busy", "eeprom save-da 1",
         "zrdctl: eeprom save-da: refused by the drive"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + ": " + c.command);
        sim.withDrive([&](sim::SimDrive& d) {
            d.clearFaults();
            d.addFault(*sim::parseFault(c.fault));
        });
        const test::Outcome run = zrdctl(ZRD_SHIPPED_DATA_DIR, c.command);
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_TRUE(lastLine(run.err).starts_with(c.lastLine)) << run.err;
    }
}

TEST_F(ZrdctlFailures, InitEndsWithTheMessageOfTheWindow) {
    const test::Outcome run = zrdctl(ZRD_SHIPPED_DATA_DIR, "init");
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find(text(params::kMsgDataAreaSaved)), std::string::npos) << run.err;
    EXPECT_EQ(run.out, "init: done\n");
}

}  // namespace
}  // namespace zrd::session::zrdctl_failures
