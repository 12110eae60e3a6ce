// The simulated drive's function generator and the resonant plant with its filters.
#include <cmath>
#include <complex>
#include <numbers>

#include "shipped_drive.h"

namespace zrd::sim {
namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
constexpr double kCycleS = std::chrono::duration<double>(ServoPlant::kStep).count();
constexpr double kFilterRateHz = 8000.0;

// A band-stop filter at f with quality q, designed by the bilinear transform at the drive's
// filter rate and quantised to the 0.0001 of the coefficient parameters, as the filter
// calculator writes it.
std::array<int, 5> notchRaw(double f, double q) {
    const double w = kTwoPi * f / kFilterRateHz;
    const double t = std::tan(w / (2.0 * q));
    const double norm = 1.0 + t;
    const std::array<double, 5> c = {1.0 / norm, -2.0 * std::cos(w) / norm, 1.0 / norm,
                                     -2.0 * std::cos(w) / norm, (1.0 - t) / norm};
    std::array<int, 5> raw{};
    for (size_t i = 0; i < c.size(); ++i)
        raw[i] = static_cast<int>(std::lround(c[i] * 10000.0));
    return raw;
}

// The amplitude of the measured speed over the amplitude of a sine speed command at f, once
// the response has settled (the component at f, by correlation over a second).
double speedGain(double f, double resonanceHz) {
    ServoPlant p;
    PlantSettings s;
    s.noise = 0.0;
    s.resonanceHz = resonanceHz;
    p.setSettings(s);
    PlantInputs in;
    in.enabled = true;
    in.generator = true;
    constexpr int kSecond = 1000 * ServoPlant::kStepsPerMs;
    std::complex<double> sum;
    for (int k = 0; k < 2 * kSecond; ++k) {
        in.internalCommand = std::sin(kTwoPi * f * k * kCycleS);
        p.setInputs(in);
        p.step();
        if (k >= kSecond)
            sum += p.state().speedRpm * std::polar(1.0, kTwoPi * f * (k + 1) * kCycleS);
    }
    return 2.0 * std::abs(sum) / kSecond;
}

TEST(ResonantPlant, SpeedResponsePeaksAtTheSetResonance) {
    constexpr std::array<double, 9> kGrid = {150, 200, 250, 300, 350, 400, 450, 500, 600};
    for (const double resonance : {400.0, 250.0}) {
        SCOPED_TRACE(resonance);
        std::array<double, kGrid.size()> gain{};
        for (size_t i = 0; i < kGrid.size(); ++i)
            gain[i] = speedGain(kGrid[i], resonance);
        const auto peak = std::max_element(gain.begin(), gain.end());
        EXPECT_EQ(kGrid[static_cast<size_t>(peak - gain.begin())], resonance);
        // Far above what the same inertia coupled rigidly answers at that frequency.
        EXPECT_GT(*peak, 3.0 * speedGain(resonance, 0.0));
    }
}

using SimGenerator = test::ShippedDrive;

// The command the generator put into the drive's memory by a time since its start, in rpm (A in
// current mode): the value of the last cycle, so probes sit where the signal is flat.
struct Probe {
    int ms;
    double command;
};

TEST_F(SimGenerator, PlaysEachSignalOnTheInternalCommand) {
    struct Case {
        const char* name;
        int mode;  // "OPMOD"
        // "IIT", "IIP1V", "IIP2V", "IIP3V", "IIP4V", "IIP1U" (and "IIP2U"), "IIP3U" (and
        // "IIP4U"), "PCRT", "RCFREQ"
        std::array<int, 9> params;
        std::vector<Probe> probes;
        int stopsAtMs;    // the generator bit clears and the command returns to 0; -1: endless
        int signChanges;  // of the command sampled every millisecond until it stops
    };
    // 4 counts/ms = 14.6484375 rpm at 16384 counts a revolution.
    const double countsRpm = 4.0 * 1000.0 * 60.0 / 16384.0;
    const double peakAmperes = 707 / 0.7071 * 0.01;
    // clang-format off
    for (const Case& c : {
             Case{"stored 0: constant", 2, {0, -250, 0, 0, 0, 0, 0, 3, 0}, {{300, -250}}, -1, 0},
             Case{"square, twice", 2, {2, 200, 100, 10, 3, 0, 0, 2, 0},
                  {{1, 300}, {4, -100}, {11, 300}, {19, -100}}, 20, 3},
             Case{"sine in s", 2, {3, 1000, 200, 1, 0, 0, 1, 0, 0}, {{250, 1200}, {750, -800}},
                  -1, 0},
             Case{"current square", 1, {2, 707, 300, 10, 5, 0, 0, 0, 0},
                  {{1, 3.0 + peakAmperes}, {6, 3.0 - peakAmperes}}, -1, 0},
             Case{"position counts/ms", 3, {1, 4, 0, 0, 0, 0, 0, 0, 0}, {{1, countsRpm}}, -1, 0},
             // 20 to 100 Hz over one record of tick code 0 (512 ms): 60 Hz × 0.512 s = 30.72
             // turns of the phase, 61 zero crossings.
             Case{"chirp", 2, {4, 1000, 0, 100, 20, 0, 0, 1, 0}, {}, 512, 61},
         }) {
        // clang-format on
        SCOPED_TRACE(c.name);
        drive = SimDrive{};
        drive.loadParameters(model);
        drive.setNoise(0.0);
        constexpr std::array<const char*, 9> kNames = {"IIT",   "IIP1V", "IIP2V", "IIP3V", "IIP4V",
                                                       "IIP1U", "IIP3U", "PCRT",  "RCFREQ"};
        for (size_t i = 0; i < kNames.size(); ++i)
            ASSERT_EQ(write(kNames[i], c.params[i]), link::kReplyAccepted) << kNames[i];
        ASSERT_EQ(write("IIP2U", c.params[5]), link::kReplyAccepted);
        ASSERT_EQ(write("IIP4U", c.params[6]), link::kReplyAccepted);
        ASSERT_EQ(write("OPMOD", c.mode), link::kReplyAccepted);
        ASSERT_EQ(write("INST", 1), link::kReplyAccepted);
        // Refused while the servo is off; started once it is on.
        EXPECT_EQ(command(link::kCmdStartGenerator), link::kAckStatusRefused);
        ASSERT_EQ(command(link::kCmdServoOn), 0);
        ASSERT_EQ(command(link::kCmdStartGenerator), 0);
        EXPECT_TRUE(stateBit(kStateGenerator));

        const char* commandName = c.mode == 1 ? "ISET" : "VSET";
        const double scale = c.mode == 1 ? 0.01 : 1.0;
        const int lastMs = std::max(c.probes.empty() ? 0 : c.probes.back().ms, c.stopsAtMs + 1);
        auto probe = c.probes.begin();
        int sign = 0;
        int signChanges = 0;
        for (int ms = 1; ms <= lastMs; ++ms) {
            runMs(1);
            const double value = raw(commandName) * scale;
            if (value != 0.0) {
                const int now = value > 0.0 ? 1 : -1;
                signChanges += sign != 0 && now != sign;
                sign = now;
            }
            if (probe != c.probes.end() && probe->ms == ms) {
                // Within the memory's whole units and 1 %.
                EXPECT_NEAR(value, probe->command, std::abs(probe->command) * 0.01 + scale)
                    << "at " << ms << " ms";
                ++probe;
            }
            if (ms == c.stopsAtMs - 1) {
                EXPECT_TRUE(stateBit(kStateGenerator)) << "before its end";
            }
        }
        if (c.stopsAtMs < 0) {
            EXPECT_TRUE(drive.generatorRunning());
            continue;
        }
        EXPECT_FALSE(stateBit(kStateGenerator));
        EXPECT_FALSE(drive.generatorRunning());
        EXPECT_EQ(raw(commandName), 0);
        EXPECT_EQ(signChanges, c.signChanges);
    }
}

TEST_F(SimGenerator, SineMovesTheSpeedAndANotchWrittenLaterCalmsTheResonance) {
    ASSERT_EQ(write("OPMOD", 2), link::kReplyAccepted);
    ASSERT_EQ(write("INST", 1), link::kReplyAccepted);
    ASSERT_EQ(command(link::kCmdServoOn), 0);
    // A slow sine: the speed follows the command.
    const std::pair<const char*, int> sine[] = {{"IIT", 3},   {"IIP1V", 1000}, {"IIP2V", 0},
                                                {"IIP3V", 1}, {"IIP3U", 1},    {"PCRT", 1}};
    for (const auto& [name, value] : sine)
        ASSERT_EQ(write(name, value), link::kReplyAccepted) << name;
    ASSERT_EQ(command(link::kCmdStartGenerator), 0);
    runMs(250);
    EXPECT_NEAR(raw("VACT"), 1000, 50);
    runMs(500);
    EXPECT_NEAR(raw("VACT"), -1000, 50);
    runMs(300);
    EXPECT_FALSE(drive.generatorRunning());

    // A chirp from 300 to 500 Hz over 1024 ms (tick code 1), played once without and once
    // with the notch in F1: the peak speed while it passes 350..450 Hz. The chirp command
    // answers only when the chirp is chosen.
    const auto sweepPeak = [&] {
        EXPECT_EQ(command(link::kCmdChirp), 0);
        EXPECT_EQ(command(link::kCmdStartGenerator), 0);
        runMs(256);
        int peak = 0;
        for (int ms = 256; ms < 768; ++ms) {
            runMs(1);
            peak = std::max(peak, std::abs(raw("VACT")));
        }
        runMs(300);
        EXPECT_FALSE(drive.generatorRunning());
        return peak;
    };
    EXPECT_EQ(command(link::kCmdChirp), link::kAckStatusRefused);
    for (const auto& [name, value] :
         {std::pair{"IIT", 4}, {"IIP1V", 500}, {"IIP4V", 300}, {"IIP3V", 500}, {"RCFREQ", 1}})
        ASSERT_EQ(write(name, value), link::kReplyAccepted) << name;
    const int open = sweepPeak();
    const std::array<int, 5> notch = notchRaw(400.0, 2.0);
    constexpr std::array<const char*, 5> kCoefficients = {"F1NUM0", "F1NUM1", "F1NUM2", "F1DEN1",
                                                          "F1DEN2"};
    for (size_t i = 0; i < notch.size(); ++i)
        ASSERT_EQ(write(kCoefficients[i], notch[i]), link::kReplyAccepted);
    ASSERT_EQ(write("F1TYPE", 2), link::kReplyAccepted);
    const int notched = sweepPeak();
    EXPECT_GT(open, 50);
    EXPECT_LT(notched, open / 3) << open;
}

}  // namespace
}  // namespace zrd::sim
