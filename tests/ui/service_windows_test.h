#pragma once

#include <QObject>
#include <memory>

#include "sim_server.h"
#include "ui_test_support.h"

// The filter calculator, the service commands and the parameter files against the simulated
// drive: what each leaves in the drive, on the screen and on disk.
class ServiceWindowsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void filterWriteLeavesTheQuantisedCoefficients_data();
    void filterWriteLeavesTheQuantisedCoefficients();
    void eepromStoreAndRefusedServo();
    void filterDesignStaysPutAndOutlivesTheWindow();
    void parameterFileComesBackAfterOk_data();
    void parameterFileComesBackAfterOk();
    void modeAndSourceButtonsReachTheDrive_data();
    void modeAndSourceButtonsReachTheDrive();
    void resetReadsBackWhatTheDriveStarts_data();
    void resetReadsBackWhatTheDriveStarts();

private:
    std::unique_ptr<zrd::test::ProgramFixture> m_fixture;
    std::unique_ptr<zrd::sim::SimServer> m_sim;
};
