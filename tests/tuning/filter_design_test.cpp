#include "tuning/filter_design.h"

#include <gtest/gtest.h>

#include <cmath>

#include "../params/params_test_support.h"
#include "params/database_loader.h"
#include "session/service_commands.h"
#include "sim_fixture.h"

namespace zrd::tuning {
namespace {

namespace pm = zrd::params;

double gainAt(const Biquad& q, double f) {
    return std::abs(biquadResponse(q, f));
}

TEST(FilterDesign, LowPassExampleGivesTheKnownCoefficients) {
    const auto q = designFilter({FilterType::LowPass, 250, 0, 1});
    ASSERT_TRUE(q);
    EXPECT_NEAR(q->b0, 0.0088389, 5e-8);
    EXPECT_NEAR(q->b1, 0.0176779, 5e-8);
    EXPECT_NEAR(q->b2, 0.0088389, 5e-8);
    EXPECT_NEAR(q->a1, -1.804677, 5e-7);
    EXPECT_NEAR(q->a2, 0.840033, 5e-7);
    EXPECT_NEAR(q->b0 + q->b1 + q->b2, 0.0353557, 5e-8);
    EXPECT_NEAR(1 + q->a1 + q->a2, q->b0 + q->b1 + q->b2, 1e-12);
}

// Each type checked against what its response must be, evaluated from H(z) on the unit
// circle: the gain at zero frequency, at the design frequency and at the Nyquist frequency, and
// for the band stop its −3 dB width f0/Q.
TEST(FilterDesign, EachTypeHasTheResponseItIsDesignedFor) {
    struct Case {
        FilterType type;
        double f, q, g;
        double atDc, atF0, atNyquist;
    };
    const double boost = std::pow(10.0, 6.0 / 20.0);
    const double cut = std::pow(10.0, -12.0 / 20.0);
    for (const Case& c : {Case{FilterType::LowPass, 400, 0, 3, 1, std::pow(10.0, 3.0 / 20.0), 0},
                          Case{FilterType::BandStop, 600, 2, 0, 1, 0, 1},
                          Case{FilterType::EqualiserCut, 300, 1.5, -12, 1, cut, 1},
                          Case{FilterType::EqualiserBoost, 1200, 0.8, 6, 1, boost, 1}}) {
        const auto q = designFilter({c.type, c.f, c.q, c.g});
        ASSERT_TRUE(q) << static_cast<int>(c.type);
        EXPECT_NEAR(gainAt(*q, 0), c.atDc, 1e-9) << static_cast<int>(c.type);
        EXPECT_NEAR(gainAt(*q, c.f), c.atF0, 1e-9) << static_cast<int>(c.type);
        EXPECT_NEAR(gainAt(*q, kFilterRate / 2), c.atNyquist, 1e-9) << static_cast<int>(c.type);
        EXPECT_TRUE(biquadStable(*q));
        if (c.type == FilterType::BandStop) {
            // The −3 dB edges by bisection on either side of the notch.
            const auto edge = [&](double lo, double hi, bool rising) {
                for (int i = 0; i < 100; ++i) {
                    const double mid = (lo + hi) / 2;
                    const bool above = gainAt(*q, mid) > std::sqrt(0.5);
                    ((above == rising) ? hi : lo) = mid;
                }
                return (lo + hi) / 2;
            };
            const double width = edge(c.f, kFilterRate / 2, true) - edge(1, c.f, false);
            EXPECT_NEAR(width, c.f / c.q, 1e-6);
        }
    }
}

TEST(FilterDesign, DegenerateInputsComputeNothing) {
    for (const FilterType t :
         {FilterType::BandStop, FilterType::EqualiserCut, FilterType::EqualiserBoost})
        EXPECT_FALSE(designFilter({t, 250, 0, 1})) << static_cast<int>(t);
    EXPECT_FALSE(designFilter({FilterType::Off, 250, 1, 1}));
    EXPECT_FALSE(calculateFilter({FilterType::BandStop, 250, 0, 1}, {1, 1, 1, 1, 1}));
}

TEST(FilterDesign, QuantisationRoundsToTheScaleAndCorrectsZeroFrequencyGain) {
    struct Case {
        const char* name;
        Biquad in;
        double scale;
        FilterType type;
        Biquad out;
    };
    // N − D of the last four inputs: 0.00098, 0.000995, 0.000995, 0.00101.
    const std::vector<Case> cases = {
        {"scale 0.0001",
         {0.0088389, 0.0176779, 0.0088389, -1.804677, 0.840033},
         0.0001,
         FilterType::LowPass,
         {0.0088, 0.0177, 0.0088, -1.8047, 0.84}},
        // N 4, D 3 after rounding: a1 takes the difference.
        {"scale 0 rounds halves to even",
         {2.5, -2.5, 3.5, 0.5, 1.5},
         0,
         FilterType::BandStop,
         {2, -2, 4, 1, 2}},
        {"below the tolerance",
         {0.50098, 0, 0, -0.5, 0},
         0.00001,
         FilterType::LowPass,
         {0.50098, 0, 0, -0.5, 0}},
        {"at the tolerance",
         {0.500995, 0, 0, -0.5, 0},
         0.000001,
         FilterType::EqualiserCut,
         {0.500995, 0, 0, -0.499005, 0}},
        {"below the boost's tolerance",
         {0.500995, 0, 0, -0.5, 0},
         0.000001,
         FilterType::EqualiserBoost,
         {0.500995, 0, 0, -0.5, 0}},
        {"at the boost's tolerance",
         {0.50101, 0, 0, -0.5, 0},
         0.00001,
         FilterType::EqualiserBoost,
         {0.50101, 0, 0, -0.49899, 0}},
    };
    for (const Case& c : cases) {
        CoefficientFactors f{};
        f.fill(quantisationFactor(c.scale));
        const Biquad q = correctDcGain(quantise(c.in, f), c.type);
        EXPECT_NEAR(q.b0, c.out.b0, 1e-12) << c.name;
        EXPECT_NEAR(q.b1, c.out.b1, 1e-12) << c.name;
        EXPECT_NEAR(q.b2, c.out.b2, 1e-12) << c.name;
        EXPECT_NEAR(q.a1, c.out.a1, 1e-12) << c.name;
        EXPECT_NEAR(q.a2, c.out.a2, 1e-12) << c.name;
    }
}

// a2 stands first in the table: loading and writing follow the table, not the form.
constexpr std::array<FilterRole, 9> kTableOrder = {
    FilterRole::A2, FilterRole::Type, FilterRole::Frequency, FilterRole::Quality, FilterRole::Gain,
    FilterRole::B0, FilterRole::B1,   FilterRole::B2,        FilterRole::A1};

// The calculator's slot against the simulated drive: fields loaded in table order, the factors
// of the slot's own coefficient parameters, and the nine writes on the wire.
class FilterSlotTest : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        if (HasFatalFailure())
            return;
        messages.load(dir.write("mess.dic", test::messageFile()), ui);
        std::vector<std::string> body;
        int index = 10;
        for (const FilterRole role : kTableOrder) {
            const bool coefficient = role >= FilterRole::B0;
            // b2's parameter has the coarser scale 0.001.
            const std::string scale = role == FilterRole::B2        ? "0.001"
                                      : coefficient                 ? "0.0001"
                                      : role == FilterRole::Quality ? "0.001"
                                      : role == FilterRole::Gain    ? "0.1"
                                                                    : "1";
            body.push_back(test::fields("P" + std::to_string(index), filterMnemonic(2, role), index,
                                        coefficient || role == FilterRole::Gain ? "INT" : "UINT",
                                        "R-W", coefficient ? -32768 : 0,
                                        coefficient ? 32767 : 20000, scale, 0)
                               .line());
            ++index;
        }
        ASSERT_TRUE(pm::loadDatabaseLines(test::database(body), model, messages, ui, false).ok());
        drive([&](sim::SimDrive& d) { d.loadParameters(model); });
        link.state().connected = 1;
    }

