#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

namespace zrd::scope {
class TOnlineScopePage;
}

// The page "Oscilloscope online" against the simulated drive on a pseudo-terminal: the drive's
// settings on the page, and captures through the window from start to each of their ends.
class OnlineScopeTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void settingsFollowTheDriveAndTheUsersChoice();
    void captureStreamsWhileTheWindowStaysLive();
    void rateClickedDuringACaptureStaysDeselected();
    void captureEndsOnTheDrivesSide_data();
    void captureEndsOnTheDrivesSide();
    void generatorAboveHalfTheRateIsWarned_data();
    void generatorAboveHalfTheRateIsWarned();
    void viewerBesideTheProgramLeavesThePagesEditable();
    void replayHoldsTheLinkUntilItEnds_data();
    void replayHoldsTheLinkUntilItEnds();

private:
    // Opens the program's link on the simulator as a connected drive and shows the page, which
    // puts the drive into online scope mode.
    void connectAndShowPage();
    [[nodiscard]] zrd::scope::TOnlineScopePage& page();
    [[nodiscard]] uint16_t driveRaw(int index);

    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
    std::unique_ptr<zrd::sim::SimServer> m_sim;
};
