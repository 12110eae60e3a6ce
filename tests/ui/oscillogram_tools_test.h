#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

// The oscillogram file items of the menu and the frequency response window, end to end: files
// written and read through the windows, and chirps recorded from the simulated drive analysed:
// the Bode chart's cursor and zoom, the resonances and their notch, overlays and the open loop.
class OscillogramToolsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void savedFileReadsBackRecordsNamesAndParameters();
    void chirpResponsePeaksAtTheSimulatedResonance();
    void overlaysDrawTheirDifferenceToTheReference();
    void openLoopShowsThePlantsMargins();

private:
    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
};
