// zrdctl scope online, run as a process against the simulated drive streaming on a
// pseudo-terminal.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "../params/params_test_support.h"
#include "event_bound.h"
#include "sim_server.h"

namespace zrd::scope {
namespace {

std::string readAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> lines(const std::string& path) {
    std::vector<std::string> out;
    std::istringstream in(readAll(path));
    for (std::string line; std::getline(in, line);)
        out.push_back(line.substr(0, line.find('\r')));
    return out;
}

// The whitespace-separated fields of a line.
std::vector<std::string> fields(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> out;
    for (std::string f; in >> f;)
        out.push_back(f);
    return out;
}

TEST(ZrdctlScope, SavesWhatTheDriveStreams) {
    struct Case {
        const char* name;
        sim::ScopeFaults faults;
        uint16_t rateCode;  // 1000, 500, 250, 125 Hz
        const char* args;
        int status;
        const char* summary;  // on stdout, or on stderr for a failure
        const char* file;
    };
    const char* const rates[] = {"", "1000", "500", "250", "125"};
    for (const Case& c : {
             Case{"1000 Hz into a .dat file",
                  {},
                  1,
                  "--samples 300 -o run.dat",
                  0,
                  "scope online: samples 300, dropped 0, rate ",
                  "run.dat"},
             Case{"500 Hz into a .csv file, every 7th frame broken",
                  {false, 7, false},
                  2,
                  "--samples 100 -o run.csv",
                  0,
                  "scope online: samples 100, dropped 16, rate ",
                  "run.csv"},
             Case{"the drive refuses",
                  {true, 0, false},
                  3,
                  "-o run.dat",
                  1,
                  "Attention: E11",
                  nullptr},
             Case{"the drive falls silent",
                  {false, 0, true},
                  4,
                  "-o run.dat",
                  0,
                  "scope online: samples 0, dropped 0, rate 0.0 Hz, drive fell silent",
                  "run.dat"},
         }) {
        SCOPED_TRACE(c.name);
        test::TempDir dir;
        std::filesystem::copy_file(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod",
                                   dir.file("Param_base.mod"));
        dir.write("mess.dic", test::messageFile());
        // A bare drive: signal n samples drive index n. Channel 1 is IACT (signal 3, signed,
        // scale 0.01), channel 2 STA (signal 1, unsigned); both values need escapes.
        sim::SimServer sim;
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.withDrive([&](sim::SimDrive& d) {
            d.setRaw(3, 0xFFE1);
            d.setRaw(1, 0xE4E2);
            d.scopeFaults() = c.faults;
        });
        sim.start();

        const std::string command =
            std::string("'") + ZRDCTL_PATH + "' --data-dir '" + dir.path() + "' --port " +
            sim.devicePath() + " scope online --ch1 IACT --ch2 STA --rate " + rates[c.rateCode] +
            " " + c.args + " 2>'" + dir.file("err") + "'";
        std::string out;
        FILE* pipe = ::popen(("cd '" + dir.path() + "' && " + command).c_str(), "r");
        ASSERT_NE(pipe, nullptr);
        char buffer[512];
        while (std::fgets(buffer, sizeof buffer, pipe))
            out += buffer;
        const int status = ::pclose(pipe);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), c.status) << readAll(dir.file("err"));
        EXPECT_NE((c.status == 0 ? out : readAll(dir.file("err"))).find(c.summary),
                  std::string::npos)
            << out << readAll(dir.file("err"));
        EXPECT_EQ(std::filesystem::exists(dir.file("run.dat")) ||
                      std::filesystem::exists(dir.file("run.csv")),
                  c.file != nullptr);
        // The stop frame reaches the drive, which then stops streaming.
        (void)sim.waitUntil([](const sim::SimDrive& d) { return !d.scope().streaming; },
                            test::kEventBound);
        const sim::ScopeStream stream = sim.scope();
        EXPECT_FALSE(stream.streaming);
        if (c.status == 0) {
            EXPECT_EQ((std::array{stream.rate, stream.ch1, stream.ch2}),
                      (std::array<uint8_t, 3>{static_cast<uint8_t>(c.rateCode), 3, 1}));
        }
        // "OSCMOD", "MDFRQ", "MDTYP1" and "MDTYP2" (drive indexes 56..59) were written first.
        sim.withDrive([&](sim::SimDrive& d) {
            EXPECT_EQ((std::array{d.raw(56), d.raw(57), d.raw(58), d.raw(59)}),
                      (std::array<uint16_t, 4>{1, c.rateCode, 3, 1}));
        });
        sim.stop();

        if (!c.file || stream.frames == 0)
            continue;
        // The values as the drive's memory held them, each in the signal's scale and sign.
        const std::vector<std::string> text = lines(dir.file(c.file));
        if (std::string_view(c.file).ends_with(".dat")) {
            ASSERT_EQ(text.size(), 10u + 10000 + 1 + 300);
            EXPECT_EQ(fields(text[9]), (std::vector<std::string>{"N", "IACT", "STA", "N", "N"}));
            for (const size_t record : {0, 299})
                EXPECT_EQ(fields(text[10 + record]),
                          (std::vector<std::string>{std::to_string(record), "-0.310", "58594.000",
                                                    "0.000", "0.000", "0"}));
            EXPECT_EQ(fields(text[10 + 300])[1], "0.000");
        } else {
            ASSERT_EQ(text.size(), 2048u);
            EXPECT_EQ(text[0], "-0.31,58594,0,0");
            EXPECT_EQ(text[99], "-0.31,58594,0,0");
            EXPECT_EQ(text[100], "0,0,0,0");
        }
    }
}

}  // namespace
}  // namespace zrd::scope
