#pragma once

// What the edit dialog does with a value the user typed: the number and its check against the
// limits, the write, and what follows it for the operating mode, the command source and the
// motor and drive types.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "session/parameter_access.h"
#include "session/type_follow_up.h"

namespace zrd::session {

// Which function list the edit dialog of a parameter offers.
enum class FunctionList { None, DigitalInputs, DigitalOutputs, AnalogOutputs };
FunctionList functionListOf(std::string_view mnemonic);

// The function names of the digital inputs, digital outputs and analog outputs, in the
// interface language.
struct FunctionNameLists {
    std::vector<std::string> digitalInputs;
    std::vector<std::string> digitalOutputs;
    std::vector<std::string> analogOutputs;
    // The list of a kind; nullptr for None.
    [[nodiscard]] const std::vector<std::string>* list(FunctionList kind) const;
};

// The number in a value text ("." as decimal separator; blanks around it and a leading "+"
// allowed). Throws std::invalid_argument naming the text when it is not a finite number:
// "nan", "inf" and numbers beyond the range of a double are refused too.
double parseDisplayValue(std::string_view text);

// What the windows show after an edited value was written.
struct EditOutcome {
    std::optional<int> operatingMode;       // "OPMOD" 1..3: the mode button to press
    std::optional<int> commandSource;       // "INST": the value that stands
    std::optional<MotorTypeApplied> motor;  // "MT" from line 2 on: the line applied
    bool keepDialogOpen = false;            // "MT" 0 or 1: no line applied
    std::optional<std::string> driveName;   // "DT" changed: the drive type's name
};

// Writes a value that passed the limits to the parameter at the position (value table, drive,
// page row) and runs what follows for "OPMOD", "INST", "MT" and "DT". The caller holds the
// link.
EditOutcome writeEditedValue(link::DriveLink& link, ParameterAccess& access,
                             params::ParameterModel& model, const params::TypeTables& tables,
                             int position, double value, int waitBeforeWriteMs);

}  // namespace zrd::session
