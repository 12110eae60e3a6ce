// Infix to postfix (shunting-yard) with the formula language's own rules for if/then/else,
// the "|" separator and numbers written as "2 . 5".
#include <algorithm>
#include <array>
#include <cmath>
#include <functional>

#include "core/number_text.h"
#include "formula/formula.h"
#include "formula/formula_lexer.h"

namespace zrd::formula {
namespace {

// Appends the items of one parameter reference, named "p" + up to three digits.
using ReferenceResolver = std::function<void(const std::string& name, PostfixList& out)>;

constexpr size_t kMaxReferenceDigits = 3;

// Operators are these symbols and the lower-case letters a..y except i and p.
constexpr std::string_view kOperatorSymbols = "!*+-/<=>^";

bool isOperatorLead(char c) {
    if (c != '\0' && kOperatorSymbols.find(c) != std::string_view::npos)
        return true;
    return c >= 'a' && c <= 'y' && c != 'i' && c != 'p';
}

struct PriorityGroup {
    std::string_view codes;
    int priority;
};

// Every other character has priority 0.
constexpr std::array<PriorityGroup, 9> kPriorities = {{
    {"n", 9},
    {"abcdeghklstumx", 8},
    {"^!", 7},
    {"*/", 6},
    {"+-", 5},
    {"wy", 4},
    {"<>=qrvjo", 3},
    {"(", 2},
    {"f", 1},
}};

std::string referenceName(const std::string& token) {
    size_t n = 1;
    while (n < token.size() && n <= kMaxReferenceDigits && isDigit(token[n]))
        ++n;
    return token.substr(0, n);
}

// A value enters as its text, or as a subtraction from zero when it is negative.
void appendValue(double v, PostfixList& out) {
    if (v >= 0) {
        out.push_back(formatGeneral(v));
    } else {
        out.push_back("0");
        out.push_back(formatGeneral(-static_cast<long double>(v)));
        out.push_back("-");
    }
}

class Converter {
public:
    Converter(PostfixList& out, const ReferenceResolver& resolve)
        : m_out(out), m_resolve(resolve) {}

    void run(std::string_view text) {
        FormulaLexer lexer(replaceKeywords(text));
        while (auto token = lexer.next())
            if (!token->empty())
                take(*token);
        while (!m_stack.empty())
            moveTop();
    }

private:
    void take(const std::string& token) {
        const char lead = token[0];
        if (lead == 'p')
            m_resolve(referenceName(token), m_out);
        if (isDigit(lead)) {
            if (m_join) {
                m_out.back() += token;
                m_join = false;
            } else {
                m_out.push_back(token);
            }
        }
        if (lead == '.') {
            if (m_out.empty())
                throw FormulaError(FormulaErrorKind::ListIndex,
                                   "\"" + token + "\" has no number before it to join");
            m_out.back() += token;
            m_join = true;
        }
        if (lead == '|' && !m_stack.empty()) {
            while (!m_stack.empty() && m_stack.back() != "(")
                moveTop();
        }
        if (isOperatorLead(lead))
            takeOperator(token);
        if (lead == '(')
            m_stack.push_back(token);
        if (lead == ')') {
            while (!m_stack.empty() && m_stack.back() != "(")
                moveTop();
            if (!m_stack.empty())
                m_stack.pop_back();
        }
    }

    void takeOperator(const std::string& token) {
        const char lead = token[0];
        const int priority = OperatorPriority(lead);
        // A leading minus subtracts from zero.
        if (m_out.empty() && lead == '-')
            m_out.push_back("0");
        if (m_stack.empty() || OperatorPriority(m_stack.back()[0]) < priority || lead == 'f') {
            m_stack.push_back(token);
            return;
        }
        if (m_stack.back() == "o" && lead == 'o') {
            // An else that meets an open else closes the inner if: its else, if and then.
            for (int i = 0; i < 3; ++i) {
                if (m_stack.empty())
                    throw FormulaError(FormulaErrorKind::ListIndex,
                                       "\"else\" without its \"if\" and \"then\"");
                moveTop();
            }
            m_stack.push_back(token);
            return;
        }
        moveTop();
        while (!m_stack.empty() && OperatorPriority(m_stack.back()[0]) >= priority)
            moveTop();
        m_stack.push_back(token);
    }

