#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

// "Auto tuning" against the simulated drive on a pseudo-terminal: a dry run that proposes and
// writes nothing, Apply that verifies and Undo that puts the drive back, a cancel at any point
// of the measurement, and a drive that hangs up.
class AutoTuningTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void dryRunWritesNothingAndApplyWithUndoLeavesTheDriveAsBefore();
    void cancelMidMeasurementEndsAtOnceWithTheSettingsBack_data();
    void cancelMidMeasurementEndsAtOnceWithTheSettingsBack();
    void driveThatHangsUpEndsTheRunWithTheLinksMessage();

private:
    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
    std::unique_ptr<zrd::sim::SimServer> m_sim;
};
