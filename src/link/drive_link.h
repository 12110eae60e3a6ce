#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/user_interface.h"
#include "link/frame_codec.h"
#include "link/serial_port.h"

namespace zrd::link {

inline constexpr int kDefaultReadCount = 8;
inline constexpr int kDefaultPortTimeOutMs = 30;
inline constexpr int kDefaultBaudRate = 115200;
// The two pauses of the request preparation (after the purge, after clearing errors).
inline constexpr int kPreparationPauseMs = 10;
// The fast link's pause in place of them: this many byte times at the line's rate, enough for a
// drive that turns the line round within a few characters.
inline constexpr int kDefaultFastGapBytes = 3;
inline constexpr int kLongestFastGapBytes = 1000;
// Bytes that end the reply wait of a parameter exchange and of the long command wait.
inline constexpr int kReplyThreshold = 4;
// Bytes that end the short command wait.
inline constexpr int kShortReplyThreshold = 1;
// The reply wait is bounded in time rather than by a count of queue polls: this margin plus
// the wire time of the request and of the awaited bytes at the line's baud rate. A drive
// answers within a few milliseconds of the request's last byte; the margin also covers the
// latency timer of USB serial adapters (16 ms by default) with room to spare, so that a
// silent drive is detected about as quickly as the poll count did on the PCs of its day.
inline constexpr int kReplyWaitMarginMs = 50;
// A line whose replies come later than that (a drive behind a protocol converter, a wireless
// adapter, a simulated drive on a busy machine) takes a wider margin from the environment.
inline constexpr const char* kReplyMarginVariable = "ZRD_REPLY_MARGIN_MS";
inline constexpr int kLongestReplyMarginMs = 10'000;
// The margin that ZRD_REPLY_MARGIN_MS gives (a number of milliseconds kReplyWaitMarginMs..
// kLongestReplyMarginMs), else kReplyWaitMarginMs.
int replyMarginFromEnvironment();
inline constexpr int kBitsPerByte = 10;  // start, 8 data, stop
// A command's answer names no request. After a reply wait that ended without its answer, the
// next command waits until the line has been quiet for that wait's bound, so that the late
// answer is read and dropped instead of being taken for the command's; a line that never falls
// quiet (a drive still streaming) is given up on after this many such bounds.
inline constexpr int kLateAnswerQuietBounds = 4;

// Where the port handle stands: never opened, open, or left invalid by a failed open.
enum class PortHandle { None, Open, Invalid };

// The program-wide link state.
struct LinkState {
    int readCount = kDefaultReadCount;
    bool linkBusy = false;
    int connected = 0;
    int portTimeOutMs = kDefaultPortTimeOutMs;
    PortHandle handle = PortHandle::None;
    // The port hung up since it was opened: every exchange ends at once until the next open.
    bool hungUp = false;
    // The line's rate since the last open.
    int baudRate = kDefaultBaudRate;
    // The fast link: byte times between a request's preparation and its write in place of the
    // two fixed pauses; 0 keeps the safe timing. Kept across opens.
    int fastGapBytes = 0;
    // The reply wait's margin beyond the wire time.
    int replyMarginMs = replyMarginFromEnvironment();
};

// Microseconds that the given number of bytes take on the line.
long long wireTimeUs(size_t bytes, int baudRate);

// Milliseconds that the given number of bytes take on the line (rounded up).
int wireTimeMs(size_t bytes, int baudRate);

// The serial link to the drive: one port, the fixed buffers, the state flags. Every exchange
// runs synchronously on the caller's thread.
class DriveLink {
public:
    DriveLink(SerialPort& port, UserInterface& ui) : m_port(port), m_ui(ui) {}

    LinkState& state() { return m_state; }
    const LinkState& state() const { return m_state; }
    LinkBuffers& buffers() { return m_buffers; }
    SerialPort& port() { return m_port; }
    UserInterface& ui() { return m_ui; }

    // Closes any open handle, then opens and configures the device. A successful open ends
    // the hung-up state.
    [[nodiscard]] OpenResult openPort(const std::string& device, int baudRate, int portTimeOutMs);
    void closePort();

