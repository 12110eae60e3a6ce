#pragma once

// "Set" of the configuration dialog, shared with zrdctl: a drive and a motor chosen by name from
// the type tables, their parameters written, the configuration formulas evaluated again, the
// drive told to recalculate (CALCPARA) and the changed defaults written.

#include <optional>
#include <string>
#include <vector>

#include "formula/configuration.h"
#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "session/calc_para.h"
#include "session/parameter_access.h"

namespace zrd::session {

// The value of "DT" of the drive type line whose first word is the name (every line after the
// header, up to the first empty one: the table's last type too); nullopt when none matches. A
// value that is no number throws FormulaError.
std::optional<double> driveTypeValue(const params::TypeTables& tables, std::string_view name);
// The motor type line (1..99, up to the first empty one) whose first word is the name.
std::optional<int> motorTypeLine(const params::TypeTables& tables, std::string_view name);

struct ConfigurationRequest {
    std::string drive;  // names as the selectors show them; blanks around them do not count
    std::string motor;
    bool sendCalcPara = true;  // "Send CALCPARA command"
};

// One thing "Set" changed, in display units: the value ("value") or a limit or the default
// ("min", "max", "default").
struct ParameterChange {
    int position = 0;
    std::string mnemonic;
    std::string field;
    double before = 0;
    double after = 0;
};

struct ConfigurationResult {
    bool ran = false;  // false: the link was busy, nothing happened
    bool driveChanged = false;
    bool motorChanged = false;
    std::string driveName;  // the drive now configured, for the drive-number field
    std::optional<int> motorLine;
    std::string motorName;
    int formulaPasses = 0;
    std::vector<formula::ChangeMark> marks;  // the page rows to mark
    std::vector<ParameterChange> changes;    // table order; values before limits
    int writes = 0;                          // parameter writes sent
    std::vector<int> notTaken;               // parameters written but refused or unanswered
    CalcParaResult calcPara;                 // NotRun when it was not sent
    // CALCPARA failed (refused, not written, unanswered): the changed defaults were not written
    // and the dialog stays open.
    bool keepOpen = false;
};

// Runs "Set" on the link's state: with the connected flag clear only the tables change. The
// caller shows the outcome; the messages have been shown through the link's UserInterface. A
// bad number or formula throws FormulaError after the link was freed, the changes made so far
// staying in place.
ConfigurationResult applyConfiguration(link::DriveLink& link, ParameterAccess& access,
                                       params::ParameterModel& model,
                                       const params::MessageTable& messages,
                                       const params::TypeTables& tables,
                                       const ConfigurationRequest& request);

// "MNEMONIC old -> new", with the field before the values for limits and defaults.
std::string changeText(const ParameterChange& change);

}  // namespace zrd::session
