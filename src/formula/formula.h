#pragma once

// The formula language of the parameter database: texts such as
// "f:if p12 > 3 then min(p4|p5) else p6 * 2" are converted to a postfix list of texts and
// evaluated on a stack of texts, every intermediate result rounded to 15 significant digits.
// Failures throw FormulaError (formula/formula_error.h).

#include <functional>
#include <optional>
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

// The answer for a parameter reference, by its name (p12); nullopt counts as "0".
using ReferenceAnswer = std::function<std::optional<std::string>(const std::string& name)>;

// The same conversion without the "f:" removal; each reference enters as the answer for its
// name. An answer that is not a number is a conversion error (out of range: floating-point).
void ParseStringAnswered(std::string_view text, PostfixList& list, const ReferenceAnswer& answer);

// ParseStringAnswered with the user answering each reference through `ui.askText` (cancel
// counts as "0").
void ParseStringAsk(std::string_view text, PostfixList& list, UserInterface& ui);

// The names of the parameter references of a text as the converter resolves them (p4567 is
// p456), each once, in the order they first appear. A text that ends in an unterminated string
// gives the names before it.
[[nodiscard]] std::vector<std::string> ReferencedParameters(std::string_view text);

// True when an answer for a reference enters a formula: a finite number.
[[nodiscard]] bool IsAnswerNumber(std::string_view answer);

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

// The formula test dialog's values of the references: one row per reference of the prepared
// text, each with the text typed for it (kAskPreset until one is). A typed value stays with its
// name while the formula changes, so that nothing typed is lost.
class TestFormulaValues {
public:
    // The rows for the formula as typed (before its preparation).
    void setFormula(std::string_view typed);
    [[nodiscard]] const std::vector<std::string>& names() const { return m_names; }
    [[nodiscard]] std::string value(const std::string& name) const;
    void setValue(const std::string& name, std::string text);
    // The first row whose value is no number the formula can take; nullopt when all are.
    [[nodiscard]] std::optional<size_t> firstBadRow() const;
    // ParseStringAnswered of a prepared text with the rows' values.
    void convert(std::string_view prepared, PostfixList& list) const;

private:
    std::vector<std::string> m_names;
    std::vector<std::pair<std::string, std::string>> m_typed;
};

}  // namespace zrd::formula
