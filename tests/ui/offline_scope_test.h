#pragma once

#include <QObject>
#include <memory>
#include <string_view>

#include "sim_server.h"
#include "ui_test_support.h"

namespace zrd::scope {
class TOfflineScopePage;
}

// The page "Oscilloscope offline" against the simulated drive on a pseudo-terminal, with the
// program's own parameter database: records made by the drive, read back through the window
// and shown in the offline viewer.
class OfflineScopeTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fullBufferRecordIsReadBackAndViewed();
    void generatorMotionStartsTheRecordWithItsTriggerMarked();
    void startFgBeforeTheStartIsAcknowledgedStillStartsTheRecord();
    void bitOfAStatusWordBecomesTheEdgeLevel();
    void recordEndedShortSaysWhy_data();
    void recordEndedShortSaysWhy();

private:
    // Connects to the drive on the page, which puts the drive into offline scope mode, and
    // selects the fastest tick and the four channels.
    void connectAndPrepare();
    // connectAndPrepare with the servo on and the command source internal: the function
    // generator may drive the axis.
    void connectWithServoOnInternalCommands();
    // The rows of "See OscDatRec" hold the drive's values for the records that came and zeros
    // after them; with `cutAllowed` the record after them may hold the channels that came.
    void checkDataRecord(int records, bool cutAllowed);
    [[nodiscard]] zrd::scope::TOfflineScopePage& page();
    [[nodiscard]] int driveValue(std::string_view mnemonic);
    [[nodiscard]] uint8_t driveIndex(std::string_view mnemonic);

    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
    std::unique_ptr<zrd::sim::SimServer> m_sim;
};
