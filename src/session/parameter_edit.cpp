#include "session/parameter_edit.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

#include "params/message_numbers.h"

namespace zrd::session {

namespace pm = zrd::params;

namespace {

constexpr std::string_view kOperatingMode = "OPMOD";
constexpr std::string_view kCommandSource = "INST";
constexpr int kFirstMode = 1;
constexpr int kLastMode = 3;

}  // namespace

FunctionList functionListOf(std::string_view mnemonic) {
    if (mnemonic.starts_with("DIN"))
        return FunctionList::DigitalInputs;
    if (mnemonic.starts_with("DOUT"))
        return FunctionList::DigitalOutputs;
    if (mnemonic.starts_with("AOUT"))
        return FunctionList::AnalogOutputs;
    return FunctionList::None;
}

const std::vector<std::string>* FunctionNameLists::list(FunctionList kind) const {
    switch (kind) {
        case FunctionList::DigitalInputs:
            return &digitalInputs;
        case FunctionList::DigitalOutputs:
            return &digitalOutputs;
        case FunctionList::AnalogOutputs:
            return &analogOutputs;
        case FunctionList::None:
            break;
    }
    return nullptr;
}

double parseDisplayValue(std::string_view text) {
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ')
        t.remove_prefix(1);
    while (!t.empty() && t.back() == ' ')
        t.remove_suffix(1);
    // from_chars takes no leading "+", which people do type.
    if (t.size() > 1 && t.front() == '+')
        t.remove_prefix(1);
    double value = 0;
    const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
    // from_chars also reads "nan" and "inf"; neither is a value a drive can hold.
    if (t.empty() || error != std::errc() || end != t.data() + t.size() || !std::isfinite(value))
        throw std::invalid_argument("'" + std::string(text) + "' is not a valid number.");
    return value;
}

EditOutcome writeEditedValue(link::DriveLink& link, ParameterAccess& access,
                             pm::ParameterModel& model, const pm::TypeTables& tables, int position,
                             double value, int waitBeforeWriteMs) {
    EditOutcome outcome;
    model.setCurrentParameter(position);
    model.setValue(position, value);
    access.SetParam();
    const std::string mnemonic = model.parameter(position).Pname;
    // What stands after the write: a refusal puts the previous value back.
    const int standing = static_cast<int>(std::trunc(model.value(position)));
    if (mnemonic == kOperatingMode && standing >= kFirstMode && standing <= kLastMode) {
        outcome.operatingMode = standing;
    } else if (mnemonic == kCommandSource) {
        outcome.commandSource = standing;
    } else if (mnemonic == kMotorType) {
        const int line = static_cast<int>(std::trunc(value));
        if (line < kFirstAppliedMotorLine)
            outcome.keepDialogOpen = true;
        else
            outcome.motor = applyMotorType(link, access, model, tables, line, waitBeforeWriteMs);
    } else {
        outcome.driveName = driveTypeFollowUp(model, tables, position);
    }
    return outcome;
}

}  // namespace zrd::session
