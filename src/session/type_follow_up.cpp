#include "session/type_follow_up.h"

#include <cmath>

#include "session/parameter_edit.h"

namespace zrd::session {

namespace pm = zrd::params;

std::string motorName(const pm::TypeTables& tables, int line) {
    const std::vector<std::string> words = pm::splitWords(tables.motorTypes().line(line));
    return words.empty() ? std::string() : words.front();
}

MotorTypeApplied applyMotorType(link::DriveLink& link, ParameterAccess& access,
                                pm::ParameterModel& model, const pm::TypeTables& tables, int line,
                                int waitBeforeWriteMs) {
    MotorTypeApplied applied;
    applied.line = line;
    applied.name = motorName(tables, line);
    const std::vector<std::string> mnemonics = tables.motorMnemonics();
    const std::vector<std::string> values = tables.motorValues(line);
    const bool connected = link.state().connected != 0;
    for (size_t i = 0; i < mnemonics.size() && i < values.size(); ++i) {
        const std::optional<int> position = model.find(mnemonics[i]);
        if (!position)
            continue;
        model.setCurrentParameter(*position);
        // The table holds raw values.
        const double raw = parseDisplayValue(values[i]);
        // The user chose the motor: its values count as entered, known for write-all.
        model.setKnownValue(*position, raw * model.parameter(*position).scale);
        if (connected) {
            if (waitBeforeWriteMs > 0)
                link.ui().waitMs(waitBeforeWriteMs);
            access.SetParam();
            ++applied.written;
            if (access.lastReply() != link::kReplyAccepted)
                applied.notTaken.push_back(*position);
        }
        if (model.hasPageRow(*position))
            link.ui().updatePageRow(*position, pm::valueText(model.value(*position)));
        applied.positions.push_back(*position);
    }
    model.setValueOrigin(0);
    return applied;
}

TypesOfValues typesOfValues(const pm::ParameterModel& model, const pm::TypeTables& tables) {
    TypesOfValues types;
    // The header's first mnemonic identifies the motor.
    const std::vector<std::string> header = tables.motorMnemonics();
    if (!header.empty()) {
        if (const std::optional<int> position = model.find(header.front()))
            types.motorLine = tables.matchMotorLine(pm::valueText(model.value(*position)));
    }
    if (types.motorLine)
        types.motorName = motorName(tables, *types.motorLine);
    const std::optional<int> dt = model.knownPosition(pm::KnownParameter::DT);
    if (dt && model.parameter(*dt).Pname == kDriveType)
        types.driveName = tables.driveSelectorText(model.value(*dt));
    return types;
}

std::optional<std::string> driveTypeFollowUp(pm::ParameterModel& model,
                                             const pm::TypeTables& tables, int position) {
    // Only the drive type itself: "DTCOMP" and the like merely begin with its name. The dialog
    // has just written it; what follows is its name and its previous value.
    if (model.parameter(position).Pname != kDriveType)
        return std::nullopt;
    const double value = model.value(position);
    if (value == model.previousValue(position))
        return std::nullopt;
    model.setPreviousValue(position, value);
    return tables.driveSelectorText(value);
}

}  // namespace zrd::session
