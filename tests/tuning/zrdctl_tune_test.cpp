// zrdctl tune against the simulated drive: on a table of plants the fit finds the inertia and the
// modes and the applied loop keeps its margins as measured; a refusal and a dry run change
// nothing the program may write; a lost link ends with status 3 and names the backup.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <regex>
#include <string>
#include <vector>

#include "child_process.h"
#include "core/number_text.h"
#include "simulated_plants.h"
#include "speed_loop_rig.h"

namespace zrd::tuning {
namespace {

// The fast line keeps the records' read-backs short.
constexpr int kBaud = 921600;
constexpr const char* kFast = "--fast ";
// The acceptance of an applied proposal: the margins as measured.
constexpr double kLeastPhaseMarginDeg = 40.0;
constexpr double kLeastGainMarginDb = 6.0;
constexpr double kLeastSpeedUp = 2.0;

// The object of `key` in a JSON text ("{...}" with its nesting), or its list ("[...]").
std::string jsonPart(const std::string& text, const std::string& key) {
    const size_t at = text.find("\"" + key + "\": ");
    if (at == std::string::npos)
        return {};
    const size_t open = at + key.size() + 4;
    const char first = text[open];
    const char close = first == '{' ? '}' : first == '[' ? ']' : '\0';
    if (close == '\0')
        return text.substr(open, text.find_first_of(",}", open) - open);
    int depth = 0;
    for (size_t i = open; i < text.size(); ++i) {
        depth += text[i] == first ? 1 : text[i] == close ? -1 : 0;
        if (depth == 0)
            return text.substr(open, i - open + 1);
    }
    return {};
}

// Every number given for `key` in a JSON text, in order.
std::vector<double> jsonNumbers(const std::string& text, const std::string& key) {
    std::vector<double> out;
    const std::regex pair("\"" + key + "\": (-?[0-9.e+-]+)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pair);
         it != std::sregex_iterator(); ++it)
        out.push_back(std::stod((*it)[1]));
    return out;
}

std::optional<double> jsonNumber(const std::string& text, const std::string& key) {
    const std::vector<double> all = jsonNumbers(text, key);
    return all.empty() ? std::nullopt : std::optional(all.front());
}

// The raw memory of every parameter the program may write.
std::map<int, uint16_t> writable(sim::SimServer& sim) {
    std::map<int, uint16_t> out;
    sim.withDrive([&](sim::SimDrive& d) {
        for (size_t i = 0; i < sim::SimDrive::kIndexCount; ++i) {
            const auto index = static_cast<uint8_t>(i);
            if (d.parameter(index).known && !d.parameter(index).readOnly)
                out[static_cast<int>(i)] = d.raw(index);
        }
    });
    return out;
}

void setPlant(sim::SimServer& sim, const TunerPlant& p) {
    sim.withDrive([&](sim::SimDrive& d) {
        d.setRaw(*d.indexOf("JRATIO"), static_cast<uint16_t>(p.ratioPercent));
        d.setResonance(p.resonanceHz, p.damping);
        d.setSecondResonance(p.secondHz, p.secondDamping);
        d.setCoulombFriction(p.frictionNm);
    });
}

std::string testName(const std::string& name) {
    std::string out;
    for (const char c : name)
        if (std::isalnum(static_cast<unsigned char>(c)))
            out += c;
    return out;
}

// The plants of the core's tests, and one with dry friction (the noise is on for all).
std::vector<TunerPlant> tunePlants() {
    std::vector<TunerPlant> plants = kTunerPlants;
    TunerPlant friction{"dry friction", 400.0, 0.05, 100.0};
    friction.frictionNm = 0.3;
    plants.push_back(friction);
    return plants;
}

}  // namespace

// A plant in a failure's message: its name.
void PrintTo(const TunerPlant& p, std::ostream* os) {
    *os << p.name;
}

namespace {

class ZrdctlTunePlants : public ::testing::TestWithParam<TunerPlant> {};

TEST_P(ZrdctlTunePlants, TheFitFindsThePlantAndTheAppliedLoopKeepsItsMargins) {
    const TunerPlant& p = GetParam();
    SpeedLoopRig rig(kBaud);
    ASSERT_TRUE(rig.start(true, false));
    setPlant(rig.sim, p);
    const test::Outcome run = rig.zrdctl(std::string(kFast) + "tune --apply --json");
    ASSERT_EQ(run.status, 0) << run.out << run.err;

    const sim::PlantSettings settings = settingsOf(p);
    const std::string model = jsonPart(run.out, "model");
    const auto inertia = jsonNumber(model, "inertia_kgcm2");
    ASSERT_TRUE(inertia) << run.out;
    const double trueInertia = settings.rotorInertiaKgCm2 * (1.0 + p.ratioPercent / 100.0);
    EXPECT_NEAR(*inertia, trueInertia, 0.10 * trueInertia);
    const std::vector<PlantMode> expected = expectedModes(p, settings);
    const std::vector<double> resonances = jsonNumbers(jsonPart(model, "resonances"), "hz");
    const std::vector<double> antiResonances = jsonNumbers(jsonPart(model, "antiresonances"), "hz");
    const std::vector<double> resonanceDampings =
        jsonNumbers(jsonPart(model, "resonances"), "damping");
    const std::vector<double> antiDampings =
        jsonNumbers(jsonPart(model, "antiresonances"), "damping");
    ASSERT_EQ(resonances.size(), expected.size()) << model;
    ASSERT_EQ(antiResonances.size(), expected.size()) << model;
    ASSERT_EQ(resonanceDampings.size(), expected.size()) << model;
    ASSERT_EQ(antiDampings.size(), expected.size()) << model;
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        const PlantMode& want = expected[i];
        EXPECT_NEAR(resonances[i], want.resonanceHz, 0.03 * want.resonanceHz);
        EXPECT_NEAR(antiResonances[i], want.antiResonanceHz, 0.05 * want.antiResonanceHz);
        EXPECT_NEAR(antiDampings[i], want.antiResonanceDamping, 0.30 * want.antiResonanceDamping);
        // Two modes state the damping of their anti-resonances only.
        if (!std::isnan(want.resonanceDamping)) {
            EXPECT_NEAR(resonanceDampings[i], want.resonanceDamping, 0.30 * want.resonanceDamping);
        }
    }

