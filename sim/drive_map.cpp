#include "drive_map.h"

#include <algorithm>
#include <cctype>

#include "params/parameter_table.h"

namespace zrd::sim {
namespace {

std::string upper(std::string_view text) {
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return out;
}

}  // namespace

void DriveMap::build(const params::ParameterModel& model) {
    m_entries = {};
    m_names.clear();
    m_byName.clear();
    for (const params::TPar& p : model.parameters()) {
        if (p.Pname.empty())
            continue;
        const std::string name = upper(p.Pname);
        if (!m_names.emplace(name, p.Index).second)
            continue;
        m_byName.emplace(name, Entry{p.Index, p.scale, params::isSigned(p)});
        const auto slot = std::find(kSlotNames.begin(), kSlotNames.end(), name);
        if (slot != kSlotNames.end())
            m_entries[static_cast<size_t>(slot - kSlotNames.begin())] = {p.Index, p.scale,
                                                                         params::isSigned(p)};
    }
}

std::optional<uint8_t> DriveMap::find(std::string_view mnemonic) const {
    const auto it = m_names.find(upper(mnemonic));
    if (it == m_names.end())
        return std::nullopt;
    return it->second;
}

DriveMap::Entry DriveMap::entryOf(std::string_view mnemonic) const {
    const auto it = m_byName.find(upper(mnemonic));
    return it == m_byName.end() ? Entry{} : it->second;
}

}  // namespace zrd::sim
