// zrdctl scope offline, run as a process against the simulated drive's offline recorder on a
// pseudo-terminal: the record read back end to end, with and without a trigger.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "../params/params_test_support.h"
#include "event_bound.h"
#include "link/frame_codec.h"
#include "params/database_loader.h"
#include "recording_ui.h"
#include "run_command.h"
#include "scope/scope_settings.h"
#include "sim_server.h"

namespace zrd::scope {
namespace {

// A fast line: the read-back takes a tenth of its time at 115200 baud.
constexpr int kBaud = 921600;

std::vector<std::vector<std::string>> datRows(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    for (std::string line; std::getline(in, line);) {
        std::istringstream fields(line.substr(0, line.find('\r')));
        rows.emplace_back();
        for (std::string f; fields >> f;)
            rows.back().push_back(f);
    }
    return rows;
}

// Waits (bounded) until the drive's recorder holds at least `samples` samples while armed.
bool armedWith(sim::SimServer& sim, uint64_t samples) {
    return sim.waitUntil(
        [&](const sim::SimDrive& d) {
            return d.offline().phase() == sim::RecorderPhase::PreTrigger &&
                   d.offline().samples() >= samples;
        },
        test::kEventBound);
}

TEST(ZrdctlScopeOffline, ReadsTheRecordBackAsTheDriveRecordedIt) {
    test::TempDir dir;
    test::RecordingUserInterface ui;
    std::filesystem::copy_file(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod",
                               dir.file("Param_base.mod"));
    dir.write("mess.dic", test::messageFile());
    params::MessageTable messages;
    params::ParameterModel model;
    ASSERT_TRUE(params::loadDatabase(dir.file("Param_base.mod"), model, messages, ui, false).ok());

    // Channels: RES1 and RES2 (unsigned words the drive leaves alone; both need escapes),
    // PINFRQ (signed, scale 0.01, the pulse input's frequency), RES3.
    const auto set = [](const char* name, uint16_t raw) {
        return [=](sim::SimDrive& d) { d.setRaw(d.indexOf(name).value_or(0), raw); };
    };
    struct Case {
        const char* name;
        const char* args;
        std::function<void(sim::SimDrive&)> event;  // once armed with 700 samples
        int status;
        const char* summary;
        const char* file;
        int trigger;                        // the record's trigger sample; -1 none
        int source;                         // its channel
        std::array<const char*, 2> around;  // the source before and at the trigger
    };
    for (const Case& c : {
             Case{"no trigger, into a .dat file",
                  "--tick 0 -o run.dat",
                  {},
                  0,
                  "scope offline: records 2048, dropped 0, complete, saved run.dat",
                  "run.dat",
                  -1,
                  0,
                  {}},
             Case{"full buffer, into a .csv file",
                  "--tick 1 --trigger full -o run.csv",
                  {},
                  0,
                  "scope offline: records 2048, dropped 0, complete, saved run.csv",
                  "run.csv",
                  -1,
                  0,
                  {}},
             Case{"a rising edge with 500 samples before it",
                  "--tick 0 --trigger rising --source 4 --level 100 --pre 500 -o run.dat",
                  set("RES3", 0xE4E4),
                  0,
                  "scope offline: records 2048, dropped 0, complete, trigger at sample 500",
                  "run.dat",
                  500,
                  4,
                  {"7.000", "58596.000"}},
             Case{"a falling edge in the channel's units",
                  "--tick 2 --trigger falling --source 2 --level -1.5 --pre 100 -o run.dat",
                  [](sim::SimDrive& d) { d.setPulseInput(-3.21); },
                  0,
                  "scope offline: records 2048, dropped 0, complete, trigger at sample 100",
                  "run.dat",
                  100,
                  2,
                  {"0.000", "-3.210"}},
             Case{"the drive refuses",
                  "--tick 0 -o run.dat",
                  {},
                  1,
                  "Attention: E11",
                  nullptr,
                  -1,
                  0,
                  {}},
         }) {
        SCOPED_TRACE(c.name);
        sim::SimServer sim(kBaud);
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.withDrive([&](sim::SimDrive& d) {
            d.loadParameters(model);
            d.setNoise(0);
            set("RES1", 0xE4E1)(d);
            set("RES2", 0xE2E2)(d);
            set("RES3", 7)(d);
            d.offline().refuse = c.file == nullptr;
        });
        sim.start();
        std::filesystem::remove(dir.file("run.dat"));
        std::filesystem::remove(dir.file("run.csv"));

        test::Outcome run;
        std::thread zrdctl([&] {
            run = test::runCommand("cd '" + dir.path() + "' && '" + ZRDCTL_PATH +
                                       "' --data-dir . --baud " + std::to_string(kBaud) +
                                       " --port " + sim.devicePath() +
                                       " scope offline --ch RES1 PINFRQ RES2 RES3 " + c.args,
                                   dir.file("err"));
        });
        if (c.event) {
            EXPECT_TRUE(armedWith(sim, 700));
            sim.withDrive(c.event);
        }
        zrdctl.join();
        EXPECT_EQ(run.status, c.status) << run.err;
        EXPECT_NE((c.status == 0 ? run.out : run.err).find(c.summary), std::string::npos)
            << run.out << run.err;
        sim.withDrive([&](sim::SimDrive& d) {
            // "OSCMOD" 0 and the channels reached the drive; a level in the channel's units
            // went as the source's raw value.
            EXPECT_EQ(d.raw(d.indexOf("OSCMOD").value_or(0)), 0);
            EXPECT_EQ(d.raw(d.indexOf("CH3SEL").value_or(0)), findScopeSignal(model, "RES2"));
            if (c.source == 2) {
                EXPECT_EQ(static_cast<int16_t>(d.raw(d.indexOf("TRGLEV").value_or(0))), -150);
            }
            if (c.trigger >= 0) {
                EXPECT_EQ(d.raw(d.indexOf("OSCTRG").value_or(0)), c.trigger);
            }
        });
        sim.stop();
        if (!c.file) {
            EXPECT_FALSE(std::filesystem::exists(dir.file("run.dat")));
            continue;
        }

        const std::string file = dir.file(c.file);
        if (std::string_view(c.file).ends_with(".csv")) {
            std::ifstream in(file);
            std::vector<std::string> lines;
            for (std::string line; std::getline(in, line);)
                lines.push_back(line.substr(0, line.find('\r')));
            ASSERT_EQ(lines.size(), 2048u);
            EXPECT_EQ(lines.front(), "58593,0,58082,7");
            EXPECT_EQ(lines.back(), "58593,0,58082,7");
            continue;
        }
        // Scope kind 0, the header, the channel names, 2049 records, sample index in slot 4.
        const auto rows = datRows(file);
        ASSERT_GE(rows.size(), 10u + 2049u);
        EXPECT_EQ(rows[0], (std::vector<std::string>{"0"}));
        EXPECT_EQ(rows[9], (std::vector<std::string>{"N", "RES1", "PINFRQ", "RES2", "RES3"}));
        for (int n = 0; n < 2048; ++n) {
            const auto& row = rows[static_cast<size_t>(10 + n)];
            ASSERT_EQ(row.size(), 6u) << n;
            EXPECT_EQ(row[0], std::to_string(n));
            EXPECT_EQ(row[5], std::to_string(n));
            EXPECT_EQ(row[1], "58593.000") << n;
            if (c.source != 4) {
                EXPECT_EQ(row[4], "7.000") << n;
            }
        }
        EXPECT_EQ(rows[10 + 2048],
                  (std::vector<std::string>{"2048", "0.000", "0.000", "0.000", "0.000", "0"}));
        if (c.trigger < 0)
            continue;
        const auto source = static_cast<size_t>(c.source);
        EXPECT_EQ(rows[static_cast<size_t>(10 + c.trigger - 1)][source], c.around[0]);
        EXPECT_EQ(rows[static_cast<size_t>(10 + c.trigger)][source], c.around[1]);
        EXPECT_EQ(rows[10][source], c.around[0]);
        EXPECT_EQ(rows[10 + 2047][source], c.around[1]);
    }
}

// A record started by the generator's motion: zrdctl arms, starts the generator under the
// capture's hold and stops it afterwards; the command channel shows the motion after the
// trigger and rests before it.
TEST(ZrdctlScopeOffline, RecordsTheGeneratorsMotion) {
    test::TempDir dir;
    sim::SimServer sim(kBaud);
    ASSERT_TRUE(sim.openPty()) << sim.error();
    test::RecordingUserInterface ui;
    params::MessageTable messages;
    params::ParameterModel model;
    ASSERT_TRUE(params::loadDatabase(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod", model,
                                     messages, ui, false)
                    .ok());
    sim.withDrive([&](sim::SimDrive& d) {
        d.loadParameters(model);
        d.setNoise(0);
        d.setRaw(d.indexOf("INST").value_or(0), 1);
        d.setRaw(d.indexOf("IIT").value_or(0), 3);  // a sine of 300 rpm, 20 ms
        d.setRaw(d.indexOf("IIP1V").value_or(0), 300);
        d.setRaw(d.indexOf("IIP3V").value_or(0), 20);
        ASSERT_TRUE(d.answer({link::kCmdServoOn}).has_value());
    });
    sim.start();
    const test::Outcome run = test::runCommand(
        "cd '" + dir.path() + "' && '" + ZRDCTL_PATH + "' --data-dir '" + ZRD_SHIPPED_DATA_DIR +
            "' --baud " + std::to_string(kBaud) + " --port " + sim.devicePath() +
            " scope offline --tick 0 --ch VSET VACT IACT ISET --trigger fg --pre 50 --start-fg"
            " -o fg.dat",
        dir.file("err"));
    bool generatorRunning = true;
    sim.withDrive([&](sim::SimDrive& d) { generatorRunning = d.generatorRunning(); });
    sim.stop();
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("records 2048, dropped 0, complete, trigger at sample"),
              std::string::npos)
        << run.out;
    EXPECT_FALSE(generatorRunning);

    const auto rows = datRows(dir.file("fg.dat"));
    ASSERT_GE(rows.size(), 10u + 2048u);
    const int trigger = std::stoi(run.out.substr(run.out.find("sample ") + 7));
    ASSERT_GT(trigger, 0);
    const auto command = [&](int n) { return std::stod(rows[static_cast<size_t>(10 + n)][1]); };
    double before = 0.0;
    double after = 0.0;
    for (int n = 0; n < 2048; ++n)
        (n < trigger ? before : after) =
            std::max(n < trigger ? before : after, std::abs(command(n)));
    EXPECT_EQ(before, 0.0);
    EXPECT_NEAR(after, 300.0, 1.0);
}

}  // namespace
}  // namespace zrd::scope
