#include "formula/configuration.h"

#include <cmath>
#include <string>

#include "core/number_text.h"

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

// A result that becomes a limit or default must be a raw value of the parameter: anything else
// would wrap on the wire or make every value of it fail the limits.
double rawResult(const pm::TPar& p, double v, const char* what) {
    if (!pm::fitsRaw(p, v))
        throw FormulaError(FormulaErrorKind::FloatingPoint, std::string("the ") + what + " of " +
                                                                p.Pname + ", " + formatGeneral(v) +
                                                                ", is no 16-bit raw value of it");
    return v;
}

int32_t rawLimit(const pm::TPar& p, double v, const char* what) {
    return static_cast<int32_t>(rawResult(p, std::trunc(v), what));
}

// One entry of a pass: the limits first, then the default and its value, which the row shows
// at once: the value table and the pages never disagree.
void applyEntry(const pm::TParR& entry, pm::ParameterModel& model, const ParameterSource& params,
                UserInterface& ui) {
    pm::TPar& p = model.parameter(entry.num);
    p.ind_of_change = 0;
    if (isFormula(entry.MinVal)) {
        p.MinVal = rawLimit(p, evaluate(entry.MinVal, params), "minimum");
        p.ind_of_change = kMarkMin;
    }
    if (isFormula(entry.MaxVal)) {
        p.MaxVal = rawLimit(p, evaluate(entry.MaxVal, params), "maximum");
        p.ind_of_change += kMarkMax;
    }
    if (isFormula(entry.DefValue)) {
        p.DefValue = rawResult(p, evaluate(entry.DefValue, params), "default");
        const double value = p.DefValue * p.scale;
        model.setValue(entry.num, value);
        // A value nobody sees is no known value: write-all leaves the drive's own in place.
        const bool shown = model.hasPageRow(entry.num);
        model.setKnown(entry.num, shown);
        if (shown)
            ui.updatePageRow(entry.num, pm::valueText(value));
        p.ind_of_change += kMarkDefault;
    }
}

std::optional<double> currentValue(const pm::ParameterModel& model, pm::KnownParameter which) {
    const std::optional<int> position = model.knownPosition(which);
    if (!position)
        return std::nullopt;
    return model.value(*position);
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

int reevaluateFormulas(pm::ParameterModel& model, int maxPasses, UserInterface& ui) {
    const ModelParameters params(model);
    int passes = 0;
    for (int pass = 1; pass <= maxPasses; ++pass) {
        bool walked = false;
        for (const pm::TParR& entry : model.calculated()) {
            if (entry.typeD != kFormulaEntry)
                break;
            walked = true;
            if (entry.prior_calc == pass)
                applyEntry(entry, model, params, ui);
        }
        if (!walked)
            break;
        passes = pass;
    }
    model.setFormulaBasis(
        {currentValue(model, pm::KnownParameter::MT), currentValue(model, pm::KnownParameter::DT)});
    return passes;
}

std::vector<ChangeMark> changeMarks(const pm::ParameterModel& model) {
    std::vector<ChangeMark> marks;
    for (const pm::TParR& entry : model.calculated()) {
        // A free entry keeps the link of an earlier load.
        if (entry.typeD.empty() || entry.num == 0)
            break;
        marks.push_back({entry.num, model.parameter(entry.num).ind_of_change});
    }
    return marks;
}

}  // namespace zrd::formula
