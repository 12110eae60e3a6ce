#include "scope/trigger.h"

#include <cmath>
#include <string>

#include "scope/scope_settings.h"

namespace zrd::scope {

namespace pm = zrd::params;

namespace {

// The table's value of a mnemonic as a whole number within min..max; nullopt otherwise.
std::optional<int> tableInteger(const pm::ParameterModel& model, std::string_view mnemonic, int min,
                                int max) {
    const std::optional<int> position = model.find(mnemonic);
    if (!position)
        return std::nullopt;
    const double v = model.value(*position);
    if (!(v >= min && v <= max) || v != std::floor(v))
        return std::nullopt;
    return static_cast<int>(v);
}

constexpr std::array<std::string_view, kChannelCount> kChannelSignals = {"CH1SEL", "CH2SEL",
                                                                         "CH3SEL", "CH4SEL"};

}  // namespace

bool levelInRange(double typed) {
    return typed >= -kTriggerLevelLimit && typed <= kTriggerLevelLimit;
}

bool positionInRange(double typed) {
    return typed >= 0 && typed <= kLastTriggerPosition;
}

double levelToDrive(double typed, double levelScale) {
    return levelScale == 0 ? typed : typed / levelScale;
}

double levelFromDrive(double raw, double levelScale) {
    return levelScale == 0 ? raw : raw * levelScale;
}

double convertLevel(double typed, double oldScale, double newScale) {
    return levelFromDrive(levelToDrive(typed, oldScale), newScale);
}

TriggerSettings triggerFromTable(const pm::ParameterModel& model) {
    TriggerSettings t;
    if (const auto type =
            tableInteger(model, "TRGTYP", 0, static_cast<int>(TriggerType::Generator)))
        t.type = static_cast<TriggerType>(*type);
    if (const auto source = tableInteger(model, "TRGSRC", 1, kChannelCount))
        t.source = *source;
    if (const auto p = model.find("TRGLEV"))
        t.level = model.value(*p);
    if (const auto p = model.find("TRGPOS"))
        t.position = model.value(*p);
    return t;
}

OfflineTableSettings offlineFromTable(const pm::ParameterModel& model) {
    OfflineTableSettings s;
    s.tickCode = tableInteger(model, "RCFREQ", 0, kOfflineTickCodes - 1);
    for (size_t c = 0; c < kChannelSignals.size(); ++c)
        s.channelSignals.at(c) =
            tableInteger(model, kChannelSignals.at(c), 0, model.scopeSignalCount() - 1);
    return s;
}

bool writeEdgeTrigger(link::DriveLink& link, session::ParameterAccess& access,
                      pm::ParameterModel& model, TriggerType type, int source, double typedLevel,
                      double levelScale) {
    // All three go out whatever the drive holds, in this order.
    const bool level = writeScopeParameter(link, access, model, "TRGLEV",
                                           levelToDrive(typedLevel, levelScale), WriteRule::Always);
    const bool kind = writeScopeParameter(link, access, model, "TRGTYP", static_cast<int>(type),
                                          WriteRule::Always);
    const bool src = writeScopeParameter(link, access, model, "TRGSRC", source, WriteRule::Always);
    return level && kind && src;
}

bool writeTriggerType(link::DriveLink& link, session::ParameterAccess& access,
                      pm::ParameterModel& model, TriggerType type) {
    return writeScopeParameter(link, access, model, "TRGTYP", static_cast<int>(type));
}

bool writeTriggerLevel(link::DriveLink& link, session::ParameterAccess& access,
                       pm::ParameterModel& model, double typedLevel, double levelScale) {
    if (!levelInRange(typedLevel))
        return true;
    return writeScopeParameter(link, access, model, "TRGLEV", levelToDrive(typedLevel, levelScale));
}

bool writeTriggerPosition(link::DriveLink& link, session::ParameterAccess& access,
                          pm::ParameterModel& model, double typedPosition) {
    if (!positionInRange(typedPosition))
        return true;
    return writeScopeParameter(link, access, model, "TRGPOS", typedPosition);
}

bool writeOfflineSetup(link::DriveLink& link, session::ParameterAccess& access,
                       pm::ParameterModel& model, Oscillogram& oscillogram,
                       const OfflineSetup& setup, std::string& failed) {
    const auto write = [&](std::string_view mnemonic, double value, WriteRule rule) {
        if (writeScopeParameter(link, access, model, mnemonic, value, rule))
            return true;
        failed = std::string(mnemonic);
        return false;
    };
    if (setup.tickCode < 0 || setup.tickCode >= kOfflineTickCodes) {
        failed = "RCFREQ";
        return false;
    }
    if (!write("OSCMOD", 0, WriteRule::IfChanged) ||
        !write("RCFREQ", setup.tickCode, WriteRule::IfChanged))
        return false;
    oscillogram.tickCode = setup.tickCode;
    for (size_t c = 0; c < kChannelSignals.size(); ++c) {
        if (!write(kChannelSignals.at(c), setup.channelSignals.at(c), WriteRule::Always))
            return false;
        oscillogram.channels.at(c) = channelOfSignal(model, setup.channelSignals.at(c));
    }
    const bool edge = isEdge(setup.trigger);
    if (edge || setup.trigger == TriggerType::Generator) {
        if (!positionInRange(setup.position)) {
            failed = "TRGPOS";
            return false;
        }
        if (!write("TRGPOS", setup.position, WriteRule::IfChanged))
            return false;
    }
    if (!edge)
        return write("TRGTYP", static_cast<int>(setup.trigger), WriteRule::IfChanged);
    if (setup.source < 1 || setup.source > kChannelCount) {
        failed = "TRGSRC";
        return false;
    }
    if (!levelInRange(setup.typedLevel)) {
        failed = "TRGLEV";
        return false;
    }
    if (writeEdgeTrigger(link, access, model, setup.trigger, setup.source, setup.typedLevel,
                         oscillogram.channel(setup.source).scale))
        return true;
    failed = "TRGLEV, TRGTYP, TRGSRC";
    return false;
}

}  // namespace zrd::scope
