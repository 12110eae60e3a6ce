#include "offline_recorder.h"

#include <algorithm>

#include "link/frame_codec.h"
#include "sim_drive.h"

namespace zrd::sim {

namespace lk = zrd::link;

namespace {

constexpr int kTriggerNone = 0;
constexpr int kTriggerRising = 1;
constexpr int kTriggerFalling = 2;
constexpr int kTriggerFull = 3;
constexpr int kTriggerGenerator = 4;
constexpr size_t kFramesPerSample = kRecorderChannels;

}  // namespace

std::string_view phaseName(RecorderPhase phase) {
    switch (phase) {
        case RecorderPhase::Idle:
            return "idle";
        case RecorderPhase::Recording:
            return "recording";
        case RecorderPhase::PreTrigger:
            return "armed";
        case RecorderPhase::AwaitGenerator:
            return "awaiting-generator";
        case RecorderPhase::PostTrigger:
            return "triggered";
        case RecorderPhase::Busy:
            return "busy";
        case RecorderPhase::Sending:
            return "sending";
    }
    return "idle";
}

uint8_t OfflineRecorder::start(uint8_t tickCode, const RecorderSettings& settings) {
    if (refuse || tickCode >= kRecorderTickCodes || settings.trigger < kTriggerNone ||
        settings.trigger > kTriggerGenerator)
        return lk::kAckStatusRefused;
    m_settings = settings;
    m_tickCode = tickCode;
    m_tick = kRecorderBaseTick * (1 << tickCode);
    m_clock = m_nextSample = std::chrono::nanoseconds(0);
    m_samples = 0;
    m_nextFrame = 0;
    m_ackFirst = false;
    switch (settings.trigger) {
        case kTriggerNone:
            m_phase = RecorderPhase::Recording;
            break;
        case kTriggerRising:
        case kTriggerFalling:
            m_phase = RecorderPhase::PreTrigger;
            break;
        case kTriggerFull:
            m_phase = RecorderPhase::PostTrigger;
            m_remaining = kRecorderSamples;
            break;
        default:
            m_phase = RecorderPhase::AwaitGenerator;
            break;
    }
    return kAckDone;
}

uint8_t OfflineRecorder::stop() {
    switch (m_phase) {
        case RecorderPhase::Idle:
            return kAckDone;
        case RecorderPhase::Busy:
        case RecorderPhase::Sending:
            // Asked again: the record is abandoned.
            m_phase = RecorderPhase::Idle;
            return kAckDone;
        default:
            break;
    }
    if (m_samples >= static_cast<uint64_t>(kRecorderSamples)) {
        beginSending(false);
        return kAckDone;
    }
    m_phase = RecorderPhase::Busy;
    return lk::kAckStatusRefused;
}

void OfflineRecorder::generatorStarted() {
    if (m_phase != RecorderPhase::AwaitGenerator)
        return;
    // The samples before the start that the ring holds, up to "TRGPOS"; "OSCTRG" is set by the
    // next cycle, which has the memory.
    const auto before = static_cast<int>(std::min<uint64_t>(
        m_samples, static_cast<uint64_t>(std::clamp(m_settings.position, 0, kRecorderSamples))));
    m_phase = RecorderPhase::PostTrigger;
    m_remaining = kRecorderSamples - before;
    m_pendingTrigger = before;
    // The generator and the recorder start in the same cycle, as in the drive: the next sample
    // is the generator's time 0, whatever part of a tick passed since the start frame.
    m_nextSample = m_clock;
}

int OfflineRecorder::sourceValue(size_t slot) const {
    const auto c = static_cast<size_t>(std::clamp(m_settings.source, 1, kRecorderChannels) - 1);
    const uint16_t raw = m_ring[slot][c];
    return m_settings.isSigned[c] ? static_cast<int16_t>(raw) : raw;
}

void OfflineRecorder::take(const std::array<uint16_t, 256>& memory) {
    auto& sample = m_ring[static_cast<size_t>(m_samples % kRecorderSamples)];
    for (size_t c = 0; c < sample.size(); ++c) {
        const auto& index = m_settings.indexes[c];
        sample[c] = index ? memory[*index] : 0;
    }
    ++m_samples;
}

void OfflineRecorder::triggered(int before, std::array<uint16_t, 256>& memory) {
    if (m_settings.triggerIndex)
        memory[*m_settings.triggerIndex] = static_cast<uint16_t>(before);
}

void OfflineRecorder::cycle(std::chrono::nanoseconds period, std::array<uint16_t, 256>& memory) {
    const bool recording = m_phase != RecorderPhase::Idle && m_phase != RecorderPhase::Sending;
    if (!recording)
        return;
    if (m_pendingTrigger) {
        triggered(*m_pendingTrigger, memory);
        m_pendingTrigger.reset();
    }
    m_clock += period;
    // Every tick that began within this cycle takes the memory as the cycle left it.
    while (m_nextSample < m_clock && m_phase != RecorderPhase::Sending &&
           m_phase != RecorderPhase::Idle) {
        m_nextSample += m_tick;
        take(memory);
        const auto last = static_cast<size_t>((m_samples - 1) % kRecorderSamples);
        switch (m_phase) {
            case RecorderPhase::PreTrigger: {
                const auto position = static_cast<uint64_t>(m_settings.position);
                if (m_samples < 2 || m_samples - 1 < position)
                    break;
                const int before = sourceValue((m_samples - 2) % kRecorderSamples);
                const int now = sourceValue(last);
                const bool crossed = m_settings.trigger == kTriggerRising
                                         ? before < m_settings.level && now >= m_settings.level
                                         : before > m_settings.level && now <= m_settings.level;
                if (!crossed)
                    break;
                triggered(m_settings.position, memory);
                m_phase = RecorderPhase::PostTrigger;
                // This sample is the first of the rest of the record.
                m_remaining = kRecorderSamples - m_settings.position - 1;
                if (m_remaining == 0)
                    beginSending(false);
                break;
            }
            case RecorderPhase::PostTrigger:
                if (--m_remaining <= 0)
                    beginSending(false);
                break;
            case RecorderPhase::Busy:
                if (m_samples >= static_cast<uint64_t>(kRecorderSamples))
                    beginSending(true);
                break;
            default:
                break;
        }
    }
}

void OfflineRecorder::beginSending(bool ackFirst) {
    // The last 2048 samples, oldest first.
    for (size_t n = 0; n < m_record.size(); ++n)
        m_record[n] = m_ring[static_cast<size_t>((m_samples + n) % kRecorderSamples)];
    m_nextFrame = 0;
    m_ackFirst = ackFirst;
    m_phase = RecorderPhase::Sending;
}

std::vector<uint8_t> OfflineRecorder::takeRecord(size_t frames) {
    std::vector<uint8_t> out;
    if (m_phase != RecorderPhase::Sending)
        return out;
    if (m_ackFirst) {
        out = {lk::kStartByte, lk::kReplyAck, kAckDone, lk::kEndByte};
        m_ackFirst = false;
    }
    constexpr size_t kTotal = kFramesPerSample * kRecorderSamples;
    for (size_t k = 0; k < frames && m_nextFrame < kTotal; ++k, ++m_nextFrame) {
        const size_t n = m_nextFrame / kFramesPerSample;
        const size_t c = m_nextFrame % kFramesPerSample;
        const uint16_t raw = m_record[n][c];
        out.push_back(lk::kStartByte);
        out.push_back(lk::kReplyScopeSample);
        lk::appendEscaped(out, static_cast<uint8_t>((c + 1) << 5 | n >> 8));
        lk::appendEscaped(out, static_cast<uint8_t>(n & 0xFF));
        lk::appendEscaped(out, static_cast<uint8_t>(raw >> 8));
        lk::appendEscaped(out, static_cast<uint8_t>(raw & 0xFF));
        out.push_back(lk::kEndByte);
        ++m_framesSent;
    }
    if (m_nextFrame >= kTotal)
        m_phase = RecorderPhase::Idle;
    return out;
}

}  // namespace zrd::sim
