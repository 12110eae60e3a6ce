#pragma once

// The formula language of the parameter database: texts such as
// "f:if p12 > 3 then min(p4|p5) else p6 * 2" are converted to a postfix list of texts and
// evaluated on a stack of texts, every intermediate result rounded to 15 significant digits.
// Failures throw FormulaError (formula/formula_error.h).

#include <string>
#include <string_view>
#include <vector>

#include "core/user_interface.h"
#include "formula/formula_error.h"
#include "formula/parameter_source.h"

namespace zrd::formula {

// Number texts and operator items (normally one code letter) in postfix order.
using PostfixList = std::vector<std::string>;

// The window title of the question for a parameter's value is this text and the name.
inline constexpr std::string_view kAskTitlePrefix = "Enter the value of parameter ";
inline constexpr std::string_view kAskPrompt = "Input the value";
inline constexpr std::string_view kAskPreset = "0";

// Converts a formula to postfix and appends the items to `list` (which is not cleared).
// A text containing "f:" loses its first two characters first. References (p + up to three
// digits) take value ÷ scale of the first matching `Numpar` in `params`, 0 when none matches.
void ParseString(std::string_view text, PostfixList& list, const ParameterSource& params);

// The same conversion without the "f:" removal; the user answers each reference through
// `ui.askText` (cancel counts as "0"). An answer that is not a number is a conversion error.
void ParseStringAsk(std::string_view text, PostfixList& list, UserInterface& ui);

// The value of a postfix list: the number at the bottom of the stack once all items are done.
// The list is left unchanged; an empty list is a list index error.
[[nodiscard]] double EvaluatePostfix(const PostfixList& list);

// Priority 0..9 of an operator code: n 9; functions, min, max 8; ^ ! 7; * / 6; + - 5;
// and/or 4; comparisons, then, else 3; "(" 2; if 1; anything else 0.
[[nodiscard]] int OperatorPriority(char code);

// The formula test dialog's preparation of a typed text.
struct PreparedFormula {
    std::string info;       // lower case, blanks around + and - removed, unary minus as (0-x)
    std::string converted;  // info with blanks put around every + and -, for ParseStringAsk
};
[[nodiscard]] PreparedFormula PrepareTestFormula(std::string_view text);

}  // namespace zrd::formula
