#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

// "Wave forms" against the simulated drive: what "Write" leaves in the drive for each mode and
// type, or the message that refuses it.
class WaveFormTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void writeLeavesTheDriveValues_data();
    void writeLeavesTheDriveValues();

private:
    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
    std::unique_ptr<zrd::sim::SimServer> m_sim;
};
