#include "tuning/tune_undo.h"

#include <algorithm>
#include <optional>

#include "tuning/filter_design.h"
#include "tuning/step_test.h"

namespace zrd::tuning {
namespace {

constexpr const char* kUndoGains[] = {"KPV", "KIV"};

std::optional<double> backedUp(const std::vector<std::pair<std::string, double>>& backup,
                               const std::string& name) {
    const auto at = std::find_if(backup.begin(), backup.end(),
                                 [&](const auto& entry) { return entry.first == name; });
    return at == backup.end() ? std::nullopt : std::optional(at->second);
}

}  // namespace

std::vector<int> tunedSlots(const TuneResult& result) {
    std::vector<int> slots;
    for (const TunedFilter& f : result.proposed.filters) {
        const bool ranBefore =
            std::any_of(result.before.filters.begin(), result.before.filters.end(),
                        [&](const TunedFilter& b) { return b.slot == f.slot; });
        if (!ranBefore)
            slots.push_back(f.slot);
    }
    return slots;
}

std::vector<std::string> undoTuning(link::DriveLink& link, session::ParameterAccess& access,
                                    params::ParameterModel& model, const params::TypeTables& tables,
                                    const TuneResult& result,
                                    const std::vector<std::pair<std::string, double>>& backup) {
    std::vector<std::string> failed;
    for (const char* name : kUndoGains) {
        const std::optional<double> value = backedUp(backup, name);
        if (!value ||
            writeEnteredValue(link, access, model, tables, name, *value) != EnteredWrite::Written ||
            access.lastReply() != link::kReplyAccepted)
            failed.emplace_back(name);
    }
    for (const int slot : tunedSlots(result)) {
        // The slot as it was: every role the data set has, read back from the backup.
        FilterFields fields;
        std::vector<double> values(kFilterRoleSuffixes.size(), 0.0);
        bool complete = true;
        for (const SlotParameter& p : slotParameters(model, slot)) {
            const std::optional<double> value = backedUp(backup, filterMnemonic(slot, p.role));
            if (!value)
                complete = false;
            else
                values.at(static_cast<size_t>(p.role)) = *value;
        }
        const auto role = [&](FilterRole r) { return values.at(static_cast<size_t>(r)); };
        fields.type = static_cast<FilterType>(static_cast<int>(role(FilterRole::Type)));
        fields.frequency = role(FilterRole::Frequency);
        fields.quality = role(FilterRole::Quality);
        fields.gainDb = role(FilterRole::Gain);
        fields.coefficients = {role(FilterRole::B0), role(FilterRole::B1), role(FilterRole::B2),
                               role(FilterRole::A1), role(FilterRole::A2)};
        const std::string typeName = filterMnemonic(slot, FilterRole::Type);
        if (!complete) {
            failed.push_back(typeName);
            continue;
        }
        if (!writeFilterSlot(link, access, model, slot, fields).allAccepted())
            failed.push_back(typeName);
    }
    return failed;
}

}  // namespace zrd::tuning
