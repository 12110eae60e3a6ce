#include "session/parameter_access.h"

#include <algorithm>

#include "params/message_numbers.h"

namespace zrd::session {

namespace lk = zrd::link;
namespace pm = zrd::params;

void ParameterAccess::updateRow(int position) {
    if (!m_model.hasPageRow(position))
        return;
    m_link.ui().updatePageRow(position, pm::valueText(m_model.value(position)));
}

void ParameterAccess::ReadParam() {
    m_lastReply = 0;
    if (!m_link.state().connected)
        return;
    const int position = m_model.currentParameter();
    const pm::TPar& p = m_model.parameter(position);
    if (p.pType.empty() || p.pType == pm::kNeverRead)
        return;
    m_model.setPreviousValue(position, m_model.value(position));

    const std::optional<uint16_t> raw = m_link.readIndex(p.Index);
    m_lastReply = raw ? lk::kReplyRead : 0;
    if (!raw)
        return;
    // Shown and stored even outside the limits: the drive's value is what stands.
    m_model.setKnownValue(position, pm::rawToDisplay(p, *raw));
    updateRow(position);
}

std::string ParameterAccess::valueCaption(const pm::TPar& p, double value) const {
    return p.Numpar + " " + p.Pname + ": " + pm::valueText(value) + "\n";
}

bool ParameterAccess::acceptsEntered(double value) const {
    const pm::TPar& p = m_model.parameter(m_model.currentParameter());
    if (pm::inDisplayRange(p, value))
        return true;
    const std::string& language = m_model.language();
    m_messages.showText(m_link.ui(),
                        valueCaption(p, value) + m_messages.text(pm::kMsgOutsideLimits, language) +
                            pm::valueText(pm::minDisplay(p)) + " .. " +
                            pm::valueText(pm::maxDisplay(p)),
                        language);
    return false;
}

void ParameterAccess::SetParam() {
    const int position = m_model.currentParameter();
    const pm::TPar& p = m_model.parameter(position);
    const std::string& language = m_model.language();
    m_substitutedDefault = !pm::inDisplayRange(p, m_model.value(position));
    if (m_substitutedDefault) {
        // The last guard for callers that did not check: never silent, as the user sees
        // another value written than the one given.
        const std::string text = valueCaption(p, m_model.value(position)) +
                                 m_messages.text(pm::kMsgDefaultWritten, language) +
                                 pm::valueText(pm::defaultDisplay(p));
        m_messages.showText(m_link.ui(), text, language);
        if (m_report) {
            // One log line: the box's line break becomes a blank.
            std::string action = text;
            std::replace(action.begin(), action.end(), '\n', ' ');
            m_report(action);
        }
        m_model.setValue(position, pm::defaultDisplay(p));
    }
    // The database's limits and defaults are raw values of the parameter, so this holds unless
    // limits were set past them; then nothing goes out rather than a wrapped value.
    const std::optional<uint16_t> raw = pm::displayToRaw(p, m_model.value(position));
    m_lastReply = raw ? m_link.writeIndex(p.Index, *raw) : 0;

    switch (m_lastReply) {
        case lk::kReplyRefused:
            m_messages.showText(
                m_link.ui(), p.Numpar + " " + p.Pname + m_messages.text(pm::kMsgRefused, language),
                language);
            m_model.setValue(position, m_model.previousValue(position));
            break;
        case lk::kReplyAccepted:
            m_model.setKnown(position, true);
            if (m_link.state().connected)
                m_model.setParameterSetState(pm::ParameterSetState::Ram);
            break;
        default:
            m_messages.showText(
                m_link.ui(),
                pm::description(p, language) + m_messages.text(pm::kMsgNoReply, language),
                language);
            m_model.setValue(position, m_model.previousValue(position));
            break;
    }
    updateRow(position);
    m_link.ui().processEvents();
}

}  // namespace zrd::session
