#pragma once

#include <string>

class QAction;
class QMenu;
class QMenuBar;

namespace zrd::app {

// The main window's menu bar: its menus and items by the names the handlers and the
// translations use. The service menus start hidden; the window connects the items.
class TMainMenu {
public:
    // Fills the bar; `simDevice` (the demo's simulated drive, if any) is named on "Connection
    // parameters".
    void buildMenu(QMenuBar& menuBar, const std::string& simDevice);

    // Menu: File
    QMenu* File1;
    QAction* Readingparametersfromfile1;
    QAction* N10;
    QAction* N21;
    QAction* Saveparameterstofile1;
    QAction* N4;
    QAction* N20;
    QAction* Exit1;
    // Menu: Connection
    QMenu* Connection1;
    QAction* N3;
    QAction* N9;
    // Menu: Services
    QMenu* Services1;
    QAction* Filtercalculator1;
    QAction* Setdefaultparameters1;
    QAction* TypeofFGsignal1;
    QAction* RESET1;
    QAction* Setconfiguration1;
    QAction* Stepresponse1;
    QAction* Autotuning1;
    // Menu: Help
    QMenu* Help1;
    QAction* About1;
    // Menu: Special functions (hidden)
    QMenu* Specialfunctions1;
    QAction* InitialDriveInitialization1;
    QAction* N17;
    QAction* Savedefault1;
    QAction* SaveprogramspartoEEPROM1;
    QAction* Loaddefault1;
    QAction* Language1;
    QAction* Testingformulas1;
    QAction* CALCPARA1;
    QAction* Closespecialfunction1;
    // Menu: Admin's functions (hidden)
    QMenu* Adminsfunctions1;
    QAction* Commandmonitor1;
    QAction* SeeOscDatRec;
    QAction* CloseAdminfunctions1;
};

}  // namespace zrd::app
