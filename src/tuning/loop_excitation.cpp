#include "tuning/loop_excitation.h"

#include <algorithm>

namespace zrd::tuning {

bool readTouched(const params::ParameterModel& model, const ExcitationRead& read,
                 std::vector<std::pair<std::string, double>>& backup) {
    for (const char* name : kExcitationTouched) {
        if (!model.find(name))
            continue;
        const std::optional<double> value = read(name);
        if (!value)
            return false;
        backup.emplace_back(name, *value);
    }
    return true;
}

bool readCurrentLimit(const params::ParameterModel& model, const ExcitationRead& read,
                      std::optional<double>& limit) {
    for (const char* name : kCurrentLimitParameters) {
        if (!model.find(name))
            continue;
        const std::optional<double> value = read(name);
        if (!value)
            return false;
        if (*value > 0)
            limit = std::min(limit.value_or(*value), *value);
    }
    return true;
}

}  // namespace zrd::tuning
