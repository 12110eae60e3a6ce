// zrdctl step against the simulated drive: the figures follow the gains, they are those of the
// record it saves, and the generator's and scope's settings are put back.
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <regex>

#include "scope/oscillogram_file_reader.h"
#include "speed_loop_rig.h"
#include "tuning/step_response.h"

namespace zrd::tuning {
namespace {

// The fast line keeps the three read-backs short.
constexpr int kBaud = 921600;
// The settings the step writes, as the drive held them before.
constexpr const char* kRestored[] = {"IIT",    "IIP1V",  "IIP2V",  "IIP3V",
                                     "OSCMOD", "RCFREQ", "CH1SEL", "TRGTYP"};

std::map<std::string, double> jsonNumbers(const std::string& text) {
    std::map<std::string, double> numbers;
    const std::regex pair("\"(\\w+)\": (-?[0-9.e+-]+)");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), pair);
         it != std::sregex_iterator(); ++it)
        numbers[(*it)[1]] = std::stod((*it)[2]);
    return numbers;
}

std::vector<double> channel(const scope::Oscillogram& osc, int c) {
    std::vector<double> v(scope::kOfflineSamples);
    for (int n = 0; n < scope::kOfflineSamples; ++n)
        v[static_cast<size_t>(n)] = osc.buffer.channel(n, c);
    return v;
}

TEST(ZrdctlStep, FiguresFollowTheGainsAndAreThoseOfTheSavedRecord) {
    SpeedLoopRig rig(kBaud);
    ASSERT_TRUE(rig.start(false, false));
    std::map<std::string, uint16_t> before;
    rig.sim.withDrive([&](sim::SimDrive& d) {
        for (const char* name : kRestored)
            before[name] = d.raw(*d.indexOf(name));
    });
    const auto zrdctl = [&](const std::string& args) { return rig.zrdctl(args); };

    // With the servo off nothing is written.
    const test::Outcome off = zrdctl("step --json");
    EXPECT_EQ(off.status, 1) << off.out << off.err;
    EXPECT_NE(off.err.find("servo is off"), std::string::npos) << off.err;
    rig.sim.withDrive([](sim::SimDrive& d) {
        ASSERT_TRUE(d.answer({link::kCmdServoOn, 0, 0, 0}));
    });

    struct Case {
        const char* name;
        const char* kpv;
        const char* kiv;
    };
    // The drive's gains, a stiffer proportional gain, and a shorter integral time.
    const Case cases[] = {
        {"as shipped", "5", "10"}, {"stiffer", "15", "10"}, {"more integral", "5", "3"}};
    std::map<std::string, std::map<std::string, double>> figures;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_EQ(zrdctl(std::string("set KPV ") + c.kpv).status, 0);
        ASSERT_EQ(zrdctl(std::string("set KIV ") + c.kiv).status, 0);
        const std::string file = std::string(c.name).substr(0, 4) + ".dat";
        const test::Outcome run = zrdctl("step --amp 200 --json -o '" + file + "'");
        ASSERT_EQ(run.status, 0) << run.err;
        figures[c.name] = jsonNumbers(run.out);
        const auto& f = figures[c.name];
        EXPECT_DOUBLE_EQ(f.at("kpv"), std::stod(c.kpv));

        // The figures are those of the record saved beside them.
        scope::Oscillogram osc;
        ASSERT_TRUE(scope::readDatFile(rig.dir.file(file), osc, rig.model.get()).ok());
        const auto again = measureStep(channel(osc, 1), channel(osc, 2), channel(osc, 3),
                                       osc.header.tick, std::nullopt);
        ASSERT_TRUE(again);
        EXPECT_NEAR(again->commandAfter - again->commandBefore, 200.0, 1.0);
        EXPECT_NEAR(f.at("overshoot_percent"), again->overshootPercent, 0.01);
        ASSERT_TRUE(again->riseMs);
        EXPECT_NEAR(f.at("rise_ms"), *again->riseMs, 0.01);
        rig.sim.withDrive([&](sim::SimDrive& d) {
            for (const char* name : kRestored)
                EXPECT_EQ(d.raw(*d.indexOf(name)), before[name]) << name;
        });
    }
    rig.sim.stop();
    // A stiffer proportional gain rises faster; a shorter integral time overshoots more.
    EXPECT_LT(figures["stiffer"].at("rise_ms"), figures["as shipped"].at("rise_ms"));
    EXPECT_GT(figures["more integral"].at("overshoot_percent"),
              figures["as shipped"].at("overshoot_percent"));
}

}  // namespace
}  // namespace zrd::tuning