    void moveTop() {
        m_out.push_back(std::move(m_stack.back()));
        m_stack.pop_back();
    }

    PostfixList& m_out;
    const ReferenceResolver& m_resolve;
    std::vector<std::string> m_stack;
    bool m_join = false;
};

}  // namespace

int OperatorPriority(char code) {
    if (code == '\0')
        return 0;
    for (const auto& group : kPriorities)
        if (group.codes.find(code) != std::string_view::npos)
            return group.priority;
    return 0;
}

void ParseString(std::string_view text, PostfixList& list, const ParameterSource& params) {
    if (text.find("f:") != std::string_view::npos)
        text.remove_prefix(std::min<size_t>(2, text.size()));
    const ReferenceResolver resolve = [&params](const std::string& name, PostfixList& out) {
        double v = 0;
        if (const auto ref = params.findByNumpar(name)) {
            const long double raw = static_cast<long double>(ref->value) / ref->scale;
            if (!std::isfinite(raw))
                throw FormulaError(FormulaErrorKind::FloatingPoint,
                                   "the value of " + name + " is not a finite number");
            // The raw value goes through its text, as every number of the engine does.
            const auto parsed = parseNumber(formatGeneral(raw));
            if (!parsed || !std::isfinite(*parsed))
                throw FormulaError(FormulaErrorKind::FloatingPoint,
                                   "the value of " + name + " is out of range");
            v = *parsed;
        }
        appendValue(v, out);
    };
    Converter(list, resolve).run(text);
}

void ParseStringAnswered(std::string_view text, PostfixList& list,
                         const ReferenceAnswer& answerFor) {
    const ReferenceResolver resolve = [&answerFor](const std::string& name, PostfixList& out) {
        const std::string answer = answerFor(name).value_or(std::string(kAskPreset));
        const auto v = parseNumber(answer);
        if (!v)
            throw FormulaError(FormulaErrorKind::Conversion,
                               "the answer \"" + answer + "\" for " + name + " is not a number");
        if (!std::isfinite(*v))
            throw FormulaError(FormulaErrorKind::FloatingPoint,
                               "the answer \"" + answer + "\" for " + name + " is out of range");
        // A non-negative answer is kept as typed when the evaluator takes it as a number item
        // (it begins with a digit); "+5", " 5", ".5" and "-0" enter as the number they mean.
        const bool asTyped = !answer.empty() && isDigit(answer.front()) &&
                             answer.find_first_of(" \t") == std::string::npos;
        if (*v >= 0 && asTyped)
            out.push_back(answer);
        else if (*v == 0)
            out.push_back("0");
        else
            appendValue(*v, out);
    };
    Converter(list, resolve).run(text);
}

void ParseStringAsk(std::string_view text, PostfixList& list, UserInterface& ui) {
    ParseStringAnswered(text, list, [&ui](const std::string& name) {
        return ui.askText(std::string(kAskTitlePrefix) + name, std::string(kAskPrompt),
                          std::string(kAskPreset));
    });
}

std::vector<std::string> ReferencedParameters(std::string_view text) {
    std::vector<std::string> names;
    FormulaLexer lexer(replaceKeywords(text));
    try {
        while (auto token = lexer.next()) {
            if (token->empty() || token->front() != 'p')
                continue;
            std::string name = referenceName(*token);
            if (std::find(names.begin(), names.end(), name) == names.end())
                names.push_back(std::move(name));
        }
    } catch (const FormulaError&) {
        // An unterminated string: the conversion reports it; the names before it stand.
    }
    return names;
}

bool IsAnswerNumber(std::string_view answer) {
    const auto v = parseNumber(answer);
    return v && std::isfinite(*v);
}

}  // namespace zrd::formula
