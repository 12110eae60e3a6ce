#pragma once

#include <memory>
#include <string>

#include "app/cpu_speed.h"
#include "app/start_options.h"
#include "core/user_interface.h"
#include "link/drive_link.h"
#include "link/serial_port.h"
#include "monitor/action_log.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "scope/oscillogram.h"
#include "session/connection.h"
#include "session/parameter_access.h"
#include "session/parameter_edit.h"
#include "session/status_poll.h"

namespace zrd::app {

inline constexpr const char* kApplicationTitle = "QX Torvanta";
inline constexpr int kStartOperatingMode = 2;
// Until the database names the language, texts are shown in the language of the window design.
inline constexpr const char* kDesignLanguage = "Eng";

// State of the shell that no core module owns.
struct ShellState {
    int operatingMode = kStartOperatingMode;  // 1 current, 2 speed, 3 position
    int cpuSpeedClass = 2;
    double cpuMhz = 0;
    bool internalSource = false;
    // "Start FG" was accepted and no "Stop FG" since: an offline record may wait for its motion.
    bool generatorRunning = false;
};

// Function names offered in the edit dialog, in the interface language.
using FunctionNameLists = session::FunctionNameLists;

// The program-wide state: created once at start and handed to every window by reference.
struct Program {
    Program(UserInterface& userInterface, std::unique_ptr<link::SerialPort> serialPort,
            StartOptions startOptions);
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // Text of message n in the interface language.
    [[nodiscard]] const std::string& message(int n) const;
    [[nodiscard]] const std::string& language() const { return model.language(); }
    [[nodiscard]] bool english() const { return model.english(); }
    // Full path of a data file of the drive family.
    [[nodiscard]] std::string dataFile(const std::string& name) const;

    // Start-up's loads into the program state.
    // The action log beside the program (or in the folder the options name).
    void openActionLog();
    // The processor clock and the oscilloscope's speed class, counted since the program state
    // was made: start-up's own work fills the measuring time.
    void measureCpuSpeed();
    // The function names of the edit dialog's lists, in the interface language.
    void loadFunctionNameLists();

    UserInterface& ui;
    StartOptions options;
    std::unique_ptr<link::SerialPort> port;
    link::DriveLink link;
    params::MessageTable messages;
    params::ParameterModel model;
    params::TypeTables typeTables;
    session::ParameterAccess access;
    monitor::ActionLog actionLog;
    session::StatusPoll status;
    session::ConnectionSettings connection;
    FunctionNameLists functionNames;
    ShellState shell;
    CpuClockMeasure cpuClock;
    // The buffer both scopes record into, with their channel and rate selections: about a
    // megabyte, allocated once.
    const std::unique_ptr<scope::Oscillogram> oscillogram;
};

}  // namespace zrd::app
