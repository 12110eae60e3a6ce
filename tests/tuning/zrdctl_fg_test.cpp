// zrdctl fg, run as a process against the simulated drive on a pseudo-terminal.
#include <gtest/gtest.h>

#include <filesystem>

#include "../params/params_test_support.h"
#include "link/frame_codec.h"
#include "params/database_loader.h"
#include "recording_ui.h"
#include "run_command.h"
#include "sim_server.h"

namespace zrd::tuning {
namespace {

struct Value {
    const char* name;
    int raw;
};

TEST(ZrdctlFg, WritesStartsAndRefusesAsTheWindowDoes) {
    struct Case {
        const char* name;
        int mode;    // "OPMOD"
        int source;  // "INST"
        bool servoOn;
        bool busyDrive;  // commands answered with status 3
        const char* args;
        int status;
        const char* err;  // a text on stderr ("" none expected)
        std::vector<Value> values;
        bool generatorRuns;
    };
    // The shipped defaults stay where nothing may be written.
    const std::vector<Value> untouched = {{"IIT", 3}, {"IIP1V", 500}, {"IIP3V", 100}};
    // clang-format off
    for (const Case& c : std::vector<Case>{
        {"sine in speed mode", 2, 1, false, false, "set --type sine --amp 1500 --period 100", 0,
         "", {{"IIT", 3}, {"IIP1V", 1500}, {"IIP2V", 0}, {"IIP3V", 100}, {"PCRT", 0}}, false},
        {"constant in current mode", 1, 1, false, false, "set --type const --amp 10", 0, "",
         {{"IIT", 1}, {"IIP1V", 707}, {"IIP1U", 0}}, false},
        {"a fraction in speed mode", 2, 1, false, false, "set --type sine --amp 12.7", 1,
         "Attention: E84", untouched, false},
        {"beyond 60 A", 1, 1, false, false, "set --type sine --amp 61", 1, "Attention: E46",
         untouched, false},
        {"chirp", 2, 1, false, false, "set --type chirp --amp 100 --period 10 --width 2000", 0,
         "", {{"IIT", 4}, {"IIP4V", 10}, {"IIP3V", 2000}}, false},
        {"start, servo off", 2, 1, false, false, "start", 1, "Attention: E77", {}, false},
        {"start, external source", 2, 3, true, false, "start", 1, "Attention: E76", {}, false},
        {"start", 2, 1, true, false, "start", 0, "", {}, true},
        {"start refused by the drive", 2, 1, true, true, "start", 1, "Attention: E78", {}, false},
        {"stop", 2, 1, true, false, "stop", 0, "", {}, false},
    }) {
        // clang-format on
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::filesystem::copy_file(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod",
                                   dir.file("Param_base.mod"));
        dir.write("mess.dic", test::messageFile());
        auto model = std::make_unique<params::ParameterModel>();
        test::RecordingUserInterface ui;
        params::MessageTable none;
        ASSERT_TRUE(params::loadDatabase(dir.file("Param_base.mod"), *model, none, ui, false).ok());

        sim::SimServer sim;
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.withDrive([&](sim::SimDrive& d) {
            d.loadParameters(*model);
            d.setRaw(*d.indexOf("OPMOD"), static_cast<uint16_t>(c.mode));
            d.setRaw(*d.indexOf("INST"), static_cast<uint16_t>(c.source));
            if (c.servoOn) {
                ASSERT_TRUE(d.answer({zrd::link::kCmdServoOn, 0, 0, 0}));
            }
            if (c.busyDrive)
                d.addFault({sim::FaultKind::Busy});
        });
        sim.start();
        const test::Outcome run =
            test::runCommand(std::string("'") + ZRDCTL_PATH + "' --data-dir '" + dir.path() +
                                 "' --port " + sim.devicePath() + " fg " + c.args,
                             dir.file("err"));
        sim.stop();

        EXPECT_EQ(run.status, c.status) << run.err;
        if (*c.err) {
            EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
        }
        sim.withDrive([&](sim::SimDrive& d) {
            for (const Value& v : c.values) {
                const uint8_t i = *d.indexOf(v.name);
                EXPECT_EQ(d.isSigned(i) ? static_cast<int16_t>(d.raw(i)) : d.raw(i), v.raw)
                    << v.name;
            }
            EXPECT_EQ(d.generatorRunning(), c.generatorRuns);
        });
    }
}

}  // namespace
}  // namespace zrd::tuning
