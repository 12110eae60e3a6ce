#pragma once

#include <stdexcept>
#include <string>

namespace zrd::formula {

// What stopped a formula operation.
enum class FormulaErrorKind {
    Conversion,     // a text that should be a number (or a condition) is not one
    ListIndex,      // an operator without its operands, an empty list, a "." with nothing before
    FloatingPoint,  // division by zero, logarithm of x <= 0, arcsine/arccosine outside -1..1,
                    // a negative number to a fractional power, overflow
    Parser,         // an unterminated quoted string
};

// Every failure of the formula engine is thrown as this exception: the operation stops at
// once and the caller shows what() (which begins with the kind, "conversion error: ...").
// Nothing the engine appended before the failure is taken back.
class FormulaError : public std::runtime_error {
public:
    FormulaError(FormulaErrorKind kind, const std::string& detail);

    [[nodiscard]] FormulaErrorKind kind() const { return m_kind; }

private:
    FormulaErrorKind m_kind;
};

// "conversion error", "list index error", "floating-point error", "parser error".
const char* kindText(FormulaErrorKind kind);

}  // namespace zrd::formula
