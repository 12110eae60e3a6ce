// The function generator's "Write": checks, conversions and write order; loading back; the
// chirp command and the generator's commands against the simulated drive.
#include "tuning/function_generator.h"

#include <gtest/gtest.h>

#include "../params/params_test_support.h"
#include "params/database_loader.h"
#include "params/message_numbers.h"
#include "run_command.h"
#include "sim_fixture.h"

namespace zrd::tuning {
namespace {

namespace pm = zrd::params;

std::string shipped(const char* name) {
    return std::string(ZRD_SHIPPED_DATA_DIR) + "/" + name;
}

void loadShipped(pm::ParameterModel& model) {
    test::RecordingUserInterface ui;
    pm::MessageTable none;
    ASSERT_TRUE(pm::loadDatabase(shipped(pm::kDatabaseFileName), model, none, ui, false).ok());
}

WaveFields wave(WaveType type, const char* amplitude, const char* offset = "0",
                const char* period = "2", const char* width = "0", const char* repeat = "0",
                WaveUnits units = {}) {
    return {type, amplitude, offset, period, width, repeat, units};
}

TEST(PlanWave, ChecksConvertsAndOrdersTheWrites) {
    struct Case {
        const char* name;
        WaveFields fields;
        GeneratorMode mode;
        std::vector<WaveWrite> writes;  // empty: refused
        bool chirp = false;
        int message = 0;
        const char* corrected = nullptr;
        const char* badField = "";
    };
    const GeneratorMode current{1, false};
    const GeneratorMode speed{2, false};
    const GeneratorMode position{3, false};
    const WaveUnits seconds{1, 1};
    for (const Case& c : std::vector<Case>{
             {"speed sine",
              wave(WaveType::Sine, "1500", "0", "100", "0", "0"),
              speed,
              {{"IIT", 3},
               {"IIP1V", 1500},
               {"IIP2V", 0},
               {"IIP3V", 100},
               {"IIP1U", 0},
               {"IIP2U", 0},
               {"IIP3U", 0},
               {"IIP4U", 0},
               {"PCRT", 0}}},
             {"current constant: RMS-scaled hundredths",
              wave(WaveType::Constant, "10"),
              current,
              {{"IIT", 1}, {"IIP1V", 707.1}, {"IIP1U", 0}}},
             {"current beyond 60 A",
              wave(WaveType::Constant, "61"),
              current,
              {},
              false,
              pm::kMsgAmplitudeLimit},
             {"current at 60 A",
              wave(WaveType::Constant, "-60"),
              current,
              {{"IIT", 1}, {"IIP1V", -4242.6}, {"IIP1U", 0}}},
             {"speed fraction",
              wave(WaveType::Sine, "12.7"),
              speed,
              {},
              false,
              pm::kMsgAmplitudeWhole,
              "12"},
             {"speed negative fraction",
              wave(WaveType::Sine, "-12.7"),
              speed,
              {},
              false,
              pm::kMsgAmplitudeWhole,
              "-12"},
             {"a fraction is checked before the limit",
              wave(WaveType::Sine, "7000.5"),
              speed,
              {},
              false,
              pm::kMsgAmplitudeWhole,
              "7000"},
             {"speed beyond 6000",
              wave(WaveType::Sine, "6001"),
              speed,
              {},
              false,
              pm::kMsgAmplitudeLimit},
             {"position square in counts/s and seconds",
              wave(WaveType::Square, "300", "-20", "4", "1", "7", seconds),
              position,
              {{"IIT", 2},
               {"IIP1V", 300},
               {"IIP4V", 1},
               {"IIP2V", -20},
               {"IIP3V", 4},
               {"IIP1U", 1},
               {"IIP2U", 1},
               {"IIP3U", 1},
               {"IIP4U", 1},
               {"PCRT", 7}}},
             {"speed mode zeroes the unit flags",
              wave(WaveType::Square, "300", "0", "4", "1", "0", seconds),
              speed,
              {{"IIT", 2},
               {"IIP1V", 300},
               {"IIP4V", 1},
               {"IIP2V", 0},
               {"IIP3V", 4},
               {"IIP1U", 0},
               {"IIP2U", 0},
               {"IIP3U", 0},
               {"IIP4U", 0},
               {"PCRT", 0}}},
             {"command source flag: current units in speed mode",
              wave(WaveType::Sine, "2", "1.5"),
              GeneratorMode{2, true},
              {{"IIT", 3},
               {"IIP1V", 141.42},
               {"IIP2V", 150},
               {"IIP3V", 2},
               {"IIP1U", 0},
               {"IIP2U", 0},
               {"IIP3U", 0},
               {"IIP4U", 0},
               {"PCRT", 0}}},
             {"chirp: first field to IIP4V, second to IIP3V, then h",
              wave(WaveType::Chirp, "100", "0", "10", "2000", "1"),
              speed,
              {{"IIT", 4},
               {"IIP1V", 100},
               {"IIP4V", 10},
               {"IIP2V", 0},
               {"IIP3V", 2000},
               {"PCRT", 1}},
              true},
             {"an offset that is no number",
              wave(WaveType::Sine, "5", "abc"),
              speed,
              {},
              false,
              0,
              nullptr,
              "offset"},
             {"nan is no amplitude",
              wave(WaveType::Sine, "nan"),
              speed,
              {},
              false,
              0,
              nullptr,
              "amplitude"},
             {"inf is no period",
              wave(WaveType::Square, "5", "0", "inf"),
              speed,
              {},
              false,
              0,
              nullptr,
              "period"},
             {"the chirp's second field",
              wave(WaveType::Chirp, "5", "0", "10", ""),
              speed,
              {},
              false,
              0,
              nullptr,
              "width"},
             {"the constant needs its amplitude only",
              wave(WaveType::Constant, "5", "x", "y"),
              speed,
              {{"IIT", 1}, {"IIP1V", 5}, {"IIP1U", 0}}},
         }) {
        SCOPED_TRACE(c.name);
        const auto planned = planWave(c.fields, c.mode);
        if (c.writes.empty()) {
            ASSERT_TRUE(std::holds_alternative<WaveRefusal>(planned));
            const WaveRefusal& r = std::get<WaveRefusal>(planned);
            EXPECT_EQ(r.message, c.message);
            EXPECT_EQ(r.correctedAmplitude.value_or(""), c.corrected ? c.corrected : "");
            EXPECT_EQ(r.badField, c.badField);
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<WavePlan>(planned));
        const WavePlan& plan = std::get<WavePlan>(planned);
        ASSERT_EQ(plan.writes.size(), c.writes.size());
        for (size_t i = 0; i < c.writes.size(); ++i) {
            EXPECT_EQ(plan.writes[i].mnemonic, c.writes[i].mnemonic) << i;
            EXPECT_NEAR(plan.writes[i].value, c.writes[i].value, 1e-9) << c.writes[i].mnemonic;
        }
        EXPECT_EQ(plan.chirpCommand, c.chirp);
    }
}

// What "Write" sends and loading shows are each other's inverse in current units: a stored
// value read back from the drive (its raw, whole hundredths) loads as the value typed.
TEST(LoadWave, CurrentUnitsLoadBackWhatWasWritten) {
    pm::ParameterModel model;
    loadShipped(model);
    const GeneratorMode current{1, false};
    for (const char* offset : {"12.34", "-0.5", "60", "0.07", "-59.99"}) {
        SCOPED_TRACE(offset);
        const auto plan = std::get<WavePlan>(planWave(wave(WaveType::Sine, "10", offset), current));
        for (const WaveWrite& w : plan.writes) {
            const int position = *model.find(w.mnemonic);
            const pm::TPar& p = model.parameter(position);
            model.setValue(position, pm::rawToDisplay(p, *pm::displayToRaw(p, w.value)));
        }
        const WaveFields loaded = loadWave(model, WaveType::Sine, current);
        EXPECT_EQ(loaded.offset, offset);
        // 10 A went as 707.1, kept as 707: 999.858 after the RMS factor, so 9.99858 A.
        EXPECT_EQ(loaded.amplitude, "9.99858");
    }
    // The chirp shows "IIP4V" in its first time field and "IIP3V" in the second; position mode
    // takes the unit flags.
    for (const auto& [name, value] : {std::pair{"IIP3V", 500.0},
                                      {"IIP4V", 20.0},
                                      {"IIP1U", 1.0},
                                      {"IIP3U", 1.0},
                                      {"PCRT", 3.0}})
        model.setValue(*model.find(name), value);
    const WaveFields chirp = loadWave(model, WaveType::Chirp, GeneratorMode{3, false});
    EXPECT_EQ((std::array{chirp.period, chirp.width, chirp.repeat}),
              (std::array<std::string, 3>{"20", "500", "3"}));
    EXPECT_EQ(chirp.units.amplitude, 1);
    EXPECT_EQ(chirp.units.time, 1);
    EXPECT_EQ(loadWave(model, WaveType::Sine, GeneratorMode{2, false}).units.time, 0);
    EXPECT_EQ(waveTypeOfStored(0), WaveType::Constant);
    EXPECT_EQ(waveTypeOfStored(4), WaveType::Chirp);
}

// The drive behind the link: the shipped database on both sides, the test's messages.
class GeneratorOnDrive : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        loadShipped(model);
        messages.load(dir.write("mess.dic", test::messageFile()), ui);
        drive([this](sim::SimDrive& d) { d.loadParameters(model); });
        link.state().connected = 1;
    }
    [[nodiscard]] int raw(const char* name) {
        int v = 0;
        drive([&](sim::SimDrive& d) {
            const uint8_t i = *d.indexOf(name);
            v = d.isSigned(i) ? static_cast<int16_t>(d.raw(i)) : d.raw(i);
        });
        return v;
    }
    [[nodiscard]] std::vector<std::string> shown() const {
        std::vector<std::string> texts;
        for (const auto& box : ui.boxes)
            texts.push_back(box.text);
        return texts;
    }

