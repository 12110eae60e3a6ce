#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zrd::link {

// Frame delimiters and the escape that keeps them out of the payload.
inline constexpr uint8_t kStartByte = 0xE1;
inline constexpr uint8_t kEndByte = 0xE2;
inline constexpr uint8_t kEscapeByte = 0xE4;
inline constexpr uint8_t kEscapedStart = 0x02;
inline constexpr uint8_t kEscapedEnd = 0x03;
inline constexpr uint8_t kEscapedEscape = 0x00;

// Request letters of the request record.
inline constexpr uint8_t kRequestRead = 'R';
inline constexpr uint8_t kRequestWrite = 'S';

// Command codes (byte 1 of a frame sent by the program).
enum Command : uint8_t {
    kCmdReadParameter = 0x20,
    kCmdWriteParameter = 0x40,
    kCmdStartGenerator = 0x60,
    kCmdStopGenerator = 0x61,
    kCmdStartOnlineScope = 0x63,
    kCmdScope = 0x64,
    kCmdStoreEeprom = 0x65,
    kCmdLoadEeprom = 0x66,
    kCmdReset = 0x67,
    kCmdChirp = 0x68,  // "h": the generator prepares the chirp just written
    kCmdCalcPara = 0x69,
    kCmdServoOn = 0x6D,
    kCmdServoOff = 0x6E,
    kCmdStoreWorkingParameters = 0x6F,
};
inline constexpr uint8_t kFirstCommandCode = 0x60;
inline constexpr uint8_t kLastCommandCode = 0x6F;

// Reply codes (byte 1 of a reply).
enum Reply : uint8_t {
    kReplyRead = 0x30,      // "0"
    kReplyAccepted = 0x50,  // "P"
    kReplyRefused = 0x51,   // "Q"
    kReplyAck = 0x70,       // "p"
    kReplyScopeSample = 0x10,
};
inline constexpr uint8_t kAckStatusRefused = 3;

inline constexpr size_t kTransmitBufferSize = 24;
inline constexpr size_t kReceiveBufferSize = 20;
inline constexpr size_t kRequestRecordSize = 20;
inline constexpr size_t kClearedLength = 20;
inline constexpr size_t kCommandFrameLength = 6;
inline constexpr size_t kLongestFrame = 9;
// Read positions of the in-place reply decoder.
inline constexpr size_t kDecodeFirst = 2;
inline constexpr size_t kDecodeLast = 8;

using TransmitBuffer = std::array<uint8_t, kTransmitBufferSize>;
using ReceiveBuffer = std::array<uint8_t, kReceiveBufferSize>;
// Bytes 0..3: request letter, drive index, data high, data low. Service commands reuse the
// whole area as their reply buffer.
using RequestRecord = std::array<uint8_t, kRequestRecordSize>;

// The link's fixed buffers: one instance for the whole run, nothing allocated per exchange.
struct LinkBuffers {
    TransmitBuffer transmit{};
    ReceiveBuffer receive{};
    RequestRecord request{};
};

// Clears the first 20 bytes of any of the link buffers.
template <size_t N>
void clearBuffer(std::array<uint8_t, N>& buffer) {
    static_assert(N >= kClearedLength);
    for (size_t i = 0; i < kClearedLength; ++i)
        buffer[i] = 0;
}

// Encodes the request record ('R' or 'S') into the transmit buffer; returns the frame length,
// or 0 when the request letter is neither.
size_t encodeRequest(const RequestRecord& request, TransmitBuffer& out);

// Builds the six-byte command frame (arguments never escaped) at the start of the buffer.
size_t encodeCommand(TransmitBuffer& out, uint8_t code, uint8_t a1, uint8_t a2, uint8_t a3);

// Decodes a read reply in place from position 2 on; the value is then b[3] (high), b[4] (low).
void decodeReadReply(ReceiveBuffer& b);

// Appends a payload byte with the escape table (used by the drive side as well).
void appendEscaped(std::vector<uint8_t>& out, uint8_t byte);

// raw = value / scale rounded to nearest, halves to even, kept as 16 bits two's complement;
// 0 when that is no finite number. It wraps: what goes to a parameter uses the checked
// params::displayToRaw.
uint16_t displayToRaw(double value, double scale);
// The 16-bit raw value as a number: signed for "INT" parameters, unsigned otherwise.
int32_t rawToNumber(uint16_t raw, bool isSigned);
// The value bytes of a decoded read reply.
inline uint16_t replyRaw(const ReceiveBuffer& b) {
    return static_cast<uint16_t>(b[3] << 8 | b[4]);
}

// Collects frames from a byte stream: a start byte opens a frame, the end byte closes it;
// escapes inside are resolved. Used by the drive side and by tools that watch the line.
class FrameAssembler {
public:
    // Feeds one byte; true when it completed a frame (then frame() holds it, unescaped,
    // without start and end byte).
    bool feed(uint8_t byte);
    [[nodiscard]] const std::vector<uint8_t>& frame() const { return m_frame; }
    void reset();

private:
    std::vector<uint8_t> m_frame;
    bool m_inFrame = false;
    bool m_escape = false;
    int m_rawRemaining = 0;
};

// What a request awaits as its answer.
enum class AwaitedReply : uint8_t {
    Read,     // E1 30 index high low E2, the index echoed
    Verdict,  // E1 50 index E2 ("P") or E1 51 index E2 ("Q"), the index echoed
    Ack,      // E1 70 status E2
};

// The longest reply a request can have: start, code, three escaped bytes, end.
inline constexpr size_t kLongestReply = 9;

// Picks the answer to one request out of the bytes that arrive after it was sent. Only a
// complete frame of the awaited kind counts, and a read reply or verdict only with the
// request's index: bytes before a start byte, frames of another kind or index, frames with a
// broken escape or of the wrong length, and frames cut short by a new start byte are skipped.
// A raw start byte never occurs inside a reply (it is escaped), so it always begins a frame.
// Fixed storage: nothing is allocated per exchange.
class ReplyParser {
public:
    ReplyParser(AwaitedReply awaited, uint8_t index) : m_awaited(awaited), m_index(index) {}

    // Feeds one byte; true when it completed the awaited answer. Bytes after that are ignored.
    [[nodiscard]] bool feed(uint8_t byte);

    // The answer's bytes as they came on the line, from the start to the end byte.
    [[nodiscard]] const uint8_t* frame() const { return m_raw.data(); }
    [[nodiscard]] size_t frameLength() const { return m_done ? m_rawLength : 0; }
    // The status byte of an acknowledge.
    [[nodiscard]] uint8_t status() const { return m_payload[1]; }

private:
    static constexpr size_t kLongestPayload = 4;

    void startFrame();
    [[nodiscard]] bool answersRequest() const;

    AwaitedReply m_awaited;
    uint8_t m_index;
    std::array<uint8_t, kLongestReply> m_raw{};
    size_t m_rawLength = 0;
    std::array<uint8_t, kLongestPayload> m_payload{};
    size_t m_payloadLength = 0;
    bool m_inFrame = false;
    bool m_escape = false;
    bool m_broken = false;
    bool m_done = false;
};

// True when the bytes hold a start byte and, after it, an end byte that ends a frame.
bool holdsCompleteFrame(const uint8_t* bytes, size_t count);

// "E1 20 41 E2": spaced upper-case hex.
std::string toHex(const uint8_t* bytes, size_t count);
// Parses hex bytes ("E1 20", "e120", "0xE1,0x20"); false on anything else.
bool parseHex(const std::string& text, std::vector<uint8_t>& out);

}  // namespace zrd::link
