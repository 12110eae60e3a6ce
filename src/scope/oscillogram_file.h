#pragma once

// Oscillogram files: the ".dat" text that keeps a capture with its header, comments, channel
// names and the drive's parameters, and the ".csv" export of four channels. Both are written in
// Windows-1251 with CR LF line ends and "." as decimal separator, whatever the locale.
//
// How the windows use it: "Save oscillogram to file" (N20) runs the save dialog, calls
// writeOscillogramFile with the name chosen (the extension picks the format), shows the error
// text of a failed write through the general error report, and on success writes the action-log
// entry (messages 58, date, 59, time, 62). Reading is in oscillogram_file_reader.h.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "params/parameter_table.h"
#include "scope/oscillogram.h"

namespace zrd::scope {

// Width of a column of a ".dat" file's header and data lines.
inline constexpr size_t kColumn = 20;
// Lines of a ".csv" export: records 0..2047, whatever the scope kind.
inline constexpr int kCsvLines = kOfflineSamples;
// The markers around the comments and before the parameters of a ".dat" file.
inline constexpr std::string_view kCommentStart =
    "/*------------------------ Comments ------------------------";
inline constexpr std::string_view kCommentEnd =
    "------------------------------------------------------------*/";
inline constexpr std::string_view kParameterStart =
    "/*------------------------ Parameters ------------------------";

enum class OscillogramFormat { Dat, Csv };
// The format a file name asks for by its extension (".dat" or ".csv", any letter case).
std::optional<OscillogramFormat> formatOfPath(std::string_view path);

// How a write went: ok, or the reason naming the file and the system's error.
struct FileResult {
    bool ok = false;
    std::string error;
    explicit operator bool() const { return ok; }
};

// The ".dat" file's bytes: the scope kind ("1" online, "0" offline), the header text, an empty
// line, the comments between their markers, the column header ("N" and the four channel
// names, 20 characters each), one line per record of the kind (index, four channels with three
// decimals, slot 4), the parameter marker and the 300 parameter lines (index, value with three
// decimals, mnemonic, English name).
std::string datText(const Oscillogram& oscillogram, const params::ParameterModel& model);
// The ".csv" file's bytes: 2048 lines of the four channel values, shortest general texts
// joined by ",".
std::string csvText(const Oscillogram& oscillogram);

// Writes (replacing) the file with exactly these bytes; never ok unless every byte reached it.
[[nodiscard]] FileResult writeFileBytes(const std::string& path, std::string_view bytes);

// The comments as a ".dat" file keeps them: every line ended by CR LF (a last line without an
// end gets one; LF and CR alone become CR LF).
std::string commentLines(std::string_view comments);

// Writes (replacing) the file; never ok unless every byte reached it.
[[nodiscard]] FileResult writeDatFile(const std::string& path, const Oscillogram& oscillogram,
                                      const params::ParameterModel& model);
[[nodiscard]] FileResult writeCsvFile(const std::string& path, const Oscillogram& oscillogram);
// Writes the format the file name asks for; a name with another extension is refused.
[[nodiscard]] FileResult writeOscillogramFile(const std::string& path,
                                              const Oscillogram& oscillogram,
                                              const params::ParameterModel& model);

}  // namespace zrd::scope
