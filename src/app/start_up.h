#pragma once

#include "app/main_form.h"
#include "app/program.h"
#include "core/ui/settings_file.h"

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
    void applySettings();
    void checkConnection();

    TMainForm& m_form;
    Program& m_program;
};

// Reads the motor and drive type tables and shows them in the selectors and fields of the
// window (start-up and the language switch).
void loadTypeTables(TMainForm& form);
// Looks the known parameters up in the table and shows their units beside the monitor fields.
void cachePositionsAndUnits(TMainForm& form);
// Tells a problem with the settings file by its numbered message.
void showSettingsProblem(Program& program, const ui::SettingsFile::Problem& problem);

}  // namespace zrd::app
