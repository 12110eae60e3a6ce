#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

// The command monitor against the simulated drive: its own port taken from the main link, a
// read request and its answer on the screen and in the recording, a port that does not open.
class CommandMonitorTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readShowsTheAnswerAndRecordsIt();
    void portThatDoesNotOpenIsReported();

private:
    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
    std::unique_ptr<zrd::sim::SimServer> m_sim;
};