    const std::string measured = jsonPart(run.out, "measured");
    const auto phaseMargin = jsonNumber(measured, "phase_margin_deg");
    ASSERT_TRUE(phaseMargin) << run.out;
    EXPECT_GE(*phaseMargin, kLeastPhaseMarginDeg);
    // No gain margin: the phase never reaches −180° where the loop was measured.
    if (const auto gainMargin = jsonNumber(measured, "gain_margin_db")) {
        EXPECT_GE(*gainMargin, kLeastGainMarginDb);
    }
    EXPECT_EQ(jsonPart(run.out, "verified"), "true");
    // The tuned loop is at least twice as fast as the one it replaced.
    const auto crossover = jsonNumber(measured, "crossover_hz");
    const auto crossoverBefore = jsonNumber(jsonPart(run.out, "predicted_before"), "crossover_hz");
    ASSERT_TRUE(crossover && crossoverBefore) << run.out;
    EXPECT_GE(*crossover, kLeastSpeedUp * *crossoverBefore);

    // The drive runs what was proposed.
    const std::string proposed = jsonPart(run.out, "proposed");
    const auto kpv = jsonNumber(proposed, "KPV");
    ASSERT_TRUE(kpv);
    const test::Outcome get = rig.zrdctl("get KPV");
    EXPECT_EQ(get.out, "KPV " + formatGeneral(*kpv) + "\n");
    rig.sim.stop();
}

INSTANTIATE_TEST_SUITE_P(Plants, ZrdctlTunePlants, ::testing::ValuesIn(tunePlants()),
                         [](const ::testing::TestParamInfo<TunerPlant>& info) {
                             return testName(info.param.name);
                         });

// A drive that may not be excited is refused before anything is written; a chirp too small to
// measure by ends the run with the advice, and the drive as it was.
TEST(ZrdctlTune, ADriveThatMayNotBeExcitedIsRefusedAndNothingIsWritten) {
    struct Case {
        const char* name;
        bool servoOn;
        const char* parameter;  // set before the run, with its raw value
        uint16_t raw;
        const char* options;
        const char* says;
    };
    const Case cases[] = {
        {"servo off", false, nullptr, 0, "", "servo is off"},
        {"current mode", true, "OPMOD", 1, "", "not in speed mode"},
        {"analog command", true, "INST", 3, "", "command source is not internal"},
        {"too small an amplitude", true, nullptr, 0, " --amp 2", "raise --amp"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SpeedLoopRig rig(kBaud);
        ASSERT_TRUE(rig.start(c.servoOn, false));
        if (c.parameter)
            rig.sim.withDrive([&](sim::SimDrive& d) { d.setRaw(*d.indexOf(c.parameter), c.raw); });
        const std::map<int, uint16_t> before = writable(rig.sim);
        const test::Outcome run = rig.zrdctl(std::string(kFast) + "tune --apply" + c.options);
        EXPECT_EQ(run.status, 1) << run.out << run.err;
        EXPECT_NE(run.err.find(c.says), std::string::npos) << run.err;
        EXPECT_EQ(writable(rig.sim), before);
        rig.sim.stop();
    }
}

// Without --apply nothing the program may write changes. A notch the user runs at the plant's
// resonance stays in its slot, and the proposal adds none of its own there.
TEST(ZrdctlTune, ADryRunChangesNoParameterAndKeepsTheUsersNotch) {
    const TunerPlant plant{"as shipped", sim::kDefaultResonanceHz, sim::kDefaultResonanceDamping,
                           100.0};
    const double resonanceHz = expectedModes(plant, settingsOf(plant)).front().resonanceHz;
    SpeedLoopRig rig(kBaud);
    ASSERT_TRUE(rig.start(true, false));
    const test::Outcome notch =
        rig.zrdctl("filter write --slot 1 --type bsf --q 2 --force --freq " +
                   formatGeneral(std::round(resonanceHz)));
    ASSERT_EQ(notch.status, 0) << notch.err;
    const std::map<int, uint16_t> before = writable(rig.sim);
    const test::Outcome run = rig.zrdctl(std::string(kFast) + "tune --json");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(writable(rig.sim), before);
    const std::string kept = jsonPart(jsonPart(run.out, "before"), "filters");
    EXPECT_EQ(jsonNumbers(kept, "slot"), std::vector<double>{1.0}) << run.out;
    EXPECT_EQ(jsonPart(jsonPart(run.out, "proposed"), "filters"), kept) << run.out;
    rig.sim.stop();
}

// Ctrl+C while the run measures and while it verifies what it wrote, and a load that changes
// under the verification: the run ends with status 1 and leaves everything the program may
// write as it found it. An answer lost on the way changes nothing of that.
enum class Act { Interrupt, LoadTheAxis, LoseAnAnswer };
struct Interruption {
    const char* name;
    bool applied;  // it acts once the proposal is in the drive
    Act act;
    const char* mode;  // the run's options
    int status;
    const char* says;  // on stderr
};
const Interruption kInterruptions[] = {
    {"Ctrl+C while measuring", false, Act::Interrupt, "--apply", 1, "cancelled"},
    {"Ctrl+C while verifying", true, Act::Interrupt, "--apply", 1, "cancelled"},
    {"a heavier load while verifying", true, Act::LoadTheAxis, "--apply", 1,
     "verification failed (crossover"},
    // One answer lost is asked for again: the dry run ends as if nothing happened.
    {"an answer lost while measuring", false, Act::LoseAnAnswer, "--json", 0, ""},
};

// A case in a failure's message: its name.
void PrintTo(const Interruption& i, std::ostream* os) {
    *os << i.name;
}

class ZrdctlTuneStopped : public ::testing::TestWithParam<Interruption> {};

TEST_P(ZrdctlTuneStopped, ARunStoppedMidwayPutsBackWhatItChanged) {
    // Bounds of waits for conditions, far above what the run takes.
    constexpr auto kRunBound = std::chrono::seconds(90);
    constexpr auto kEndBound = std::chrono::seconds(60);
    constexpr int kStateWord = 240;
    constexpr int kGeneratorBit = 5;
    // Four times the load: the tuned loop is then far slower than predicted.
    constexpr uint16_t kHeavierLoadPercent = 400;
    const Interruption& c = GetParam();
    {
        SpeedLoopRig rig(kBaud);
        ASSERT_TRUE(rig.start(true, false));
        std::map<int, uint16_t> before = writable(rig.sim);
        uint8_t kpv = 0;
        uint8_t jratio = 0;
        rig.sim.withDrive([&](sim::SimDrive& d) {
            kpv = *d.indexOf("KPV");
            jratio = *d.indexOf("JRATIO");
        });
        test::ChildProcess run(
            {ZRDCTL_PATH, "--data-dir", ZRD_SHIPPED_DATA_DIR, "--baud", std::to_string(kBaud),
             "--fast", "--port", rig.sim.devicePath(), "tune", c.mode},
            {.errorFile = rig.dir.file("err")});
        ASSERT_TRUE(run.running());
        ASSERT_TRUE(rig.sim.waitUntil(
            [&](const sim::SimDrive& d) {
                const bool generator = (d.raw(kStateWord) >> kGeneratorBit) & 1;
                return generator && (!c.applied || d.raw(kpv) != before.at(kpv));
            },
            std::chrono::duration_cast<std::chrono::milliseconds>(kRunBound)));
        if (c.act == Act::Interrupt) {
            run.signal(SIGINT);
        } else if (c.act == Act::LoseAnAnswer) {
            rig.sim.withDrive(
                [](sim::SimDrive& d) { d.addFault({.kind = sim::FaultKind::Silent, .count = 1}); });
        } else {
            rig.sim.withDrive([&](sim::SimDrive& d) { d.setRaw(jratio, kHeavierLoadPercent); });
            before[jratio] = kHeavierLoadPercent;
        }
        EXPECT_EQ(run.exitStatus(kEndBound), c.status) << run.output();
        std::ifstream err(rig.dir.file("err"));
        const std::string text((std::istreambuf_iterator<char>(err)),
                               std::istreambuf_iterator<char>());
        EXPECT_NE(text.find(c.says), std::string::npos) << text;
        EXPECT_EQ(writable(rig.sim), before);
        rig.sim.stop();
    }
}

INSTANTIATE_TEST_SUITE_P(Interruptions, ZrdctlTuneStopped, ::testing::ValuesIn(kInterruptions),
                         [](const ::testing::TestParamInfo<Interruption>& info) {
                             return testName(info.param.name);
                         });

// A drive that hangs up in the middle ends the run with status 3, and the values from before
// are kept in the file the message names.
TEST(ZrdctlTune, ALinkLostMidwayExitsThreeAndNamesTheBackup) {
    // The connection, the checks and the reads take fewer frames; the records need more.
    constexpr int kFramesBeforeHangUp = 120;
    SpeedLoopRig rig(kBaud);
    ASSERT_TRUE(rig.start(true, false));
    rig.sim.withDrive([](sim::SimDrive& d) {
        d.addFault({.kind = sim::FaultKind::HangUp, .value = kFramesBeforeHangUp});
    });
    const test::Outcome run = rig.zrdctl(std::string(kFast) + "tune --apply");
    EXPECT_EQ(run.status, 3) << run.out << run.err;
    EXPECT_NE(run.err.find("could not put back"), std::string::npos) << run.err;
    const std::regex named("values from before are in (\\S+)");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(run.err, m, named)) << run.err;
    EXPECT_TRUE(std::filesystem::exists(rig.dir.file(m[1])));
    rig.sim.stop();
}

}  // namespace
}  // namespace zrd::tuning
