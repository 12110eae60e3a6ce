#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

// The drive session in the main window: connection dialog, disconnect, read and write, the
// status poll with its state frames, the monitor and the inversion boxes.
class SessionTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dialogConnectsToTheSimulatedDrive();
    void dialogKeepsOpenOnAPathThatCannotBeOpened();
    void dialogRefusesABaudRateThatIsNoNumber();
    void connectionReadsAllAndDisconnectGoesOffline();
    void readButtonLogsTheReadAll();
    void lateAnswerIsDroppedAndLogged();
    void idleDriveShowsNoErrorsAndStopsAtZero();
    void errorsAreListedByName_data();
    void errorsAreListedByName();
    void sixthFailedPollGoesOffline();
    void statusFramesAreBuiltFromTheBitLines();
    void inversionBoxWritesDinlev();
    void monitorTickComposesPositions();
    void writeAllLogsEachParameter();
    void errorRaisedInALiveDriveShowsWithinOnePoll();
    void monitorStartsAndStops();
    void lostPortIsToldOnceAndGoesOffline();
    void readAllSetsTheInversionBoxesWithoutWriting();
    void disconnectEndsTheConnectionForEveryHandler();
    void everyConnectionCountsPollFailuresAnew();
    void formulaErrorDuringReadAllGivesTheWindowBack();
    void errorRaisedWhileTheMonitorRunsShows();
    void cancelledDialogChangesNothing();
    void offlineShowsNoDriveState();
    void errorListOpensAsWideAsItsLongestName();

private:
    // Opens the program's link on the simulator and marks the drive connected.
    void connectDirectly();
    // A drive running the test database, connected, its first status poll shown (no errors).
    void connectLiveDriveWithoutErrors();
    // Connects through the connection dialog, as the user does.
    void connectThroughDialog();
    void setWord(int index, int value);

    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
    std::unique_ptr<zrd::sim::SimServer> m_sim;
};
