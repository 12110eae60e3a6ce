#pragma once

// Loads the parameter database "Param_base.mod" into the parameter model.

#include <string>
#include <string_view>
#include <vector>

#include "core/user_interface.h"
#include "params/message_table.h"
#include "params/parameter_table.h"

namespace zrd::params {

inline constexpr const char* kDatabaseFileName = "Param_base.mod";

enum class LoadStatus {
    Ok,          // the scan ran to its end and every table was built
    Missing,     // no such file (front ends show message 3)
    Unreadable,  // the file exists but cannot be read (treated like a missing file)
    Stopped,     // a line did not convert; records before it stay, nothing else was built
    Empty,       // the scan ran, but the file holds no parameter line: nothing to work with
};

// A line that was read but found no room, whose bit number lies outside 0..15, or a calculated
// line without a parameter of its mnemonic.
struct RefusedLine {
    int line = 0;  // numbered from 1, as an editor shows it
    std::string text;
};

// Line numbers count from 1, as an editor shows them.
struct LoadResult {
    LoadStatus status = LoadStatus::Missing;
    int stoppedAtLine = -1;  // the line that did not convert (Stopped)
    std::string badLine;
    // Line at which the scan ended on the last recorded text; −1 when it ran to the end.
    int endLine = -1;
    int parameters = 0;
    int calculated = 0;
    int stateBits = 0;        // bit lines stored in the state bit table
    int applicationBits = 0;  // ... in the application bit table
    int scopeBits = 0;        // ... in the scope bit table
    int scopeSignals = 0;     // entries of the scope signal list, entry 0 included
    int groups = 0;           // [Group] sections
    int subgroups = 0;        // [Subgroup] sections
    // Calculated-parameter lines whose key does not begin with "P": they carry no record.
    int calculatedWithoutKey = 0;
    std::vector<RefusedLine> refused;

    [[nodiscard]] bool ok() const { return status == LoadStatus::Ok; }
};

// Loads the database file. With keepLanguage false the language setting is taken from line 1.
// A bad line or a refused line is shown through the user interface (message 1, the line, file
// and line number, the reason; refusals after the tenth in one closing message), and so is a
// file without parameters; a missing file is only reported, the front end decides. Limits and
// defaults must be 16-bit raw values of their parameter. Every value is unknown afterwards.
// Pages are not built here.
[[nodiscard]] LoadResult loadDatabase(const std::string& path, ParameterModel& model,
                                      const MessageTable& messages, UserInterface& ui,
                                      bool keepLanguage);

// The same on lines already read; `source` names them in messages (default: the file name).
[[nodiscard]] LoadResult loadDatabaseLines(const std::vector<std::string>& lines,
                                           ParameterModel& model, const MessageTable& messages,
                                           UserInterface& ui, bool keepLanguage,
                                           std::string_view source = {});

// The empty-signal entry 0 of the scope signal list, named by message 86.
TPar emptyScopeSignal(const MessageTable& messages);

}  // namespace zrd::params
