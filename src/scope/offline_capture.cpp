#include "scope/offline_capture.h"

#include <algorithm>

#include "link/frame_codec.h"
#include "params/message_numbers.h"
#include "scope/scope_settings.h"

namespace zrd::scope {

namespace lk = zrd::link;
namespace pm = zrd::params;

namespace {

int validCode(int tickCode) {
    return tickCode >= 0 && tickCode < kOfflineTickCodes ? tickCode : 0;
}

CaptureClock::duration ms(int n) {
    return std::chrono::milliseconds(n);
}

}  // namespace

double offlineTick(int tickCode) {
    return kFastestOfflineTick * (1 << validCode(tickCode));
}

double offlineFrequency(int tickCode) {
    return kFastestOfflineFrequency / (1 << validCode(tickCode));
}

double recordSeconds(int tickCode) {
    return offlineTick(tickCode) * kOfflineSamples;
}

std::optional<OfflineSample> decodeOfflineSample(std::span<const uint8_t, 4> data) {
    const int channel = data[0] >> 5;
    if (channel < 1 || channel > kChannelCount)
        return std::nullopt;
    return OfflineSample{channel, (data[0] & 0x1F) << 8 | data[1],
                         static_cast<uint16_t>(data[2] << 8 | data[3])};
}

OfflineCapture::OfflineCapture(lk::DriveLink& link, Oscillogram& oscillogram,
                               const pm::ParameterModel& model, const pm::MessageTable& messages)
    : m_link(link), m_oscillogram(oscillogram), m_model(model), m_messages(messages) {}

bool OfflineCapture::waitingForGenerator() const {
    return m_phase == OfflinePhase::Armed && m_how.trigger == TriggerType::Generator &&
           startAcknowledged();
}

void OfflineCapture::prepare(CaptureClock::time_point now) {
    Oscillogram& o = m_oscillogram;
    o.kind = ScopeKind::Offline;
    o.tickCode = validCode(o.tickCode);
    o.header.frequency = offlineFrequency(o.tickCode);
    o.header.tick = offlineTick(o.tickCode);
    o.buffer.zeroAll();
    m_raw = {};
    m_tick = o.header.tick;
    for (int c = 1; c <= kChannelCount; ++c) {
        const auto i = static_cast<size_t>(c - 1);
        m_signed[i] = signalIsSigned(m_model, o.channel(c).signal);
        m_scale[i] = o.channel(c).scale;
    }
    m_decoder.reset();
    m_end = OfflineEnd::None;
    m_records = m_dropped = m_busy = m_lastIndex = m_record = 0;
    m_stopSent = false;
    m_startAckDue.reset();
    m_started = m_lastByte = now;
}

std::optional<int> offlineEndMessage(OfflineEnd end) {
    switch (end) {
        case OfflineEnd::Silent:
            return pm::kMsgOfflineRecordSilent;
        case OfflineEnd::Busy:
        case OfflineEnd::Refused:
            return pm::kMsgScopeRefused;
        case OfflineEnd::WriteFailed:
            return pm::kMsgPortWriteError;
        case OfflineEnd::HungUp:
            return pm::kMsgOfflineRecordLineLost;
        case OfflineEnd::None:
        case OfflineEnd::Complete:
        case OfflineEnd::Cancelled:
            break;
    }
    return std::nullopt;
}

bool OfflineCapture::start(const OfflineStart& how, CaptureClock::time_point now) {
    if (listening() || m_phase == OfflinePhase::Recording || m_link.state().linkBusy)
        return false;
    m_busyGuard.emplace(m_link);
    m_how = how;
    prepare(now);
    const Oscillogram& o = m_oscillogram;
    if (m_link.sendCommand(lk::kCmdStartOnlineScope, static_cast<uint8_t>(o.tickCode),
                           signalByte(o.channel(1).signal), signalByte(o.channel(2).signal)) < 0) {
        writeFailed(pm::kMsgPortWriteError);
        return false;
    }
    m_phase = how.trigger == TriggerType::None ? OfflinePhase::Recording : OfflinePhase::Armed;
    m_startAckDue = now + ms(m_link.replyWaitBoundMs(lk::kCommandFrameLength, lk::kReplyThreshold));
    return true;
}

bool OfflineCapture::stop(CaptureClock::time_point now) {
    if (m_phase == OfflinePhase::Reading)
        return true;  // the record is on its way, or the stop's answers are
    if (m_phase != OfflinePhase::Recording && m_phase != OfflinePhase::Armed)
        return false;
    if (!m_busyGuard) {
        if (m_link.state().linkBusy)
            return false;
        m_busyGuard.emplace(m_link);
    }
    // The stop's own answer follows; a start acknowledge still missing no longer matters.
    m_startAckDue.reset();
    m_decoder.reset();
    const Oscillogram& o = m_oscillogram;
    if (m_link.sendCommand(lk::kCmdScope, static_cast<uint8_t>(o.tickCode),
                           signalByte(o.channel(1).signal), signalByte(o.channel(2).signal)) < 0) {
        writeFailed(pm::kMsgPortWriteError);
        return false;
    }
    m_stopSent = true;
    m_phase = OfflinePhase::Reading;
    m_lastByte = now;
    return true;
}

bool OfflineCapture::collect(CaptureClock::time_point now) {
    if (listening() || m_link.state().linkBusy)
        return false;
    m_busyGuard.emplace(m_link);
    // The trigger is the drive's: the capture only listens, without a bound.
    m_how = {TriggerType::Rising, false};
    prepare(now);
    m_phase = OfflinePhase::Armed;
    return true;
}

void OfflineCapture::cancel() {
    if (!listening() && m_phase != OfflinePhase::Recording)
        return;
    if (m_link.state().hungUp) {
        finish(OfflineEnd::HungUp);
        return;
    }
    // The link is taken for the frame when a recording capture had let it go; a link busy
    // elsewhere cannot send now, and the drive keeps its record until the next start.
    std::optional<session::LinkBusyGuard> held;
    if (!m_busyGuard && !m_link.state().linkBusy)
        held.emplace(m_link);
    if (m_busyGuard || held)
        (void)m_link.sendCommand(lk::kCmdScope, 0, 0, 0);
    finish(OfflineEnd::Cancelled);
}

void OfflineCapture::onReadable(CaptureClock::time_point now) {
    const bool lineUp = drainPort(
        m_link, [this] { return listening(); },
        [&](std::span<const uint8_t> bytes) { feed(bytes, now); });
    if (!lineUp)
        finish(OfflineEnd::HungUp);
}

void OfflineCapture::feed(std::span<const uint8_t> bytes, CaptureClock::time_point now) {
    if (!listening() || bytes.empty())
        return;
    m_lastByte = now;
    for (const uint8_t byte : bytes) {
        const StreamEvent e = m_decoder.feed(byte);
        switch (e.kind) {
            case StreamEvent::Kind::None:
                break;
            case StreamEvent::Kind::Ack:
                onAck(e.status);
                break;
            case StreamEvent::Kind::BadSample:
                ++m_dropped;
                break;
            case StreamEvent::Kind::Sample:
                onSample(e);
                break;
        }
        if (!listening())
            return;
    }
}

void OfflineCapture::onAck(uint8_t status) {
    if (m_startAckDue) {
        m_startAckDue.reset();
        if (status == lk::kAckStatusRefused) {
            finish(OfflineEnd::Refused);
            m_messages.show(m_link.ui(), pm::kMsgScopeRefused, m_model.language());
            return;
        }
        // No trigger: the drive records until the stop, and the link is free meanwhile.
        if (m_phase == OfflinePhase::Recording)
            m_busyGuard.reset();
        return;
    }
    // After the stop: status 3 says the drive is still filling its ring.
    if (m_stopSent && status == lk::kAckStatusRefused && ++m_busy >= kBusyReplyLimit)
        abandonBusy();
}

void OfflineCapture::onSample(const StreamEvent& e) {
    const std::optional<OfflineSample> s = decodeOfflineSample(e.data);
    if (!s) {
        ++m_dropped;
        return;
    }
    // The record came by itself (a trigger fired) or answers the stop.
    m_startAckDue.reset();
    m_phase = OfflinePhase::Reading;
    const auto i = static_cast<size_t>(s->channel - 1);
    const int value = rawValue(static_cast<uint8_t>(s->raw >> 8),
                               static_cast<uint8_t>(s->raw & 0xFF), m_signed.at(i));
    RawRecord& raw = m_raw.at(static_cast<size_t>(m_record));
    raw.values.at(i) = value;
    m_oscillogram.buffer.setValue(m_record, s->channel - 1, value * m_scale.at(i));
    if (s->channel != kChannelCount)
        return;
    raw.sampleIndex = s->sampleIndex;
    m_oscillogram.buffer.setValue(m_record, kSampleIndexSlot, s->sampleIndex);
    m_oscillogram.buffer.setValue(m_record, kTickSlot, m_tick);
    m_lastIndex = s->sampleIndex;
    ++m_record;
    ++m_records;
    if (m_record > kLastSampleIndex || s->sampleIndex == kLastSampleIndex)
        finish(OfflineEnd::Complete);
}

void OfflineCapture::abandonBusy() {
    m_messages.show(m_link.ui(), pm::kMsgScopeRefused, m_model.language());
    if (m_link.sendCommand(lk::kCmdScope, 0, 0, 0) < 0) {
        writeFailed(pm::kMsgScopeRefused);
        return;
    }
    finish(OfflineEnd::Busy);
}

void OfflineCapture::checkDeadline(CaptureClock::time_point now) {
    const auto due = deadline();
    if (!due || now < *due)
        return;
    if (m_startAckDue && m_phase == OfflinePhase::Recording) {
        // A silent drive may still record: the stop will tell. The link is free meanwhile.
        m_startAckDue.reset();
        m_busyGuard.reset();
        return;
    }
    finish(OfflineEnd::Silent);
}

std::optional<CaptureClock::time_point> OfflineCapture::deadline() const {
    if (m_phase == OfflinePhase::Reading)
        return m_lastByte + ms(kRecordSilenceMs);
    if (m_phase == OfflinePhase::Recording)
        return m_startAckDue;
    if (m_phase == OfflinePhase::Armed && m_how.trigger == TriggerType::FullBuffer) {
        const auto record = std::chrono::duration<double>(m_tick * kOfflineSamples);
        return m_started + std::chrono::duration_cast<CaptureClock::duration>(record) +
               ms(kFullBufferMarginMs);
    }
    return std::nullopt;
}

void OfflineCapture::clear() {
    if (listening())
        return;
    m_oscillogram.buffer.zeroAll();
    m_raw = {};
    m_records = m_dropped = m_busy = m_lastIndex = m_record = 0;
    m_phase = OfflinePhase::Idle;
    m_end = OfflineEnd::None;
}

void OfflineCapture::writeFailed(int message) {
    finish(m_link.state().hungUp ? OfflineEnd::HungUp : OfflineEnd::WriteFailed);
    // A port that hung up has told the user already.
    if (m_end == OfflineEnd::WriteFailed)
        m_messages.show(m_link.ui(), message, m_model.language());
}

void OfflineCapture::finish(OfflineEnd end) {
    m_end = end;
    m_phase = OfflinePhase::Ended;
    m_startAckDue.reset();
    m_busyGuard.reset();
}

bool runOfflineCapture(OfflineCapture& capture, lk::SerialPort& port,
                       const std::function<void()>& afterWake) {
    const CaptureLoop loop{
        .active = [&] { return capture.listening(); },
        .deadline = [&] { return capture.deadline(); },
        .checkDeadline = [&](CaptureClock::time_point now) { capture.checkDeadline(now); },
        .onReadable = [&](CaptureClock::time_point now) { capture.onReadable(now); },
        .abandon = [&] { capture.cancel(); },
        .longestWaitMs = kOfflineWakeMs,
    };
    return runCaptureLoop(loop, port, afterWake);
}

bool awaitStartAcknowledge(OfflineCapture& capture, lk::SerialPort& port) {
    while (capture.listening() && !capture.startAcknowledged()) {
        const std::optional<CaptureClock::time_point> due = capture.startAcknowledgeDue();
        const auto now = CaptureClock::now();
        if (!due || *due <= now)
            return true;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
        const lk::WaitResult wait = port.waitReadable(static_cast<int>(left));
        if (wait == lk::WaitResult::Failed)
            return false;
        // A hang-up is found by the read, which ends the capture.
        if (wait != lk::WaitResult::TimedOut)
            capture.onReadable(CaptureClock::now());
    }
    return true;
}

}  // namespace zrd::scope
