#include "scope/online_capture.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <thread>

#include "../params/params_test_support.h"
#include "params/database_loader.h"
#include "pty_wire.h"
#include "recording_ui.h"
#include "scope/scope_settings.h"

namespace zrd::scope {
namespace {

namespace lk = zrd::link;
using Clock = CaptureClock;

std::string shipped(const char* name) {
    return std::string(ZRD_SHIPPED_DATA_DIR) + "/" + name;
}

// Records the link's pauses and hang-ups as well.
class CaptureUi : public test::RecordingUserInterface {
public:
    void pauseTimers() override { ++pauses; }
    void resumeTimers() override { ++resumes; }
    void linkLost(const std::string& reason) override { lost.push_back(reason); }
    int pauses = 0;
    int resumes = 0;
    std::vector<std::string> lost;
};

struct RawPair {
    uint16_t first;
    uint16_t second;
};

std::vector<uint8_t> sampleFrames(const std::vector<RawPair>& samples) {
    std::vector<uint8_t> bytes;
    for (const RawPair& s : samples) {
        bytes.push_back(lk::kStartByte);
        bytes.push_back(lk::kReplyScopeSample);
        for (const uint16_t raw : {s.first, s.second}) {
            lk::appendEscaped(bytes, static_cast<uint8_t>(raw >> 8));
            lk::appendEscaped(bytes, static_cast<uint8_t>(raw & 0xFF));
        }
        bytes.push_back(lk::kEndByte);
    }
    return bytes;
}

std::vector<uint8_t> ack(uint8_t status) {
    return {lk::kStartByte, lk::kReplyAck, status, lk::kEndByte};
}

std::vector<uint8_t> commandFrame(uint8_t code, uint8_t a1, uint8_t a2, uint8_t a3) {
    lk::TransmitBuffer frame{};
    const size_t n = lk::encodeCommand(frame, code, a1, a2, a3);
    return {frame.begin(), frame.begin() + static_cast<long>(n)};
}

// The program's side of a capture on a real pseudo-terminal: the shipped database, channel 1 a
// signed signal with a scale, channel 2 an unsigned status word.
struct Rig {
    test::TempDir dir;
    CaptureUi ui;
    std::unique_ptr<params::MessageTable> messages = test::loadMessages(dir, ui);
    std::unique_ptr<params::ParameterModel> model = std::make_unique<params::ParameterModel>();
    std::unique_ptr<Oscillogram> osc = std::make_unique<Oscillogram>();
    test::PtyWire wire;
    std::unique_ptr<lk::SerialPort> port = lk::makeSystemSerialPort();
    lk::DriveLink link{*port, ui};
    OnlineCapture capture{link, *osc, *model, *messages};
    int current = 0;
    int status = 0;

    ::testing::AssertionResult open() {
        if (!wire.ok())
            return ::testing::AssertionFailure() << "no pseudo-terminal";
        if (!params::loadDatabase(shipped(params::kDatabaseFileName), *model, *messages, ui, false)
                 .ok())
            return ::testing::AssertionFailure() << "the shipped database does not load";
        if (link.openPort(wire.devicePath(), lk::kDefaultBaudRate, lk::kDefaultPortTimeOutMs) !=
            lk::OpenResult::Ok)
            return ::testing::AssertionFailure() << port->lastError();
        link.state().connected = 1;
        current = findScopeSignal(*model, "IACT").value_or(0);
        status = findScopeSignal(*model, "STA").value_or(0);
        osc->channel(1) = channelOfSignal(*model, current);
        osc->channel(2) = channelOfSignal(*model, status);
        // What a capture must clear.
        osc->buffer.setValue(kRecordCount - 1, 0, 1.5);
        return ::testing::AssertionSuccess();
    }

