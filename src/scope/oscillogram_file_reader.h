#pragma once

// Reading a ".dat" oscillogram file back into the program's oscillogram.
//
// How the windows use it: "Reading oscillogram from file" (N21) runs the open dialog, then
//   1. readDatFile(path, oscillogram, &model). When `changed` is set the oscillogram now holds
//      the file's kind, header, comments, channel names and the records read (the viewers show
//      them; "Save oscillogram to file" is enabled); when `error` is not empty the window shows
//      it (it names the file and the line) through the general error report.
//   2. storeChannelSignals(result, model): the matched signals go into "MDTYP1"/"MDTYP2" or
//      "CH1SEL".."CH4SEL" of the value table (nothing is sent); the window shows each channel's
//      caption (name), unit and, for status words, the bit group with `bitHints`.
//   3. When `parameters` holds the 300 values, the window asks message 25 (Yes/No) and on Yes
//      calls takeOverParameters, which fills the value table, the page rows and sets "OSC".
//   4. Buttons by `kind`: online shows the replay buttons and enables the online "View" and
//      "Reset"; offline enables the offline ones.

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/user_interface.h"
#include "params/parameter_table.h"
#include "scope/oscillogram.h"

namespace zrd::scope {

// The question before the file's parameter values replace the table's (Yes/No).
inline constexpr int kMsgTakeOverParameters = 25;
// Entries of the scope signal list searched for a channel's mnemonic.
inline constexpr int kSignalsMatched = 100;

// One channel as the file names it, with what the loaded database knows of that name.
struct DatChannel {
    std::string name;
    // The scope signal whose mnemonic is the name (0 for "N"); nullopt: the database has none,
    // and the channel keeps its signal, scale and unit.
    std::optional<int> signal;
    // "bitK name" for the 16 bits of a status-word channel ("STA", "DINSTA", "APXSTA").
    std::optional<std::array<std::string, 16>> bitHints;
};

struct DatReadResult {
    // Empty when the whole file was read; else "FILE: line N: what is wrong".
    std::string error;
    int errorLine = 0;
    // The oscillogram took the file's kind, header, comments and channels, and its buffer was
    // zeroed and filled with `records` records. False: the file was refused before any of it
    // (unreadable, or no oscillogram header), and the oscillogram is untouched.
    bool changed = false;
    ScopeKind kind = ScopeKind::Online;
    int records = 0;
    std::array<DatChannel, kChannelCount> channels{};
    // The 300 parameter values saved with the oscillogram; only a complete block is offered.
    std::optional<std::array<double, params::kParameterCount>> parameters;

    [[nodiscard]] bool ok() const { return error.empty(); }
};

// Reads the file into the oscillogram. The bytes may be Windows-1251 or UTF-8 (a byte-order
// mark selects UTF-8 or UTF-16), with CR LF, LF or CR line ends; numbers take "." (a "," made
// by a decimal-comma locale is read as well). An empty first line means online. The comment
// block ends at its end marker, so that a comment line holding "*/" stays a comment. Channel
// names are matched against the scope signals of `model` (none when null). Nothing is written
// past the buffer: a file with more records than its kind stops at the parameter marker.
DatReadResult readDatFile(const std::string& path, Oscillogram& oscillogram,
                          const params::ParameterModel* model);
// The same for bytes already in memory; `name` stands for the file in the error text.
DatReadResult readDatBytes(std::string_view bytes, const std::string& name,
                           Oscillogram& oscillogram, const params::ParameterModel* model);

// The signals the file's channel names matched go into the channel selection parameters of the
// kind ("MDTYP1", "MDTYP2" online; "CH1SEL".."CH4SEL" offline), without writing to the drive.
void storeChannelSignals(const DatReadResult& result, params::ParameterModel& model);

// "Yes" to message 25: every value goes into the table at its position, known from now on, the
// page rows show them, and the parameter-set state becomes "OSC".
void takeOverParameters(const std::array<double, params::kParameterCount>& values,
                        params::ParameterModel& model, UserInterface& ui);

// A stamp's date and time ("09.12.26 / 10:00:00" gives "09.12.26" and "10:00:00"), for the
// date and time fields of the scope pages.
struct StampParts {
    std::string date;
    std::string time;
};
StampParts splitStamp(std::string_view stamp);

}  // namespace zrd::scope
