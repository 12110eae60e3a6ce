#include "formula/formula_lexer.h"

#include <array>
#include <cstring>

#include "formula/formula_error.h"

namespace zrd::formula {
namespace {

struct Keyword {
    std::string_view word;
    std::string_view code;
};

// The order matters where one word contains another: "arcsin" before "sin", "arcctg" and
// "ctg" before "tg".
const std::array<Keyword, 22> kKeywords = {{
    {"log", "l"}, {"ln", "l"},  {"arcsin", "b"}, {"arccos", "d"}, {"arctg", "h"}, {"arcctg", "k"},
    {"sin", "s"}, {"cos", "c"}, {"ctg", "u"},    {"tg", "t"},     {"exp", "e"},   {"abs", "a"},
    {"min", "m"}, {"max", "x"}, {"if", "f"},     {"then", "j"},   {"else", "o"},  {"<>", "q"},
    {"<=", "r"},  {">=", "v"},  {"and", "w"},    {"or", "y"},
}};

char lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool matchesAt(std::string_view text, size_t pos, std::string_view word, bool ignoreCase) {
    if (text.size() - pos < word.size())
        return false;
    for (size_t i = 0; i < word.size(); ++i) {
        const char a = text[pos + i];
        const char b = word[i];
        if (ignoreCase ? lower(a) != lower(b) : a != b)
            return false;
    }
    return true;
}

bool isLetter(unsigned char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool isHexDigit(unsigned char c) {
    return isDigit(c) || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}
bool isOneOf(unsigned char c, const char* set) {
    return c != 0 && std::strchr(set, c);
}

constexpr unsigned char kLastBlank = 32;

}  // namespace

std::string replaceAll(std::string_view text, std::string_view from, std::string_view to,
                       bool ignoreCase) {
    if (from.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        if (matchesAt(text, pos, from, ignoreCase)) {
            out += to;
            pos += from.size();
        } else {
            out += text[pos++];
        }
    }
    return out;
}

std::string replaceKeywords(std::string_view text) {
    std::string out(text);
    for (const auto& k : kKeywords)
        out = replaceAll(out, k.word, k.code, true);
    return out;
}

std::optional<std::string> FormulaLexer::next() {
    while (m_pos < m_text.size() && at(m_pos) >= 1 && at(m_pos) <= kLastBlank)
        ++m_pos;
    const unsigned char c = at(m_pos);
    if (c == 0) {
        // A NUL ends the text, wherever it stands.
        m_pos = m_text.size();
        return std::nullopt;
    }
    const size_t start = m_pos;
    if (isLetter(c) || c == '_') {
        ++m_pos;
        while (isLetter(at(m_pos)) || isDigit(at(m_pos)) || at(m_pos) == '_')
            ++m_pos;
    } else if (c == '\'' || c == '#') {
        return quotedString();
    } else if (c == '$') {
        ++m_pos;
        while (isHexDigit(at(m_pos)))
            ++m_pos;
    } else if (c == '-' || isDigit(c)) {
        ++m_pos;
        while (isDigit(at(m_pos)))
            ++m_pos;
        while (isOneOf(at(m_pos), "+-.0123456789Ee"))
            ++m_pos;
        if (isOneOf(at(m_pos), "cCdDfFsS"))
            ++m_pos;
    } else {
        ++m_pos;
    }
    return m_text.substr(start, m_pos - start);
}

// A run of quoted parts ('' inside stands for one quote) and #nn character codes, as in
// 'it''s'#33; the token is the text they spell.
std::string FormulaLexer::quotedString() {
    std::string content;
    for (;;) {
        if (at(m_pos) == '#') {
            ++m_pos;
            unsigned code = 0;
            // Only the low 8 bits of the code count.
            while (isDigit(at(m_pos)))
                code = (code * 10 + (at(m_pos++) - '0')) & 0xFF;
            content += static_cast<char>(code);
        } else if (at(m_pos) == '\'') {
            ++m_pos;
            for (;;) {
                const unsigned char ch = at(m_pos);
                if (ch == 0 || ch == '\n' || ch == '\r')
                    throw FormulaError(FormulaErrorKind::Parser, "unterminated string");
                ++m_pos;
                if (ch == '\'') {
                    if (at(m_pos) != '\'')
                        break;
                    ++m_pos;
                }
                content += static_cast<char>(ch);
            }
        } else {
            return content;
        }
    }
}

}  // namespace zrd::formula
