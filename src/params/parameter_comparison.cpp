#include "params/parameter_comparison.h"

namespace zrd::params {

namespace {

constexpr std::string_view kFormulaMark = "f:";

int tableLength(const ParameterModel& model) {
    int n = 0;
    while (n < kParameterCount && !model.parameter(n).Pname.empty())
        ++n;
    return n;
}

bool sameRaw(const TPar& p, double a, double b) {
    const auto ra = displayToNumber(p, a);
    const auto rb = displayToNumber(p, b);
    return ra && rb ? *ra == *rb : a == b;
}

// The parameter as the side sees it: with the side's own limits where it has them.
TPar withLimits(const TPar& p, const std::optional<RawLimits>& limits) {
    TPar seen = p;
    if (limits) {
        seen.MinVal = limits->min;
        seen.MaxVal = limits->max;
    }
    return seen;
}

std::string limitText(const ParameterModel& model, int position, const TPar& p, double value) {
    const bool eng = model.english();
    const bool above = !(value < minDisplay(p));
    const double limit = above ? maxDisplay(p) : minDisplay(p);
    std::string text = valueText(value) +
                       (eng ? (above ? " is above the maximum " : " is below the minimum ")
                            : (above ? " выше максимума " : " ниже минимума ")) +
                       valueText(limit);
    if (const auto formula = limitFormula(model, position, above))
        text += " (" + *formula + ")";
    return text;
}

}  // namespace

ValueSource programSource(const ParameterModel& model, std::string label) {
    ValueSource s;
    s.label = std::move(label);
    for (int position = 0; position < tableLength(model); ++position)
        s.values[static_cast<size_t>(position)] = model.value(position);
    return s;
}

ValueSource fileSource(const ParameterFileLoad& load, std::string label) {
    ValueSource s;
    s.kind = ValueSource::Kind::File;
    s.label = std::move(label);
    for (const ParameterFileValue& v : load.values)
        s.values.at(static_cast<size_t>(v.position)) = v.value;
    return s;
}

std::optional<std::string> limitFormula(const ParameterModel& model, int position, bool maximum) {
    const std::string& name = model.parameter(position).Pname;
    for (const TParR& r : model.calculated()) {
        if (r.typeD.empty() || r.Pname != name)
            continue;
        const std::string& text = maximum ? r.MaxVal : r.MinVal;
        if (text.find(kFormulaMark) != std::string::npos)
            return text.substr(text.find(kFormulaMark));
    }
    return std::nullopt;
}

Comparison compareValues(const ParameterModel& model, const ValueSource& a, const ValueSource& b,
                         bool writableOnly) {
    using Kind = ValueSource::Kind;
    Comparison c;
    const std::string& language = model.language();
    for (int position = 0; position < tableLength(model); ++position) {
        const auto& va = a.values[static_cast<size_t>(position)];
        const auto& vb = b.values[static_cast<size_t>(position)];
        if ((!va && !vb) || (writableOnly && model.parameter(position).pType == kReadOnly))
            continue;
        if (!va || !vb) {
            // Only a file's own positions count; a lack on the other side is a difference only
            // between two files.
            const bool missingFromFile = !va ? a.kind == Kind::File : b.kind == Kind::File;
            const bool presentInFile = va ? a.kind == Kind::File : b.kind == Kind::File;
            if (!(missingFromFile && presentInFile))
                continue;
        }
        const TPar& p = model.parameter(position);
        const TPar pa = withLimits(p, a.limits[static_cast<size_t>(position)]);
        const TPar pb = withLimits(p, b.limits[static_cast<size_t>(position)]);
        ComparisonRow row;
        row.position = position;
        row.mnemonic = p.Pname;
        row.name = description(p, language);
        row.unit = units(p, language);
        row.a = va;
        row.b = vb;
        row.defaultValue = defaultDisplay(p);
        row.minValue = minDisplay(vb ? pb : pa);
        row.maxValue = maxDisplay(vb ? pb : pa);
        row.differs = !va || !vb || !sameRaw(p, *va, *vb);
        row.aOutside = va && !inDisplayRange(pa, *va);
        row.bOutside = vb && !inDisplayRange(pb, *vb);
        std::vector<std::string> notes;
        if (row.aOutside)
            notes.push_back(a.label + ": " + limitText(model, position, pa, *va));
        if (row.bOutside)
            notes.push_back(b.label + ": " + limitText(model, position, pb, *vb));
        for (const std::string& n : notes)
            row.limitNote += (row.limitNote.empty() ? "" : "; ") + n;
        c.differing += row.differs;
        c.outside += row.aOutside || row.bOutside;
        c.rows.push_back(std::move(row));
    }
    return c;
}

}  // namespace zrd::params
