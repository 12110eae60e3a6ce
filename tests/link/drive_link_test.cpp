#include "link/drive_link.h"

#include <gtest/gtest.h>

#include <chrono>

#include "event_bound.h"
#include "sim_fixture.h"

namespace zrd::link {
namespace {

using test::SimLinkTest;

void requestRead(DriveLink& link, uint8_t index) {
    clearBuffer(link.buffers().request);
    link.buffers().request[0] = kRequestRead;
    link.buffers().request[1] = index;
}

void requestWrite(DriveLink& link, uint8_t index, uint16_t raw) {
    clearBuffer(link.buffers().request);
    link.buffers().request[0] = kRequestWrite;
    link.buffers().request[1] = index;
    link.buffers().request[2] = static_cast<uint8_t>(raw >> 8);
    link.buffers().request[3] = static_cast<uint8_t>(raw & 0xFF);
}

uint16_t decodedRaw(DriveLink& link) {
    auto& rx = link.buffers().receive;
    decodeReadReply(rx);
    return replyRaw(rx);
}

using DriveLinkTest = SimLinkTest;

TEST_F(DriveLinkTest, ReadReturnsTheStoredValue) {
    drive([](sim::SimDrive& d) { d.setRaw(0x41, 0x1234); });
    requestRead(link, 0x41);
    link.ReadPar();
    EXPECT_EQ(link.buffers().receive[1], kReplyRead);
    EXPECT_EQ(decodedRaw(link), 0x1234);
    EXPECT_EQ(ui.idleRestores, 0);
}

TEST_F(DriveLinkTest, EscapedValuesSurviveTheRoundTrip) {
    for (const uint16_t raw : {0xE1E2, 0xE400, 0x00E4, 0xFFFF, 0x0000}) {
        requestWrite(link, 0xE2, raw);
        link.ReadPar();
        ASSERT_EQ(link.buffers().receive[1], kReplyAccepted) << raw;
        requestRead(link, 0xE2);
        link.ReadPar();
        EXPECT_EQ(decodedRaw(link), raw);
    }
}

TEST_F(DriveLinkTest, TailOfAReplyLongerThanTheReadCountIsNotTakenForTheNextReply) {
    // The nine-byte reply of this value leaves its end byte behind a read count of 8.
    drive([](sim::SimDrive& d) {
        d.setRaw(0xE1, 0xE2E4);
        d.setRaw(0x11, 0x0102);
    });
    for (int round = 0; round < 5; ++round) {
        requestRead(link, 0xE1);
        link.ReadPar();
        ASSERT_EQ(decodedRaw(link), 0xE2E4);
        requestRead(link, 0x11);
        link.ReadPar();
        ASSERT_EQ(link.buffers().receive[1], kReplyRead) << round;
        EXPECT_EQ(decodedRaw(link), 0x0102);
    }
}

TEST_F(DriveLinkTest, ReadReplyDoesNotWaitOutThePortTimeOut) {
    // Longer than the test may run: a read that waited it out instead of ending at the reply's
    // end byte would fail by the test's time limit.
    link.state().portTimeOutMs = 10 * test::kEventBoundMs;
    requestRead(link, 3);
    link.ReadPar();
    EXPECT_EQ(link.buffers().receive[1], kReplyRead);
}

TEST_F(DriveLinkTest, ReplyInPiecesIsReadWhole) {
    drive([](sim::SimDrive& d) {
        d.setRaw(9, 0xBEEF);
        d.addFault({sim::FaultKind::Split, 15, 4, 1});
    });
    link.state().portTimeOutMs = 500;
    requestRead(link, 9);
    link.ReadPar();
    EXPECT_EQ(link.buffers().receive[1], kReplyRead);
    EXPECT_EQ(decodedRaw(link), 0xBEEF);
}

TEST_F(DriveLinkTest, SilentDriveRestoresIdleState) {
    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 0, -1}); });
    link.state().linkBusy = true;
    link.state().readCount = 1;
    link.state().connected = 1;
    requestRead(link, 1);
    link.ReadPar();
    EXPECT_EQ(link.buffers().receive[1], 0);
    EXPECT_FALSE(link.state().linkBusy);
    EXPECT_EQ(link.state().readCount, kDefaultReadCount);
    EXPECT_EQ(link.state().connected, 1);
    EXPECT_EQ(ui.idleRestores, 1);
    EXPECT_TRUE(ui.boxes.empty());
}

TEST_F(DriveLinkTest, FailedWriteNeverLeavesAStaleReply) {
    requestWrite(link, 5, 1);
    link.ReadPar();
    ASSERT_EQ(link.buffers().receive[1], kReplyAccepted);
    link.closePort();
    requestWrite(link, 5, 2);
    link.ReadPar();
    EXPECT_EQ(link.buffers().receive[1], 0);
    EXPECT_EQ(ui.idleRestores, 0);
}

