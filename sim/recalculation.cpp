#include "recalculation.h"

#include <algorithm>
#include <cmath>

#include "formula/formula.h"
#include "link/frame_codec.h"
#include "params/parameter_table.h"
#include "sim_drive.h"

namespace zrd::sim {

namespace {

constexpr int kPasses = 99;

// References read the raw memory: the database's formulas work in raw units.
class MemorySource : public formula::ParameterSource {
public:
    explicit MemorySource(const std::vector<std::pair<std::string, int32_t>>& values)
        : m_values(values) {}
    std::optional<formula::ParameterRef> findByNumpar(std::string_view numpar) const override {
        for (const auto& [name, value] : m_values)
            if (name == numpar)
                return formula::ParameterRef{static_cast<double>(value), 1.0};
        return std::nullopt;
    }

private:
    const std::vector<std::pair<std::string, int32_t>>& m_values;
};

bool isFormula(const std::string& text) {
    return text.find("f:") != std::string::npos;
}

std::optional<double> evaluate(const std::string& text, const formula::ParameterSource& source) {
    if (!isFormula(text))
        return std::nullopt;
    try {
        formula::PostfixList list;
        formula::ParseString(text, list, source);
        const double v = formula::EvaluatePostfix(list);
        return std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
    } catch (const formula::FormulaError&) {
        return std::nullopt;
    }
}

}  // namespace

void Recalculation::load(const params::ParameterModel& model) {
    m_entries.clear();
    m_references.clear();
    for (const params::TPar& p : model.parameters()) {
        if (p.Pname.empty())
            break;
        m_references.push_back({p.Numpar, p.Index, params::isSigned(p)});
    }
    for (const params::TParR& r : model.calculated()) {
        if (r.typeD != "f")
            break;
        const params::TPar& p = model.parameter(r.num);
        m_entries.push_back(
            {p.Index, r.prior_calc, p.pType == params::kReadOnly, r.MinVal, r.MaxVal, r.DefValue});
    }
}

int Recalculation::run(std::array<uint16_t, 256>& raw,
                       std::array<SimParameter, 256>& params) const {
    int changed = 0;
    // The recalculation works on the defaults of the new configuration: a limit that follows
    // another parameter's default (the warning level under the peak current) sees the new one.
    std::vector<std::pair<std::string, int32_t>> values;
    for (const Reference& r : m_references)
        values.emplace_back(r.numpar, link::rawToNumber(raw[r.index], r.isSigned));
    const MemorySource source(values);
    const auto setWorking = [&](uint8_t index, double v) {
        for (size_t k = 0; k < m_references.size(); ++k)
            if (m_references[k].index == index)
                values[k].second = static_cast<int32_t>(std::lround(v));
    };
    int last = 0;
    for (const Entry& e : m_entries)
        last = std::max(last, e.pass);
    for (int pass = 1; pass <= std::min(last, kPasses); ++pass) {
        for (const Entry& e : m_entries) {
            if (e.pass != pass)
                continue;
            SimParameter& p = params[e.index];
            if (const auto v = evaluate(e.minVal, source)) {
                changed += p.minVal != static_cast<int32_t>(std::trunc(*v));
                p.minVal = static_cast<int32_t>(std::trunc(*v));
            }
            if (const auto v = evaluate(e.maxVal, source)) {
                changed += p.maxVal != static_cast<int32_t>(std::trunc(*v));
                p.maxVal = static_cast<int32_t>(std::trunc(*v));
            }
            const auto v = evaluate(e.defValue, source);
            if (!v)
                continue;
            setWorking(e.index, *v);
            // The drive's own ratings; the PC writes the defaults of the others.
            if (e.readOnly) {
                const uint16_t now = link::displayToRaw(*v, 1.0);
                changed += raw[e.index] != now;
                raw[e.index] = now;
            }
        }
    }
    return changed;
}

}  // namespace zrd::sim
