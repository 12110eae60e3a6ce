// zrdctl config and calcpara, run as a process against the simulated drive on a pseudo-terminal.
#include <gtest/gtest.h>

#include <map>

#include "../sim/shipped_drive.h"
#include "run_command.h"
#include "sim_server.h"
#include "temp_dir.h"

namespace zrd::session {
namespace {

// One drive through a session of commands, each step on what the one before left: the changes
// printed, the exit status and the raw values on the drive.
TEST(ZrdctlConfig, FitsTheMotorPrintsTheChangesAndFailsOnRefusal) {
    struct Step {
        const char* name;
        std::function<void(sim::SimDrive&)> prepare;
        const char* args;
        int status;
        std::vector<std::string> out;  // lines expected among stdout
        const char* err;               // a text expected on stderr ("" none)
        std::map<std::string, int> driveRaw;
    };
    const auto nothing = [](sim::SimDrive&) {};
    const std::vector<Step> steps = {
        {"new motor",
         nothing,
         "config --drive ZRD-KT16 --motor ZSM130-300",
         0,
         {"MT 5 -> 9", "MPI 13.2 -> 37.5", "VLIM max 4500 -> 3000", "IFL default 13.2 -> 37.5",
          "ICONT 4.4 -> 12.5"},
         "",
         {{"MT", 9}, {"MPI", 3750}, {"VLIM", 3000}, {"IFL", 3750}, {"ICONT", 1250}}},
        {"a name not in the table", nothing, "config --motor ZSM999", 2, {}, "ZSM999", {}},
        {"refused",
         [](sim::SimDrive& d) { d.recalculation().refuse = true; },
         "calcpara",
         1,
         {},
         "refused",
         {}},
        {"a new drive refused",
         nothing,
         "config --drive ZRD-KT8",
         1,
         {"DT 6 -> 4"},
         "refused",
         {{"DT", 4}, {"DICONT", 1600}}},
        {"a new drive",
         [](sim::SimDrive& d) { d.recalculation().refuse = false; },
         "config --drive ZRD-KT2",
         0,
         {"DT 4 -> 1", "DICONT 16 -> 2"},
         "",
         {{"DT", 1}, {"DICONT", 200}, {"ICONT", 200}}},
    };
    params::ParameterModel model;
    ASSERT_TRUE(sim::test::loadShippedDatabase(model));
    sim::SimServer sim;
    ASSERT_TRUE(sim.openPty()) << sim.error();
    sim.withDrive([&](sim::SimDrive& d) { d.loadParameters(model); });
    sim.start();
    test::TempDir dir;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.name);
        sim.withDrive(s.prepare);
        const test::Outcome run = test::runCommand(
            std::string("'") + ZRDCTL_PATH + "' --data-dir '" + ZRD_SHIPPED_DATA_DIR + "' --port " +
                sim.devicePath() + " " + s.args,
            dir.file("err"));
        EXPECT_EQ(run.status, s.status) << run.err;
        for (const std::string& line : s.out)
            EXPECT_NE(run.out.find(line + "\n"), std::string::npos) << line << "\n" << run.out;
        EXPECT_NE(run.err.find(s.err), std::string::npos) << run.err;
        if (!*s.err) {
            EXPECT_EQ(run.err, "");
        }
        sim.withDrive([&](sim::SimDrive& d) {
            for (const auto& [name, value] : s.driveRaw)
                EXPECT_EQ(d.raw(*d.indexOf(name)), value) << name;
        });
    }
    sim.stop();
}

}  // namespace
}  // namespace zrd::session
