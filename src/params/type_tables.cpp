#include "params/type_tables.h"

#include <cmath>
#include <limits>

#include "core/text_file.h"
#include "params/message_numbers.h"
#include "params/utf8_text.h"

namespace zrd::params {
namespace {

constexpr const char* kTableFullEng = "The type table is full; this line is not loaded.";
constexpr const char* kTableFullRus = "Таблица типов заполнена; эта строка не загружена.";

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

// Fills the table from a file's non-empty lines; `name` stands for the file in the message.
template <size_t N>
void fillTable(const std::vector<std::string>& lines, const std::string& name, TypeTable<N>& table,
               TypeTablesResult& result, const MessageTable& messages, UserInterface& ui,
               std::string_view language) {
    table.clear();
    bool reported = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (line.empty() || table.add(line))
            continue;
        const int number = static_cast<int>(i) + 1;
        result.refused.push_back({number, line});
        // One box per file is enough to name the first line that found no room.
        if (reported)
            continue;
        reported = true;
        const std::string where =
            name + (isEnglish(language) ? ", line " : ", строка ") + std::to_string(number);
        messages.showText(ui,
                          messages.text(kMsgBadDatabaseLine, language) + line + "\n" + where +
                              ": " + (isEnglish(language) ? kTableFullEng : kTableFullRus),
                          language);
    }
}

// False (the table untouched) when the file is not there.
template <size_t N>
bool readTable(const std::string& path, TypeTable<N>& table, TypeTablesResult& result,
               const MessageTable& messages, UserInterface& ui, std::string_view language) {
    const TextFile file = readTextFile(path);
    if (file.status != TextFileStatus::Ok)
        return false;
    fillTable(file.lines, path, table, result, messages, ui, language);
    return true;
}

template <size_t N>
std::vector<std::string> selectorItems(const TypeTable<N>& table) {
    std::vector<std::string> items;
    for (int k = 1; k < table.count(); ++k)
        items.push_back(utf8Prefix(table.line(k), kSelectorTextLength));
    return items;
}

// Line number trunc(value), when the table holds it.
template <size_t N>
std::optional<int> lineOfValue(const TypeTable<N>& table, double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    const double k = std::trunc(value);
    if (k < 0 || k >= table.count())
        return std::nullopt;
    return static_cast<int>(k);
}

}  // namespace

std::vector<std::string> splitWords(std::string_view line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && isBlank(line[i]))
            ++i;
        const size_t start = i;
        while (i < line.size() && !isBlank(line[i]))
            ++i;
        if (i > start)
            words.emplace_back(line.substr(start, i - start));
    }
    return words;
}

TypeTablesResult TypeTables::load(const std::string& motorPath, const std::string& drivePath,
                                  const MessageTable& messages, UserInterface& ui,
                                  std::string_view language) {
    TypeTablesResult result;
    result.motorFile = readTable(motorPath, m_motor, result, messages, ui, language);
    result.driveFile = readTable(drivePath, m_drive, result, messages, ui, language);
    return result;
}

TypeTablesResult TypeTables::setLines(const std::vector<std::string>& motorLines,
                                      const std::vector<std::string>& driveLines,
                                      const MessageTable& messages, UserInterface& ui,
                                      std::string_view language) {
    TypeTablesResult result;
    fillTable(motorLines, kMotorTypeFileName, m_motor, result, messages, ui, language);
    fillTable(driveLines, kDriveTypeFileName, m_drive, result, messages, ui, language);
    result.motorFile = true;
    result.driveFile = true;
    return result;
}

std::vector<std::string> TypeTables::motorSelectorItems() const {
    return selectorItems(m_motor);
}
std::vector<std::string> TypeTables::driveSelectorItems() const {
    return selectorItems(m_drive);
}

std::vector<std::string> TypeTables::motorMnemonics() const {
    std::vector<std::string> words = splitWords(m_motor.line(0));
    if (!words.empty())
        words.erase(words.begin());
    return words;
}

std::vector<std::string> TypeTables::motorValues(int k) const {
    if (k <= 0 || k >= m_motor.count())
        return {};
    std::vector<std::string> words = splitWords(m_motor.line(k));
    if (!words.empty())
        words.erase(words.begin());
    return words;
}

std::optional<std::string> TypeTables::motorSelectorText(double mtValue) const {
    const auto k = lineOfValue(m_motor, mtValue);
    if (!k)
        return std::nullopt;
    const std::string& line = m_motor.line(*k);
    const size_t blank = line.find(' ');
    return blank == std::string::npos ? line : line.substr(0, blank + 1);
}

std::optional<std::string> TypeTables::driveSelectorText(double dtValue) const {
    const auto k = lineOfValue(m_drive, dtValue);
    if (!k)
        return std::nullopt;
    const std::string& line = m_drive.line(*k);
    return line.substr(0, line.find(' '));
}

std::optional<int> TypeTables::matchMotorLine(std::string_view valueText) const {
    for (int k = 1; k <= kMotorMatchLastLine && k < m_motor.count(); ++k) {
        const std::vector<std::string> words = splitWords(m_motor.line(k));
        if (words.size() >= 2 && words[1] == valueText)
            return k;
    }
    return std::nullopt;
}

std::optional<int> TypeTables::matchMotorLineByDefault(const ParameterModel& model) const {
    const std::vector<std::string> names = motorMnemonics();
    if (names.empty())
        return std::nullopt;
    const auto position = model.find(names.front());
    if (!position)
        return std::nullopt;
    return matchMotorLine(valueText(model.parameter(*position).DefValue));
}

}  // namespace zrd::params
