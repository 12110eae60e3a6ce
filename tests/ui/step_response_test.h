#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

// "Step response" against the simulated drive on a pseudo-terminal: runs measured as their
// exported records show them, the gain changed from the window between runs, the runs overlaid.
class StepResponseTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void runsAreMeasuredAsExportedAndOverlaidAfterAGainChange();
    void runThatCannotStepWritesNothingAndSaysWhy_data();
    void runThatCannotStepWritesNothingAndSaysWhy();

private:
    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
    std::unique_ptr<zrd::sim::SimServer> m_sim;
};
