#include "scope/scope_settings.h"

#include <gtest/gtest.h>

#include "../params/params_test_support.h"
#include "params/database_loader.h"
#include "recording_ui.h"

namespace zrd::scope {
namespace {

class ScopeSettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        messages.load(dir.write("mess.dic", test::messageFile()), ui);
        ASSERT_TRUE(params::loadDatabase(std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod",
                                         model, messages, ui, false)
                        .ok());
    }

    test::TempDir dir;
    test::RecordingUserInterface ui;
    params::MessageTable messages;
    params::ParameterModel model;
};

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
