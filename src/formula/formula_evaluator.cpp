// Stack evaluation of a postfix list. Operands are read from their texts as doubles, each
// result is computed in long double and written back as text rounded to 15 digits.
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "core/number_text.h"
#include "formula/formula.h"
#include "formula/formula_lexer.h"

namespace zrd::formula {
namespace {

using Real = long double;

constexpr Real kLargestExponent = 2147483647.0L;
constexpr Real kSmallestExponent = -2147483648.0L;

[[noreturn]] void fail(FormulaErrorKind kind, const std::string& detail) {
    throw FormulaError(kind, detail);
}

bool isTwoOperand(char c) {
    return c != '\0' && std::string_view("*+-/<=>^mqrvx").find(c) != std::string_view::npos;
}

double number(const std::string& text) {
    const auto v = parseNumber(text);
    if (!v)
        fail(FormulaErrorKind::Conversion, "\"" + text + "\" is not a valid number");
    if (!std::isfinite(*v))
        fail(FormulaErrorKind::FloatingPoint, "overflow in \"" + text + "\"");
    return *v;
}

bool condition(const std::string& text) {
    const auto c = parseCondition(text);
    if (!c)
        fail(FormulaErrorKind::Conversion, "\"" + text + "\" is not a valid condition");
    return *c;
}

std::string conditionText(bool c) {
    return std::string(c ? kTrueText : kFalseText);
}

// The result as the text that goes on the stack; it must still be a double when read back.
std::string resultText(Real r) {
    if (std::isnan(r))
        fail(FormulaErrorKind::FloatingPoint, "invalid floating-point operation");
    if (std::isinf(r))
        fail(FormulaErrorKind::FloatingPoint, "overflow");
    std::string text = formatGeneral(r);
    if (const auto back = parseNumber(text); !back || !std::isfinite(*back))
        fail(FormulaErrorKind::FloatingPoint, "overflow");
    return text;
}

Real divide(Real y, Real x) {
    if (x == 0)
        fail(FormulaErrorKind::FloatingPoint, "division by zero");
    return y / x;
}

// Integral exponents multiply (by squaring); others go through exp and ln.
Real power(Real y, Real x) {
    if (x == std::trunc(x) && x >= kSmallestExponent && x <= kLargestExponent) {
        uint64_t n = static_cast<uint64_t>(std::fabs(x));
        Real result = 1;
        Real base = y;
        while (n != 0) {
            if (n & 1)
                result *= base;
            n >>= 1;
            if (n != 0)
                base *= base;
        }
        return x < 0 ? divide(1, result) : result;
    }
    if (y == 0)
        return 0;
    if (y < 0)
        fail(FormulaErrorKind::FloatingPoint, "negative number to a fractional power");
    return std::exp(x * std::log(y));
}

Real logarithm(Real x, bool decimal) {
    if (x <= 0)
        fail(FormulaErrorKind::FloatingPoint,
             "logarithm of " + formatGeneral(x) + " (zero or a negative number)");
    return decimal ? std::log10(x) : std::log(x);
}

Real arcFunction(Real x, bool sine) {
    if (x < -1 || x > 1)
        fail(FormulaErrorKind::FloatingPoint, std::string(sine ? "arcsine" : "arccosine") + " of " +
                                                  formatGeneral(x) + " (outside -1..1)");
    return sine ? std::asin(x) : std::acos(x);
}

// nullopt: the code has no operation (its operand is dropped).
std::optional<Real> unary(char code, Real x) {
    switch (code) {
        case 'n':
            return -x;
        case 'a':
            return std::fabs(x);
        case 'b':
            return arcFunction(x, true);
        case 'c':
            return std::cos(x);
        case 'd':
            return arcFunction(x, false);
        case 'e':
            return std::exp(x);
        case 'g':
            return logarithm(x, true);
        case 'h':
            return std::atan(x);
        case 'k':
            return x == 0 ? std::numbers::pi_v<Real> / 2 : std::atan(divide(1, x));
        case 'l':
            return logarithm(x, false);
        case 's':
            return std::sin(x);
        case 't':
            return std::tan(x);
        case 'u':
            return divide(1, std::tan(x));
        case 'j':
        case 'o':
            return x;
        default:
            return std::nullopt;
    }
}

std::string binary(char code, Real y, Real x) {
    switch (code) {
        case '*':
            return resultText(y * x);
        case '/':
            return resultText(divide(y, x));
        case '+':
            return resultText(y + x);
        case '-':
            return resultText(y - x);
        case '^':
            return resultText(power(y, x));
        case 'm':
            return resultText(y >= x ? x : y);
        case 'x':
            return resultText(y > x ? y : x);
        case '<':
            return conditionText(y < x);
        case '>':
            return conditionText(y > x);
        case '=':
            return conditionText(y == x);
        case 'q':
            return conditionText(y != x);
        case 'r':
            return conditionText(y <= x);
        case 'v':
            return conditionText(y >= x);
        default:
            return {};
    }
}

class Stack {
public:
    [[nodiscard]] size_t size() const { return m_items.size(); }
    [[nodiscard]] bool empty() const { return m_items.empty(); }
    void push(std::string text) { m_items.push_back(std::move(text)); }
    const std::string& at(size_t i) const { return m_items[i]; }

    // Takes the top item; `item` names the postfix item that needed it.
    std::string pop(const std::string& item) {
        need(1, item);
        std::string top = std::move(m_items.back());
        m_items.pop_back();
        return top;
    }

    void need(size_t n, const std::string& item) const {
        if (m_items.size() < n)
            fail(FormulaErrorKind::ListIndex, "\"" + item + "\" lacks an operand");
    }

    void drop(size_t n) { m_items.resize(m_items.size() - n); }

private:
    std::vector<std::string> m_items;
};

}  // namespace

double EvaluatePostfix(const PostfixList& list) {
    if (list.empty())
        fail(FormulaErrorKind::ListIndex, "empty postfix list");
    Stack stack;
    for (size_t i = 0; i < list.size(); ++i) {
        const std::string& item = list[i];
        const char lead = item.empty() ? '\0' : item[0];
        if (isDigit(lead)) {
            stack.push(item);
            continue;
        }
        if (lead == 'f') {
            stack.need(2, item);
            const size_t h = stack.size();
            // With an else branch: condition, then-value, else-value; without: condition, value.
            const bool withElse = i > 0 && list[i - 1] == "o" && h > 2;
            const size_t base = withElse ? h - 3 : h - 2;
            const bool c = condition(stack.at(base));
            const double x = number(stack.at(base + 1));
            const double y = withElse ? number(stack.at(base + 2)) : 0.0;
            stack.drop(withElse ? 3 : 2);
            stack.push(resultText(c ? x : y));
            continue;
        }
        if (lead == 'w' || lead == 'y') {
            stack.need(2, item);
            const bool first = condition(stack.at(stack.size() - 2));
            const bool second = condition(stack.at(stack.size() - 1));
            stack.drop(2);
            stack.push(conditionText(lead == 'w' ? first && second : first || second));
            continue;
        }
        const double x = number(stack.pop(item));
        if (isTwoOperand(lead)) {
            const double y = number(stack.pop(item));
            stack.push(binary(lead, y, x));
            continue;
        }
        if (const auto r = unary(lead, x))
            stack.push(resultText(*r));
    }
    if (stack.empty())
        fail(FormulaErrorKind::ListIndex, "no result left on the stack");
    return number(stack.at(0));
}

}  // namespace zrd::formula
