#include "link/frame_codec.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace zrd::link {
namespace {

// Appends with the escape table into a fixed buffer; the longest frame (9 bytes) fits easily.
size_t putEscaped(TransmitBuffer& out, size_t pos, uint8_t byte) {
    switch (byte) {
        case kStartByte:
            out[pos++] = kEscapeByte;
            out[pos++] = kEscapedStart;
            break;
        case kEndByte:
            out[pos++] = kEscapeByte;
            out[pos++] = kEscapedEnd;
            break;
        case kEscapeByte:
            out[pos++] = kEscapeByte;
            out[pos++] = kEscapedEscape;
            break;
        default:
            out[pos++] = byte;
    }
    return pos;
}

bool isCommandCode(uint8_t code) {
    return code >= kFirstCommandCode && code <= kLastCommandCode;
}

}  // namespace

size_t encodeRequest(const RequestRecord& request, TransmitBuffer& out) {
    clearBuffer(out);
    out[0] = kStartByte;
    size_t pos = 1;
    if (request[0] == kRequestRead) {
        out[pos++] = kCmdReadParameter;
        pos = putEscaped(out, pos, request[1]);
    } else if (request[0] == kRequestWrite) {
        out[pos++] = kCmdWriteParameter;
        for (size_t i = 1; i <= 3; ++i)
            pos = putEscaped(out, pos, request[i]);
    } else {
        return 0;
    }
    out[pos++] = kEndByte;
    return pos;
}

size_t encodeCommand(TransmitBuffer& out, uint8_t code, uint8_t a1, uint8_t a2, uint8_t a3) {
    out[0] = kStartByte;
    out[1] = code;
    out[2] = a1;
    out[3] = a2;
    out[4] = a3;
    out[5] = kEndByte;
    return kCommandFrameLength;
}

void decodeReadReply(ReceiveBuffer& b) {
    size_t w = kDecodeFirst;
    bool skip = false;
    for (size_t i = kDecodeFirst; i <= kDecodeLast; ++i) {
        if (b[i] == kEscapeByte) {
            const uint8_t next = b[i + 1];
            if (next == kEscapedEscape || next == kEscapedStart || next == kEscapedEnd) {
                b[w++] = next == kEscapedEscape  ? kEscapeByte
                         : next == kEscapedStart ? kStartByte
                                                 : kEndByte;
                skip = true;
            }
            // Any other follower: the escape byte is dropped, the follower read as it is.
        } else if (skip) {
            skip = false;
        } else {
            b[w] = b[i];
            if (b[i] == kEndByte) {
                b[w + 1] = b[w + 2] = b[w + 3] = 0;
                return;
            }
            ++w;
        }
    }
}

void appendEscaped(std::vector<uint8_t>& out, uint8_t byte) {
    switch (byte) {
        case kStartByte:
            out.insert(out.end(), {kEscapeByte, kEscapedStart});
            break;
        case kEndByte:
            out.insert(out.end(), {kEscapeByte, kEscapedEnd});
            break;
        case kEscapeByte:
            out.insert(out.end(), {kEscapeByte, kEscapedEscape});
            break;
        default:
            out.push_back(byte);
    }
}

uint16_t displayToRaw(double value, double scale) {
    // The default rounding mode of the FPU is to nearest with ties to even.
    const double rounded = std::nearbyint(value / scale);
    // NaN and the infinities have no low bits; the checked conversion of the parameter model
    // keeps them off the wire, this one only has to stay defined.
    if (!std::isfinite(rounded))
        return 0;
    // Values beyond the 32-bit range keep their low 16 bits only in a well-defined way.
    const double wrapped = std::fmod(rounded, 65536.0);
    const auto whole = static_cast<int32_t>(wrapped);
    return static_cast<uint16_t>(whole & 0xFFFF);
}

int32_t rawToNumber(uint16_t raw, bool isSigned) {
    return isSigned ? static_cast<int32_t>(static_cast<int16_t>(raw)) : static_cast<int32_t>(raw);
}

