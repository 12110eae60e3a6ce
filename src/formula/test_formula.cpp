// The formula test dialog lets people type "2 * -3" or "-5 + 3"; the converter would take
// "-3" for an operator, so the text is rewritten to subtractions from zero first.
#include <algorithm>
#include <cstring>
#include <vector>

#include "formula/formula.h"
#include "formula/formula_lexer.h"

namespace zrd::formula {
namespace {

// A "-" after one of these starts a negative operand: operators, "(", and the last letters
// of else, if and then.
constexpr const char* kBeforeUnaryMinus = "!(*+-/<=>^efn|";
// These end a negative operand: operators and ")". The letters e and t end it only where
// "else" or "then" begins, so that "-exp(1)" stays one operand.
constexpr const char* kAfterNegativeOperand = "!)*+-/<=>^|";

bool isOneOf(char c, const char* set) {
    return c != '\0' && std::strchr(set, c) != nullptr;
}

bool isNameChar(char c) {
    return (c >= 'a' && c <= 'z') || c == '_' || isDigit(c);
}

// True for the sign of an exponent: "+" or "-" after the "e" of a number such as 1e-5 or
// 2.5e+3, which the lexer keeps in one number token.
bool isExponentSign(const std::string& s, size_t i) {
    if (i < 2 || (s[i] != '-' && s[i] != '+') || s[i - 1] != 'e' || i + 1 >= s.size() ||
        !isDigit(s[i + 1]))
        return false;
    size_t k = i - 1;
    bool digits = false;
    while (k > 0 && (isDigit(s[k - 1]) || s[k - 1] == '.')) {
        digits = digits || isDigit(s[k - 1]);
        --k;
    }
    // The run must start a number, not end a name such as p1e.
    return digits && isDigit(s[k]) && (k == 0 || !isNameChar(s[k - 1]));
}

bool endsNegativeOperand(const std::string& s, size_t i) {
    if (isOneOf(s[i], kAfterNegativeOperand))
        return true;
    const std::string_view rest = std::string_view(s).substr(i);
    return rest.starts_with("else") || rest.starts_with("then");
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
    // Each open negative operand remembers the parenthesis depth it began at: "-(1+2)" is
    // negative as a whole, and "--5" opens two.
    std::vector<int> open;
    int depth = 0;
    std::vector<bool> exponent(s.size(), false);
    for (size_t i = 0; i < s.size(); ++i) {
        // The first character counts as its own predecessor.
        const char before = i == 0 ? s[0] : s[i - 1];
        const char c = s[i];
        if (isExponentSign(s, i)) {
            exponent[i] = true;
            out.info += c;
            continue;
        }
        if (c == '-' && isOneOf(before, kBeforeUnaryMinus)) {
            out.info += "(0-";
            open.push_back(depth);
            continue;
        }
        while (!open.empty() && open.back() == depth && endsNegativeOperand(s, i)) {
            out.info += ')';
            open.pop_back();
        }
        out.info += c;
        if (c == '(')
            ++depth;
        else if (c == ')' && depth > 0)
            --depth;
    }
    out.info.append(open.size(), ')');

    // Blanks around every "+" and "-" but the signs of exponents. The rewriting kept the signs
    // of the text in their order, so the k-th sign of info is the k-th of s.
    std::vector<bool> signIsExponent;
    for (size_t i = 0; i < s.size(); ++i)
        if (s[i] == '+' || s[i] == '-')
            signIsExponent.push_back(exponent[i]);
    size_t sign = 0;
    for (const char c : out.info) {
        if (c != '+' && c != '-') {
            out.converted += c;
            continue;
        }
        const bool keep = sign < signIsExponent.size() && signIsExponent[sign];
        ++sign;
        if (keep) {
            out.converted += c;
        } else {
            out.converted += ' ';
            out.converted += c;
            out.converted += ' ';
        }
    }
    return out;
}

void TestFormulaValues::setFormula(std::string_view typed) {
    m_names = ReferencedParameters(PrepareTestFormula(typed).converted);
}

std::string TestFormulaValues::value(const std::string& name) const {
    const auto it = std::find_if(m_typed.begin(), m_typed.end(),
                                 [&name](const auto& entry) { return entry.first == name; });
    return it == m_typed.end() ? std::string(kAskPreset) : it->second;
}

void TestFormulaValues::setValue(const std::string& name, std::string text) {
    const auto it = std::find_if(m_typed.begin(), m_typed.end(),
                                 [&name](const auto& entry) { return entry.first == name; });
    if (it == m_typed.end())
        m_typed.emplace_back(name, std::move(text));
    else
        it->second = std::move(text);
}

std::optional<size_t> TestFormulaValues::firstBadRow() const {
    for (size_t row = 0; row < m_names.size(); ++row)
        if (!IsAnswerNumber(value(m_names[row])))
            return row;
    return std::nullopt;
}

void TestFormulaValues::convert(std::string_view prepared, PostfixList& list) const {
    ParseStringAnswered(prepared, list,
                        [this](const std::string& name) { return std::optional(value(name)); });
}

}  // namespace zrd::formula
