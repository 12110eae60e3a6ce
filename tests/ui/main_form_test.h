#pragma once

#include <QObject>

class MainFormTest : public QObject {
    Q_OBJECT
private slots:
    void showsTheProgramCaptionAndSize();
    void notebookTabs_data();
    void notebookTabs();
    void menuItems_data();
    void menuItems();
    void serviceMenusStartHidden();
    void timers_data();
    void timers();
    void controlsCarryTheirNames_data();
    void controlsCarryTheirNames();
    void startsOfflineWithDefaults();
    void startUpDisablesOnlyTheWindowsOwnScopeButtons();
    void endsWithoutDatabase();
    void replyTimeoutRestoresIdle_data();
    void replyTimeoutRestoresIdle();
    void unlockSequences_data();
    void unlockSequences();
    void closingServiceMenusSplitsSerialNumber();
    void outlineTogglesWhileMakerLabelIsHeld();
    void exitReleasesTheLink();
    void generalErrorReport_data();
    void generalErrorReport();
    void pictureButtonsOpenTheirDrawing_data();
    void pictureButtonsOpenTheirDrawing();
    void missingDrawingIsReported();
    void tabClickWithMonitorDisabledRevertsTheMonitor();
};
