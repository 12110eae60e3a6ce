// The monitor's reader thread on a real pseudo-terminal: answers arrive as lines, a stop is
// honoured at once without traffic, and a line that hangs up ends the thread.

#include "cmdmon/port_reader.h"

#include <gtest/gtest.h>

#include <chrono>

#include "../scope/pty_wire.h"
#include "link/frame_codec.h"
#include "reader_probe.h"
#include "sim_server.h"

namespace zrd::cmdmon {
namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;

constexpr int kBaud = 115200;

Bytes readRequest(uint8_t index) {
    link::RequestRecord request{};
    request[0] = link::kRequestRead;
    request[1] = index;
    link::TransmitBuffer frame{};
    const size_t length = link::encodeRequest(request, frame);
    return Bytes(frame.begin(), frame.begin() + static_cast<long>(length));
}

Bytes readReply(uint8_t index, uint16_t raw) {
    Bytes reply{link::kStartByte, link::kReplyRead};
    link::appendEscaped(reply, index);
    link::appendEscaped(reply, static_cast<uint8_t>(raw >> 8));
    link::appendEscaped(reply, static_cast<uint8_t>(raw & 0xFF));
    reply.push_back(link::kEndByte);
    return reply;
}

class PortReaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.start();
        ASSERT_EQ(reader.open(sim.devicePath(), line), link::OpenResult::Ok) << reader.lastError();
    }
    void TearDown() override {
        reader.stop();
        sim.stop();
    }

    sim::SimServer sim{kBaud};
    link::LineSettings line;
    PortReader reader;
    test::ReaderProbe probe;
};

TEST_F(PortReaderTest, ReadRequestIsAnsweredWithOneLine) {
    // Indexes and values that need escapes on the way back, and one that needs none.
    const struct {
        uint8_t index;
        uint16_t raw;
    } reads[] = {{0x0A, 0xE105}, {0xE1, 0x00E4}, {0x41, 0x0015}};
    ASSERT_TRUE(probe.start(reader));
    for (const auto& r : reads) {
        sim.withDrive([&](sim::SimDrive& drive) { drive.setAnswer(r.index, r.raw); });
        const Bytes request = readRequest(r.index);
        ASSERT_EQ(reader.write(request.data(), request.size()), static_cast<int>(request.size()));
        EXPECT_EQ(probe.nextLine(2s), readReply(r.index, r.raw)) << "index " << int(r.index);
    }
    EXPECT_LE(probe.largestChunk(), kChunkBytes);
}

TEST_F(PortReaderTest, StopEndsTheThreadWithinItsPollWithoutTraffic) {
    ASSERT_TRUE(probe.start(reader));
    reader.requestStop();
    EXPECT_EQ(probe.end(100ms), ReaderEnd::Stopped);
}

TEST(PortReaderHangUp, LongFrameArrivesInChunksThenTheHangUpEndsTheThread) {
    test::PtyWire wire;
    PortReader reader;
    ASSERT_EQ(reader.open(wire.devicePath(), link::LineSettings{}), link::OpenResult::Ok)
        << reader.lastError();
    test::ReaderProbe probe;
    ASSERT_TRUE(probe.start(reader));
    Bytes frame{link::kStartByte};
    for (uint8_t b = 1; b <= 40; ++b)
        frame.push_back(b);
    frame.push_back(link::kEndByte);
    wire.send(frame);
    EXPECT_EQ(probe.nextLine(2s), frame);
    EXPECT_LE(probe.largestChunk(), kChunkBytes);
    wire.hangUp();
    EXPECT_EQ(probe.end(2s), ReaderEnd::HungUp);
    EXPECT_FALSE(probe.reason().empty());
    reader.stop();
}

}  // namespace
}  // namespace zrd::cmdmon
