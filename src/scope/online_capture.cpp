#include "scope/online_capture.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <thread>

#include "link/frame_codec.h"
#include "params/message_numbers.h"
#include "scope/scope_settings.h"

namespace zrd::scope {

namespace lk = zrd::link;
namespace pm = zrd::params;

namespace {

// Bytes taken from the port per read, and reads per readiness.
constexpr size_t kReadChunk = 512;
constexpr int kReadsPerReadiness = 16;

}  // namespace

CaptureClock::duration silentBound(int rateCode) {
    const Rate rate = rateOfCode(rateCode).value_or(kRates[0]);
    const auto periods = std::chrono::duration<double>(rate.tick * kSilentEndPeriods);
    return std::max<CaptureClock::duration>(
        std::chrono::milliseconds(kSilentEndMs),
        std::chrono::duration_cast<CaptureClock::duration>(periods));
}

int previewStride(int rateCode, int cpuSpeedClass) {
    return std::max(5 - rateCode + cpuSpeedClass, 1);
}

OnlineCapture::OnlineCapture(lk::DriveLink& link, Oscillogram& oscillogram,
                             const pm::ParameterModel& model, const pm::MessageTable& messages)
    : m_link(link), m_oscillogram(oscillogram), m_model(model), m_messages(messages) {}

void OnlineCapture::setSampleLimit(int samples) {
    m_sampleLimit = std::clamp(samples, 1, kRecordCount);
}

bool OnlineCapture::start(int cpuSpeedClass, CaptureClock::time_point now) {
    if (running() || m_link.state().linkBusy)
        return false;
    m_busy.emplace(m_link);

    Oscillogram& o = m_oscillogram;
    o.kind = ScopeKind::Online;
    // The online scope records two channels only. (A temporary string: GCC 12 sees a false
    // overlap in assigning the view directly.)
    for (const int c : {3, 4})
        o.channel(c).name = std::string(kNoChannel);
    o.buffer.zeroAll();
    const Rate rate = rateOfCode(o.rateCode).value_or(kRates[0]);
    o.rateCode = rate.code;
    o.header.frequency = rate.frequency;
    o.header.tick = rate.tick;

    for (int c = 0; c < kOnlineChannelCount; ++c) {
        const ChannelSelection& channel = o.channel(c + 1);
        const auto i = static_cast<size_t>(c);
        m_signed[i] = signalIsSigned(m_model, channel.signal);
        m_scale[i] = channel.scale;
        m_peak[i] = kInitialPeak;
    }
    m_decoder.reset();
    m_samples = 0;
    m_dropped = 0;
    m_stride = previewStride(rate.code, cpuSpeedClass);
    m_previewCounter = 0;
    m_previewColumn = 0;
    m_previewFirst = 0;
    m_previewCount = 0;
    m_silentBound = silentBound(rate.code);
    m_lastByte = now;
    m_firstSample = m_lastSample = now;

    m_end = CaptureEnd::Running;
    if (m_link.sendCommand(lk::kCmdStartOnlineScope, signalByte(rate.code),
                           signalByte(o.channel(1).signal), signalByte(o.channel(2).signal)) < 0) {
        finish(m_link.state().hungUp ? CaptureEnd::HungUp : CaptureEnd::WriteFailed);
        if (m_end == CaptureEnd::WriteFailed)
            m_messages.show(m_link.ui(), pm::kMsgPortWriteError, m_model.language());
        return false;
    }
    return true;
}

void OnlineCapture::onReadable(CaptureClock::time_point now) {
    const bool lineUp = drainPort(
        m_link, [this] { return running(); },
        [&](std::span<const uint8_t> bytes) { feed(bytes, now); });
    if (!lineUp)
        finish(CaptureEnd::HungUp);
}

bool drainPort(lk::DriveLink& link, const std::function<bool()>& active,
               const std::function<void(std::span<const uint8_t>)>& take) {
    std::array<uint8_t, kReadChunk> chunk{};
    for (int reads = 0; active() && reads < kReadsPerReadiness; ++reads) {
        const int n = link.port().readAvailable(chunk.data(), chunk.size());
        if (n > 0) {
            take(std::span<const uint8_t>(chunk.data(), static_cast<size_t>(n)));
            // A short read took all there was: asking again would only read nothing.
            if (static_cast<size_t>(n) < chunk.size())
                return true;
            continue;
        }
        // Nothing (or a failure) where the port said bytes wait: a line whose other end went
        // away reads so too, and the wait tells it apart without waiting.
        return !(reads == 0 && (n < 0 || link.port().waitReadable(0) == lk::WaitResult::HungUp) &&
                 link.checkHangUp());
    }
    return true;
}

void OnlineCapture::feed(std::span<const uint8_t> bytes, CaptureClock::time_point now) {
    if (!running() || bytes.empty())
        return;
    m_lastByte = now;
    for (const uint8_t byte : bytes) {
        const StreamEvent e = m_decoder.feed(byte);
        switch (e.kind) {
            case StreamEvent::Kind::None:
                break;
            case StreamEvent::Kind::Ack:
                if (e.status == lk::kAckStatusRefused) {
                    finish(CaptureEnd::Refused);
                    m_messages.show(m_link.ui(), pm::kMsgScopeRefused, m_model.language());
                    return;
                }
                break;
            case StreamEvent::Kind::BadSample:
                ++m_dropped;
                break;
            case StreamEvent::Kind::Sample:
                accept(e, now);
                if (m_samples >= m_sampleLimit) {
                    if (m_sampleLimit < kRecordCount)
                        stop();
                    else
                        endWithStopFrame(CaptureEnd::BufferFull);
                    return;
                }
                break;
        }
    }
}

void OnlineCapture::accept(const StreamEvent& sample, CaptureClock::time_point now) {
    const int index = m_samples;
    for (int c = 0; c < kOnlineChannelCount; ++c) {
        const auto i = static_cast<size_t>(c);
        const int raw = rawValue(sample.data.at(2 * i), sample.data.at(2 * i + 1), m_signed[i]);
        m_peak[i] = std::max(m_peak[i], static_cast<double>(std::abs(raw)));
        m_oscillogram.buffer.setValue(index, c, raw * m_scale[i]);
        // The first sample has no predecessor: its preview line starts where it ends.
        m_previousRaw[i] = index == 0 ? raw : m_currentRaw[i];
        m_currentRaw[i] = raw;
    }
    if (m_previewCounter == m_stride - 1) {
        previewStep();
        m_previewCounter = 0;
    } else {
        ++m_previewCounter;
    }
    if (m_samples == 0)
        m_firstSample = now;
    m_lastSample = now;
    ++m_samples;
}

int OnlineCapture::previewRow(int c, int raw) const {
    // 60 / (scale × peak) × value with value = raw × scale: the scale cancels, and the raw
    // value keeps the largest magnitude exactly on 60 pixels.
    const double offset = std::trunc(kPreviewAmplitude * raw / m_peak.at(static_cast<size_t>(c)));
    return kPreviewCentre - static_cast<int>(offset);
}

void OnlineCapture::previewStep() {
    PreviewStep step;
    if (m_previewColumn > kPreviewWidth) {
        step.restart = true;
        m_previewColumn = 0;
    }
    step.column = ++m_previewColumn;
    for (int c = 0; c < kOnlineChannelCount; ++c) {
        const auto i = static_cast<size_t>(c);
        step.from.at(i) = previewRow(c, m_previousRaw[i]);
        step.to.at(i) = previewRow(c, m_currentRaw[i]);
    }
    pushPreview(step);
}

void OnlineCapture::pushPreview(const PreviewStep& step) {
    if (m_previewCount == m_preview.size()) {
        m_previewFirst = (m_previewFirst + 1) % m_preview.size();
        --m_previewCount;
    }
    m_preview.at((m_previewFirst + m_previewCount) % m_preview.size()) = step;
    ++m_previewCount;
}

std::vector<PreviewStep> OnlineCapture::takePreview() {
    std::vector<PreviewStep> steps;
    steps.reserve(m_previewCount);
    for (size_t k = 0; k < m_previewCount; ++k)
        steps.push_back(m_preview.at((m_previewFirst + k) % m_preview.size()));
    m_previewFirst = 0;
    m_previewCount = 0;
    return steps;
}

void OnlineCapture::checkSilence(CaptureClock::time_point now) {
    if (running() && now >= silenceDeadline())
        finish(CaptureEnd::Silent);
}

CaptureClock::time_point OnlineCapture::silenceDeadline() const {
    return m_lastByte + m_silentBound;
}

void OnlineCapture::stop() {
    if (!running())
        return;
    endWithStopFrame(CaptureEnd::UserStop);
}

void OnlineCapture::endWithStopFrame(CaptureEnd end) {
    // Ended before the frame goes out: bytes that arrive meanwhile are no longer taken.
    m_end = end;
    if (m_link.sendCommand(lk::kCmdScope, 0, 0, 0) >= 0) {
        finish(end);
        return;
    }
    // A port that hung up has told the user already.
    finish(m_link.state().hungUp ? CaptureEnd::HungUp : CaptureEnd::WriteFailed);
    if (m_end == CaptureEnd::WriteFailed)
        m_messages.show(m_link.ui(), pm::kMsgPortWriteError, m_model.language());
}

void OnlineCapture::finish(CaptureEnd end) {
    m_end = end;
    m_busy.reset();
}

double OnlineCapture::achievedRate() const {
    const double seconds = std::chrono::duration<double>(m_lastSample - m_firstSample).count();
    if (m_samples < 2 || seconds <= 0)
        return 0;
    return (m_samples - 1) / seconds;
}

bool runCaptureLoop(const CaptureLoop& loop, lk::SerialPort& port,
                    const std::function<void()>& afterWake) {
    constexpr auto kReadInterval = std::chrono::milliseconds(kReadBatchMs);
    while (loop.active()) {
        const auto now = CaptureClock::now();
        const std::optional<CaptureClock::time_point> due = loop.deadline();
        if (due && *due <= now) {
            loop.checkDeadline(now);
            continue;
        }
        int waitMs = loop.longestWaitMs;
        if (due)
            waitMs = static_cast<int>(std::min<long long>(
                waitMs, std::chrono::ceil<std::chrono::milliseconds>(*due - now).count()));
        const lk::WaitResult wait = port.waitReadable(waitMs);
        if (wait == lk::WaitResult::TimedOut) {
            loop.checkDeadline(CaptureClock::now());
        } else {
            // A hang-up is found by the read, which ends the capture.
            loop.onReadable(CaptureClock::now());
            if (wait == lk::WaitResult::Failed && loop.active()) {
                loop.abandon();
                return false;
            }
        }
        if (afterWake)
            afterWake();
        // Read in batches: the bytes wait in the line's input buffer meanwhile.
        if (wait == lk::WaitResult::Readable && loop.active())
            std::this_thread::sleep_for(kReadInterval);
    }
    return true;
}

bool runCapture(OnlineCapture& capture, lk::SerialPort& port,
                const std::function<void()>& afterWake) {
    const CaptureLoop loop{
        .active = [&] { return capture.running(); },
        .deadline = [&] { return std::optional(capture.silenceDeadline()); },
        .checkDeadline = [&](CaptureClock::time_point now) { capture.checkSilence(now); },
        .onReadable = [&](CaptureClock::time_point now) { capture.onReadable(now); },
        .abandon = [&] { capture.stop(); },
        .longestWaitMs = std::numeric_limits<int>::max(),
    };
    return runCaptureLoop(loop, port, afterWake);
}

}  // namespace zrd::scope
