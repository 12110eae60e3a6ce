#include "scope/sample_stream.h"

#include "link/frame_codec.h"

namespace zrd::scope {

namespace lk = zrd::link;

void SampleStreamDecoder::reset() {
    m_state = State::Outside;
    m_escape = false;
    m_count = 0;
}

StreamEvent SampleStreamDecoder::broken(uint8_t byte) {
    reset();
    if (byte == lk::kStartByte)
        m_state = State::Code;
    return {StreamEvent::Kind::BadSample};
}

StreamEvent SampleStreamDecoder::feed(uint8_t byte) {
    switch (m_state) {
        case State::Outside:
            if (byte == lk::kStartByte)
                m_state = State::Code;
            return {};
        case State::Code:
            if (byte == lk::kReplyAck) {
                m_state = State::AckStatus;
            } else if (byte == lk::kReplyScopeSample) {
                m_state = State::Data;
                m_count = 0;
                m_escape = false;
            } else if (byte != lk::kStartByte) {
                // Another reply, or noise: skipped up to the next start byte.
                m_state = State::Outside;
            }
            return {};
        case State::AckStatus:
            if (byte == lk::kStartByte)
                return {};  // the acknowledge was cut short; a new frame begins
            m_state = State::AckTail;
            return {StreamEvent::Kind::Ack, byte};
        case State::AckTail:
            m_state = byte == lk::kStartByte ? State::Code : State::Outside;
            return {};
        case State::Data: {
            if (byte == lk::kStartByte || (byte == lk::kEndByte && !m_escape))
                return broken(byte);
            uint8_t value = byte;
            if (m_escape) {
                m_escape = false;
                switch (byte) {
                    case lk::kEscapedEscape:
                        value = lk::kEscapeByte;
                        break;
                    case lk::kEscapedStart:
                        value = lk::kStartByte;
                        break;
                    case lk::kEscapedEnd:
                        value = lk::kEndByte;
                        break;
                    default:
                        return broken(byte);
                }
            } else if (byte == lk::kEscapeByte) {
                m_escape = true;
                return {};
            }
            m_data.at(m_count++) = value;
            if (m_count == m_data.size())
                m_state = State::Close;
            return {};
        }
        case State::Close:
            if (byte != lk::kEndByte)
                return broken(byte);
            m_state = State::Outside;
            return {StreamEvent::Kind::Sample, 0, m_data};
    }
    return {};
}

int rawValue(uint8_t high, uint8_t low, bool isSigned) {
    const auto raw = static_cast<uint16_t>(high << 8 | low);
    return isSigned ? static_cast<int>(static_cast<int16_t>(raw)) : static_cast<int>(raw);
}

}  // namespace zrd::scope
