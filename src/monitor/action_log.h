#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/user_interface.h"
#include "params/message_numbers.h"
#include "params/message_table.h"

namespace zrd::monitor {

inline constexpr const char* kActionLogFileName = "Torvanta_QX.Log";
inline constexpr const char* kActionLogHeader = "Date,Time,Action";
// Lines in the file, header included.
inline constexpr size_t kActionLogLimit = 1000;

// Action texts of the entries.
using params::kMsgLogReadAll;
using params::kMsgLogSaveOscillogram;
using params::kMsgLogViewOscillogram;
using params::kMsgWriteAccepted;
using params::kMsgWriteRefused;

// One entry in the header's three columns: date, time and the action text. The action's
// surrounding blanks are dropped; an action holding a comma or a quote is quoted, so that the
// file reads as the table its header announces.
std::string composeLogEntry(std::string_view date, std::string_view time, std::string_view action);

// The short history of the user's actions: newest entry first below the header, the whole file
// rewritten (Windows-1251, CR LF) after every entry.
class ActionLog {
public:
    explicit ActionLog(UserInterface& ui) : m_ui(ui) {}

    // Opens "Torvanta_QX.Log" in the folder, creating it with its header when missing.
    void open(const std::string& folder);

    // Puts the entry at the top, trims the oldest beyond the limit, saves the file. A file that
    // cannot be written is reported once; the entry stays in memory and the caller goes on.
    void write(const std::string& entry);

    [[nodiscard]] const std::vector<std::string>& lines() const { return m_lines; }
    [[nodiscard]] const std::string& path() const { return m_path; }

private:
    void save();

    UserInterface& m_ui;
    std::string m_path;
    std::vector<std::string> m_lines;
    bool m_failureReported = false;
};

}  // namespace zrd::monitor
