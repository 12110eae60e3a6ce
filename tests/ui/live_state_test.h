#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

// What the main window shows of the drive stays true to it: an exchange the drive ends by
// falling silent is told and logged, an offline window shows nothing as live, a command that
// changes the drive's state is followed by its status at once, no enabled control does
// nothing, and a pulled cable is reconnected once the device is back.
class LiveStateTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void silentDriveIsToldAndLogged_data();
    void silentDriveIsToldAndLogged();
    void offlineWindowShowsNothingLive_data();
    void offlineWindowShowsNothingLive();
    void stateIsReadAgainAfterACommand_data();
    void stateIsReadAgainAfterACommand();
    void reconnectKeepsTheUsersPage();
    void cablePullIsReconnected_data();
    void cablePullIsReconnected();
    void stopReplayActsOnlyWhileAReplayRuns();

private:
    // The shipped drive on the simulator, its first status shown, the command source internal
    // (so that the servo and generator panels are offered).
    void connectLive();
    [[nodiscard]] uint16_t driveRaw(const char* mnemonic);

    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
    std::unique_ptr<zrd::sim::SimServer> m_sim;
};
