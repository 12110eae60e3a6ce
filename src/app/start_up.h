#pragma once

#include "app/main_form.h"
#include "app/program.h"

namespace zrd::app {

// The program coming up on its main window, step by step: formats, action log, message
// table, parameter database and pages, type tables, drawings, cached positions, function
// lists and the check for a drive. The window appears when Timer1 fires.
class StartUp {
public:
    explicit StartUp(TMainForm& form);

    // Runs the steps; false when the program must end (no parameter database).
    [[nodiscard]] bool run();

private:
    void setFormats();
    void disableDriveControls();
    void showInitialState();
    [[nodiscard]] bool loadDatabase();
    void loadTypeTables();
    void cachePositionsAndUnits();
    void applySettings();
    void checkConnection();

    TMainForm& m_form;
    Program& m_program;
};

}  // namespace zrd::app
