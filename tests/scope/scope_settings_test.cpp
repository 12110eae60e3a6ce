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
        ASSERT_TRUE(params::loadDatabase(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod",
                                         model, messages, ui, false)
                        .ok());
        drive([&](sim::SimDrive& d) { d.loadParameters(model); });
        link.state().connected = 1;
    }

    test::TempDir dir;
    params::MessageTable messages;
    params::ParameterModel model;
    session::ParameterAccess access{link, model, messages};
};

TEST_F(ScopeSettingsTest, WritesWhatTheDriveDoesNotHoldOrWhatMustAlwaysGo) {
    using sim::FaultKind;
    struct Case {
        const char* name;
        const char* mnemonic;
        double known;  // the value last known in the drive; negative: none
        uint16_t inDrive;
        double value;
        WriteRule rule;
        FaultKind fault;  // Busy: the link is busy
        bool result;
        uint16_t after;
    };
    const WriteRule changed = WriteRule::IfChanged;
    for (const Case& c : {
             Case{"a new rate is written", "MDFRQ", 1, 1, 3, changed, FaultKind::None, true, 3},
             Case{"a known rate is not sent again", "MDFRQ", 3, 1, 3, changed, FaultKind::None,
                  true, 1},
             Case{"a value not known is written", "MDFRQ", -1, 1, 2, changed, FaultKind::None, true,
                  2},
             Case{"a channel signal always goes", "MDTYP1", 9, 7, 9, WriteRule::Always,
                  FaultKind::None, true, 9},
             Case{"a refused value is not kept", "MDFRQ", 1, 1, 4, changed, FaultKind::Refuse,
                  false, 1},
             Case{"a busy link sends nothing", "MDTYP2", 8, 8, 5, WriteRule::Always,
                  FaultKind::Busy, false, 8},
         }) {
        SCOPED_TRACE(c.name);
        const int position = *model.find(c.mnemonic);
        const uint8_t index = model.parameter(position).Index;
        drive([&](sim::SimDrive& d) {
            d.setRaw(index, c.inDrive);
            d.clearFaults();
            if (c.fault == FaultKind::Refuse)
                d.addFault({c.fault, 0, 0, -1});
        });
        model.setValue(position, c.known);
        model.setKnown(position, c.known >= 0);
        link.state().linkBusy = c.fault == FaultKind::Busy;
        EXPECT_EQ(writeScopeParameter(link, access, model, c.mnemonic, c.value, c.rule), c.result);
        EXPECT_EQ(link.state().linkBusy, c.fault == FaultKind::Busy);
        EXPECT_EQ(model.value(position), c.result ? c.value : c.known);
        drive([&](sim::SimDrive& d) { EXPECT_EQ(d.raw(index), c.after); });
        link.state().linkBusy = false;
    }
}

TEST_F(ScopeSettingsTest, SelectorLinesGiveTheirSignalsAndStatusWordsTheirBitNames) {
    for (const auto style :
         {params::ScopeListStyle::Load, params::ScopeListStyle::LanguageSwitch}) {
        const std::vector<params::SelectorItem> items = model.scopeSelectorItems(style);
        for (size_t line = 0; line < items.size(); ++line) {
            const ChannelSelection c =
                channelFromSelectorLine(model, items[line].text, static_cast<int>(line));
            EXPECT_EQ(c.signal, items[line].entry) << items[line].text;
            EXPECT_EQ(c.name, line == 0 ? "N" : model.scopeSignal(c.signal).Pname);
        }
    }
    const std::string line = model.scopeSelectorItems(params::ScopeListStyle::Load)[3].text;
    EXPECT_EQ(line, "Current actual (IACT)-3");
    EXPECT_EQ(selectorLineName(line), "Current actual (IACT)");
    const ChannelSelection c = channelFromSelectorLine(model, line, 3);
    EXPECT_EQ(c.scale, 0.01);
    EXPECT_EQ(c.unit, "A");
    EXPECT_TRUE(signalIsSigned(model, c.signal));
    EXPECT_FALSE(signalIsSigned(model, *findScopeSignal(model, "STA")));

    EXPECT_EQ(channelBitHints(model, "STA")->at(15), "bit15 Hardware enable input");
    EXPECT_EQ(channelBitHints(model, "DINSTA")->at(0), "bit0 Digital input 1");
    EXPECT_EQ(channelBitHints(model, "APXSTA")->at(13), "bit13 Capture triggered");
    EXPECT_EQ(channelBitHints(model, "VACT"), std::nullopt);
}

}  // namespace
}  // namespace zrd::scope