TEST_F(DriveLinkTest, LeftoversArePurgedBeforeTheNextRequest) {
    // A late reply to the first request arrives after its wait gave up.
    const int lateMs = 3 * link.state().replyMarginMs;
    drive([&](sim::SimDrive& d) {
        d.setRaw(1, 0x1111);
        d.setRaw(2, 0x2222);
        d.addFault({sim::FaultKind::Delay, lateMs, 0, 1});
    });
    const uint64_t sent = sim.bytesSent();
    requestRead(link, 1);
    link.ReadPar();
    EXPECT_EQ(link.buffers().receive[1], 0);
    // Wait until the whole late reply has landed in the input queue: written by the simulator,
    // and then passed on by the kernel, which may lag behind the write on a loaded machine.
    ASSERT_TRUE(sim.waitUntil(
        [&](const sim::SimDrive&) {
            return sim.bytesSent() >= sent + 6 && port->inputQueueCount() >= 6;
        },
        test::kEventBound));
    requestRead(link, 2);
    link.ReadPar();
    EXPECT_EQ(link.buffers().receive[2], 2);
    EXPECT_EQ(decodedRaw(link), 0x2222);
}

TEST_F(DriveLinkTest, CommandIsAcknowledged) {
    ASSERT_EQ(link.sendCommand(kCmdStopGenerator), 6);
    EXPECT_EQ(link.awaitAck(false), 0);
    const auto& reply = link.buffers().request;
    EXPECT_EQ(toHex(reply.data(), 4), "E1 70 00 E2");
}

TEST_F(DriveLinkTest, BusyDriveRefusesTheCommand) {
    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Busy, 0, 0, 1}); });
    ASSERT_EQ(link.sendCommand(kCmdStoreWorkingParameters), 6);
    EXPECT_EQ(link.awaitAck(true), kAckStatusRefused);
    EXPECT_EQ(ui.idleRestores, 0);
}

TEST_F(DriveLinkTest, UnansweredCommandRunsTheTimeOut) {
    drive([](sim::SimDrive& d) { d.addFault({sim::FaultKind::Silent, 0, 0, 1}); });
    link.state().linkBusy = true;
    ASSERT_EQ(link.sendCommand(kCmdStoreWorkingParameters), 6);
    EXPECT_FALSE(link.awaitAck(true));
    EXPECT_FALSE(link.state().linkBusy);
    EXPECT_EQ(ui.idleRestores, 1);
}

TEST_F(DriveLinkTest, PortReadWaitsForAReplyWithinItsTimeOutAndEndsWithout) {
    std::array<uint8_t, 20> buffer{};
    // A reply that comes late, but within the time-out, is read whole.
    drive([](sim::SimDrive& d) {
        d.setRaw(4, 0x0404);
        d.addFault({sim::FaultKind::Delay, 100, 0, 1});
    });
    requestRead(link, 4);
    TransmitBuffer frame{};
    const size_t length = encodeRequest(link.buffers().request, frame);
    ASSERT_EQ(port->write(frame.data(), length), static_cast<int>(length));
    link.state().portTimeOutMs = test::kEventBoundMs;
    link.state().readCount = 6;
    ASSERT_EQ(link.PortRead(buffer), 6);
    EXPECT_EQ(buffer[1], kReplyRead);
    // Nothing comes: the read ends with nothing once the time-out has passed.
    link.state().portTimeOutMs = 30;
    EXPECT_EQ(link.PortRead(buffer), 0);
}

TEST(DriveLinkOpen, MissingDeviceLeavesAnInvalidHandle) {
    test::RecordingUserInterface ui;
    auto port = makeSystemSerialPort();
    DriveLink link(*port, ui);
    EXPECT_EQ(link.state().handle, PortHandle::None);
    EXPECT_EQ(link.openPort("/dev/does-not-exist-zrd", 115200, 30), OpenResult::CannotOpen);
    EXPECT_EQ(link.state().handle, PortHandle::Invalid);
    EXPECT_FALSE(port->lastError().empty());
}

TEST(WireTime, FollowsTheBaudRate) {
    EXPECT_EQ(wireTimeMs(6, 115200), 1);
    EXPECT_EQ(wireTimeMs(10, 9600), 11);
    EXPECT_EQ(wireTimeMs(1, 300), 34);
    EXPECT_EQ(wireTimeMs(5, 0), 0);
}

TEST(PortNames, FollowTheOtherSystemsConvention) {
    EXPECT_EQ(windowsPortName(0), "COM1");
    EXPECT_EQ(windowsPortName(8), "COM9");
    EXPECT_EQ(windowsPortName(9), "\\\\.\\COM10");
}

}  // namespace
}  // namespace zrd::link
