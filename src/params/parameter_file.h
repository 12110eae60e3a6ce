#pragma once

// Parameter files: one padded line per parameter, mnemonic, "=" and display value.
//
// How the windows use it (TMainForm):
//   "Save parameters to file":       saveParameterFile(path, model); false: show
//                                    fileFailureText(path, true, model)
//   "Reading parameters from file":  load = readParameterFile(path, model); !load.opened: show
//                                    fileFailureText(path, false, model); show issueText of each
//                                    issue; then the comparison dialog (parameter_comparison.h)
//                                    and on OK storeParameterFile(load, model), the pages
//                                    refreshed and the motor type selected.

#include <string>
#include <string_view>
#include <vector>

#include "params/parameter_table.h"

namespace zrd::params {

// Each field is left-justified in at least this many characters.
inline constexpr size_t kParameterFileField = 20;

// One line: mnemonic, "=", value text, each padded to 20 characters.
std::string parameterFileLine(std::string_view mnemonic, double value);

// Writes positions 0.. up to the first free one (Windows-1251, CR LF). False when the file
// cannot be written.
[[nodiscard]] bool saveParameterFile(const std::string& path, const ParameterModel& model);

// Why a line of a parameter file was not taken.
enum class FileLineFault {
    NoEquals,    // no "=" in the line (a binary file reads as such lines)
    NotANumber,  // the value text is no decimal number (nan and inf included)
    DoesNotFit,  // the value is no 16-bit raw value of its parameter (1e300, 100000)
    // "SC=123456": the value the "=" rule reads ("3456", the line's last p + 1 characters for
    // "=" at p) is not the text after "=", so the line is not in the padded layout.
    CompactLine,
    UnknownName,       // no parameter of that mnemonic: a file of another database, not a fault
    NoLines,           // the file holds no line before its first empty one
    StopsAtEmptyLine,  // reading ends at this empty line, yet lines follow it
    BeyondTable,       // the lines from this one on exceed the 300 a file may hold
};

struct ParameterFileIssue {
    int line = 0;  // numbered from 1, as an editor shows it
    FileLineFault fault = FileLineFault::NoEquals;
    std::string detail;  // the value text or the mnemonic the fault is about
    int position = -1;   // the parameter, for DoesNotFit
};

// A value of the file for a table position.
struct ParameterFileValue {
    int line = 0;
    int position = 0;
    double value = 0;
};

struct ParameterFileLoad {
    bool opened = false;
    int lines = 0;  // lines taken (up to the first empty one, at most 300)
    // A value that does not convert ends the load at its line: the values before it stand,
    // nothing of it or after it is taken. 0 when the file was read to its end.
    int stoppedAtLine = 0;
    int stored = 0;                          // values put into the value table
    std::vector<ParameterFileValue> values;  // the values the lines hold, in file order
    // Every line not taken, in file order. All but UnknownName are faults of the file.
    std::vector<ParameterFileIssue> issues;

    [[nodiscard]] int unknown() const;  // lines whose mnemonic matched no parameter
    [[nodiscard]] int faults() const;   // lines skipped as faulty
};

// Reads a file without touching the model: every line whose value converts to a raw value of
// its parameter gives a value. A line without "=" or with an unknown name is skipped with an
// issue; a value that does not convert (NotANumber, DoesNotFit, CompactLine) is an issue that
// ends the reading.
[[nodiscard]] ParameterFileLoad readParameterFile(const std::string& path,
                                                  const ParameterModel& model);

// The same for the decoded lines of a file already read.
[[nodiscard]] ParameterFileLoad readParameterLines(const std::vector<std::string>& lines,
                                                   const ParameterModel& model);

// Stores the values read (previous values kept first; no limit check, nothing sent); they are
// known values from now on. Afterwards value origin 0 and parameter-set state "FILE".
void storeParameterFile(ParameterFileLoad& load, ParameterModel& model);

// readParameterFile, then storeParameterFile when the file could be opened.
ParameterFileLoad loadParameterFile(const std::string& path, ParameterModel& model);

// "Cannot write FILE: reason" / "Cannot read FILE: reason" in the model's language, the reason
// from the system's last error; call it right after the failure.
std::string fileFailureText(std::string_view path, bool saving, const ParameterModel& model);

// "FILE:LINE: reason" in the model's language.
std::string issueText(const ParameterFileIssue& issue, std::string_view path,
                      const ParameterModel& model);

}  // namespace zrd::params
