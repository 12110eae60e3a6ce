#include "formula/own_limits.h"

#include <cmath>

#include "formula/configuration.h"
#include "formula/formula.h"

namespace zrd::formula {

namespace pm = zrd::params;

namespace {

constexpr std::string_view kFormulaMark = "f:";
constexpr std::string_view kFormulaEntry = "f";

bool isFormula(const std::string& text) {
    return text.find(kFormulaMark) != std::string::npos;
}

// References read the side's value, the default derived for it, or the value table.
class SideParameters : public ParameterSource {
public:
    SideParameters(const pm::ParameterModel& model, const pm::ValueSet& values)
        : m_model(model), m_values(values) {}

    [[nodiscard]] std::optional<ParameterRef> findByNumpar(std::string_view numpar) const override {
        for (int position = 0; position < pm::kParameterCount; ++position) {
            const pm::TPar& p = m_model.parameter(position);
            if (p.Pname.empty())
                break;
            if (p.Numpar == numpar) {
                const auto& v = m_values[static_cast<size_t>(position)];
                return ParameterRef{v ? *v : m_model.value(position), p.scale};
            }
        }
        return std::nullopt;
    }

private:
    const pm::ParameterModel& m_model;
    const pm::ValueSet& m_values;
};

// The formula's result when it evaluates to a raw value of the parameter.
std::optional<double> rawResult(const std::string& text, const pm::TPar& p,
                                const ParameterSource& params) {
    try {
        PostfixList list;
        ParseString(text, list, params);
        const double v = EvaluatePostfix(list);
        return pm::fitsRaw(p, v) ? std::optional<double>(v) : std::nullopt;
    } catch (const FormulaError&) {
        // Values from a file or a drive may make any formula fail (a zero divisor).
        return std::nullopt;
    }
}

}  // namespace

pm::LimitSet ownLimits(const pm::ParameterModel& model, const pm::ValueSource& side) {
    pm::LimitSet limits{};
    // The side's values, completed pass by pass with the defaults its formulas give.
    pm::ValueSet values = side.values;
    const SideParameters params(model, values);
    // The passes of the read-all re-evaluation: an entry reads what earlier passes derived.
    for (int pass = 1; pass <= kReadAllFormulaPasses; ++pass) {
        bool walked = false;
        for (const pm::TParR& entry : model.calculated()) {
            if (entry.typeD != kFormulaEntry)
                break;
            walked = true;
            if (entry.prior_calc != pass || entry.num < 0 || entry.num >= pm::kParameterCount)
                continue;
            const pm::TPar& p = model.parameter(entry.num);
            pm::RawLimits own{p.MinVal, p.MaxVal};
            bool formulaLimit = false;
            if (isFormula(entry.MinVal)) {
                if (const auto v = rawResult(entry.MinVal, p, params))
                    own.min = static_cast<int32_t>(std::trunc(*v));
                formulaLimit = true;
            }
            if (isFormula(entry.MaxVal)) {
                if (const auto v = rawResult(entry.MaxVal, p, params))
                    own.max = static_cast<int32_t>(std::trunc(*v));
                formulaLimit = true;
            }
            if (formulaLimit)
                limits[static_cast<size_t>(entry.num)] = own;
            auto& value = values[static_cast<size_t>(entry.num)];
            if (!value && isFormula(entry.DefValue)) {
                if (const auto v = rawResult(entry.DefValue, p, params))
                    value = *v * p.scale;
            }
        }
        if (!walked)
            break;
    }
    return limits;
}

pm::Comparison compareSets(const pm::ParameterModel& model, pm::ValueSource a, pm::ValueSource b,
                           bool writableOnly) {
    a.limits = ownLimits(model, a);
    b.limits = ownLimits(model, b);
    return pm::compareValues(model, a, b, writableOnly);
}

}  // namespace zrd::formula