    // Writes n bytes; the count written or -1.
    [[nodiscard]] int PortWrite(const uint8_t* buffer, size_t n);
    // Reads up to the read count into buffer (capacity bytes at most). Returns when the count
    // is reached, when a complete frame has arrived, or after PortTimeOut ms; -1 on failure
    // and on a hung-up line.
    [[nodiscard]] int PortRead(uint8_t* buffer, size_t capacity);
    template <size_t N>
    [[nodiscard]] int PortRead(std::array<uint8_t, N>& buffer) {
        return PortRead(buffer.data(), N);
    }

    // Purge, pause, clear errors, pause, then write the first n bytes of the transmit buffer.
    // -1 at once on a hung-up link.
    [[nodiscard]] int prepareAndWrite(size_t n);

    // One parameter exchange on the request record: encode, prepare and write, then read until
    // the answer to this request has come or the reply-wait bound passed. Afterwards the
    // receive buffer holds the answer's frame as it came (a read reply with the request's
    // index, or a verdict), or is cleared (byte 1 is 0) when no answer came.
    void ReadPar();

    // One read request for a drive index: the raw value of its read reply, nullopt when none
    // came.
    [[nodiscard]] std::optional<uint16_t> readIndex(uint8_t index);
    // One write request: the verdict's reply code ("P" or "Q"), 0 when none came.
    [[nodiscard]] uint8_t writeIndex(uint8_t index, uint16_t raw);

    // Builds a command frame in the transmit buffer and sends it with the preparation.
    [[nodiscard]] int sendCommand(uint8_t code, uint8_t a1 = 0, uint8_t a2 = 0, uint8_t a3 = 0);

    // Waits until at least threshold bytes are queued, within the reply-wait bound of a frame of
    // the given length. False when the bound passed or the line hung up.
    [[nodiscard]] bool waitForInput(int threshold, size_t sentLength);
    // Waits for the acknowledge of the command just sent: only a complete "E1 70 status E2"
    // frame counts, and it is left in the request record (the commands' reply buffer) as it
    // came. The status, or nullopt when none came within the reply-wait bound; then, with
    // timeoutEndsIt, the reply time-out runs. `extraMs` lengthens the bound for a drive that
    // works before it answers (an EEPROM write).
    [[nodiscard]] std::optional<uint8_t> awaitAck(bool timeoutEndsIt, int extraMs = 0);
    // Bytes the last reply wait read from the port, the answer's own included: with no answer,
    // more than 0 means that something else came (a foreign or broken reply).
    [[nodiscard]] size_t lastWaitBytes() const { return m_lastWaitBytes; }

    // Restores the idle state after a missing reply: link free, read count 8, and the front
    // end's timers and buttons.
    void replyTimeout();

    // The reply-wait bound for a request of the given length awaiting threshold bytes.
    [[nodiscard]] int replyWaitBoundMs(size_t sentLength, int threshold) const;

    // Complete frames that came after their reply wait had ended, read and dropped before a
    // command; counted since the link was made.
    [[nodiscard]] int lateAnswers() const { return m_lateAnswers; }
    // Called with the count of the late answers just dropped (the action log notes them).
    void setLateAnswerReport(std::function<void(int count)> report) {
        m_lateReport = std::move(report);
    }

    // True when the port has hung up; the first time, the link goes offline and tells the user.
    // Long exchanges that read the port themselves call it when a read fails.
    bool checkHangUp();

private:
    // Fills the request record (the data bytes go unused by a read) and runs ReadPar.
    void exchange(uint8_t letter, uint8_t index, uint16_t raw);
    // Feeds what arrives to the parser until it has the answer (true), the reply-wait bound of
    // the last request passed, or the line hung up.
    [[nodiscard]] bool receiveReply(ReplyParser& parser, int extraMs = 0);
    // Reads and drops what arrives until the line has been quiet for quietMs (or for
    // kLateAnswerQuietBounds × quietMs in all); counts the complete frames among it.
    void dropLateAnswers(int quietMs);

    SerialPort& m_port;
    UserInterface& m_ui;
    LinkState m_state;
    LinkBuffers m_buffers;
    size_t m_lastSentLength = kCommandFrameLength;
    size_t m_lastWaitBytes = 0;
    // The bound of the last reply wait when it ended without its answer.
    std::optional<int> m_owedAnswerBoundMs;
    int m_lateAnswers = 0;
    std::function<void(int)> m_lateReport;
    std::string m_device;
};

}  // namespace zrd::link
