#include "link/parameter_access.h"

#include "params/message_numbers.h"

namespace zrd::link {

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

    LinkBuffers& b = m_link.buffers();
    clearBuffer(b.request);
    clearBuffer(b.receive);
    b.request[0] = kRequestRead;
    b.request[1] = p.Index;
    m_link.ReadPar();
    m_lastReply = b.receive[1];
    if (b.receive[1] != kReplyRead)
        return;

    decodeReadReply(b.receive);
    // Shown and stored even outside the limits: the drive's value is what stands.
    m_model.setValue(position, pm::rawToDisplay(p, replyRaw(b.receive)));
    updateRow(position);
}

void ParameterAccess::SetParam() {
    const int position = m_model.currentParameter();
    const pm::TPar& p = m_model.parameter(position);
    LinkBuffers& b = m_link.buffers();
    clearBuffer(b.transmit);
    clearBuffer(b.request);

    if (!pm::inDisplayRange(p, m_model.value(position)))
        m_model.setValue(position, pm::defaultDisplay(p));
    const uint16_t raw = pm::displayToRaw(p, m_model.value(position));
    b.request[0] = kRequestWrite;
    b.request[1] = p.Index;
    b.request[2] = static_cast<uint8_t>(raw >> 8);
    b.request[3] = static_cast<uint8_t>(raw & 0xFF);
    // ReadPar clears the receive buffer before writing, so a request that cannot be written
    // reads as no answer rather than as the previous verdict.
    m_link.ReadPar();
    m_lastReply = b.receive[1];

    const std::string& language = m_model.language();
    switch (b.receive[1]) {
        case kReplyRefused:
            m_messages.showText(
                m_link.ui(), p.Numpar + " " + p.Pname + m_messages.text(pm::kMsgRefused, language),
                language);
            m_model.setValue(position, m_model.previousValue(position));
            break;
        case kReplyAccepted:
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

}  // namespace zrd::link