    test::TempDir dir;
    std::unique_ptr<pm::ParameterModel> owner = std::make_unique<pm::ParameterModel>();
    pm::ParameterModel& model = *owner;
    pm::MessageTable messages;
    session::ParameterAccess access{link, model, messages};
};

TEST_F(GeneratorOnDrive, ChirpIsWrittenThenPrepared) {
    struct Case {
        const char* name;
        std::vector<sim::Fault> faults;  // on the frames after the six writes
        bool chirpChosen;                // the drive keeps "IIT" 4 (else it refuses the write)
        CommandOutcome outcome;
        std::vector<std::string> messages;
    };
    const sim::Fault silent{sim::FaultKind::Silent, 0, 4, 1};
    const sim::Fault busy{sim::FaultKind::Busy, 0, 4, 1};
    for (const Case& c : std::vector<Case>{
             {"answered", {}, true, CommandOutcome::Accepted, {}},
             {"refused by a busy drive", {busy}, true, CommandOutcome::Refused, {"E48"}},
             {"silent", {silent}, true, CommandOutcome::NoAnswer, {"E47"}},
             {"refused as the type stayed",
              {},
              false,
              CommandOutcome::Refused,
              {"p20 IIT: refused", "E48"}},
         }) {
        SCOPED_TRACE(c.name);
        ui.boxes.clear();
        drive([&](sim::SimDrive& d) {
            d.clearFaults();
            d.setRaw(*d.indexOf("IIT"), 1);
            if (!c.chirpChosen)
                d.addFault({sim::FaultKind::Refuse, 0, 4, 1});
            else if (!c.faults.empty())
                // Six writes pass untouched first.
                d.addFault({sim::FaultKind::Delay, 0, 4, 6});
            for (const sim::Fault& f : c.faults)
                d.addFault(f);
        });
        const auto plan = std::get<WavePlan>(planWave(
            wave(WaveType::Chirp, "100", "0", "10", "2000", "1"), GeneratorMode{2, false}));
        std::vector<std::string> failed;
        EXPECT_EQ(writeWave(link, access, model, messages, plan, &failed), c.outcome);
        EXPECT_EQ(shown(), c.messages);
        EXPECT_EQ(failed,
                  c.chirpChosen ? std::vector<std::string>{} : std::vector<std::string>{"IIT"});
        EXPECT_FALSE(link.state().linkBusy);
        EXPECT_EQ((std::array{raw("IIP1V"), raw("IIP4V"), raw("IIP3V"), raw("PCRT")}),
                  (std::array{100, 10, 2000, 1}));
        EXPECT_EQ(raw("IIT"), c.chirpChosen ? 4 : 1);
    }
}

}  // namespace
}  // namespace zrd::tuning