    int16_t raw(FilterRole role) {
        uint16_t v = 0;
        drive([&](sim::SimDrive& d) { v = d.raw(*d.indexOf(filterMnemonic(2, role))); });
        return static_cast<int16_t>(v);
    }

    test::TempDir dir;
    pm::MessageTable messages;
    pm::ParameterModel model;
    session::ParameterAccess access{link, model, messages};
};

TEST_F(FilterSlotTest, DesignedSlotReachesTheDriveInTableOrder) {
    const CoefficientFactors factors = coefficientFactors(model, 2);
    EXPECT_EQ(factors, (CoefficientFactors{10000, 10000, 1000, 10000, 10000}));
    // A slot without its own parameters quantises with whole numbers.
    EXPECT_EQ(coefficientFactors(model, 1), (CoefficientFactors{1, 1, 1, 1, 1}));

    struct Case {
        FilterFields fields;
        std::array<int16_t, 9> raws;  // type, f, Q, G, b0, b1, b2, a1, a2 as the drive holds them
    };
    FilterFields notch{FilterType::BandStop, 600, 2, 0, {}};
    const auto c = calculateFilter(inputsOf(notch), factors);
    ASSERT_TRUE(c);
    notch.coefficients = c->quantised;
    const auto r = [](double v, double scale) {
        return static_cast<int16_t>(std::lround(v / scale));
    };
    const Biquad& n = c->quantised;
    for (const Case& k : {Case{notch,
                               {2, 600, 2000, 0, r(n.b0, 1e-4), r(n.b1, 1e-4), r(n.b2, 1e-3),
                                r(n.a1, 1e-4), r(n.a2, 1e-4)}},
                          Case{FilterFields{}, {0, 250, 707, 10, 10000, 0, 0, 0, 0}}}) {
        const int before = [&] {
            int seen = 0;
            drive([&](sim::SimDrive& d) { seen = d.framesSeen(); });
            return seen;
        }();
        const FilterWriteResult w = writeFilterSlot(link, access, model, 2, k.fields);
        ASSERT_TRUE(w.allAccepted());
        ASSERT_EQ(w.writes.size(), 9u);
        int seen = 0;
        drive([&](sim::SimDrive& d) { seen = d.framesSeen(); });
        EXPECT_EQ(seen - before, 9);
        for (size_t i = 0; i < 9; ++i) {
            EXPECT_EQ(w.writes[i].role, kTableOrder[i]) << i;
            EXPECT_EQ(raw(kTableOrder[i]), k.raws[static_cast<size_t>(kTableOrder[i])]) << i;
        }
        // Loading the slot back gives the fields written.
        const FilterFields loaded = loadFilterSlot(model, 2);
        EXPECT_EQ(loaded.type, k.fields.type);
        EXPECT_NEAR(loaded.coefficients.b2, k.fields.coefficients.b2, 1e-12);
    }
}

