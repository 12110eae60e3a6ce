// The online oscilloscope's stream as the program sees it on a real pseudo-terminal: the
// acknowledge, the sample frames with their escapes, refusals, the sample faults and the stop.
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "control_commands.h"
#include "shipped_drive.h"
#include "sim_server.h"

namespace zrd::sim {
namespace {

namespace lk = zrd::link;
// The longest wait for one byte.
constexpr int kByteWaitMs = 5000;

// One frame as it came on the line: its code, the payload with the escapes undone, and the
// byte in the place of the end byte.
struct Frame {
    uint8_t code = 0;
    std::vector<uint8_t> data;
    uint8_t closing = 0;
};

// Payload length of each reply code the drive sends.
size_t payloadLength(uint8_t code) {
    return code == lk::kReplyScopeSample ? 4 : code == lk::kReplyRead ? 3 : 1;
}

class OnlineStream : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(test::loadShippedDatabase(model));
        ASSERT_TRUE(sim.openPty()) << sim.error();
        sim.withDrive([&](SimDrive& d) {
            d.loadParameters(model);
            d.setNoise(0.0);
        });
        sim.start();
        m_fd = ::open(sim.devicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(m_fd, 0);
        control("set OSCMOD 1");
    }
    void TearDown() override {
        if (m_fd >= 0)
            ::close(m_fd);
        sim.stop();
    }

    void control(const std::string& line) {
        sim.withDrive(
            [&](SimDrive& d) { ASSERT_EQ(runControlCommand(line, d).text, "ok") << line; });
    }
    // The scope signal number of a mnemonic in the loaded list.
    int signal(std::string_view mnemonic) const {
        for (int n = 1; n < model.scopeSignalCount(); ++n)
            if (model.scopeSignal(n).Pname == mnemonic)
                return n;
        ADD_FAILURE() << mnemonic << " is no scope signal";
        return 0;
    }
    uint8_t index(std::string_view mnemonic) const {
        const auto p = model.find(mnemonic);
        EXPECT_TRUE(p) << mnemonic;
        return p ? model.parameter(*p).Index : 0;
    }

    void send(uint8_t code, uint8_t a1, uint8_t a2, uint8_t a3) {
        lk::TransmitBuffer tx{};
        put(tx, lk::encodeCommand(tx, code, a1, a2, a3));
    }
    void sendRead(uint8_t driveIndex) {
        lk::TransmitBuffer tx{};
        put(tx, lk::encodeRequest({lk::kRequestRead, driveIndex}, tx));
    }

    // The next frame on the line; nullopt when the line ends or falls silent.
    std::optional<Frame> next() {
        std::optional<uint8_t> b;
        while ((b = byte()) && *b != lk::kStartByte) {
        }
        const auto code = byte();
        if (!b || !code)
            return std::nullopt;
        Frame f{*code, {}, 0};
        while (f.data.size() < payloadLength(f.code)) {
            auto d = byte();
            // Delimiters travel escaped only.
            if (d && (*d == lk::kStartByte || *d == lk::kEndByte))
                return std::nullopt;
            if (d && *d == lk::kEscapeByte) {
                const auto e = byte();
                d = !e                         ? std::nullopt
                    : *e == lk::kEscapedStart  ? std::optional(lk::kStartByte)
                    : *e == lk::kEscapedEnd    ? std::optional(lk::kEndByte)
                    : *e == lk::kEscapedEscape ? std::optional(lk::kEscapeByte)
                                               : std::nullopt;
            }
            if (!d)
                return std::nullopt;
            f.data.push_back(*d);
        }
        const auto closing = byte();
        if (!closing)
            return std::nullopt;
        f.closing = *closing;
        return f;
    }
    // The status of the next frame, which must be an acknowledge.
    int ackStatus() {
        const auto f = next();
        EXPECT_TRUE(f && f->code == lk::kReplyAck);
        return f && f->code == lk::kReplyAck ? f->data[0] : -1;
    }

    std::unique_ptr<params::ParameterModel> owner = std::make_unique<params::ParameterModel>();
    params::ParameterModel& model = *owner;
    SimServer sim;

private:
    void put(const lk::TransmitBuffer& tx, size_t n) {
        ASSERT_EQ(::write(m_fd, tx.data(), n), static_cast<ssize_t>(n));
    }
    std::optional<uint8_t> byte() {
        if (m_pos == m_len) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, kByteWaitMs) <= 0)
                return std::nullopt;
            const ssize_t n = ::read(m_fd, m_buffer.data(), m_buffer.size());
            if (n <= 0)
                return std::nullopt;
            m_len = static_cast<size_t>(n);
            m_pos = 0;
        }
        return m_buffer[m_pos++];
    }

    int m_fd = -1;
    std::array<uint8_t, 256> m_buffer{};
    size_t m_pos = 0;
    size_t m_len = 0;
};

uint16_t sampleValue(const Frame& f, int channel) {
    const size_t at = channel == 1 ? 0 : 2;
    return static_cast<uint16_t>(f.data[at] << 8 | f.data[at + 1]);
}

