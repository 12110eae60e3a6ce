#include "scope/scope_settings.h"

#include <gtest/gtest.h>

#include "../params/params_test_support.h"
#include "params/database_loader.h"
#include "sim_fixture.h"

namespace zrd::scope {
namespace {

class ScopeSettingsTest : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        messages.load(dir.write("mess.dic", test::messageFile()), ui);
        ASSERT_TRUE(params::loadDatabase(
                        std::string(ZRD_SHIPPED_DATA_DIR) + "/" + params::kDatabaseFileName, model,
                        messages, ui, false)
                        .ok());
        drive([&](sim::SimDrive& d) { d.loadParameters(model); });
        link.state().connected = 1;
    }

    uint16_t driveRaw(const char* mnemonic) {
        uint16_t raw = 0;
        const uint8_t index = model.parameter(*model.find(mnemonic)).Index;
        drive([&](sim::SimDrive& d) { raw = d.raw(index); });
        return raw;
    }

    test::TempDir dir;
    params::MessageTable messages;
    params::ParameterModel model;
    session::ParameterAccess access{link, model, messages};
};

TEST_F(ScopeSettingsTest, WritesWhatTheDriveDoesNotHoldOrWhatMustAlwaysGo) {
    struct Case {
        const char* name;
        const char* mnemonic;
        double known;  // the value the program last knew in the drive; < 0: none
        uint16_t inDrive;
        double value;
        WriteRule rule;
        bool busy;
        sim::FaultKind fault;
        bool result;
        uint16_t after;
    };
    constexpr sim::FaultKind kNone = sim::FaultKind::None;
    for (const Case& c : {
             Case{"a new rate is written", "MDFRQ", 1, 1, 3, WriteRule::IfChanged, false, kNone,
                  true, 3},
             Case{"the known rate is not written again", "MDFRQ", 3, 1, 3, WriteRule::IfChanged,
                  false, kNone, true, 1},
             Case{"an unknown value is written", "MDFRQ", -1, 1, 2, WriteRule::IfChanged, false,
                  kNone, true, 2},
             Case{"a channel signal goes out always", "MDTYP1", 9, 7, 9, WriteRule::Always, false,
                  kNone, true, 9},
             Case{"a refused value is not kept", "MDFRQ", 1, 1, 4, WriteRule::IfChanged, false,
                  sim::FaultKind::Refuse, false, 1},
             Case{"a busy link writes nothing", "MDTYP2", 8, 8, 5, WriteRule::Always, true, kNone,
                  false, 8},
         }) {
        SCOPED_TRACE(c.name);
        const int position = *model.find(c.mnemonic);
        const uint8_t index = model.parameter(position).Index;
        drive([&](sim::SimDrive& d) {
            d.setRaw(index, c.inDrive);
            d.clearFaults();
            if (c.fault != kNone)
                d.addFault({c.fault, 0, 0, -1});
        });
        model.setValue(position, c.known);
        model.setKnown(position, c.known >= 0);
        link.state().linkBusy = c.busy;
        EXPECT_EQ(writeScopeParameter(link, access, model, c.mnemonic, c.value, c.rule), c.result);
        EXPECT_EQ(driveRaw(c.mnemonic), c.after);
        EXPECT_EQ(link.state().linkBusy, c.busy);
        EXPECT_EQ(model.value(position), c.result ? c.value : c.known);
        link.state().linkBusy = false;
    }
    drive([](sim::SimDrive& d) { d.clearFaults(); });
    EXPECT_FALSE(writeScopeParameter(link, access, model, "NOSUCH", 1));
}

TEST_F(ScopeSettingsTest, SelectorLinesGiveTheirSignalsAndStatusWordsTheirBitNames) {
    for (const auto style :
         {params::ScopeListStyle::Load, params::ScopeListStyle::LanguageSwitch}) {
        const std::vector<params::SelectorItem> items = model.scopeSelectorItems(style);
        for (size_t line = 1; line < items.size(); ++line) {
            const ChannelSelection c =
                channelFromSelectorLine(model, items[line].text, static_cast<int>(line));
            EXPECT_EQ(c.signal, items[line].entry) << items[line].text;
            EXPECT_EQ(c.name, model.scopeSignal(c.signal).Pname) << items[line].text;
        }
        EXPECT_EQ(channelFromSelectorLine(model, items[0].text, 0).name, kNoChannel);
    }
    const int iact = *findScopeSignal(model, "IACT");
    const std::string line = model.scopeSelectorItems(params::ScopeListStyle::Load)[3].text;
    EXPECT_EQ(line, "Current actual (IACT)-3");
    EXPECT_EQ(selectorLineName(line), "Current actual (IACT)");
    const ChannelSelection c = channelOfSignal(model, iact);
    EXPECT_EQ(c.scale, 0.01);
    EXPECT_EQ(c.unit, "A");
    EXPECT_TRUE(signalIsSigned(model, iact));
    EXPECT_FALSE(signalIsSigned(model, *findScopeSignal(model, "STA")));
    EXPECT_EQ(findScopeSignal(model, "0"), 0);
    EXPECT_EQ(findScopeSignal(model, "MDFRQ"), std::nullopt);

    EXPECT_EQ(channelBitHints(model, "STA")->at(15), "bit15 Hardware enable input");
    EXPECT_EQ(channelBitHints(model, "DINSTA")->at(0), "bit0 Digital input 1");
    EXPECT_EQ(channelBitHints(model, "APXSTA")->at(13), "bit13 Capture triggered");
    EXPECT_EQ(channelBitHints(model, "VACT"), std::nullopt);
}

}  // namespace
}  // namespace zrd::scope
