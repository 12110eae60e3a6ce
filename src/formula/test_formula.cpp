// The formula test dialog lets people type "2 * -3" or "-5 + 3"; the converter would take
// "-3" for an operator, so the text is rewritten to subtractions from zero first.
#include <cstring>

#include "formula/formula.h"
#include "formula/formula_lexer.h"

namespace zrd::formula {
namespace {

// A "-" after one of these starts a negative operand: operators, "(", and the last letters
// of else, if and then.
constexpr const char* kBeforeUnaryMinus = "!(*+-/<=>^efn|";
// These end a negative operand: operators, ")", and the first letters of else and then.
constexpr const char* kAfterNegativeOperand = "!)*+-/<=>^et|";

bool isOneOf(char c, const char* set) {
    return c != '\0' && std::strchr(set, c) != nullptr;
}

}  // namespace

PreparedFormula PrepareTestFormula(std::string_view text) {
    std::string s(text);
    for (char& c : s)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    for (const auto& [from, to] :
         {std::pair{" + ", "+"}, {" -", "-"}, {"+ ", "+"}, {"- ", "-"}, {" +", "+"}, {" - ", "-"}})
        s = replaceAll(s, from, to);

    PreparedFormula out;
    bool open = false;
    for (size_t i = 0; i < s.size(); ++i) {
        // The first character counts as its own predecessor.
        const char before = i == 0 ? s[0] : s[i - 1];
        const char c = s[i];
        if (c == '-' && isOneOf(before, kBeforeUnaryMinus)) {
            out.info += "(0-";
            open = true;
        } else if (open && isOneOf(c, kAfterNegativeOperand)) {
            out.info += ')';
            out.info += c;
            open = false;
        } else {
            out.info += c;
        }
    }
    if (open)
        out.info += ')';

    out.converted = replaceAll(replaceAll(out.info, "+", " + "), "-", " - ");
    return out;
}

}  // namespace zrd::formula
