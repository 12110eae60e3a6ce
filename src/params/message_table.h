#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/user_interface.h"

namespace zrd::params {

inline constexpr int kMessageCount = 150;
inline constexpr const char* kMessageFileName = "mess.dic";
inline constexpr const char* kEnglish = "Eng";
// Shown when the message file exists but cannot be read; the table cannot supply it.
inline constexpr const char* kMessageReadErrorText = "mess.dict file not found.";
inline constexpr const char* kMessageReadErrorCaption = "Attention";

// True only for the exact language text "Eng"; every other setting means Russian.
inline bool isEnglish(std::string_view language) {
    return language == kEnglish;
}

struct TMess_screen {
    std::string mess_name;
    std::string mess_eng;
    std::string mess_rus;
};

// Splits one message line into name, English and Russian text.
TMess_screen parseMessageLine(std::string_view line);

// A message text with "%1" … "%9" replaced by the arguments in order; a number without an
// argument stays as it is.
std::string withArguments(std::string_view text, const std::vector<std::string>& arguments);

class MessageTable {
public:
    // Loads the file; missing file: every text stays empty, nothing shown; read error: the fixed
    // "Attention" box. Lines beyond the table's last message are ignored.
    void load(const std::string& path, UserInterface& ui);
    // Stores the file's decoded lines in order from the first message on: empty and unnamed
    // lines take no slot, lines beyond the last message are ignored.
    void setLines(const std::vector<std::string>& lines);

    // Text of message n in the given language; empty for numbers outside the table.
    [[nodiscard]] const std::string& text(int n, std::string_view language) const;
    [[nodiscard]] const TMess_screen& record(int n) const;

    // A message box with caption message 0 and body message n.
    void show(UserInterface& ui, int n, std::string_view language) const;
    // A message box with caption message 0 and the given body.
    void showText(UserInterface& ui, const std::string& body, std::string_view language) const;

private:
    std::array<TMess_screen, kMessageCount> m_records{};
};

}  // namespace zrd::params
