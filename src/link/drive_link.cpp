#include "link/drive_link.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <thread>
#include <utility>

#include "core/parse_int.h"

namespace zrd::link {
namespace {

using Clock = std::chrono::steady_clock;

int msUntil(Clock::time_point deadline) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    return static_cast<int>(std::max<std::chrono::milliseconds::rep>(left.count(), 0));
}

void pause(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace

int wireTimeMs(size_t bytes, int baudRate) {
    if (baudRate <= 0)
        return 0;
    const long long bits = static_cast<long long>(bytes) * kBitsPerByte * 1000;
    return static_cast<int>((bits + baudRate - 1) / baudRate);
}

long long wireTimeUs(size_t bytes, int baudRate) {
    if (baudRate <= 0)
        return 0;
    const long long bits = static_cast<long long>(bytes) * kBitsPerByte * 1'000'000;
    return (bits + baudRate - 1) / baudRate;
}

OpenResult DriveLink::openPort(const std::string& device, int baudRate, int portTimeOutMs) {
    closePort();
    const OpenResult result = m_port.open(device, baudRate);
    m_state.handle = result == OpenResult::Ok ? PortHandle::Open : PortHandle::Invalid;
    if (result == OpenResult::Ok) {
        m_state.portTimeOutMs = portTimeOutMs;
        m_state.baudRate = baudRate;
        m_state.hungUp = false;
        m_device = device;
        m_owedAnswerBoundMs.reset();
    }
    return result;
}

void DriveLink::closePort() {
    m_port.close();
    if (m_state.handle == PortHandle::Open)
        m_state.handle = PortHandle::Invalid;
}

int DriveLink::PortWrite(const uint8_t* buffer, size_t n) {
    return m_port.write(buffer, n);
}

bool DriveLink::checkHangUp() {
    if (m_state.hungUp)
        return true;
    if (!m_port.hungUp())
        return false;
    const std::string reason = "the port " + m_device + " hung up: " + m_port.lastError();
    closePort();
    m_state.hungUp = true;
    m_state.connected = 0;
    m_ui.linkLost(reason);
    return true;
}

int DriveLink::PortRead(uint8_t* buffer, size_t capacity) {
    if (m_state.hungUp)
        return -1;
    const size_t wanted = std::min(static_cast<size_t>(std::max(m_state.readCount, 0)), capacity);
    const auto deadline = Clock::now() + std::chrono::milliseconds(m_state.portTimeOutMs);
    size_t got = 0;
    while (got < wanted) {
        const int n = m_port.readAvailable(buffer + got, wanted - got);
        if (n < 0) {
            if (checkHangUp())
                return -1;
            return got > 0 ? static_cast<int>(got) : -1;
        }
        got += static_cast<size_t>(n);
        if (got >= wanted || holdsCompleteFrame(buffer, got))
            break;
        const int left = msUntil(deadline);
        if (left <= 0)
            break;
        const WaitResult wait = m_port.waitReadable(left);
        if (wait == WaitResult::HungUp && checkHangUp())
            return -1;
        if (wait != WaitResult::Readable)
            break;
    }
    return static_cast<int>(got);
}

int DriveLink::prepareAndWrite(size_t n) {
    if (m_state.hungUp)
        return -1;
    m_port.purge();
    if (m_state.fastGapBytes > 0) {
        m_port.clearErrors();
        std::this_thread::sleep_for(std::chrono::microseconds(
            wireTimeUs(static_cast<size_t>(m_state.fastGapBytes), m_state.baudRate)));
    } else {
        pause(kPreparationPauseMs);
        m_port.clearErrors();
        pause(kPreparationPauseMs);
    }
    // A byte that lands during the pauses (the tail of a reply longer than the read count, or
    // a late one) would otherwise be taken for the start of the next reply.
    m_port.purge();
    m_lastSentLength = n;
    const int written = PortWrite(m_buffers.transmit.data(), n);
    if (written < 0)
        (void)checkHangUp();
    return written;
}

bool DriveLink::receiveReply(ReplyParser& parser, int extraMs) {
    const int boundMs = replyWaitBoundMs(m_lastSentLength, kLongestReply) + extraMs;
    const auto deadline = Clock::now() + std::chrono::milliseconds(boundMs);
    m_lastWaitBytes = 0;
    // Until the answer comes, it is owed: it may still arrive after the wait.
    m_owedAnswerBoundMs = boundMs;
    std::array<uint8_t, kReceiveBufferSize> chunk{};
    for (;;) {
        const int n = m_port.readAvailable(chunk.data(), chunk.size());
        if (n < 0) {
            (void)checkHangUp();
            return false;
        }
        m_lastWaitBytes += static_cast<size_t>(n);
        // Bytes after the answer are dropped: the next request's purge would drop them anyway.
        for (int i = 0; i < n; ++i) {
            if (parser.feed(chunk[static_cast<size_t>(i)])) {
                m_owedAnswerBoundMs.reset();
                return true;
            }
        }
        const int left = msUntil(deadline);
        if (left <= 0)
            return false;
        const WaitResult wait = m_port.waitReadable(left);
        if (wait == WaitResult::HungUp)
            (void)checkHangUp();
        if (wait != WaitResult::Readable)
            return false;
    }
}

void DriveLink::ReadPar() {
    // Cleared before the write, so that a request that cannot be written never leaves an
    // earlier reply for the caller to act on.
    clearBuffer(m_buffers.receive);
    if (m_state.hungUp)
        return;
    const size_t length = encodeRequest(m_buffers.request, m_buffers.transmit);
    if (prepareAndWrite(length) < 0)
        return;
    const bool write = m_buffers.request[0] == kRequestWrite;
    ReplyParser parser(write ? AwaitedReply::Verdict : AwaitedReply::Read, m_buffers.request[1]);
    if (!receiveReply(parser)) {
        // A hang-up has taken the link offline already; it is no time-out.
        if (!m_state.hungUp)
            replyTimeout();
        return;
    }
    std::copy_n(parser.frame(), parser.frameLength(), m_buffers.receive.begin());
}

void DriveLink::exchange(uint8_t letter, uint8_t index, uint16_t raw) {
    clearBuffer(m_buffers.request);
    m_buffers.request[0] = letter;
    m_buffers.request[1] = index;
    m_buffers.request[2] = static_cast<uint8_t>(raw >> 8);
    m_buffers.request[3] = static_cast<uint8_t>(raw & 0xFF);
    ReadPar();
}

std::optional<uint16_t> DriveLink::readIndex(uint8_t index) {
    exchange(kRequestRead, index, 0);
    if (m_buffers.receive[1] != kReplyRead)
        return std::nullopt;
    decodeReadReply(m_buffers.receive);
    return replyRaw(m_buffers.receive);
}

uint8_t DriveLink::writeIndex(uint8_t index, uint16_t raw) {
    exchange(kRequestWrite, index, raw);
    const uint8_t verdict = m_buffers.receive[1];
    return verdict == kReplyAccepted || verdict == kReplyRefused ? verdict : 0;
}

void DriveLink::dropLateAnswers(int quietMs) {
    const auto giveUp = Clock::now() + std::chrono::milliseconds(quietMs * kLateAnswerQuietBounds);
    FrameAssembler frames;
    int late = 0;
    std::array<uint8_t, kReceiveBufferSize> chunk{};
    while (!m_state.hungUp) {
        const int left = std::min(quietMs, msUntil(giveUp));
        if (left <= 0)
            break;
        const WaitResult wait = m_port.waitReadable(left);
        if (wait == WaitResult::HungUp)
            (void)checkHangUp();
        if (wait != WaitResult::Readable)
            break;
        const int n = m_port.readAvailable(chunk.data(), chunk.size());
        if (n < 0) {
            (void)checkHangUp();
            break;
        }
        for (int i = 0; i < n; ++i)
            late += frames.feed(chunk[static_cast<size_t>(i)]) ? 1 : 0;
    }
    if (late == 0)
        return;
    m_lateAnswers += late;
    if (m_lateReport)
        m_lateReport(late);
}

int DriveLink::sendCommand(uint8_t code, uint8_t a1, uint8_t a2, uint8_t a3) {
    // An acknowledge names no request: one still owed must not be taken for this command's.
    if (const std::optional<int> owed = std::exchange(m_owedAnswerBoundMs, std::nullopt))
        dropLateAnswers(*owed);
    clearBuffer(m_buffers.transmit);
    clearBuffer(m_buffers.request);
    const size_t length = encodeCommand(m_buffers.transmit, code, a1, a2, a3);
    return prepareAndWrite(length);
}

int replyMarginFromEnvironment() {
    const char* text = std::getenv(kReplyMarginVariable);
    if (text == nullptr)
        return kReplyWaitMarginMs;
    // A margin below the drive's own would mistake a good drive for a silent one.
    const auto ms =
        parseInteger(text, IntegerBase::Decimal, kReplyWaitMarginMs, kLongestReplyMarginMs);
    return ms ? static_cast<int>(*ms) : kReplyWaitMarginMs;
}

int DriveLink::replyWaitBoundMs(size_t sentLength, int threshold) const {
    const size_t bytes = sentLength + static_cast<size_t>(std::max(threshold, 0));
    return m_state.replyMarginMs + wireTimeMs(bytes, m_port.baudRate());
}

bool DriveLink::waitForInput(int threshold, size_t sentLength) {
    if (m_state.hungUp)
        return false;
    const auto deadline =
        Clock::now() + std::chrono::milliseconds(replyWaitBoundMs(sentLength, threshold));
    const int baud = std::max(m_port.baudRate(), 1);
    const auto byteTime = std::chrono::microseconds(1'000'000LL * kBitsPerByte / baud);
    for (;;) {
        const int queued = m_port.inputQueueCount();
        if (queued >= threshold)
            return true;
        const int left = msUntil(deadline);
        if (left <= 0)
            return false;
        if (queued == 0) {
            // Nothing readable until the deadline (or a line failure): give up now.
            const WaitResult wait = m_port.waitReadable(left);
            if (wait == WaitResult::HungUp && checkHangUp())
                return false;
            if (wait != WaitResult::Readable)
                return m_port.inputQueueCount() >= threshold;
        } else {
            // Some bytes are in: the rest needs at least their wire time.
            const auto rest =
                std::max(byteTime * (threshold - queued), std::chrono::microseconds(50));
            std::this_thread::sleep_for(
                std::min<std::chrono::microseconds>(rest, std::chrono::milliseconds(left)));
        }
    }
}

std::optional<uint8_t> DriveLink::awaitAck(bool timeoutEndsIt, int extraMs) {
    clearBuffer(m_buffers.request);
    m_lastWaitBytes = 0;
    if (m_state.hungUp)
        return std::nullopt;
    ReplyParser parser(AwaitedReply::Ack, 0);
    if (!receiveReply(parser, extraMs)) {
        if (timeoutEndsIt && !m_state.hungUp)
            replyTimeout();
        return std::nullopt;
    }
    std::copy_n(parser.frame(), parser.frameLength(), m_buffers.request.begin());
    return parser.status();
}

void DriveLink::replyTimeout() {
    m_state.linkBusy = false;
    m_state.readCount = kDefaultReadCount;
    m_ui.restoreIdleAfterTimeout();
}

}  // namespace zrd::link
