#pragma once

#include <QObject>

// The program at home on a desktop: settings kept between runs (and a broken settings file
// survived), the connection dialog's port descriptions and latency advice, the About box's
// version.
class DesktopTest : public QObject {
    Q_OBJECT
private slots:
    void settingsCarryConnectionPageAndColoursToTheNextRun();
    void unusableSettingsAreToldAndLeftOut_data();
    void unusableSettingsAreToldAndLeftOut();
    void dialogDescribesPortsAndAdvisesOnLatency();
    void aboutBoxShowsTheBuildsVersion();
};