bool FrameAssembler::feed(uint8_t byte) {
    if (byte == kStartByte && !(m_inFrame && m_rawRemaining > 0)) {
        reset();
        m_inFrame = true;
        return false;
    }
    if (!m_inFrame)
        return false;
    // Command frames carry their three arguments unescaped: take them as they stand.
    if (m_rawRemaining > 0) {
        if (--m_rawRemaining > 0) {
            m_frame.push_back(byte);
            return false;
        }
        m_inFrame = false;
        return byte == kEndByte;
    }
    if (byte == kEndByte) {
        m_inFrame = false;
        return true;
    }
    if (m_escape) {
        m_escape = false;
        m_frame.push_back(byte == kEscapedStart    ? kStartByte
                          : byte == kEscapedEnd    ? kEndByte
                          : byte == kEscapedEscape ? kEscapeByte
                                                   : byte);
        return false;
    }
    if (byte == kEscapeByte) {
        m_escape = true;
        return false;
    }
    m_frame.push_back(byte);
    if (m_frame.size() == 1 && isCommandCode(byte))
        m_rawRemaining = 4;
    return false;
}

void FrameAssembler::reset() {
    m_frame.clear();
    m_inFrame = false;
    m_escape = false;
    m_rawRemaining = 0;
}

void ReplyParser::startFrame() {
    m_inFrame = true;
    m_escape = false;
    m_broken = false;
    m_raw[0] = kStartByte;
    m_rawLength = 1;
    m_payloadLength = 0;
}

bool ReplyParser::answersRequest() const {
    const uint8_t code = m_payload[0];
    switch (m_awaited) {
        case AwaitedReply::Read:
            return m_payloadLength == 4 && code == kReplyRead && m_payload[1] == m_index;
        case AwaitedReply::Verdict:
            return m_payloadLength == 2 && (code == kReplyAccepted || code == kReplyRefused) &&
                   m_payload[1] == m_index;
        case AwaitedReply::Ack:
            return m_payloadLength == 2 && code == kReplyAck;
    }
    return false;
}

bool ReplyParser::feed(uint8_t byte) {
    if (m_done)
        return false;
    if (byte == kStartByte) {
        startFrame();
        return false;
    }
    if (!m_inFrame)
        return false;
    // Longer than any answer: it is not one, but its end is still looked for.
    if (m_rawLength < m_raw.size())
        m_raw[m_rawLength++] = byte;
    else
        m_broken = true;
    if (byte == kEndByte) {
        m_inFrame = false;
        m_done = !m_broken && !m_escape && m_payloadLength > 0 && answersRequest();
        return m_done;
    }
    if (byte == kEscapeByte && !m_escape) {
        m_escape = true;
        return false;
    }
    uint8_t value = byte;
    if (m_escape) {
        m_escape = false;
        if (byte == kEscapedStart)
            value = kStartByte;
        else if (byte == kEscapedEnd)
            value = kEndByte;
        else if (byte == kEscapedEscape)
            value = kEscapeByte;
        else
            m_broken = true;
    }
    if (m_payloadLength < m_payload.size())
        m_payload[m_payloadLength++] = value;
    else
        m_broken = true;
    return false;
}

bool holdsCompleteFrame(const uint8_t* bytes, size_t count) {
    bool started = false;
    for (size_t i = 0; i < count; ++i) {
        if (bytes[i] == kStartByte)
            started = true;
        else if (started && bytes[i] == kEndByte)
            return true;
    }
    return false;
}

std::string toHex(const uint8_t* bytes, size_t count) {
    std::string out;
    char cell[4];
    for (size_t i = 0; i < count; ++i) {
        std::snprintf(cell, sizeof cell, "%02X", bytes[i]);
        if (i)
            out += ' ';
        out += cell;
    }
    return out;
}

bool parseHex(const std::string& text, std::vector<uint8_t>& out) {
    // Tokens are separated by blanks or commas; each is "0x"-prefixed or plain hex, and a token
    // of more than two digits is a run of bytes ("E12041E2").
    std::vector<uint8_t> bytes;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && (text[i] == ' ' || text[i] == ',' || text[i] == '\t'))
            ++i;
        if (i >= text.size())
            break;
        if (text.compare(i, 2, "0x") == 0 || text.compare(i, 2, "0X") == 0)
            i += 2;
        const size_t start = i;
        while (i < text.size() && std::isxdigit(static_cast<unsigned char>(text[i])))
            ++i;
        const size_t len = i - start;
        if (len == 0 || (i < text.size() && text[i] != ' ' && text[i] != ',' && text[i] != '\t'))
            return false;
        if (len > 2 && len % 2)
            return false;
        for (size_t k = start; k < i; k += 2) {
            const size_t n = std::min<size_t>(2, i - k);
            bytes.push_back(static_cast<uint8_t>(std::stoi(text.substr(k, n), nullptr, 16)));
        }
    }
    if (bytes.empty())
        return false;
    out.insert(out.end(), bytes.begin(), bytes.end());
    return true;
}

}  // namespace zrd::link
