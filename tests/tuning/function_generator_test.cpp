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

// The plan as "NAME=VALUE ..." (and "h" for the chirp command), or the refusal.
std::string planText(const std::variant<WavePlan, WaveRefusal>& planned) {
    if (const auto* r = std::get_if<WaveRefusal>(&planned))
        return r->badField.empty() ? "refused " + std::to_string(r->message) + " " +
                                         r->correctedAmplitude.value_or("")
                                   : "not a number: " + r->badField;
    std::string text;
    for (const WaveWrite& w : std::get<WavePlan>(planned).writes)
        text += w.mnemonic + "=" + pm::valueText(w.value) + " ";
    return text + (std::get<WavePlan>(planned).chirpCommand ? "h" : "");
}

TEST(PlanWave, ChecksConvertsAndOrdersTheWrites) {
    struct Case {
        WaveFields fields;
        GeneratorMode mode;
        const char* plan;
    };
    const GeneratorMode current{1, false};
    const GeneratorMode speed{2, false};
    const WaveUnits seconds{1, 1};
    // clang-format off
    for (const Case& c : std::vector<Case>{
        {wave(WaveType::Sine, "1500", "0", "100", "0", "0"), speed,
         "IIT=3 IIP1V=1500 IIP2V=0 IIP3V=100 IIP1U=0 IIP2U=0 IIP3U=0 IIP4U=0 PCRT=0 "},
        {wave(WaveType::Constant, "10"), current, "IIT=1 IIP1V=707.1 IIP1U=0 "},
        {wave(WaveType::Constant, "61"), current, "refused 46 "},
        {wave(WaveType::Sine, "12.7"), speed, "refused 84 12"},
        {wave(WaveType::Sine, "-12.7"), speed, "refused 84 -12"},
        {wave(WaveType::Square, "300", "-20", "4", "1", "7", seconds), GeneratorMode{3, false},
         "IIT=2 IIP1V=300 IIP4V=1 IIP2V=-20 IIP3V=4 IIP1U=1 IIP2U=1 IIP3U=1 IIP4U=1 PCRT=7 "},
        // Speed mode writes the unit flags as 0.
        {wave(WaveType::Square, "300", "0", "4", "1", "0", seconds), speed,
         "IIT=2 IIP1V=300 IIP4V=1 IIP2V=0 IIP3V=4 IIP1U=0 IIP2U=0 IIP3U=0 IIP4U=0 PCRT=0 "},
        // "INST" 0 puts speed mode into amperes; the amplitude must still be whole.
        {wave(WaveType::Sine, "2", "1.5"), GeneratorMode{2, true},
         "IIT=3 IIP1V=141.42 IIP2V=150 IIP3V=2 IIP1U=0 IIP2U=0 IIP3U=0 IIP4U=0 PCRT=0 "},
        {wave(WaveType::Chirp, "100", "0", "10", "2000", "1"), speed,
         "IIT=4 IIP1V=100 IIP4V=10 IIP2V=0 IIP3V=2000 PCRT=1 h"},
        {wave(WaveType::Sine, "5", "abc"), speed, "not a number: offset"},
        {wave(WaveType::Sine, "nan"), speed, "not a number: amplitude"},
        {wave(WaveType::Square, "5", "0", "inf"), speed, "not a number: period"},
    }) {
        // clang-format on
        EXPECT_EQ(planText(planWave(c.fields, c.mode)), c.plan);
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
        sim::FaultKind chirpFault;  // on the frame after the six writes
        CommandOutcome outcome;
        std::vector<std::string> messages;
    };
    for (const Case& c : {Case{sim::FaultKind::None, CommandOutcome::Accepted, {}},
                          Case{sim::FaultKind::Busy, CommandOutcome::Refused, {"E48"}},
                          Case{sim::FaultKind::Silent, CommandOutcome::NoAnswer, {"E47"}}}) {
        ui.boxes.clear();
        drive([&](sim::SimDrive& d) {
            d.clearFaults();
            // The six writes pass untouched.
            d.addFault({sim::FaultKind::Delay, 0, 4, 6});
            d.addFault({c.chirpFault, 0, 4, 1});
        });
        const auto plan = std::get<WavePlan>(planWave(
            wave(WaveType::Chirp, "100", "0", "10", "2000", "1"), GeneratorMode{2, false}));
        std::vector<std::string> failed;
        EXPECT_EQ(writeWave(link, access, model, messages, plan, &failed), c.outcome);
        EXPECT_EQ(shown(), c.messages);
        EXPECT_TRUE(failed.empty());
        EXPECT_FALSE(link.state().linkBusy);
        EXPECT_EQ((std::array{raw("IIT"), raw("IIP1V"), raw("IIP4V"), raw("IIP3V"), raw("PCRT")}),
                  (std::array{4, 100, 10, 2000, 1}));
    }
    // A drive that does not take the chirp refuses its command.
    ui.boxes.clear();
    drive([](sim::SimDrive& d) { d.clearFaults(); });
    const auto sine =
        std::get<WavePlan>(planWave(wave(WaveType::Sine, "100"), GeneratorMode{2, false}));
    ASSERT_EQ(writeWave(link, access, model, messages, sine), CommandOutcome::Accepted);
    EXPECT_EQ(writeWave(link, access, model, messages, WavePlan{{}, true}),
              CommandOutcome::Refused);
    EXPECT_EQ(shown(), std::vector<std::string>{"E48"});
}

}  // namespace
}  // namespace zrd::tuning
