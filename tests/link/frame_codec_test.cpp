#include "link/frame_codec.h"

#include <gtest/gtest.h>

#include <vector>

namespace zrd::link {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes encoded(uint8_t letter, uint8_t index, uint8_t hi = 0, uint8_t lo = 0) {
    RequestRecord r{};
    r[0] = letter;
    r[1] = index;
    r[2] = hi;
    r[3] = lo;
    TransmitBuffer tx;
    tx.fill(0xAA);
    const size_t n = encodeRequest(r, tx);
    return Bytes(tx.begin(), tx.begin() + static_cast<long>(n));
}

struct RequestCase {
    const char* name;
    uint8_t letter, index, hi, lo;
    Bytes frame;
};

class RequestEncoding : public ::testing::TestWithParam<RequestCase> {};

TEST_P(RequestEncoding, ProducesTheFrameOnTheWire) {
    const auto& c = GetParam();
    EXPECT_EQ(encoded(c.letter, c.index, c.hi, c.lo), c.frame);
}

INSTANTIATE_TEST_SUITE_P(
    Frames, RequestEncoding,
    ::testing::Values(
        RequestCase{"ReadPlain", 'R', 0x41, 0, 0, {0xE1, 0x20, 0x41, 0xE2}},
        RequestCase{"ReadIndexIsStart", 'R', 0xE1, 0, 0, {0xE1, 0x20, 0xE4, 0x02, 0xE2}},
        RequestCase{"ReadIndexIsEnd", 'R', 0xE2, 0, 0, {0xE1, 0x20, 0xE4, 0x03, 0xE2}},
        RequestCase{"ReadIndexIsEscape", 'R', 0xE4, 0, 0, {0xE1, 0x20, 0xE4, 0x00, 0xE2}},
        RequestCase{
            "WriteLowIsEnd", 'S', 0x10, 0x00, 0xE2, {0xE1, 0x40, 0x10, 0x00, 0xE4, 0x03, 0xE2}},
        RequestCase{"WriteMinusTwo", 'S', 0x05, 0xFF, 0xFE, {0xE1, 0x40, 0x05, 0xFF, 0xFE, 0xE2}},
        RequestCase{
            "WriteHighIsStart", 'S', 0x01, 0xE1, 0x00, {0xE1, 0x40, 0x01, 0xE4, 0x02, 0x00, 0xE2}},
        RequestCase{"WriteLongestFrame",
                    'S',
                    0xE2,
                    0xE4,
                    0xE1,
                    {0xE1, 0x40, 0xE4, 0x03, 0xE4, 0x00, 0xE4, 0x02, 0xE2}},
        RequestCase{"WriteZero", 'S', 0x00, 0x00, 0x00, {0xE1, 0x40, 0x00, 0x00, 0x00, 0xE2}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(RequestEncodingBuffer, ClearsTheBufferBehindTheFrame) {
    RequestRecord r{};
    r[0] = kRequestRead;
    r[1] = 7;
    TransmitBuffer tx;
    tx.fill(0xAA);
    ASSERT_EQ(encodeRequest(r, tx), 4u);
    for (size_t i = 4; i < kClearedLength; ++i)
        EXPECT_EQ(tx[i], 0) << i;
}

TEST(RequestEncodingBuffer, UnknownRequestLetterGivesNoFrame) {
    RequestRecord r{};
    r[0] = 'X';
    TransmitBuffer tx{};
    EXPECT_EQ(encodeRequest(r, tx), 0u);
}

TEST(CommandFrame, NeverEscapesItsArguments) {
    TransmitBuffer tx{};
    ASSERT_EQ(encodeCommand(tx, kCmdStoreEeprom, 1, 0, 0), 6u);
    EXPECT_EQ(Bytes(tx.begin(), tx.begin() + 6), (Bytes{0xE1, 0x65, 0x01, 0x00, 0x00, 0xE2}));
    ASSERT_EQ(encodeCommand(tx, kCmdStartOnlineScope, 0xE1, 0xE2, 0xE4), 6u);
    EXPECT_EQ(Bytes(tx.begin(), tx.begin() + 6), (Bytes{0xE1, 0x63, 0xE1, 0xE2, 0xE4, 0xE2}));
}

struct DecodeCase {
    const char* name;
    Bytes reply;
    uint8_t high, low;
    Bytes decodedFrom2;  // the buffer from position 2 after decoding
};

class ReplyDecoding : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(ReplyDecoding, DecodesInPlace) {
    const auto& c = GetParam();
    ReceiveBuffer b{};
    std::copy(c.reply.begin(), c.reply.end(), b.begin());
    decodeReadReply(b);
    EXPECT_EQ(b[3], c.high);
    EXPECT_EQ(b[4], c.low);
    EXPECT_EQ(Bytes(b.begin() + 2, b.begin() + 2 + static_cast<long>(c.decodedFrom2.size())),
              c.decodedFrom2);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyDecoding,
    ::testing::Values(
        DecodeCase{"Plain",
                   {0xE1, 0x30, 0x0A, 0x12, 0x34, 0xE2},
                   0x12,
                   0x34,
                   {0x0A, 0x12, 0x34, 0xE2, 0, 0, 0}},
        DecodeCase{"EscapedStartHigh",
                   {0xE1, 0x30, 0x0A, 0xE4, 0x02, 0x05, 0xE2},
                   0xE1,
                   0x05,
                   {0x0A, 0xE1, 0x05, 0xE2, 0, 0, 0}},
        DecodeCase{"EscapedEscapeLow",
                   {0xE1, 0x30, 0x0A, 0x00, 0xE4, 0x00, 0xE2},
                   0x00,
                   0xE4,
                   {0x0A, 0x00, 0xE4, 0xE2, 0, 0, 0}},
        DecodeCase{"EscapedIndex",
                   {0xE1, 0x30, 0xE4, 0x03, 0x01, 0x02, 0xE2},
                   0x01,
                   0x02,
                   {0xE2, 0x01, 0x02, 0xE2}},
        DecodeCase{"LongestReply",
                   {0xE1, 0x30, 0xE4, 0x02, 0xE4, 0x03, 0xE4, 0x00, 0xE2},
                   0xE2,
                   0xE4,
                   {0xE1, 0xE2, 0xE4, 0xE2, 0, 0, 0}},
        // An escape followed by an unknown byte: the escape is dropped, the byte kept.
        DecodeCase{"UnknownEscapeDropped",
                   {0xE1, 0x30, 0x0A, 0xE4, 0x07, 0x08, 0xE2},
                   0x07,
                   0x08,
                   {0x0A, 0x07, 0x08, 0xE2}},
        // Without an end byte the scan stops after position 8.
        DecodeCase{
            "NoEndByte", {0xE1, 0x30, 1, 2, 3, 4, 5, 6, 7, 8, 9}, 2, 3, {1, 2, 3, 4, 5, 6, 7, 8}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyValue, SignDependsOnTheType) {
    ReceiveBuffer b{};
    const Bytes reply{0xE1, 0x30, 0x0A, 0xE4, 0x02, 0x05, 0xE2};
    std::copy(reply.begin(), reply.end(), b.begin());
    decodeReadReply(b);
    EXPECT_EQ(rawToNumber(replyRaw(b), false), 57605);
    EXPECT_EQ(rawToNumber(replyRaw(b), true), -7931);
    EXPECT_EQ(rawToNumber(0xFFFF, true), -1);
    EXPECT_EQ(rawToNumber(0xFFFF, false), 65535);
}

struct RawCase {
    double value;
    double scale;
    uint16_t raw;
};

class DisplayToRaw : public ::testing::TestWithParam<RawCase> {};

TEST_P(DisplayToRaw, RoundsHalvesToEven) {
    const auto& c = GetParam();
    EXPECT_EQ(displayToRaw(c.value, c.scale), c.raw) << c.value << " / " << c.scale;
}

INSTANTIATE_TEST_SUITE_P(Values, DisplayToRaw,
                         ::testing::Values(RawCase{10.0, 0.5, 20}, RawCase{10.25, 0.5, 20},
                                           RawCase{10.75, 0.5, 22}, RawCase{50.0, 0.5, 100},
                                           RawCase{2.5, 1, 2}, RawCase{3.5, 1, 4},
                                           RawCase{-0.5, 1, 0}, RawCase{-1.5, 1, 0xFFFE},
                                           RawCase{-2.5, 1, 0xFFFE}, RawCase{-32768, 1, 0x8000},
                                           RawCase{65535, 1, 0xFFFF}, RawCase{65536, 1, 0x0000},
                                           RawCase{1e12, 1, static_cast<uint16_t>(0x1000)}));

TEST(FrameAssembler, CollectsEscapedAndCommandFrames) {
    FrameAssembler a;
    std::vector<Bytes> frames;
    const Bytes stream{0x00, 0xE1, 0x20, 0xE4, 0x02, 0xE2,         // read of 0xE1
                       0xE1, 0x63, 0xE2, 0xE1, 0x01, 0xE2,         // command with raw args
                       0xE1, 0x40, 0x10, 0x00, 0xE4, 0x03, 0xE2};  // write of 0x00E2
    for (uint8_t byte : stream)
        if (a.feed(byte))
            frames.push_back(a.frame());
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_EQ(frames[0], (Bytes{0x20, 0xE1}));
    EXPECT_EQ(frames[1], (Bytes{0x63, 0xE2, 0xE1, 0x01}));
    EXPECT_EQ(frames[2], (Bytes{0x40, 0x10, 0x00, 0xE2}));
}

TEST(FrameCompleteness, NeedsAnEndByteAfterAStartByte) {
    const Bytes full{0xE1, 0x30, 0x01, 0x00, 0x05, 0xE2};
    EXPECT_TRUE(holdsCompleteFrame(full.data(), full.size()));
    EXPECT_FALSE(holdsCompleteFrame(full.data(), 5));
    const Bytes endOnly{0xE2, 0x30};
    EXPECT_FALSE(holdsCompleteFrame(endOnly.data(), endOnly.size()));
}

struct ReplyCase {
    const char* name;
    AwaitedReply awaited;
    uint8_t index;
    const char* bytes;   // as they arrive after the request
    const char* answer;  // the frame taken as the answer; empty for none
};

class ReplyParsing : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(ReplyParsing, TakesOnlyAWholeFrameAnsweringTheRequest) {
    const auto& c = GetParam();
    Bytes stream;
    ASSERT_TRUE(parseHex(c.bytes, stream));
    ReplyParser parser(c.awaited, c.index);
    size_t taken = 0;
    for (size_t i = 0; i < stream.size() && taken == 0; ++i)
        if (parser.feed(stream[i]))
            taken = i + 1;
    EXPECT_EQ(toHex(parser.frame(), parser.frameLength()), c.answer);
    // The answer ends with its end byte: nothing after it is looked at.
    EXPECT_TRUE(taken == 0 || stream[taken - 1] == kEndByte);
}

constexpr auto kRead = AwaitedReply::Read;
constexpr auto kVerdict = AwaitedReply::Verdict;
constexpr auto kAck = AwaitedReply::Ack;

INSTANTIATE_TEST_SUITE_P(
    Replies, ReplyParsing,
    ::testing::Values(
        ReplyCase{"ReadReply", kRead, 0x0A, "E1 30 0A 12 34 E2", "E1 30 0A 12 34 E2"},
        ReplyCase{"EscapedReadReply", kRead, 0xE1, "E1 30 E4 02 E4 03 E4 00 E2",
                  "E1 30 E4 02 E4 03 E4 00 E2"},
        ReplyCase{"NoiseBeforeTheStart", kRead, 0x0A, "00 30 E2 E1 30 0A 12 34 E2",
                  "E1 30 0A 12 34 E2"},
        ReplyCase{"FrameCutShortByANewStart", kRead, 0x0A, "30 E1 30 E1 30 0A 12 34 E2",
                  "E1 30 0A 12 34 E2"},
        ReplyCase{"OtherIndexThenOwn", kRead, 0x0A, "E1 30 0B 55 66 E2 E1 30 0A 12 34 E2",
                  "E1 30 0A 12 34 E2"},
        ReplyCase{"TailOfAnEarlierFrame", kRead, 0x0A, "0A 12 34 E2", ""},
        ReplyCase{"CutShort", kRead, 0x0A, "E1 30 0A 12", ""},
        ReplyCase{"ValueByteMissing", kRead, 0x0A, "E1 30 0A 12 E2", ""},
        ReplyCase{"OneByteTooMany", kRead, 0x0A, "E1 30 0A 12 34 56 E2", ""},
        ReplyCase{"LongerThanAnyReply", kRead, 0x0A, "E1 30 0A 12 34 56 78 9A BC DE E2", ""},
        ReplyCase{"BrokenEscape", kRead, 0x0A, "E1 30 0A E4 07 34 E2", ""},
        ReplyCase{"EscapeBeforeTheEnd", kRead, 0x0A, "E1 30 0A 12 34 E4 E2", ""},
        ReplyCase{"VerdictWhenAReadWasAsked", kRead, 0x0A, "E1 50 0A E2", ""},
        ReplyCase{"Accepted", kVerdict, 0x0A, "E1 50 0A E2", "E1 50 0A E2"},
        ReplyCase{"RefusedEscapedIndex", kVerdict, 0xE2, "E1 51 E4 03 E2", "E1 51 E4 03 E2"},
        ReplyCase{"VerdictOnAnotherIndex", kVerdict, 0x0A, "E1 50 0B E2", ""},
        ReplyCase{"VerdictWithoutIndex", kVerdict, 0x0A, "E1 50 E2", ""},
        ReplyCase{"ReadReplyWhenAWriteWasAsked", kVerdict, 0x0A, "E1 30 0A 12 34 E2", ""},
        ReplyCase{"Ack", kAck, 0, "E1 70 03 E2", "E1 70 03 E2"},
        ReplyCase{"AckAfterAStartedOne", kAck, 0, "E1 70 03 E1 70 00 E2", "E1 70 00 E2"},
        ReplyCase{"AckWithoutStatus", kAck, 0, "E1 70 E2", ""},
        ReplyCase{"AckWithoutEnd", kAck, 0, "E1 70 00", ""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HexText, RoundTrips) {
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(parseHex("e1 20 E4 02 e2", bytes));
    EXPECT_EQ(toHex(bytes.data(), bytes.size()), "E1 20 E4 02 E2");
    bytes.clear();
    EXPECT_TRUE(parseHex("E12041E2", bytes));
    EXPECT_EQ(bytes.size(), 4u);
    bytes.clear();
    EXPECT_FALSE(parseHex("E1 2G", bytes));
    EXPECT_FALSE(parseHex("", bytes));
}

}  // namespace
}  // namespace zrd::link