TEST_F(OnlineStream, StreamsLiveMemoryAfterTheAcknowledgeUntilTheStopFrame) {
    // Signals the drive's cycle leaves alone, holding every byte that needs an escape.
    const uint16_t first1 = lk::kStartByte << 8 | lk::kEndByte;
    const uint16_t first2 = 0x12 << 8 | lk::kEscapeByte;
    const uint16_t later1 = 0x0102;
    sim.withDrive([&](SimDrive& d) {
        d.setRaw(index("DOSTA"), first1);
        d.setRaw(index("AO1VOL"), first2);
    });
    send(lk::kCmdStartOnlineScope, kFirstScopeRate, static_cast<uint8_t>(signal("DOSTA")),
         static_cast<uint8_t>(signal("AO1VOL")));
    ASSERT_EQ(ackStatus(), kAckDone);

    uint64_t received = 0;
    const auto sample = [&] {
        auto f = next();
        EXPECT_TRUE(f && f->code == lk::kReplyScopeSample && f->closing == lk::kEndByte);
        ++received;
        return f.value_or(Frame{0, {0, 0, 0, 0}, 0});
    };
    constexpr int kBefore = 30;
    for (int i = 0; i < kBefore; ++i) {
        const Frame f = sample();
        ASSERT_EQ(sampleValue(f, 1), first1) << i;
        ASSERT_EQ(sampleValue(f, 2), first2) << i;
    }
    // A change in memory shows from some sample on (those already on the line come first),
    // and stays.
    sim.withDrive([&](SimDrive& d) { d.setRaw(index("DOSTA"), later1); });
    Frame f = sample();
    for (int i = 0; i < 10'000 && sampleValue(f, 1) == first1; ++i)
        f = sample();
    for (int i = 0; i < kBefore; ++i, f = sample()) {
        ASSERT_EQ(sampleValue(f, 1), later1) << i;
        ASSERT_EQ(sampleValue(f, 2), first2) << i;
    }

    // The stop frame: the samples before its acknowledge are all the drive sent.
    send(lk::kCmdScope, 0, 0, 0);
    std::optional<Frame> end;
    while ((end = next()) && end->code == lk::kReplyScopeSample)
        ++received;
    ASSERT_TRUE(end && end->code == lk::kReplyAck);
    EXPECT_EQ(end->data[0], kAckDone);
    const auto stream = sim.scope();
    EXPECT_FALSE(stream.streaming);
    EXPECT_EQ(stream.frames, received);
    // Nothing more comes: the next frame answers the next request.
    sendRead(index("DOSTA"));
    end = next();
    ASSERT_TRUE(end);
    EXPECT_EQ(end->code, lk::kReplyRead);
    std::string status;
    sim.withDrive([&](SimDrive& d) { status = runControlCommand("scope status", d).text; });
    EXPECT_NE(status.find("streaming=no"), std::string::npos) << status;
    EXPECT_NE(status.find("frames=" + std::to_string(received)), std::string::npos) << status;
}

TEST_F(OnlineStream, RefusedStartsSendNoSamples) {
    struct Case {
        const char* setup;
        uint8_t rate;
    };
    const uint8_t tooFast = kFirstScopeRate - 1;
    const uint8_t tooSlow = kLastScopeRate + 1;
    // "OSCMOD" 0 gives the frame to the offline recorder, which has no tick code 10.
    const uint8_t noTick = kRecorderTickCodes;
    for (const Case& c : {Case{"set OSCMOD 0", noTick}, Case{"set OSCMOD 1", tooFast},
                          Case{"set OSCMOD 1", tooSlow}, Case{"scope refuse on", kLastScopeRate},
                          Case{"fault busy 1", kFirstScopeRate}}) {
        control(c.setup);
        send(lk::kCmdStartOnlineScope, c.rate, 1, 2);
        EXPECT_EQ(ackStatus(), lk::kAckStatusRefused) << c.setup;
        sendRead(index("OSCMOD"));
        const auto f = next();
        ASSERT_TRUE(f) << c.setup;
        EXPECT_EQ(f->code, lk::kReplyRead) << c.setup;
        EXPECT_FALSE(sim.scope().streaming) << c.setup;
        control("scope refuse off");
    }
    EXPECT_EQ(sim.scope().samples, 0u);
}

TEST_F(OnlineStream, BadEndsComeEveryNthFrameAndAMutedStreamSendsNothing) {
    constexpr uint64_t kEvery = 3;
    control("scope badend " + std::to_string(kEvery));
    send(lk::kCmdStartOnlineScope, kFirstScopeRate, 0, 0);
    ASSERT_EQ(ackStatus(), kAckDone);
    for (uint64_t n = 1; n <= 4 * kEvery; ++n) {
        const auto f = next();
        ASSERT_TRUE(f && f->code == lk::kReplyScopeSample) << n;
        EXPECT_EQ(f->closing == lk::kEndByte, n % kEvery != 0) << n;
        // Signal 0 is none.
        EXPECT_EQ(sampleValue(*f, 1), 0) << n;
    }

    control("scope mute on");
    send(lk::kCmdStartOnlineScope, kFirstScopeRate, 0, 0);
    std::optional<Frame> f;
    while ((f = next()) && f->code == lk::kReplyScopeSample) {
    }
    ASSERT_TRUE(f && f->code == lk::kReplyAck);
    // The first sample was taken at once after the acknowledge, yet the next frame on the line
    // answers the next request.
    sendRead(index("OSCMOD"));
    f = next();
    ASSERT_TRUE(f);
    EXPECT_EQ(f->code, lk::kReplyRead);
    const auto stream = sim.scope();
    EXPECT_TRUE(stream.streaming);
    EXPECT_GE(stream.samples, 1u);
    EXPECT_EQ(stream.frames, 0u);
}

TEST_F(OnlineStream, HangUpEndsTheStreamWithTheLine) {
    control("fault hangup=1");
    send(lk::kCmdStartOnlineScope, kFirstScopeRate, 1, 2);
    ASSERT_EQ(ackStatus(), kAckDone);
    ASSERT_TRUE(next());
    sendRead(index("OSCMOD"));
    // Samples up to the hang-up, then the line ends.
    std::optional<Frame> f;
    while ((f = next()) && f->code == lk::kReplyScopeSample) {
    }
    EXPECT_FALSE(f);
    EXPECT_FALSE(sim.scope().streaming);
}

}  // namespace
}  // namespace zrd::sim
