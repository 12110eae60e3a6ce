// The offline capture against a drive played byte by byte on a real pseudo-terminal.
#include "scope/offline_capture.h"
#include "event_bound.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "capture_rig.h"
#include "scope/scope_settings.h"

namespace zrd::scope {
namespace {

namespace lk = zrd::link;
using Clock = CaptureClock;
using rig::CaptureUi;

std::vector<uint8_t> ack(uint8_t status) {
    return {lk::kStartByte, lk::kReplyAck, status, lk::kEndByte};
}

// One data frame as the drive sends it; `end` replaces the closing byte.
std::vector<uint8_t> dataFrame(int channel, int index, uint16_t raw, uint8_t end = lk::kEndByte) {
    std::vector<uint8_t> out{lk::kStartByte, lk::kReplyScopeSample};
    for (const int b : {channel << 5 | index >> 8, index & 0xFF, raw >> 8, raw & 0xFF})
        lk::appendEscaped(out, static_cast<uint8_t>(b));
    out.push_back(end);
    return out;
}

void append(std::vector<uint8_t>& to, const std::vector<uint8_t>& bytes) {
    to.insert(to.end(), bytes.begin(), bytes.end());
}

// The four channels' raw words of sample n: a signed ramp on IACT (scale 0.01), escapes on
// STA, and the index on the two unsigned channels.
std::array<uint16_t, 4> words(int n) {
    return {static_cast<uint16_t>(-n), static_cast<uint16_t>(0xE1E2 + n % 3),
            static_cast<uint16_t>(n), 0xE4E4};
}

std::vector<uint8_t> record(int from, int to) {
    std::vector<uint8_t> out;
    for (int n = from; n < to; ++n)
        for (int c = 1; c <= 4; ++c)
            append(out, dataFrame(c, n, words(n).at(static_cast<size_t>(c - 1))));
    return out;
}

struct Rig : rig::CaptureRig<OfflineCapture> {
    void open() {
        ASSERT_NO_FATAL_FAILURE(
            CaptureRig::open({{1, "IACT"}, {2, "STA"}, {3, "PRCTS"}, {4, "RES1"}}));
        osc->tickCode = 3;
    }

