#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace zrd::formula {

inline bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

// Replaces the keywords of the formula language by their one-letter codes: the fixed table
// ("log" l, "ln" l, "arcsin" b, ... "or" y) applied entry by entry in its order, every
// occurrence, ignoring letter case, also inside longer words.
std::string replaceKeywords(std::string_view text);

// Every occurrence of `from` in `text` (left to right, not overlapping) replaced by `to`.
std::string replaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignoreCase = false);

// Splits a formula text into tokens: names, numbers ("-" or a digit, then digits, then a run
// of "+-.0-9Ee", then at most one of "cCdDfFsS"), "$" hexadecimal numbers, quoted strings
// (their content), and single characters. Codes 1..32 separate tokens; the end of the text
// or a NUL ends the stream.
class FormulaLexer {
public:
    // The lexer keeps its own copy of the text.
    explicit FormulaLexer(std::string_view text) : m_text(text) {}

    // The next token's text, nullopt at the end. Throws FormulaError (parser error) for a
    // quoted string that reaches the end of the text or of a line.
    std::optional<std::string> next();

private:
    [[nodiscard]] unsigned char at(size_t pos) const {
        return pos < m_text.size() ? static_cast<unsigned char>(m_text[pos]) : 0;
    }
    std::string quotedString();

    std::string m_text;
    size_t m_pos = 0;
};

}  // namespace zrd::formula
