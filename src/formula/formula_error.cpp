#include "formula/formula_error.h"

namespace zrd::formula {

const char* kindText(FormulaErrorKind kind) {
    switch (kind) {
        case FormulaErrorKind::Conversion:
            return "conversion error";
        case FormulaErrorKind::ListIndex:
            return "list index error";
        case FormulaErrorKind::FloatingPoint:
            return "floating-point error";
        case FormulaErrorKind::Parser:
            return "parser error";
    }
    return "formula error";
}

FormulaError::FormulaError(FormulaErrorKind kind, const std::string& detail)
    : std::runtime_error(std::string(kindText(kind)) + ": " + detail), m_kind(kind) {}

}  // namespace zrd::formula
