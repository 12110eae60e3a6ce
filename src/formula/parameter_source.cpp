#include "formula/parameter_source.h"

namespace zrd::formula {

void ParameterList::add(std::string numpar, double value, double scale) {
    m_entries.push_back({std::move(numpar), {value, scale}});
}

std::optional<ParameterRef> ParameterList::findByNumpar(std::string_view numpar) const {
    for (const auto& e : m_entries)
        if (e.numpar == numpar)
            return e.ref;
    return std::nullopt;
}

}  // namespace zrd::formula
