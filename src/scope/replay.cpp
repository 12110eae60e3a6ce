#include "scope/replay.h"

#include <cmath>

#include "core/number_text.h"
#include "scope/trace_view.h"

namespace zrd::scope {

ReplayPlan planReplay(const RecordTable& buffer) {
    ReplayPlan plan;
    for (int r = 0; r < kReplayRecords; ++r) {
        for (int c = 0; c < kOnlineChannelCount; ++c) {
            const double v = std::fabs(buffer.value(r, c));
            if (v > plan.peak.at(static_cast<size_t>(c))) {
                plan.peak.at(static_cast<size_t>(c)) = v;
                plan.peakPosition = r;
            }
        }
    }
    int empty = 0;
    for (int r = 0; r < kReplayRecords; ++r) {
        if (buffer.value(r, 0) == 0.0 && buffer.value(r, 1) == 0.0 && r > plan.peakPosition) {
            if (++empty == kReplayEmptyLimit)
                break;
        } else {
            ++plan.length;
        }
    }
    return plan;
}

std::chrono::milliseconds replayStepDelay(int rateCode) {
    constexpr std::array<int, 4> kDelays = {1, 6, 11, 16};
    if (rateCode < 1 || rateCode > static_cast<int>(kDelays.size()))
        return std::chrono::milliseconds(0);
    return std::chrono::milliseconds(kDelays.at(static_cast<size_t>(rateCode - 1)));
}

bool Replay::start(link::DriveLink& link, const RecordTable& buffer, int rateCode,
                   CaptureClock::time_point now) {
    if (running() || link.state().linkBusy)
        return false;
    m_busy.emplace(link);
    if (!*m_busy) {
        m_busy.reset();
        return false;
    }
    m_buffer = &buffer;
    m_plan = planReplay(buffer);
    m_delay = replayStepDelay(rateCode);
    m_next = now;
    m_step = 0;
    m_column = 0;
    m_gauge = 0;
    m_abort = false;
    m_end = ReplayEnd::Running;
    if (m_plan.length == 0)
        finish(ReplayEnd::Finished);
    return true;
}

int Replay::row(int channel, int record) const {
    const double peak = m_plan.peak.at(static_cast<size_t>(channel));
    return kPreviewCentre - truncPixel(kPreviewAmplitude / peak * m_buffer->value(record, channel));
}

std::optional<PreviewStep> Replay::step(CaptureClock::time_point now) {
    if (!running() || now < m_next)
        return std::nullopt;
    PreviewStep s;
    s.restart = m_step == 0;
    if (m_column > kPreviewWidth) {
        s.restart = true;
        m_column = 0;
    }
    ++m_column;
    s.column = m_column;
    const int previous = m_step == 0 ? 0 : m_step - 1;
    for (int c = 0; c < kOnlineChannelCount; ++c) {
        s.from.at(static_cast<size_t>(c)) = row(c, previous);
        s.to.at(static_cast<size_t>(c)) = row(c, m_step);
    }
    if (m_abort) {
        ++m_step;
        finish(ReplayEnd::Aborted);
        return s;
    }
    m_gauge = m_step + 2;
    ++m_step;
    m_next = now + m_delay;
    if (m_step >= m_plan.length)
        finish(ReplayEnd::Finished);
    return s;
}

void Replay::stop() {
    if (running())
        finish(ReplayEnd::Stopped);
}

void Replay::abort() {
    if (running())
        m_abort = true;
}

void Replay::finish(ReplayEnd end) {
    m_end = end;
    m_abort = false;
    m_busy.reset();
}

std::string dataRecordRow(const RawRecords& raw, const RecordTable& buffer, int row) {
    const RawRecord& record = raw.at(static_cast<size_t>(row));
    std::string text = " ";
    for (int c = 1; c <= kChannelCount; ++c) {
        text += formatGeneral(record.values.at(static_cast<size_t>(c - 1)));
        text += " --> ";
        text += formatGeneral(buffer.channel(row, c));
        text += "   |   ";
    }
    text += formatGeneral(record.sampleIndex);
    text += "   ";
    return text;
}

std::vector<std::string> dataRecordRows(const RawRecords& raw, const RecordTable& buffer) {
    std::vector<std::string> rows;
    rows.reserve(kDataRecordRows);
    for (int r = 0; r < kDataRecordRows; ++r)
        rows.push_back(dataRecordRow(raw, buffer, r));
    return rows;
}

}  // namespace zrd::scope