// A band stop designed by the calculator and written over the line calms the resonance of the
// simulated drive's speed loop: the peak speed of a chirp across it, without and with the filter.
class FilterOnTheDriveTest : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        if (HasFatalFailure())
            return;
        const std::string data = ZRD_SHIPPED_DATA_DIR;
        messages.load(data + "/" + pm::kMessageFileName, ui);
        ASSERT_TRUE(
            pm::loadDatabase(data + "/" + pm::kDatabaseFileName, model, messages, ui, false).ok());
        drive([&](sim::SimDrive& d) {
            d.loadParameters(model);
            d.setNoise(0.0);
        });
        link.state().connected = 1;
    }

    void write(const char* name, double value) {
        const int position = *model.find(name);
        model.setValue(position, value);
        model.setCurrentParameter(position);
        access.SetParam();
        ASSERT_EQ(access.lastReply(), link::kReplyAccepted) << name;
    }

    // The chirp from 300 to 500 Hz over 1024 ms, run on the drive's clock: the peak speed while
    // it passes 350..450 Hz.
    int sweepPeak() {
        int peak = 0;
        drive([&](sim::SimDrive& d) {
            const uint8_t vact = *d.indexOf("VACT");
            EXPECT_EQ(d.answer({link::kCmdChirp, 0, 0, 0})->bytes.at(2), 0);
            EXPECT_EQ(d.answer({link::kCmdStartGenerator, 0, 0, 0})->bytes.at(2), 0);
            d.advance(std::chrono::milliseconds(256));
            for (int ms = 256; ms < 768; ++ms) {
                d.advance(std::chrono::milliseconds(1));
                peak = std::max(peak, std::abs(static_cast<int16_t>(d.raw(vact))));
            }
            d.advance(std::chrono::milliseconds(300));
        });
        return peak;
    }

    test::TempDir dir;
    pm::MessageTable messages;
    pm::ParameterModel model;
    session::ParameterAccess access{link, model, messages};
};

TEST_F(FilterOnTheDriveTest, DesignedNotchCalmsTheResonance) {
    write("OPMOD", session::kModeSpeed);
    write("INST", session::kSourceInternal);
    write("ENMOD", 1);
    session::ServiceCommands service{link, access, model, messages};
    session::DriveControls controls;
    ASSERT_EQ(service.servoOn(controls).outcome, session::ServiceOutcome::Done);
    for (const auto& [name, value] : {std::pair{"IIT", 4.0},
                                      {"IIP1V", 500.0},
                                      {"IIP4V", 300.0},
                                      {"IIP3V", 500.0},
                                      {"RCFREQ", 1.0}})
        write(name, value);
    const int open = sweepPeak();

    FilterFields notch = loadFilterSlot(model, 1);
    notch.type = FilterType::BandStop;
    notch.frequency = 400;
    notch.quality = 2;
    const auto c = calculateFilter(inputsOf(notch), coefficientFactors(model, 1));
    ASSERT_TRUE(c);
    ASSERT_TRUE(c->stable);
    notch.coefficients = c->quantised;
    // Written one parameter at a time, the slot passes through filters that are no filter of
    // either design (a1 new, a2 still old): the servo is off meanwhile.
    ASSERT_EQ(service.servoOff(controls).outcome, session::ServiceOutcome::Done);
    ASSERT_TRUE(writeFilterSlot(link, access, model, 1, notch).allAccepted());
    ASSERT_EQ(service.servoOn(controls).outcome, session::ServiceOutcome::Done);
    const int notched = sweepPeak();
    EXPECT_GT(open, 50);
    EXPECT_LT(notched, open / 3) << open;
}

}  // namespace
}  // namespace zrd::tuning
