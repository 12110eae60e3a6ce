#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

// The oscillogram file items of the menu and the frequency response window, end to end: files
// written and read through the windows, and a chirp recorded from the simulated drive analysed.
class OscillogramToolsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void savedFileReadsBackRecordsNamesAndParameters();
    void chirpResponsePeaksAtTheSimulatedResonance();

private:
    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
};
