#include "monitor/action_log.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "core/os_error.h"
#include "core/text_file.h"

namespace zrd::monitor {

std::string composeLogEntry(std::string_view date, std::string_view time, std::string_view action) {
    while (!action.empty() && action.front() == ' ')
        action.remove_prefix(1);
    while (!action.empty() && action.back() == ' ')
        action.remove_suffix(1);
    std::string entry;
    entry.append(date).append(",").append(time).append(",");
    if (action.find_first_of(",\"") == std::string_view::npos)
        return entry.append(action);
    entry += '"';
    for (const char c : action) {
        if (c == '"')
            entry += '"';
        entry += c;
    }
    return entry + '"';
}

void ActionLog::open(const std::string& folder) {
    m_path = (std::filesystem::path(folder) / kActionLogFileName).string();
    const TextFile file = readTextFile(m_path);
    m_lines = file.status == TextFileStatus::Ok ? file.lines : std::vector<std::string>{};
    // A missing or emptied file gets its header back, so that entries always go below it.
    if (m_lines.empty() || m_lines.front() != kActionLogHeader) {
        if (m_lines.empty())
            m_lines.push_back(kActionLogHeader);
        else
            m_lines.insert(m_lines.begin(), kActionLogHeader);
        save();
    }
}

void ActionLog::write(const std::string& entry) {
    if (m_lines.empty())
        m_lines.push_back(kActionLogHeader);
    m_lines.insert(m_lines.begin() + 1, entry);
    if (m_lines.size() > kActionLogLimit)
        m_lines.resize(kActionLogLimit);
    save();
}

void ActionLog::save() {
    if (m_path.empty())
        return;
    std::string bytes;
    for (const std::string& line : m_lines) {
        bytes += utf8ToCp1251(line);
        bytes += "\r\n";
    }
    std::ofstream out(m_path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (out)
        return;
    const std::string reason = zrd::lastOsErrorText();
    if (m_failureReported)
        return;
    m_failureReported = true;
    m_ui.showMessage(kActionLogFileName,
                     "The action log cannot be written: " + m_path + " (" + reason + ")");
}

}  // namespace zrd::monitor
