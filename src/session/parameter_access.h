#pragma once

// Reading and writing the current parameter: ReadParam and SetParam.

#include <functional>
#include <string>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"

namespace zrd::session {

// Single-parameter access on the model's current parameter. Neither operation tests the
// link-busy flag: the caller holds it.
class ParameterAccess {
public:
    ParameterAccess(link::DriveLink& link, params::ParameterModel& model,
                    const params::MessageTable& messages)
        : m_link(link), m_model(model), m_messages(messages) {}

    // Reads the current parameter into the value table (a known value from then on) and onto
    // its page row. Nothing changes without the connected flag, for `pType` "-" or empty, or
    // when the drive does not answer.
    void ReadParam();

    // Checks a value the user typed for the current parameter against its limits, in raw
    // units. False, with message 85 naming the limits, when it lies outside them: the caller
    // then writes nothing.
    [[nodiscard]] bool acceptsEntered(double value) const;

    // Writes the value-table entry of the current parameter. An entry outside the limits is
    // replaced by the default, with message 83 (callers that take a typed value check it with
    // acceptsEntered first). Afterwards the entry holds what the drive accepted (a known value
    // from then on), or the previous-value entry after a refusal ("Q", message 88) or a missing
    // answer (message 38).
    void SetParam();

    // Reply code (byte 1) of the last exchange of ReadParam or SetParam; 0 when nothing came
    // or no exchange ran.
    [[nodiscard]] uint8_t lastReply() const { return m_lastReply; }

    // True when the last SetParam wrote the default in place of a value outside the limits (the
    // front end logs it).
    [[nodiscard]] bool substitutedDefault() const { return m_substitutedDefault; }

    // Told of each substitution of the default, with its action-log text.
    using SubstitutionReport = std::function<void(const std::string& action)>;
    void setSubstitutionReport(SubstitutionReport report) { m_report = std::move(report); }

private:
    void updateRow(int position);
    // "P12 SPD: 600", the start of the messages about a value of the current parameter.
    std::string valueCaption(const params::TPar& p, double value) const;

    link::DriveLink& m_link;
    params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    uint8_t m_lastReply = 0;
    bool m_substitutedDefault = false;
    SubstitutionReport m_report;
};

}  // namespace zrd::session
