#include "params/message_table.h"

#include "core/text_file.h"

namespace zrd::params {

TMess_screen parseMessageLine(std::string_view line) {
    TMess_screen record;
    const size_t colon = line.find(':');
    // Without a ":" the whole line is text under an empty name.
    const size_t textStart = colon == std::string_view::npos ? 0 : colon + 1;
    if (colon != std::string_view::npos)
        record.mess_name = std::string(line.substr(0, colon));
    const size_t equals = line.find('=', textStart);
    if (equals == std::string_view::npos) {
        record.mess_eng = std::string(line.substr(textStart));
        return record;
    }
    record.mess_eng = std::string(line.substr(textStart, equals - textStart));
    record.mess_rus = std::string(line.substr(equals + 1));
    return record;
}

std::string withArguments(std::string_view text, const std::vector<std::string>& arguments) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        const char next = i + 1 < text.size() ? text[i + 1] : '\0';
        const size_t n = next >= '1' && next <= '9' ? static_cast<size_t>(next - '1') : 9;
        if (text[i] == '%' && n < arguments.size()) {
            out += arguments[n];
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

void MessageTable::load(const std::string& path, UserInterface& ui) {
    const TextFile file = readTextFile(path);
    if (file.status == TextFileStatus::ReadError) {
        ui.showMessage(kMessageReadErrorCaption, kMessageReadErrorText);
        return;
    }
    setLines(file.lines);
}

void MessageTable::setLines(const std::vector<std::string>& lines) {
    int slot = 0;
    for (const std::string& line : lines) {
        if (line.empty())
            continue;
        if (slot >= kMessageCount)
            break;
        m_records[slot] = parseMessageLine(line);
        // An unnamed line keeps its slot for the next line.
        if (!m_records[slot].mess_name.empty())
            ++slot;
    }
}

const TMess_screen& MessageTable::record(int n) const {
    static const TMess_screen kEmpty{};
    if (n < 0 || n >= kMessageCount)
        return kEmpty;
    return m_records[n];
}

const std::string& MessageTable::text(int n, std::string_view language) const {
    const TMess_screen& r = record(n);
    return isEnglish(language) ? r.mess_eng : r.mess_rus;
}

void MessageTable::show(UserInterface& ui, int n, std::string_view language) const {
    ui.showMessage(text(0, language), text(n, language));
}

void MessageTable::showText(UserInterface& ui, const std::string& body,
                            std::string_view language) const {
    ui.showMessage(text(0, language), body);
}

}  // namespace zrd::params