    // Runs the capture on what arrives until `done` or its end, within a bound.
    void pump(const std::function<bool()>& done) {
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (capture.running() && !done()) {
            ASSERT_LT(Clock::now(), deadline) << "samples so far: " << capture.samples();
            (void)port->waitReadable(100);
            capture.onReadable(Clock::now());
        }
    }
};

TEST(OnlineCapture, EndsAsTheDriveOrTheUserEndsIt) {
    enum class Then { Nothing, UserStop, Silence, HangUp };
    struct Case {
        const char* name;
        uint8_t ackStatus;
        std::vector<RawPair> samples;
        Then then;
        CaptureEnd end;
        bool stopFrame;
        std::vector<std::string> boxes;
    };
    std::vector<RawPair> full;
    for (int k = 0; k < kRecordCount; ++k)
        full.push_back({static_cast<uint16_t>(k), static_cast<uint16_t>(2 * k)});
    const std::vector<RawPair> three = {{0xFFFE, 0xFFFE}, {0x00E1, 0xE4E2}, {1000, 0}};
    const std::vector<Case> cases = {
        {"ten thousand samples fill the buffer",
         0,
         full,
         Then::Nothing,
         CaptureEnd::BufferFull,
         true,
         {}},
        {"the user stops", 0, three, Then::UserStop, CaptureEnd::UserStop, true, {}},
        {"the drive falls silent", 0, three, Then::Silence, CaptureEnd::Silent, false, {}},
        {"the drive refuses",
         lk::kAckStatusRefused,
         {},
         Then::Nothing,
         CaptureEnd::Refused,
         false,
         {"Attention: E11"}},
        {"the line hangs up", 0, three, Then::HangUp, CaptureEnd::HungUp, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto rig = std::make_unique<Rig>();
        ASSERT_TRUE(rig->open());
        auto& [dir, ui, messages, model, osc, wire, port, link, capture, current, status] = *rig;
        ASSERT_TRUE(capture.start(2, Clock::now()));
        EXPECT_TRUE(link.state().linkBusy);
        EXPECT_EQ(ui.pauses, 1);
        EXPECT_EQ(osc->buffer.value(kRecordCount - 1, 0), 0);
        EXPECT_EQ(wire.receive(6, std::chrono::seconds(2)),
                  commandFrame(lk::kCmdStartOnlineScope, 1, static_cast<uint8_t>(current),
                               static_cast<uint8_t>(status)));

        std::thread drive([&] {
            wire.send(ack(c.ackStatus));
            wire.send(sampleFrames(c.samples));
        });
        // A capture left alone runs to its own end.
        rig->pump([&] {
            return c.then != Then::Nothing &&
                   capture.samples() == static_cast<int>(c.samples.size());
        });
        drive.join();
        switch (c.then) {
            case Then::Nothing:
                break;
            case Then::UserStop:
                capture.stop();
                break;
            case Then::Silence:
                capture.checkSilence(capture.silenceDeadline() - std::chrono::milliseconds(1));
                EXPECT_TRUE(capture.running());
                EXPECT_GE(capture.silenceDeadline() - Clock::now(), std::chrono::milliseconds(900));
                capture.checkSilence(capture.silenceDeadline());
                break;
            case Then::HangUp:
                wire.hangUp();
                rig->pump([] { return false; });
                break;
        }

        EXPECT_EQ(capture.end(), c.end);
        EXPECT_EQ(capture.samples(), static_cast<int>(c.samples.size()));
        EXPECT_EQ(capture.dropped(), 0);
        for (size_t i = 0; i < c.samples.size(); i += 997) {
            const int record = static_cast<int>(i);
            EXPECT_DOUBLE_EQ(osc->buffer.value(record, 0),
                             static_cast<int16_t>(c.samples[i].first) * 0.01);
            EXPECT_EQ(osc->buffer.value(record, 1), c.samples[i].second);
        }
        if (c.samples.size() == three.size()) {
            EXPECT_DOUBLE_EQ(osc->buffer.value(0, 0), -0.02);
            EXPECT_EQ(osc->buffer.value(0, 1), 65534);
            EXPECT_DOUBLE_EQ(osc->buffer.value(1, 0), 2.25);
        }
        EXPECT_FALSE(link.state().linkBusy);
        EXPECT_EQ(ui.resumes, 1);
        std::vector<std::string> boxes;
        for (const auto& b : ui.boxes)
            boxes.push_back(b.caption + ": " + b.text);
        EXPECT_EQ(boxes, c.boxes);

        // Bytes after the end are not taken.
        capture.feed(sampleFrames({{1, 1}}), Clock::now());
        EXPECT_EQ(capture.samples(), static_cast<int>(c.samples.size()));

        if (c.end == CaptureEnd::HungUp) {
            EXPECT_TRUE(link.state().hungUp);
            EXPECT_EQ(link.state().connected, 0);
            EXPECT_EQ(ui.lost.size(), 1u);
        } else {
            // The stop frame, if any, and nothing else went out before a marker written now
            // (straight to the port: a request's purge would drop what the test has not read).
            std::vector<uint8_t> expected;
            if (c.stopFrame)
                expected = commandFrame(lk::kCmdScope, 0, 0, 0);
            const std::vector<uint8_t> marker = {0x55, 0xAA};
            ASSERT_EQ(link.PortWrite(marker.data(), marker.size()), 2);
            expected.insert(expected.end(), marker.begin(), marker.end());
            EXPECT_EQ(wire.receive(expected.size(), std::chrono::seconds(2)), expected);
        }
    }
}

TEST(OnlineCapture, PreviewStepsEverySixthSampleAndStartsAgainPastTheStripsEnd) {
    Rig rig;
    ASSERT_TRUE(rig.open());
    // 1000 Hz on a fast PC: a step per six samples.
    ASSERT_TRUE(rig.capture.start(2, Clock::now()));
    const int steps = kPreviewWidth + 2;
    std::vector<PreviewStep> seen;
    for (int k = 0; k < 6 * steps; ++k) {
        // Channel 1 counts up from 1; channel 2 stays 0.
        rig.capture.feed(sampleFrames({{static_cast<uint16_t>(k + 1), 0}}), Clock::now());
        const std::vector<PreviewStep> taken = rig.capture.takePreview();
        seen.insert(seen.end(), taken.begin(), taken.end());
    }
    ASSERT_EQ(static_cast<int>(seen.size()), steps);
    // Sample 6 (raw 6, the peak so far) reaches 60 pixels above the centre line; sample 5 lies
    // at five sixths of it. A channel of zeros stays on the centre line.
    EXPECT_EQ(seen[0].column, 1);
    EXPECT_FALSE(seen[0].restart);
    EXPECT_EQ(seen[0].from[0], 15);
    EXPECT_EQ(seen[0].to[0], 5);
    EXPECT_EQ(seen[0].from[1], kPreviewCentre);
    EXPECT_EQ(seen[0].to[1], kPreviewCentre);
    // Sample 12 against sample 11: 65 − trunc(60 × 11 / 12) = 10.
    EXPECT_EQ(seen[1].from[0], 10);
    EXPECT_EQ(seen[1].column, 2);
    // The strip runs to one column past its width, then starts again at the left.
    EXPECT_EQ(seen[kPreviewWidth].column, kPreviewWidth + 1);
    EXPECT_FALSE(seen[kPreviewWidth].restart);
    EXPECT_EQ(seen[kPreviewWidth + 1].column, 1);
    EXPECT_TRUE(seen[kPreviewWidth + 1].restart);
    rig.capture.stop();
}

TEST(OnlineCapture, FirstSampleOfAStrideOfOneDrawsFromItself) {
    Rig rig;
    ASSERT_TRUE(rig.open());
    // A stride of one draws at the very first sample, which has no predecessor.
    ASSERT_TRUE(rig.capture.start(-10, Clock::now()));
    rig.capture.feed(sampleFrames({{0xFFF6, 0}}), Clock::now());
    const std::vector<PreviewStep> steps = rig.capture.takePreview();
    ASSERT_EQ(steps.size(), 1u);
    EXPECT_EQ(steps[0].from[0], kPreviewCentre + kPreviewAmplitude);
    EXPECT_EQ(steps[0].to[0], kPreviewCentre + kPreviewAmplitude);
    rig.capture.stop();
}

}  // namespace
}  // namespace zrd::scope
