#include "params/parameter_table.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>
#include <optional>

namespace zrd::params {
namespace {

TPar param(const std::string& name, double scale = 1, const std::string& vType = "UINT") {
    TPar p;
    p.Pname = name;
    p.scale = scale;
    p.vType = vType;
    return p;
}

TEST(ValueText, ShortestGeneralFormWithPointSeparator) {
    struct Case {
        double value;
        const char* text;
    };
    for (const Case& c :
         {Case{0, "0"}, Case{-0.0, "0"}, Case{25, "25"}, Case{-1, "-1"}, Case{0.1, "0.1"},
          Case{0.1 + 0.2, "0.3"}, Case{2.5, "2.5"}, Case{1.0 / 3, "0.333333333333333"},
          Case{123456.789, "123456.789"}, Case{0.0001, "0.0001"}, Case{0.00001, "1E-5"},
          Case{123456789012345.0, "123456789012345"},
          Case{1234567890123456.0, "1.23456789012346E15"}, Case{65535 * 0.01, "655.35"},
          Case{-32768 * 0.5, "-16384"}}) {
        EXPECT_EQ(valueText(c.value), c.text) << c.value;
    }
}

TEST(RawConversion, SignednessFollowsValueType) {
    struct Case {
        const char* vType;
        uint16_t raw;
        double scale;
        double display;
    };
    for (const Case& c : {Case{"INT", 0xFFFF, 1, -1}, Case{"UINT", 0xFFFF, 1, 65535},
                          Case{"INT", 0xFFFF, 0.5, -0.5}, Case{"", 0xFFFF, 2, 131070},
                          Case{"int", 0x8000, 1, 32768}, Case{"INT", 0x8000, 1, -32768},
                          Case{"INT", 0x7FFF, 0.1, 3276.7}}) {
        EXPECT_DOUBLE_EQ(rawToDisplay(param("X", c.scale, c.vType), c.raw), c.display)
            << c.vType << " " << c.raw;
    }
}

TEST(RawConversion, DisplayToRawRoundsHalvesToEvenAndNeverWraps) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct Case {
        double value;
        double scale;
        const char* vType;
        std::optional<uint16_t> raw;
    };
    for (const Case& c :
         {Case{2.5, 1, "UINT", 2}, Case{3.5, 1, "UINT", 4}, Case{-0.5, 1, "INT", 0},
          Case{-1.5, 1, "INT", 0xFFFE}, Case{10.25, 0.5, "UINT", 20}, Case{10.75, 0.5, "UINT", 22},
          Case{50, 0.5, "UINT", 100}, Case{-1, 1, "INT", 0xFFFF}, Case{65535, 1, "UINT", 0xFFFF},
          Case{-32768, 1, "INT", 0x8000}, Case{3276.7, 0.1, "INT", 0x7FFF},
          // Outside the parameter's 16 bits, or no number at all: nothing to send.
          Case{-1, 1, "UINT", std::nullopt}, Case{65536, 1, "UINT", std::nullopt},
          Case{100000, 1, "UINT", std::nullopt}, Case{32768, 1, "INT", std::nullopt},
          Case{-32769, 1, "INT", std::nullopt}, Case{1e300, 1, "INT", std::nullopt},
          Case{5e9, 1, "UINT", std::nullopt}, Case{nan, 1, "UINT", std::nullopt},
          Case{inf, 1, "INT", std::nullopt}, Case{-inf, 0.01, "INT", std::nullopt}}) {
        EXPECT_EQ(displayToRaw(param("X", c.scale, c.vType), c.value), c.raw)
            << c.value << " / " << c.scale << " " << c.vType;
    }
}

// Compared in raw units: a value is in range when the raw value it is sent as lies within the
// limits, whatever the rounding of limit × scale.
TEST(Limits, ComparedInRawUnitsBothBoundsInclusive) {
    struct Case {
        int32_t min, max;
        double scale;
        double value;
        bool in;
    };
    for (const Case& c :
         {Case{-10, 100, 0.5, -5, true}, Case{-10, 100, 0.5, 50, true},
          Case{-10, 100, 0.5, 50.5, false}, Case{-10, 100, 0.5, -5.3, false},
          Case{-10, 100, 0.5, -5.01, true}, Case{3, 10, 0.1, 0.3, true},
          Case{3, 10, 0.1, 0.2, false}, Case{0, 7, 0.1, 0.7, true}, Case{0, 65535, 1, 1e300, false},
          Case{0, 100, 1, std::numeric_limits<double>::quiet_NaN(), false}}) {
        TPar p = param("X", c.scale, "INT");
        p.MinVal = c.min;
        p.MaxVal = c.max;
        EXPECT_EQ(inDisplayRange(p, c.value), c.in) << c.value << " in " << c.min << ".." << c.max;
    }
}

TEST(LanguageChoice, OnlyExactEngSelectsEnglishTexts) {
    TPar p = param("X");
    p.EngName = "Speed";
    p.RusName = "Скорость";
    p.units_eng = "rpm";
    p.units_rus = "об/мин";
    EXPECT_EQ(description(p, "Eng"), "Speed");
    EXPECT_EQ(units(p, "Eng"), "rpm");
    for (const char* other : {"eng", "Rus", "", "ENG"}) {
        EXPECT_EQ(description(p, other), "Скорость") << other;
        EXPECT_EQ(units(p, other), "об/мин") << other;
    }
}

class ModelTest : public ::testing::Test {
protected:
    std::unique_ptr<ParameterModel> owner = std::make_unique<ParameterModel>();
    ParameterModel& model = *owner;
};

TEST_F(ModelTest, LookupTakesTheFirstExactMatchAndNeverAFreePosition) {
    model.parameter(0) = param("SPD");
    model.parameter(1) = param("ENMOD");
    model.parameter(2) = param("SPD");
    model.parameter(299) = param("LAST");
    EXPECT_EQ(model.find("SPD"), 0);
    EXPECT_EQ(model.find("ENMOD"), 1);
    EXPECT_EQ(model.find("LAST"), 299);
    for (const char* miss : {"spd", "SP", "SPD ", "", "NONE"})
        EXPECT_FALSE(model.find(miss)) << miss;
}

TEST_F(ModelTest, CachedPositionsAreTheFirstMatches) {
    TPar a = param("STA");
    a.Index = 240;
    TPar b = param("STA2");
    b.Index = 240;
    TPar c = param("DINSTA");
    c.Index = 244;
    TPar stale;  // a free position with a stale index never counts
    stale.Index = 241;
    model.parameter(0) = stale;
    model.parameter(1) = a;
    model.parameter(2) = b;
    model.parameter(3) = c;
    model.parameter(4) = param("HVER");
    model.parameter(5) = param("HVER");
    model.cachePositions();
    EXPECT_EQ(model.statusWordPosition(240), 1);
    EXPECT_EQ(model.statusWordPosition(244), 3);
    EXPECT_FALSE(model.statusWordPosition(241));
    EXPECT_FALSE(model.statusWordPosition(245));
    EXPECT_EQ(model.knownPosition(KnownParameter::HVER), 4);
    EXPECT_FALSE(model.knownPosition(KnownParameter::MT));
}

TEST_F(ModelTest, RowParametersGetTheirDefaultsOthersKeepTheirValues) {
    TPar row = param("ROW", 0.5);
    row.DefValue = 50;
    row.IndexGroup = 5;
    TPar hidden = row;
    hidden.Pname = "HIDDEN";
    hidden.Mode_mes = 1;
    TPar status = row;
    status.Pname = "STATUS";
    status.IndexGroup = 6;
    model.parameter(0) = row;
    model.parameter(1) = hidden;
    model.parameter(2) = status;
    model.setValue(1, 7);
    model.setValue(2, 8);
    model.setRowValuesToDefaults();
    EXPECT_DOUBLE_EQ(model.value(0), 25);
    EXPECT_DOUBLE_EQ(model.previousValue(0), 25);
    EXPECT_DOUBLE_EQ(model.value(1), 7);
    EXPECT_DOUBLE_EQ(model.value(2), 8);
}

TEST_F(ModelTest, PageRowNeedsAFrameSlot) {
    for (const auto& [frame, row] :
         {std::pair{-1, false}, std::pair{0, true}, std::pair{199, true}, std::pair{200, false}}) {
        model.parameter(0).indexFrame = frame;
        EXPECT_EQ(model.hasPageRow(0), row) << frame;
    }
}

TEST_F(ModelTest, ScopeSignalListHoldsAtMost128Entries) {
    TPar none;
    none.EngName = "None";
    model.resetScopeSignals(none);
    TPar s = param("S");
    for (int i = 1; i < kScopeSignalCount; ++i)
        ASSERT_TRUE(model.addScopeSignal(s));
    EXPECT_FALSE(model.addScopeSignal(s));
    EXPECT_EQ(model.scopeSignalCount(), kScopeSignalCount);
    EXPECT_THROW((void)model.scopeSignal(kScopeSignalCount), std::out_of_range);
}

TEST_F(ModelTest, SelectorItemsSkipReservedSignalsButKeepTheirNumbers) {
    auto signal = [](const std::string& name, const std::string& page, const std::string& eng) {
        TPar p = param(name);
        p.NameSubgroup = page;
        p.EngName = eng;
        p.RusName = "Р" + eng;
        return p;
    };
    model.parameter(0) = signal("IACT", "Signals_osc_page2", "Current");
    model.parameter(1) = signal("OTHER", "Main", "Other");
    model.parameter(2) = signal("R1", "Signals_osc_page1", "Reserved 1");
    model.parameter(3) = signal("VACT", "Signals_osc_page6", "Speed");
    model.parameter(4) = signal("P5", "Signals_osc_page5", "Five");
    TPar none;
    none.EngName = "None";
    none.RusName = "Нет";
    model.setLanguage("Eng");
    EXPECT_TRUE(model.buildScopeSignals(none, kScopeSignalPagesAtLoad).empty());
    ASSERT_EQ(model.scopeSignalCount(), 5);
    EXPECT_EQ(model.scopeSignal(1).Pname, "IACT");
    EXPECT_EQ(model.scopeSignal(2).Pname, "R1");
    const auto items = model.scopeSelectorItems(ScopeListStyle::Load);
    ASSERT_EQ(items.size(), 4u);
    EXPECT_EQ(items[0].text, "None-0");
    EXPECT_EQ(items[1].text, "Current-1");
    EXPECT_EQ(items[2].entry, 3);
    EXPECT_EQ(items[2].text, "Speed-3");
    EXPECT_EQ(items[3].text, "Five-4");

    // The language switch lists pages 1..4 only, every entry, without the dash.
    model.setLanguage("Rus");
    EXPECT_TRUE(model.buildScopeSignals(none, kScopeSignalPagesAtLanguageSwitch).empty());
    const auto switched = model.scopeSelectorItems(ScopeListStyle::LanguageSwitch);
    ASSERT_EQ(switched.size(), 3u);
    EXPECT_EQ(switched[0].text, "Нет0");
    EXPECT_EQ(switched[1].text, "РCurrent1");
    EXPECT_EQ(switched[2].text, "РReserved 12");
}

}  // namespace
}  // namespace zrd::params