    // Feeds the capture what arrives until it stops listening or the bytes stop.
    void pump() {
        const auto deadline = Clock::now() + zrd::test::kEventBound;
        while (capture.listening() && Clock::now() < deadline &&
               port->waitReadable(300) != lk::WaitResult::TimedOut)
            capture.onReadable(Clock::now());
    }
};

std::vector<uint8_t> command(uint8_t code, uint8_t a1, uint8_t a2, uint8_t a3) {
    lk::TransmitBuffer frame{};
    return {frame.begin(),
            frame.begin() + static_cast<long>(lk::encodeCommand(frame, code, a1, a2, a3))};
}

TEST(OfflineCapture, ReadsBackAndEndsAsTheDriveEndsIt) {
    const std::vector<uint8_t> stop = command(lk::kCmdScope, 3, 3, 1);
    const std::vector<uint8_t> abandon = command(lk::kCmdScope, 0, 0, 0);
    std::vector<uint8_t> busy;
    for (int k = 0; k < kBusyReplyLimit; ++k)
        append(busy, ack(lk::kAckStatusRefused));
    // Noise between frames, a frame of channel 0, one closed by a wrong byte and one cut
    // short by the next start byte: dropped (three counted), the record goes on.
    std::vector<uint8_t> damaged = record(0, 5);
    append(damaged, {0x55, lk::kEndByte, 0x10, 0x70});
    append(damaged, dataFrame(0, 5, 1));
    append(damaged, dataFrame(1, 5, 1, 0x00));
    append(damaged, {lk::kStartByte, lk::kReplyScopeSample, 0x20, 0x05});
    append(damaged, record(5, kOfflineSamples));

    enum class Then { Nothing, HangUp };
    struct Case {
        const char* name;
        TriggerType trigger;
        std::vector<uint8_t> drive;  // what the drive sends after the stop
        Then then;
        OfflineEnd end;
        int records;
        int dropped;
        std::vector<uint8_t> afterStop;  // the frames the program sends after the stop
        std::vector<std::string> boxes;
    };
    std::vector<uint8_t> stalled = busy;
    stalled.resize(stalled.size() - 4);
    for (const Case& c : {
             Case{"a whole record with damage on the way",
                  TriggerType::None,
                  [&] {
                      auto b = ack(0);
                      append(b, damaged);
                      return b;
                  }(),
                  Then::Nothing,
                  OfflineEnd::Complete,
                  kOfflineSamples,
                  3,
                  {},
                  {}},
             Case{"channel 4 at sample 2047 completes it early",
                  TriggerType::FullBuffer,
                  [] {
                      auto b = record(0, 3);
                      append(b, record(kLastSampleIndex, kOfflineSamples));
                      return b;
                  }(),
                  Then::Nothing,
                  OfflineEnd::Complete,
                  4,
                  0,
                  {},
                  {}},
             Case{"100 busy answers abandon it",
                  TriggerType::None,
                  busy,
                  Then::Nothing,
                  OfflineEnd::Busy,
                  0,
                  0,
                  abandon,
                  {"Attention E11"}},
             Case{"99 busy answers and the record",
                  TriggerType::None,
                  [&] {
                      auto b = stalled;
                      append(b, ack(0));
                      append(b, record(0, kOfflineSamples));
                      return b;
                  }(),
                  Then::Nothing,
                  OfflineEnd::Complete,
                  kOfflineSamples,
                  0,
                  {},
                  {}},
             Case{"the line hangs up while the record comes",
                  TriggerType::Rising,
                  record(0, 10),
                  Then::HangUp,
                  OfflineEnd::HungUp,
                  10,
                  0,
                  {},
                  {}},
         }) {
        SCOPED_TRACE(c.name);
        Rig rig;
        ASSERT_NO_FATAL_FAILURE(rig.open());
        ASSERT_TRUE(rig.capture.start({c.trigger, false}, Clock::now()));
        EXPECT_EQ(rig.osc->kind, ScopeKind::Offline);
        EXPECT_EQ(rig.osc->header.tick, 0.002);
        EXPECT_EQ(rig.osc->buffer.value(kRecordCount - 1, 0), 0);
        const int iact = rig.osc->channel(1).signal;
        const int sta = rig.osc->channel(2).signal;
        EXPECT_EQ(rig.wire.receive(6),
                  command(lk::kCmdStartOnlineScope, 3, static_cast<uint8_t>(iact),
                          static_cast<uint8_t>(sta)));
        rig.wire.send(ack(0));
        rig.pump();
        if (c.trigger == TriggerType::None) {
            // Recording: the link is free until the stop.
            EXPECT_EQ(rig.capture.phase(), OfflinePhase::Recording);
            EXPECT_FALSE(rig.link.state().linkBusy);
            ASSERT_TRUE(rig.capture.stop(Clock::now()));
            EXPECT_EQ(rig.wire.receive(6), stop);
        } else {
            EXPECT_EQ(rig.capture.phase(), OfflinePhase::Armed);
            EXPECT_TRUE(rig.link.state().linkBusy);
        }
        std::thread drive([&] { rig.wire.send(c.drive); });
        rig.pump();
        drive.join();
        if (c.then == Then::HangUp) {
            rig.wire.hangUp();
            rig.pump();
        }

        EXPECT_EQ(rig.capture.end(), c.end);
        EXPECT_EQ(rig.capture.records(), c.records);
        EXPECT_EQ(rig.capture.dropped(), c.dropped);
        EXPECT_FALSE(rig.link.state().linkBusy);
        EXPECT_EQ(rig.ui.lost, c.then == Then::HangUp ? 1 : 0);
        std::vector<std::string> boxes;
        for (const auto& b : rig.ui.boxes)
            boxes.push_back(b.caption + " " + b.text);
        EXPECT_EQ(boxes, c.boxes);
        if (c.then != Then::HangUp) {
            // The abandon frame, if any, and nothing else precede a marker written now.
            std::vector<uint8_t> expected = c.afterStop;
            const std::vector<uint8_t> marker = {0x55, 0xAA};
            ASSERT_EQ(rig.link.PortWrite(marker.data(), marker.size()), 2);
            append(expected, marker);
            EXPECT_EQ(rig.wire.receive(expected.size()), expected);
        }

        // What came is kept: values scaled and signed per channel, raw beside them, the
        // sample index and the tick in slots 4 and 5.
        for (const int r : {0, 1, 2, c.records - 1}) {
            if (r < 0 || r >= c.records)
                continue;
            const int n = c.records == 4 && r == 3 ? kLastSampleIndex : r;
            SCOPED_TRACE(r);
            const RawRecord& raw = rig.capture.raw().at(static_cast<size_t>(r));
            EXPECT_EQ(raw.values, (std::array<int, 4>{-n, 0xE1E2 + n % 3, n, 0xE4E4}));
            EXPECT_EQ(raw.sampleIndex, n);
            EXPECT_DOUBLE_EQ(rig.osc->buffer.value(r, 0), -n * 0.01);
            EXPECT_EQ(rig.osc->buffer.value(r, 1), 0xE1E2 + n % 3);
            EXPECT_EQ(rig.osc->buffer.value(r, kSampleIndexSlot), n);
            EXPECT_EQ(rig.osc->buffer.value(r, kTickSlot), 0.002);
        }
        EXPECT_EQ(rig.osc->buffer.value(c.records, kTickSlot), 0);
    }
}

TEST(OfflineCapture, StartWithoutTriggerNeverWaitsOnASilentDrive) {
    Rig rig;
    ASSERT_NO_FATAL_FAILURE(rig.open());
    const auto now = Clock::now();
    ASSERT_TRUE(rig.capture.start({TriggerType::None, false}, now));
    // Only the start's acknowledge is awaited, for the link's reply bound, not the record.
    const auto due = rig.capture.deadline();
    ASSERT_TRUE(due.has_value());
    EXPECT_LE(*due - now,
              std::chrono::milliseconds(rig.link.replyWaitBoundMs(lk::kCommandFrameLength, 4)));
    rig.capture.checkDeadline(*due);
    EXPECT_EQ(rig.capture.phase(), OfflinePhase::Recording);
    EXPECT_FALSE(rig.capture.listening());
    EXPECT_FALSE(rig.capture.deadline().has_value());
    EXPECT_FALSE(rig.link.state().linkBusy);
    EXPECT_TRUE(rig.ui.boxes.empty());

    // A refusal ends a start at once with message 11.
    Rig refused;
    ASSERT_NO_FATAL_FAILURE(refused.open());
    ASSERT_TRUE(refused.capture.start({TriggerType::FullBuffer, false}, Clock::now()));
    refused.wire.send(ack(lk::kAckStatusRefused));
    refused.pump();
    EXPECT_EQ(refused.capture.end(), OfflineEnd::Refused);
    ASSERT_EQ(refused.ui.boxes.size(), 1u);
    EXPECT_EQ(refused.ui.boxes[0].text, "E11");
    EXPECT_FALSE(refused.link.state().linkBusy);
}

}  // namespace
}  // namespace zrd::scope
