#include "params/dictionary.h"

#include "params/message_table.h"

namespace zrd::params {

TextFileStatus Dictionary::load(const std::string& path) {
    const TextFile file = readTextFile(path);
    setLines(file.lines);
    return file.status;
}

void Dictionary::setLines(const std::vector<std::string>& lines) {
    m_toRussian.clear();
    m_toEnglish.clear();
    m_pairs = 0;
    for (const std::string& line : lines) {
        const size_t equals = line.find('=');
        if (equals == std::string::npos || equals + 1 == line.size())
            continue;
        std::string english = line.substr(0, equals);
        std::string russian = line.substr(equals + 1);
        m_toRussian.try_emplace(english, russian);
        m_toEnglish.try_emplace(std::move(russian), std::move(english));
        ++m_pairs;
    }
}

std::string Dictionary::translate(std::string_view text, std::string_view direction) const {
    // An empty side would otherwise turn every empty caption into a word.
    if (text.empty())
        return {};
    const auto& table = isEnglish(direction) ? m_toEnglish : m_toRussian;
    const auto found = table.find(std::string(text));
    return found == table.end() ? std::string(text) : found->second;
}

}  // namespace zrd::params
