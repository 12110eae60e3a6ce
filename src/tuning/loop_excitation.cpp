#include "tuning/loop_excitation.h"

#include <algorithm>
#include <cmath>

#include "monitor/status.h"
#include "session/status_poll.h"
#include "tuning/function_generator.h"

namespace zrd::tuning {

ExcitationCheck checkExcitation(link::DriveLink& link, params::ParameterModel& model,
                                const params::MessageTable& messages, const ExcitationRead& read,
                                bool errorRefuses) {
    ExcitationCheck check;
    const auto verdict = [&check](ExcitationVerdict v) {
        check.verdict = v;
        return check;
    };
    const std::optional<double> mode = read(kModeParameter);
    if (!mode)
        return verdict(ExcitationVerdict::ReadFailed);
    if (std::lround(*mode) != kSpeedModeValue) {
        check.operatingMode = *mode;
        return verdict(ExcitationVerdict::NotSpeedMode);
    }
    const std::optional<double> source = read(kSourceParameter);
    if (!source)
        return verdict(ExcitationVerdict::ReadFailed);
    // A data set without the word is not a drive that does not answer.
    if (!model.statusWordPosition(kExcitationStateWord))
        return verdict(ExcitationVerdict::MissingStateWord);
    session::StatusPoll poll(link, model, messages);
    const std::optional<uint16_t> state = poll.readWord(kExcitationStateWord);
    if (!state)
        return verdict(ExcitationVerdict::StateWordUnanswered);
    if (errorRefuses && ((*state >> monitor::kBitErrors) & 1))
        return verdict(ExcitationVerdict::DriveError);
    const bool servoOn = (*state >> monitor::kBitServoOn) & 1;
    const int sourceCode = static_cast<int>(std::lround(*source));
    const bool internal = sourceCode != kSourcePulse && sourceCode != kSourceAnalog;
    if (const std::optional<int> refusal = generatorStartRefusal(servoOn, internal)) {
        messages.show(link.ui(), *refusal, model.language());
        return verdict(servoOn ? ExcitationVerdict::SourceNotInternal
                               : ExcitationVerdict::ServoOff);
    }
    return check;
}

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
