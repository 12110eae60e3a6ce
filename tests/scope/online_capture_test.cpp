#include "scope/online_capture.h"
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

// Sample frames of raw value pairs; an acknowledge first when a status is given.
std::vector<uint8_t> frames(const std::vector<std::array<uint16_t, 2>>& samples,
                            std::optional<uint8_t> ack = std::nullopt) {
    std::vector<uint8_t> bytes;
    if (ack)
        bytes = {lk::kStartByte, lk::kReplyAck, *ack, lk::kEndByte};
    for (const auto& pair : samples) {
        bytes.insert(bytes.end(), {lk::kStartByte, lk::kReplyScopeSample});
        for (const uint16_t raw : pair) {
            lk::appendEscaped(bytes, static_cast<uint8_t>(raw >> 8));
            lk::appendEscaped(bytes, static_cast<uint8_t>(raw & 0xFF));
        }
        bytes.push_back(lk::kEndByte);
    }
    return bytes;
}

std::vector<uint8_t> command(uint8_t code, uint8_t a1, uint8_t a2, uint8_t a3) {
    lk::TransmitBuffer frame{};
    return {frame.begin(),
            frame.begin() + static_cast<long>(lk::encodeCommand(frame, code, a1, a2, a3))};
}

// The program's side of a capture on a real pseudo-terminal, with the shipped database:
// channel 1 a signed signal with a scale (IACT), channel 2 an unsigned status word (STA).
struct Rig : rig::CaptureRig<OnlineCapture> {
    void open() { ASSERT_NO_FATAL_FAILURE(CaptureRig::open({{1, "IACT"}, {2, "STA"}})); }

    // Feeds the capture what arrives until it has `samples` or has ended.
    void pump(int samples) {
        const auto deadline = Clock::now() + zrd::test::kEventBound;
        while (capture.running() && capture.samples() < samples && Clock::now() < deadline) {
            (void)port->waitReadable(100);
            capture.onReadable(Clock::now());
        }
    }
};

TEST(OnlineCapture, EndsAsTheDriveOrTheUserEndsIt) {
    enum class Then { Nothing, UserStop, Silence, HangUp };
    struct Case {
        const char* name;
        uint8_t ack;
        int samples;
        Then then;
        CaptureEnd end;
        bool stopFrame;
        std::vector<std::string> boxes;
    };
    for (const Case& c : {
             Case{"the 10000th sample ends it",
                  0,
                  kRecordCount,
                  Then::Nothing,
                  CaptureEnd::BufferFull,
                  true,
                  {}},
             Case{"the user stops", 0, 3, Then::UserStop, CaptureEnd::UserStop, true, {}},
             Case{"the drive falls silent", 0, 3, Then::Silence, CaptureEnd::Silent, false, {}},
             Case{"the drive refuses",
                  lk::kAckStatusRefused,
                  0,
                  Then::Nothing,
                  CaptureEnd::Refused,
                  false,
                  {"Attention E11"}},
             Case{"the line hangs up", 0, 3, Then::HangUp, CaptureEnd::HungUp, false, {}},
         }) {
        SCOPED_TRACE(c.name);
        Rig rig;
        ASSERT_NO_FATAL_FAILURE(rig.open());
        ASSERT_TRUE(rig.capture.start(2, Clock::now()));
        EXPECT_TRUE(rig.link.state().linkBusy);
        EXPECT_EQ(rig.ui.pauses, 1);
        EXPECT_EQ(rig.osc->buffer.value(kRecordCount - 1, 0), 0);
        EXPECT_EQ(rig.wire.receive(6), command(lk::kCmdStartOnlineScope, 1, 3, 1));

        // Escapes, a signed -2 and an unsigned 65534, then a ramp.
        std::vector<std::array<uint16_t, 2>> samples = {{0xFFFE, 0xFFFE}, {0x00E1, 0xE4E2}};
        for (int k = 2; k < c.samples; ++k)
            samples.push_back({static_cast<uint16_t>(k), static_cast<uint16_t>(2 * k)});
        samples.resize(static_cast<size_t>(c.samples));
        std::thread drive([&] { rig.wire.send(frames(samples, c.ack)); });
        rig.pump(c.then == Then::Nothing ? kRecordCount + 1 : c.samples);
        drive.join();
        if (c.then == Then::UserStop)
            rig.capture.stop();
        if (c.then == Then::Silence) {
            // The bound is a second after the last byte, which came before now.
            const auto now = Clock::now();
            rig.capture.checkSilence(now + std::chrono::milliseconds(500));
            EXPECT_TRUE(rig.capture.running());
            rig.capture.checkSilence(now + std::chrono::milliseconds(1001));
        }
        if (c.then == Then::HangUp) {
            rig.wire.hangUp();
            rig.pump(kRecordCount);
        }

        EXPECT_EQ(rig.capture.end(), c.end);
        ASSERT_EQ(rig.capture.samples(), c.samples);
        EXPECT_EQ(rig.capture.dropped(), 0);
        if (c.samples > 2) {
            EXPECT_DOUBLE_EQ(rig.osc->buffer.value(0, 0), -0.02);
            EXPECT_EQ(rig.osc->buffer.value(0, 1), 65534);
            EXPECT_DOUBLE_EQ(rig.osc->buffer.value(1, 0), 2.25);
            EXPECT_EQ(rig.osc->buffer.value(1, 1), 0xE4E2);
            EXPECT_DOUBLE_EQ(rig.osc->buffer.value(c.samples - 1, 0), (c.samples - 1) * 0.01);
            EXPECT_EQ(rig.osc->buffer.value(c.samples - 1, 1), 2 * (c.samples - 1));
        }
        EXPECT_FALSE(rig.link.state().linkBusy);
        EXPECT_EQ(rig.ui.resumes, 1);
        std::vector<std::string> boxes;
        for (const auto& b : rig.ui.boxes)
            boxes.push_back(b.caption + " " + b.text);
        EXPECT_EQ(boxes, c.boxes);
        rig.capture.feed(frames({{1, 1}}), Clock::now());
        EXPECT_EQ(rig.capture.samples(), c.samples) << "bytes after the end are not taken";

        EXPECT_EQ(rig.link.state().hungUp, c.end == CaptureEnd::HungUp);
        EXPECT_EQ(rig.ui.lost, c.end == CaptureEnd::HungUp ? 1 : 0);
        if (c.end != CaptureEnd::HungUp) {
            // The stop frame, if any, and nothing else precede a marker written now (straight
            // to the port: a request's purge would drop what the test has not read yet).
            std::vector<uint8_t> expected = {0x55, 0xAA};
            ASSERT_EQ(rig.link.PortWrite(expected.data(), expected.size()), 2);
            if (c.stopFrame)
                expected.insert(expected.begin(), {0xE1, lk::kCmdScope, 0, 0, 0, 0xE2});
            EXPECT_EQ(rig.wire.receive(expected.size()), expected);
        }
    }
}

