#include "formula/configuration.h"

#include <cmath>

#include "formula/formula.h"

namespace zrd::formula {

namespace pm = zrd::params;

namespace {

constexpr std::string_view kFormulaMark = "f:";
constexpr std::string_view kFormulaEntry = "f";

bool isFormula(const std::string& text) {
    return text.find(kFormulaMark) != std::string::npos;
}

double evaluate(const std::string& text, const ParameterSource& params) {
    PostfixList list;
    ParseString(text, list, params);
    return EvaluatePostfix(list);
}

int32_t truncated(double v) {
    return static_cast<int32_t>(std::trunc(v));
}

// One entry of a pass: the limits first, then the default and its value.
void applyEntry(const pm::TParR& entry, pm::ParameterModel& model, const ParameterSource& params) {
    pm::TPar& p = model.parameter(entry.num);
    p.ind_of_change = 0;
    if (isFormula(entry.MinVal)) {
        p.MinVal = truncated(evaluate(entry.MinVal, params));
        p.ind_of_change = kMarkMin;
    }
    if (isFormula(entry.MaxVal)) {
        p.MaxVal = truncated(evaluate(entry.MaxVal, params));
        p.ind_of_change += kMarkMax;
    }
    if (isFormula(entry.DefValue)) {
        p.DefValue = evaluate(entry.DefValue, params);
        model.setValue(entry.num, p.DefValue * p.scale);
        p.ind_of_change += kMarkDefault;
    }
}

}  // namespace

std::optional<ParameterRef> ModelParameters::findByNumpar(std::string_view numpar) const {
    for (int position = 0; position < pm::kParameterCount; ++position) {
        const pm::TPar& p = m_model.parameter(position);
        if (p.Pname.empty())
            break;
        if (p.Numpar == numpar)
            return ParameterRef{m_model.value(position), p.scale};
    }
    return std::nullopt;
}

int reevaluateFormulas(pm::ParameterModel& model, int maxPasses) {
    const ModelParameters params(model);
    int passes = 0;
    for (int pass = 1; pass <= maxPasses; ++pass) {
        bool walked = false;
        for (const pm::TParR& entry : model.calculated()) {
            if (entry.typeD != kFormulaEntry)
                break;
            walked = true;
            if (entry.prior_calc == pass)
                applyEntry(entry, model, params);
        }
        if (!walked)
            break;
        passes = pass;
    }
    return passes;
}

std::vector<ChangeMark> changeMarks(const pm::ParameterModel& model) {
    std::vector<ChangeMark> marks;
    for (const pm::TParR& entry : model.calculated()) {
        if (entry.num == 0)
            break;
        marks.push_back({entry.num, model.parameter(entry.num).ind_of_change});
    }
    return marks;
}

}  // namespace zrd::formula
