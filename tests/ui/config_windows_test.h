#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

// The configuration dialog, CALCPARA and the formula tester against the simulated drive: what
// each leaves in the drive and on the screen.
class ConfigWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void setFitsTheMotorAndMarksTheRows();
    void calcParaReadsTheRecalculatedValues();
    void testerShowsPostfixAndResult_data();
    void testerShowsPostfixAndResult();

private:
    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
    std::unique_ptr<zrd::sim::SimServer> m_sim;
};
