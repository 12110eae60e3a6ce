// Traffic recordings end to end: a session through the monitor's reader recorded and answered
// alike by zrd-sim --replay; zrdctl sniff printing and recording what it hears until it is
// stopped or the line hangs up.

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>

#include "../scope/pty_wire.h"
#include "child_process.h"
#include "cmdmon/traffic_record.h"
#include "link/frame_codec.h"
#include "reader_probe.h"
#include "sim_server.h"
#include "temp_dir.h"

namespace zrd::cmdmon {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

Bytes requestFrame(uint8_t letter, uint8_t index, uint16_t raw = 0) {
    link::RequestRecord request{};
    request[0] = letter;
    request[1] = index;
    request[2] = static_cast<uint8_t>(raw >> 8);
    request[3] = static_cast<uint8_t>(raw & 0xFF);
    link::TransmitBuffer frame{};
    const size_t length = link::encodeRequest(request, frame);
    return Bytes(frame.begin(), frame.begin() + static_cast<long>(length));
}

Bytes commandFrame(uint8_t code) {
    link::TransmitBuffer frame{};
    const size_t length = link::encodeCommand(frame, code, 0, 0, 0);
    return Bytes(frame.begin(), frame.begin() + static_cast<long>(length));
}

constexpr uint8_t kNamedIndex = 0x41;
constexpr const char* kName = "XPOS";

std::string fileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

TEST(TrafficReplay, RecordedSessionIsAnsweredAlikeByTheReplay) {
    test::TempDir dir;
    const std::string recording = dir.path() + "/session.txt";
    // The drive's answers change between two reads of one index: the replay keeps their order.
    struct Step {
        Bytes request;
        std::optional<std::pair<uint8_t, uint16_t>> answerBefore;
    };
    const std::vector<Step> steps = {
        {requestFrame(link::kRequestRead, 0x0A), std::pair<uint8_t, uint16_t>{0x0A, 0xE105}},
        {requestFrame(link::kRequestRead, kNamedIndex),
         std::pair<uint8_t, uint16_t>{kNamedIndex, 21}},
        {requestFrame(link::kRequestRead, kNamedIndex),
         std::pair<uint8_t, uint16_t>{kNamedIndex, 22}},
        {requestFrame(link::kRequestWrite, 0x10, 0x00E2), std::nullopt},
        {commandFrame(link::kCmdStopGenerator), std::nullopt},
    };
    std::vector<Bytes> answers;
    {
        sim::SimServer sim;
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.start();
        PortReader reader;
        ASSERT_EQ(reader.open(sim.devicePath(), link::LineSettings{}), link::OpenResult::Ok);
        TrafficRecorder recorder([](uint8_t i) { return i == kNamedIndex ? kName : ""; });
        ASSERT_TRUE(recorder.open(recording)) << recorder.error();
        test::ReaderProbe probe;
        ASSERT_TRUE(probe.start(reader));
        for (const Step& step : steps) {
            if (step.answerBefore)
                sim.withDrive([&](sim::SimDrive& d) {
                    d.setAnswer(step.answerBefore->first, step.answerBefore->second);
                });
            ASSERT_EQ(reader.write(step.request.data(), step.request.size()),
                      static_cast<int>(step.request.size()));
            ASSERT_TRUE(recorder.record(Direction::Sent, step.request));
            const auto answer = probe.nextLine(2s);
            ASSERT_TRUE(answer.has_value());
            ASSERT_TRUE(recorder.record(Direction::Received, *answer));
            answers.push_back(*answer);
        }
        reader.stop();
        sim.stop();
    }
    const std::string text = fileText(recording);
    EXPECT_NE(text.find("> E1 20 41 E2 ; read XPOS (index 65)\r\n"), std::string::npos) << text;
    EXPECT_NE(text.find("; value XPOS (index 65) = 22\r\n"), std::string::npos) << text;

    test::ChildProcess replay({ZRD_SIM_PATH, "--replay", recording, "--db",
                               std::string(ZRD_SHIPPED_DATA_DIR) + "/Param_base.mod"});
    ASSERT_TRUE(replay.running());
    const std::string device = replay.lineStartingWith("/dev/", 5s);
    ASSERT_FALSE(device.empty()) << replay.output();
    PortReader reader;
    ASSERT_EQ(reader.open(device, link::LineSettings{}), link::OpenResult::Ok)
        << reader.lastError();
    test::ReaderProbe probe;
    ASSERT_TRUE(probe.start(reader));
    // A request the recording never saw is not answered: the next answer is the next request's.
    const Bytes unknown = requestFrame(link::kRequestRead, 0x77);
    ASSERT_EQ(reader.write(unknown.data(), unknown.size()), static_cast<int>(unknown.size()));
    for (size_t i = 0; i < steps.size(); ++i) {
        ASSERT_EQ(reader.write(steps[i].request.data(), steps[i].request.size()),
                  static_cast<int>(steps[i].request.size()));
        EXPECT_EQ(probe.nextLine(2s), answers[i]) << "step " << i;
    }
    // Once its recorded answers are used up, a request gets the last of them again.
    ASSERT_EQ(reader.write(steps[2].request.data(), steps[2].request.size()),
              static_cast<int>(steps[2].request.size()));
    EXPECT_EQ(probe.nextLine(2s), answers[2]);
    reader.stop();
}

struct SniffEnd {
    const char* name;
    bool hangUp;
    int status;
    const char* lastWords;
};

class SniffTest : public ::testing::TestWithParam<SniffEnd> {};

TEST_P(SniffTest, PrintsAndRecordsEachFrameUntilItEnds) {
    const SniffEnd& end = GetParam();
    test::TempDir dir;
    const std::string recording = dir.path() + "/tap.txt";
    test::PtyWire wire;
    test::ChildProcess sniff({ZRDCTL_PATH, "--port", wire.devicePath(), "--data-dir",
                              ZRD_SHIPPED_DATA_DIR, "sniff", "--record", recording});
    ASSERT_TRUE(sniff.waitForText("listening", 5s)) << sniff.output();
    // A tap hears both sides: the program's request and the drive's answer, in two pieces.
    const Bytes request = requestFrame(link::kRequestRead, 0x0A);
    const Bytes answer = {0xE1, link::kReplyRead, 0x0A, 0xE4, 0x02, 0x05, 0xE2};
    wire.send(request);
    wire.send(Bytes(answer.begin(), answer.begin() + 3));
    wire.send(Bytes(answer.begin() + 3, answer.end()));
    EXPECT_TRUE(sniff.waitForText("> " + lineText(request), 5s)) << sniff.output();
    EXPECT_TRUE(sniff.waitForText("< " + lineText(answer), 5s)) << sniff.output();
    EXPECT_TRUE(sniff.waitForText("decoded  225 48 10 228 225 5 226\n", 5s)) << sniff.output();
    if (end.hangUp)
        wire.hangUp();
    else
        sniff.signal(SIGTERM);
    EXPECT_EQ(sniff.exitStatus(5s), end.status) << sniff.output();
    EXPECT_NE(sniff.output().find(end.lastWords), std::string::npos) << sniff.output();

    std::vector<TrafficLine> lines;
    std::string error;
    ASSERT_TRUE(loadTraffic(recording, lines, error)) << error;
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].direction, Direction::Sent);
    EXPECT_EQ(lines[0].bytes, request);
    EXPECT_EQ(lines[1].direction, Direction::Received);
    EXPECT_EQ(lines[1].bytes, answer);
    // The value of the answer with its escape undone: 0xE105.
    EXPECT_TRUE(lines[1].meaning.ends_with("= 57605")) << lines[1].meaning;
}

const SniffEnd kEnds[] = {
    {"Terminated", false, 0, "sniff ended"},
    {"LineHungUp", true, 3, "hung up"},
};

INSTANTIATE_TEST_SUITE_P(Ends, SniffTest, ::testing::ValuesIn(kEnds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zrd::cmdmon
