#pragma once

// The window dictionary: English window texts and their Russian translations, one
// "English=Russian" pair per line of dict_eng.dic.

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/text_file.h"

namespace zrd::params {

inline constexpr const char* kDictionaryFileName = "dict_eng.dic";

class Dictionary {
public:
    // Reads the file with the data-file encodings; a missing or unreadable file leaves the
    // dictionary empty, and the status says which.
    TextFileStatus load(const std::string& path);
    // Takes the pairs of decoded lines: split at the first "="; a line without "=" or whose
    // only "=" ends it carries no pair.
    void setLines(const std::vector<std::string>& lines);

    // The other side of the first pair whose source side equals the text exactly: the English
    // side is the source unless the direction is "Eng", which translates back from Russian.
    // No match, or an empty text, gives the text unchanged.
    [[nodiscard]] std::string translate(std::string_view text, std::string_view direction) const;

    [[nodiscard]] size_t size() const { return m_pairs; }

private:
    // First line wins in either direction: later lines never replace an entry.
    std::unordered_map<std::string, std::string> m_toRussian;
    std::unordered_map<std::string, std::string> m_toEnglish;
    size_t m_pairs = 0;
};

}  // namespace zrd::params
