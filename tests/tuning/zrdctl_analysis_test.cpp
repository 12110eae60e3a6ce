// zrdctl scope convert and zrdctl bode, run as processes on a file the program wrote.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <memory>
#include <numbers>
#include <regex>
#include <sstream>

#include "../params/params_test_support.h"
#include "core/number_text.h"
#include "core/text_file.h"
#include "link/frame_codec.h"
#include "params/database_loader.h"
#include "recording_ui.h"
#include "run_command.h"
#include "scope/oscillogram_file.h"
#include "servo_plant.h"
#include "servo_plant_response.h"
#include "sim_server.h"
#include "speed_loop_rig.h"

namespace zrd::tuning {
namespace {

std::string bytesOf(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> rows(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        out.push_back(line);
    return out;
}

class ZrdctlAnalysis : public ::testing::Test {
protected:
    void SetUp() override {
        auto messages = test::loadMessages(dir, ui);
        ASSERT_TRUE(params::loadDatabase(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod",
                                         *model, *messages, ui, false)
                        .ok());
        // An offline record at 1 ms: channel 2 is channel 1 doubled and 3 samples late.
        osc->kind = scope::ScopeKind::Offline;
        osc->header = {scope::makeStamp("09.12.26", "10:00:00"),
                       scope::makeStamp("09.12.26", "10:00:02"), 1000.0, 0.001};
        osc->channel(1).name = "FGOUT";
        osc->channel(2).name = "VACT";
        osc->comments = "chirp\r\n";
        uint32_t seed = 11;
        std::array<double, 2048> x{};
        for (double& v : x) {
            seed = seed * 1664525U + 1013904223U;
            v = std::round((static_cast<double>(seed >> 8) / (1U << 23) - 1.0) * 100000) / 1000;
        }
        for (int n = 0; n < scope::kOfflineRecordCount; ++n) {
            osc->buffer.setValue(n, 0, x[static_cast<size_t>(n % 2048)]);
            osc->buffer.setValue(n, 1, 2 * x[static_cast<size_t>((n + 2048 - kDelay) % 2048)]);
            osc->buffer.setValue(n, scope::kSampleIndexSlot, n);
        }
        input = dir.file("rec.dat");
        ASSERT_TRUE(scope::writeDatFile(input, *osc, *model).ok);
    }

    test::Outcome zrdctl(const std::string& args) {
        return test::runCommand("cd '" + dir.path() + "' && '" + ZRDCTL_PATH + "' --data-dir '" +
                                    ZRD_SHIPPED_DATA_DIR + "' " + args,
                                dir.file("err"));
    }

    static constexpr int kDelay = 3;
    test::TempDir dir;
    test::RecordingUserInterface ui;
    std::unique_ptr<params::ParameterModel> model = std::make_unique<params::ParameterModel>();
    std::unique_ptr<scope::Oscillogram> osc = std::make_unique<scope::Oscillogram>();
    std::string input;
};

TEST_F(ZrdctlAnalysis, BodePrintsTheResponseAndWritesTheSpectra) {
    // Doubling: +6.021 dB; 3 samples late: −360° · 3 · k / 2048 at bin k (48.828125 Hz at 100).
    struct Case {
        std::string args;
        size_t rows;
        size_t row;
        std::string expected;
    };
    for (const Case& c : {
             Case{"--fmax 100 --dir out", 206, 100, "48.8281 6.021 -52.73"},
             Case{"--dir out", 1024, 1023, "499.5117 6.021 -539.47"},
             Case{"--dir out --at 48.828125 10", 2, 0, "48.8281 6.021 -52.73"},
         }) {
        SCOPED_TRACE(c.args);
        std::filesystem::create_directories(dir.file("out"));
        const test::Outcome run = zrdctl("bode rec.dat --in 1 --out 2 " + c.args);
        ASSERT_EQ(run.status, 0) << run.err;
        const std::vector<std::string> out = rows(run.out);
        ASSERT_EQ(out.size(), c.rows);
        EXPECT_EQ(out[c.row], c.expected);
        EXPECT_EQ(out[0].substr(0, 7),
                  c.args.find("--at") == std::string::npos ? "0.0000 " : "48.8281");
        EXPECT_NE(run.err.find("bode: df 0.488281 Hz, peak 6.021 dB"), std::string::npos)
            << run.err;
        for (const char* file : {"out/fft1.csv", "out/fft2.csv", "out/bode_m.csv"})
            EXPECT_EQ(readTextFile(dir.file(file)).lines.size(),
                      std::string_view(file).ends_with("bode_m.csv") ? 1024u : 2048u);
        std::filesystem::remove_all(dir.file("out"));
    }
}

TEST_F(ZrdctlAnalysis, ConvertRewritesTheFileAndRefusesABrokenOne) {
    // The .dat rewritten is the file itself; the .csv has the first 2048 records.
    ASSERT_EQ(zrdctl("scope convert rec.dat -o again.dat").status, 0);
    EXPECT_EQ(bytesOf(dir.file("again.dat")), bytesOf(input));
    const test::Outcome csv = zrdctl("scope convert rec.dat -o rec.csv");
    ASSERT_EQ(csv.status, 0) << csv.err;
    EXPECT_EQ(csv.out, "scope convert: offline, 2049 records, written to rec.csv\n");
    const std::vector<std::string> lines = readTextFile(dir.file("rec.csv")).lines;
    ASSERT_EQ(lines.size(), 2048u);
    EXPECT_EQ(lines[2047], formatGeneral(osc->buffer.value(2047, 0)) + "," +
                               formatGeneral(osc->buffer.value(2047, 1)) + ",0,0");

    const std::string whole = bytesOf(input);
    dir.write("cut.dat", whole.substr(0, whole.size() / 2));
    for (const char* args : {"scope convert cut.dat -o cut.csv", "bode cut.dat --in 1 --out 2"}) {
        SCOPED_TRACE(args);
        const test::Outcome run = zrdctl(args);
        EXPECT_EQ(run.status, 1);
        EXPECT_NE(run.err.find("cut.dat: line "), std::string::npos) << run.err;
        EXPECT_FALSE(std::filesystem::exists(dir.file("cut.csv")));
    }
}

// A chirp of the simulated drive's function generator, recorded offline and analysed: its Bode
// response is the plant's, and the magnitude peaks near the plant's resonance.
TEST(ZrdctlChirp, TheBodeOfARecordedChirpIsThePlantsResponse) {
    // Speed mode, internal source, servo on. The record (2048 × 0.25 ms) starts with the
    // generator and holds exactly one sweep of the chirp, 250 to 800 Hz.
    SpeedLoopRig rig;
    ASSERT_TRUE(rig.start(true, false));
    const auto zrdctl = [&](const std::string& args) { return rig.zrdctl(args); };
    for (const char* args :
         {"fg set --type chirp --amp 300 --period 250 --width 800",
          "scope offline --tick 0 --ch VSET VACT 0 0 --trigger fg --start-fg -o chirp.dat"}) {
        SCOPED_TRACE(args);
        const test::Outcome run = zrdctl(args);
        ASSERT_EQ(run.status, 0) << run.err;
    }
    rig.sim.stop();

    // Across the sweep, away from its ends, where the chirp's energy is still building up.
    std::vector<double> at;
    for (double f = 270.0; f <= 770.0; f += 20.0)
        at.push_back(f);
    std::string args = "bode chirp.dat --in 1 --out 2 --fmax 1000 --at";
    for (const double f : at)
        args += " " + std::to_string(f);
    const test::Outcome bode = zrdctl(args);
    ASSERT_EQ(bode.status, 0) << bode.err;
    const std::vector<std::string> out = rows(bode.out);
    ASSERT_EQ(out.size(), at.size());
    std::vector<std::complex<double>> plant;
    double peak = 0.0;
    for (const double f : at) {
        plant.push_back(test::plantResponse(f));
        peak = std::max(peak, std::abs(plant.back()));
    }
    // One record with a rectangular window: its leakage and the chirp's sweep through the
    // resonance spread an error of a small share of the largest component over every bin, so
    // the difference is held against the peak, not the local magnitude (which near the
    // anti-resonance is a twentieth of it). A share of the peak still catches a shifted
    // resonance, a wrong phase sign or a gain error of 1 dB.
    constexpr double kShareOfPeak = 0.03;
    for (size_t i = 0; i < at.size(); ++i) {
        SCOPED_TRACE(out[i]);
        std::istringstream row(out[i]);
        double f = 0, db = 0, degrees = 0;
        row >> f >> db >> degrees;
        const std::complex<double> measured =
            std::polar(std::pow(10.0, db / 20.0), degrees * std::numbers::pi / 180.0);
        EXPECT_NEAR(f, at[i], 1.0);
        EXPECT_LE(std::abs(measured - plant[i]) / peak, kShareOfPeak)
            << "plant " << 20 * std::log10(std::abs(plant[i])) << " dB "
            << std::arg(plant[i]) * 180 / std::numbers::pi << " deg";
    }
    // "bode: df 1.953125 Hz, peak -11.6 dB at 410.1562 Hz, ..."
    const size_t peakAt = bode.err.find(" dB at ");
    ASSERT_NE(peakAt, std::string::npos) << bode.err;
    EXPECT_NEAR(std::stod(bode.err.substr(peakAt + 7)), sim::kDefaultResonanceHz, 15.0) << bode.err;
}

// A chirp over the loop's band, recorded from the speed command to the actual speed: the open
// loop computed from it has the plant's crossover and margins, and the resonance list names the
// plant's resonance.
TEST(ZrdctlChirp, TheOpenLoopOfARecordedChirpHasThePlantsMargins) {
    SpeedLoopRig rig;
    ASSERT_TRUE(rig.start(true, true));
    const auto zrdctl = [&](const std::string& args) { return rig.zrdctl(args); };
    // 2048 × 0.5 ms, one sweep from 5 to 600 Hz.
    for (const char* args :
         {"fg set --type chirp --amp 100 --period 5 --width 600",
          "scope offline --tick 1 --ch VSET VACT 0 0 --trigger fg --start-fg -o loop.dat"}) {
        SCOPED_TRACE(args);
        const test::Outcome run = zrdctl(args);
        ASSERT_EQ(run.status, 0) << run.err;
    }
    rig.sim.stop();
    const test::Outcome bode = zrdctl("bode loop.dat --in 1 --out 2 --fmax 700 --open-loop");
    ASSERT_EQ(bode.status, 0) << bode.err;

    // The plant's own figures, from its response by bisection.
    const test::PlantMargins plant = test::plantMargins();
    const double crossover = plant.crossoverHz;
    const double phaseMargin = plant.phaseMarginDeg;
    const std::regex margins(
        "open loop: crossover ([0-9.]+) Hz, phase margin (-?[0-9.]+) deg, gain margin (\\S+) dB");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(bode.err, m, margins)) << bode.err;
    EXPECT_NEAR(std::stod(m[1]), crossover, 0.05 * crossover) << bode.err;
    EXPECT_NEAR(std::stod(m[2]), phaseMargin, 5.0) << bode.err;

    // The closed loop's own peak comes first; the mechanical resonance is among the rest, where
    // the plant's response peaks near its spring's resonance.
    const double plantPeak = test::plantResonancePeakHz();
    const std::regex resonance("bode: resonance ([0-9.]+) Hz");
    double nearest = 0;
    for (auto it = std::sregex_iterator(bode.err.begin(), bode.err.end(), resonance);
         it != std::sregex_iterator(); ++it) {
        const double f = std::stod((*it)[1]);
        if (std::abs(f - plantPeak) < std::abs(nearest - plantPeak))
            nearest = f;
    }
    EXPECT_NEAR(nearest, plantPeak, 0.03 * plantPeak) << bode.err;
}

}  // namespace
}  // namespace zrd::tuning
