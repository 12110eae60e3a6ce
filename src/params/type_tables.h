#pragma once

// The motor type table "Motor_type.mod" and the drive type table "Drive_type.mod".

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/user_interface.h"
#include "params/database_loader.h"
#include "params/message_table.h"
#include "params/parameter_table.h"

namespace zrd::params {

inline constexpr const char* kMotorTypeFileName = "Motor_type.mod";
inline constexpr const char* kDriveTypeFileName = "Drive_type.mod";
// A header line and the types after it.
inline constexpr int kMotorTypeLines = 101;
inline constexpr int kDriveTypeLines = 11;
// Selectors show this many characters of each type line.
inline constexpr int kSelectorTextLength = 15;
// The motor type match looks at lines 1..99.
inline constexpr int kMotorMatchLastLine = 99;

// The non-empty lines of a type file in order, header first, at most N of them.
template <size_t N>
class TypeTable {
public:
    int count() const { return m_count; }
    // Line k; empty for lines the table does not hold.
    const std::string& line(int k) const {
        static const std::string kNone;
        return k >= 0 && k < m_count ? m_lines[static_cast<size_t>(k)] : kNone;
    }
    void clear() { m_count = 0; }
    // False (nothing stored) when the table is full.
    [[nodiscard]] bool add(std::string line) {
        if (m_count >= static_cast<int>(N))
            return false;
        m_lines[static_cast<size_t>(m_count++)] = std::move(line);
        return true;
    }

private:
    std::array<std::string, N> m_lines{};
    int m_count = 0;
};

struct TypeTablesResult {
    bool motorFile = false;  // Motor_type.mod was found and read
    bool driveFile = false;
    std::vector<RefusedLine> refused;  // lines beyond a table's size
};

// Blank-separated words of a line.
std::vector<std::string> splitWords(std::string_view line);

class TypeTables {
public:
    // Reads both files (each only when it exists; a missing file leaves its table empty and
    // shows nothing). Lines beyond a table are refused with message 1 and the line.
    TypeTablesResult load(const std::string& motorPath, const std::string& drivePath,
                          const MessageTable& messages, UserInterface& ui,
                          std::string_view language);
    // The same for the decoded lines of both files, as if both were there; the messages name
    // the files by their usual names.
    TypeTablesResult setLines(const std::vector<std::string>& motorLines,
                              const std::vector<std::string>& driveLines,
                              const MessageTable& messages, UserInterface& ui,
                              std::string_view language);

    const TypeTable<kMotorTypeLines>& motorTypes() const { return m_motor; }
    const TypeTable<kDriveTypeLines>& driveTypes() const { return m_drive; }

    // First 15 characters of lines 1 onward.
    std::vector<std::string> motorSelectorItems() const;
    std::vector<std::string> driveSelectorItems() const;

    // The mnemonics of the motor header (its words after the first) and the raw values of
    // motor line k in the same order.
    std::vector<std::string> motorMnemonics() const;
    std::vector<std::string> motorValues(int k) const;

    // Motor line trunc(value) up to and including its first blank; nullopt without that line.
    std::optional<std::string> motorSelectorText(double mtValue) const;
    // Drive line trunc(value) up to its first blank; nullopt without that line.
    std::optional<std::string> driveSelectorText(double dtValue) const;

    // First motor line k (1..99) whose second word equals the text; its selector item is k − 1.
    std::optional<int> matchMotorLine(std::string_view valueText) const;
    // The match at start-up and at a language switch: by the text of the `DefValue` of the
    // parameter named first in the motor header.
    std::optional<int> matchMotorLineByDefault(const ParameterModel& model) const;

private:
    TypeTable<kMotorTypeLines> m_motor;
    TypeTable<kDriveTypeLines> m_drive;
};

}  // namespace zrd::params
