#include "session/connection.h"

#include <gtest/gtest.h>

#include "../params/params_test_support.h"
#include "params/database_loader.h"
#include "sim_fixture.h"

namespace zrd::session {
namespace {

using namespace zrd::link;

class ConnectionTest : public test::SimLinkTest {
protected:
    void SetUp() override {
        SimLinkTest::SetUp();
        link.closePort();
        messages.load(dir.write("mess.dic", test::messageFile()), ui);
        test::ParamFields hver;
        hver.key = "p3";
        hver.name = "HVER";
        hver.index = "3";
        hver.maxVal = "65535";
        hver.pType = "R";
        ASSERT_TRUE(
            params::loadDatabaseLines(test::database({hver.line()}), model, messages, ui, false)
                .ok());
        settings.device = sim.devicePath();
        drive([](sim::SimDrive& d) { d.setRaw(3, 21); });
    }

    test::TempDir dir;
    params::MessageTable messages;
    params::ParameterModel model;
    ParameterAccess access{link, model, messages};
    ConnectionSettings settings;
};

TEST_F(ConnectionTest, OpensStopsTheGeneratorAndFindsTheDrive) {
    const OpenOutcome o = openConnection(link, settings, messages, "Eng");
    EXPECT_EQ(o.step, OpenOutcome::Step::Opened);
    EXPECT_TRUE(o.generatorStopped);
    EXPECT_FALSE(o.scopeWasStreaming);
    EXPECT_TRUE(checkConnection(link, access, model, messages, settings));
    EXPECT_EQ(link.state().connected, 1);
    EXPECT_FALSE(link.state().linkBusy);
    EXPECT_EQ(settings.TryCount, kConnectionTryCount);
    EXPECT_EQ(model.value(*model.find("HVER")), 21);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(ConnectionTest, DriveLeftStreamingIsToldToStopWhateverByteTheReadStartsOn) {
    // A program that ended mid-capture left the drive streaming; reconnecting must find the
    // stream wherever in a frame the first read begins, and stop it.
    for (int attempt = 0; attempt < 5; ++attempt) {
        ASSERT_EQ(link.openPort(settings.device, settings.BaudRate, settings.PortTimeOut),
                  OpenResult::Ok);
        ASSERT_GT(link.sendCommand(kCmdStartOnlineScope, 1, 1, 2), 0);
        ASSERT_TRUE(link.waitForInput(kReplyThreshold, kCommandFrameLength));
        link.closePort();
        const OpenOutcome o = openConnection(link, settings, messages, "Eng");
        EXPECT_TRUE(o.scopeWasStreaming) << "attempt " << attempt;
        EXPECT_FALSE(sim.scope().streaming) << "attempt " << attempt;
        link.closePort();
    }
}

TEST_F(ConnectionTest, PathThatCannotBeOpenedShowsMessage49) {
    settings.device = dir.file("no-such-tty");
    const OpenOutcome o = openConnection(link, settings, messages, "Eng");
    EXPECT_EQ(o.step, OpenOutcome::Step::OpenFailed);
    ASSERT_EQ(ui.boxes.size(), 1u);
    EXPECT_EQ(ui.boxes[0].text, "E49");
    EXPECT_EQ(link.state().handle, PortHandle::Invalid);
    // The check after a failed open runs against the invalid handle and finds no drive.
    EXPECT_FALSE(checkConnection(link, access, model, messages, settings));
    EXPECT_EQ(ui.boxes.back().text, "Bad line: ");
}

TEST_F(ConnectionTest, SilentDriveFailsTheCheckAndHoldsTheLink) {
    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 0, -1}); });
    const OpenOutcome o = openConnection(link, settings, messages, "Eng");
    EXPECT_EQ(o.step, OpenOutcome::Step::Opened);
    EXPECT_FALSE(o.generatorStopped);
    EXPECT_FALSE(checkConnection(link, access, model, messages, settings));
    EXPECT_EQ(link.state().connected, 0);
    EXPECT_TRUE(link.state().linkBusy);
    EXPECT_EQ(ui.boxes.back().text, "Bad line: ");
}

TEST_F(ConnectionTest, DriveAnsweringMinusOneCountsAsSilent) {
    model.parameter(*model.find("HVER")).vType = "INT";
    drive([](sim::SimDrive& d) { d.setRaw(3, 0xFFFF); });
    (void)openConnection(link, settings, messages, "Eng");
    EXPECT_FALSE(checkConnection(link, access, model, messages, settings));
}

TEST_F(ConnectionTest, NoPortEverOpenedChecksNothing) {
    DriveLink fresh(*port, ui);
    ParameterAccess freshAccess(fresh, model, messages);
    EXPECT_FALSE(checkConnection(fresh, freshAccess, model, messages, settings));
    EXPECT_TRUE(ui.boxes.empty());
    EXPECT_EQ(settings.TryCount, 0);
}

TEST(BaudBox, TakesAnyPositiveWholeNumber) {
    int v = 0;
    EXPECT_TRUE(parsePositive("9600", v));
    EXPECT_EQ(v, 9600);
    EXPECT_TRUE(parsePositive("250000", v));
    EXPECT_EQ(v, 250000);
    for (const char* bad : {"", "96 00", "x", "-5", "0", "9600.5", "99999999999"})
        EXPECT_FALSE(parsePositive(bad, v)) << bad;
}

}  // namespace
}  // namespace zrd::session