TEST(OnlineCapture, PreviewStepsEverySixthSampleAndStartsAgainPastTheStripsEnd) {
    Rig rig;
    ASSERT_NO_FATAL_FAILURE(rig.open());
    // 1000 Hz on a fast PC (class 2): a step per six samples. Channel 1 counts 1, 2, 3 …;
    // channel 2 stays 0.
    ASSERT_TRUE(rig.capture.start(2, Clock::now()));
    std::vector<PreviewStep> seen;
    for (uint16_t k = 1; k <= 6 * (kPreviewWidth + 2); ++k) {
        rig.capture.feed(frames({{k, 0}}), Clock::now());
        for (const PreviewStep& s : rig.capture.takePreview())
            seen.push_back(s);
    }
    ASSERT_EQ(seen.size(), kPreviewWidth + 2u);
    // Sample 6, the peak so far, reaches 60 pixels above the centre line at 65; sample 5 lies
    // at five sixths of that. A channel of zeros stays on the centre line.
    EXPECT_EQ(seen[0].column, 1);
    EXPECT_EQ(seen[0].from, (std::array<int, 2>{15, 65}));
    EXPECT_EQ(seen[0].to, (std::array<int, 2>{5, 65}));
    EXPECT_EQ(seen[1].from[0], 10);  // 65 − trunc(60 × 11 / 12)
    // The strip runs one column past its width, then starts again at the left.
    EXPECT_EQ(seen[kPreviewWidth].column, kPreviewWidth + 1);
    EXPECT_FALSE(seen[kPreviewWidth].restart);
    EXPECT_EQ(seen[kPreviewWidth + 1].column, 1);
    EXPECT_TRUE(seen[kPreviewWidth + 1].restart);
    rig.capture.stop();

    // A stride of one draws at the very first sample, which has no predecessor.
    ASSERT_TRUE(rig.capture.start(-10, Clock::now()));
    rig.capture.feed(frames({{0xFFF6, 0}}), Clock::now());
    const std::vector<PreviewStep> first = rig.capture.takePreview();
    ASSERT_EQ(first.size(), 1u);
    EXPECT_EQ(first[0].from[0], 125);
    EXPECT_EQ(first[0].to[0], 125);
    rig.capture.stop();
}

}  // namespace
}  // namespace zrd::scope
