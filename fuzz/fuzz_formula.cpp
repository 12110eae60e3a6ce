// The formula engine on arbitrary text: lexer, both converters, the test dialog's
// preparation and the evaluator. Only FormulaError may leave the engine; no crash, no
// reading outside its stacks, no endless loop.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/number_text.h"
#include "formula/formula.h"
#include "formula/formula_lexer.h"

namespace {

namespace fm = zrd::formula;

// Answers the questions of ParseStringAsk in turn: numbers, a non-number and a cancel.
class CyclingAnswers : public zrd::SilentUserInterface {
public:
    std::optional<std::string> askText(const std::string&, const std::string&,
                                       const std::string&) override {
        static const char* const kAnswers[] = {"5", "-2.5", " 7 ", "1e3", "x", nullptr, "-0"};
        const char* a = kAnswers[m_next++ % (sizeof kAnswers / sizeof kAnswers[0])];
        if (a == nullptr)
            return std::nullopt;
        return std::string(a);
    }

private:
    size_t m_next = 0;
};

void evaluate(const fm::PostfixList& list) {
    try {
        const double v = fm::EvaluatePostfix(list);
        if (std::isnan(v))
            std::abort();
    } catch (const fm::FormulaError&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);

    fm::ParameterList params;
    params.add("p1", 5);
    params.add("p2", -7.5, 0.1);
    params.add("p12", 1e300, 1e-20);
    params.add("p", 0.25);

    fm::PostfixList list;
    try {
        fm::ParseString(text, list, params);
    } catch (const fm::FormulaError&) {
    }
    if (!list.empty())
        evaluate(list);

    const fm::PreparedFormula prepared = fm::PrepareTestFormula(text);
    CyclingAnswers ui;
    fm::PostfixList asked;
    try {
        fm::ParseStringAsk(prepared.converted, asked, ui);
    } catch (const fm::FormulaError&) {
    }
    if (!asked.empty())
        evaluate(asked);

    // Arbitrary postfix lists, not only those the converter builds: the raw tokens.
    fm::PostfixList raw;
    fm::FormulaLexer lexer(text);
    try {
        while (auto token = lexer.next())
            raw.push_back(*token);
    } catch (const fm::FormulaError&) {
    }
    evaluate(raw);

    // Every number the engine reads must survive its own formatting.
    if (const auto v = zrd::parseNumber(text); v && std::isfinite(*v)) {
        const auto back = zrd::parseNumber(zrd::formatGeneral(*v));
        if (!back)
            std::abort();
    }
    return 0;
}
