#pragma once

#include <QObject>

// The program at home on a desktop: settings kept between runs (the connection, the page, the
// viewers' colours) and a broken settings file survived, the connection dialog's port
// descriptions and latency advice, the About box's version.
class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void settingsCarryConnectionAndPageToTheNextRun();
    void unusableSettingsAreToldAndLeftOut_data();
    void unusableSettingsAreToldAndLeftOut();
    void viewerColoursComeBackInTheNextRun();
    void dialogDescribesPortsAndAdvisesOnLatency();
    void aboutBoxShowsTheBuildsVersion();
};
