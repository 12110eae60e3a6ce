#include "app/main_menu.h"

#include <QMenu>
#include <QMenuBar>

namespace zrd::app {
namespace {

QAction* addItem(QMenu* menu, const char* name, const QString& caption) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(name);
    return action;
}

}  // namespace

void TMainMenu::buildMenu(QMenuBar& menuBar, const std::string& simDevice) {
    QMenuBar* bar = &menuBar;
    bar->setObjectName("MainMenu1");

    File1 = bar->addMenu("File");
    File1->setObjectName("File1");
    Readingparametersfromfile1 =
        addItem(File1, "Readingparametersfromfile1", "Reading parameters from file");
    N10 = addItem(File1, "N10", "Reading parameters from drive");
    N21 = addItem(File1, "N21", "Reading oscillogram from file");
    File1->addSeparator();
    Saveparameterstofile1 = addItem(File1, "Saveparameterstofile1", "Save parameters to file");
    N4 = addItem(File1, "N4", "Save parameters to EEPROM");
    N20 = addItem(File1, "N20", "Save oscillogram to file");
    File1->addSeparator();
    Exit1 = addItem(File1, "Exit1", "Exit");

    Connection1 = bar->addMenu("Connection");
    Connection1->setObjectName("Connection1");
    N3 = addItem(Connection1, "N3", "Connection parameters");
    N9 = addItem(Connection1, "N9", "Disconnect");
    if (!simDevice.empty()) {
        // The demo's simulated drive, offered for the connection.
        const QString hint = "Simulated drive on " + QString::fromStdString(simDevice);
        N3->setToolTip(hint);
        N3->setStatusTip(hint);
        Connection1->setToolTipsVisible(true);
    }

    Services1 = bar->addMenu("Services");
    Services1->setObjectName("Services1");
    Filtercalculator1 = addItem(Services1, "Filtercalculator1", "Filter calculator");
    Setdefaultparameters1 = addItem(Services1, "Setdefaultparameters1", "Set default parameters");
    Setdefaultparameters1->setVisible(false);
    TypeofFGsignal1 = addItem(Services1, "TypeofFGsignal1", "Type of FG signal");
    RESET1 = addItem(Services1, "RESET1", "RESET");
    Setconfiguration1 = addItem(Services1, "Setconfiguration1", "Configuration setting");
    Stepresponse1 = addItem(Services1, "Stepresponse1", "Step response");
    Autotuning1 = addItem(Services1, "Autotuning1", "Auto tuning");

    Help1 = bar->addMenu("Help");
    Help1->setObjectName("Help1");
    About1 = addItem(Help1, "About1", "About");

    Specialfunctions1 = bar->addMenu("Special functions");
    Specialfunctions1->setObjectName("Specialfunctions1");
    InitialDriveInitialization1 =
        addItem(Specialfunctions1, "InitialDriveInitialization1", "Drive Initialization");
    N17 = addItem(Specialfunctions1, "N17", "RESET (67)");
    Savedefault1 = addItem(Specialfunctions1, "Savedefault1", "Save to EEPROM DA (65 00)");
    SaveprogramspartoEEPROM1 = addItem(Specialfunctions1, "SaveprogramspartoEEPROM1",
                                       "Save program's prm to EEPROM DA (65 01)");
    Loaddefault1 = addItem(Specialfunctions1, "Loaddefault1", "Load prm from EEPROPM DA (66)");
    Specialfunctions1->addSeparator();
    Language1 = addItem(Specialfunctions1, "Language1", "Language");
    Testingformulas1 = addItem(Specialfunctions1, "Testingformulas1", "Testing formulas");
    CALCPARA1 = addItem(Specialfunctions1, "CALCPARA1", "CALCPARA");
    Specialfunctions1->addSeparator();
    Closespecialfunction1 =
        addItem(Specialfunctions1, "Closespecialfunction1", "Close special function");
    Specialfunctions1->menuAction()->setVisible(false);

    Adminsfunctions1 = bar->addMenu("Admin's functions");
    Adminsfunctions1->setObjectName("Adminsfunctions1");
    Commandmonitor1 = addItem(Adminsfunctions1, "Commandmonitor1", "Command monitor");
    SeeOscDatRec = addItem(Adminsfunctions1, "SeeOscDatRec", "See OscDatRec");
    Adminsfunctions1->addSeparator();
    CloseAdminfunctions1 =
        addItem(Adminsfunctions1, "CloseAdminfunctions1", "Close Admin functions");
    Adminsfunctions1->menuAction()->setVisible(false);
}

}  // namespace zrd::app
