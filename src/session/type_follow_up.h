#pragma once

// What follows a motor or drive type: a motor type line applied to its parameters, the types
// the drive's values name after read-all, the drive type after an edit of "DT".

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/drive_link.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "session/parameter_access.h"

namespace zrd::session {

inline constexpr std::string_view kMotorType = "MT";
inline constexpr std::string_view kDriveType = "DT";
// Motor lines 0 and 1 are not applied by the edit dialog.
inline constexpr int kFirstAppliedMotorLine = 2;

// The motor of line k of the motor type table: the line's first word; empty without that line.
std::string motorName(const params::TypeTables& tables, int line);

// What applying a motor type line did.
struct MotorTypeApplied {
    int line = 0;
    std::string name;            // the motor of the line
    std::vector<int> positions;  // the parameters set, in the header's order
    int written = 0;             // writes sent to the drive
    std::vector<int> notTaken;   // written, but refused or unanswered
};

// Applies motor type line k: every parameter the header names takes the line's raw value ×
// scale in the value table and on its row and, when a drive is connected, is written to it,
// pausing before each write. Sets the value origin to 0. The caller holds the link.
MotorTypeApplied applyMotorType(link::DriveLink& link, ParameterAccess& access,
                                params::ParameterModel& model, const params::TypeTables& tables,
                                int line, int waitBeforeWriteMs = 0);

// The motor and drive the values in the table name (after read-all).
struct TypesOfValues {
    std::optional<int> motorLine;  // the line whose identifying value the table holds
    std::string motorName;         // empty without such a line
    std::optional<std::string> driveName;
};
TypesOfValues typesOfValues(const params::ParameterModel& model, const params::TypeTables& tables);

// After the edit dialog wrote the parameter at the position: for "DT" whose value differs from
// its previous-value entry, that entry follows the value and the drive type's name is returned.
// nullopt for an unchanged "DT" and for every other parameter; nothing more is written.
std::optional<std::string> driveTypeFollowUp(params::ParameterModel& model,
                                             const params::TypeTables& tables, int position);

}  // namespace zrd::session
