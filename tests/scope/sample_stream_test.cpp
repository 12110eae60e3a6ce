#include "scope/sample_stream.h"

#include <gtest/gtest.h>

#include <vector>

namespace zrd::scope {
namespace {

using Kind = StreamEvent::Kind;

// What the decoder reported: the kind, and the status or the two raw values.
struct Seen {
    Kind kind;
    int first = 0;
    int second = 0;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Seen& s) {
    return os << static_cast<int>(s.kind) << " " << s.first << " " << s.second;
}

TEST(SampleStreamDecoder, DecodesFramesAndDropsBrokenOnes) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        bool isSigned;
        std::vector<Seen> seen;
    };
    const std::vector<Case> cases = {
        {"a sample frame",
         {0xE1, 0x10, 0x01, 0x02, 0x7F, 0xFF, 0xE2},
         true,
         {{Kind::Sample, 258, 32767}}},
        {"escaped start, escape and end bytes inside the data",
         {0xE1, 0x10, 0xE4, 0x02, 0xE4, 0x00, 0xE4, 0x03, 0x05, 0xE2},
         false,
         {{Kind::Sample, 0xE1E4, 0xE205}}},
        {"INT 0xFF 0xFE is -2",
         {0xE1, 0x10, 0xFF, 0xFE, 0x80, 0x00, 0xE2},
         true,
         {{Kind::Sample, -2, -32768}}},
        {"any other type makes it 65534",
         {0xE1, 0x10, 0xFF, 0xFE, 0x80, 0x00, 0xE2},
         false,
         {{Kind::Sample, 65534, 32768}}},
        {"a wrong closing byte drops the sample, the next one follows",
         {0xE1, 0x10, 1, 2, 3, 4, 0x00, 0xE1, 0x10, 0, 5, 0, 6, 0xE2},
         false,
         {{Kind::BadSample}, {Kind::Sample, 5, 6}}},
        {"an unknown escape code drops the sample",
         {0xE1, 0x10, 0xE4, 0x07, 1, 2, 3, 0xE2, 0xE1, 0x10, 0, 7, 0, 8, 0xE2},
         false,
         {{Kind::BadSample}, {Kind::Sample, 7, 8}}},
        {"a start byte inside a frame opens the next frame",
         {0xE1, 0x10, 1, 2, 0xE1, 0x10, 0, 9, 0, 10, 0xE2},
         false,
         {{Kind::BadSample}, {Kind::Sample, 9, 10}}},
        {"a start byte in place of the closing byte opens the next frame",
         {0xE1, 0x10, 1, 2, 3, 4, 0xE1, 0x10, 0, 11, 0, 12, 0xE2},
         false,
         {{Kind::BadSample}, {Kind::Sample, 11, 12}}},
        {"an unescaped end byte inside the data cuts the frame",
         {0xE1, 0x10, 1, 0xE2, 3, 4, 0xE2},
         false,
         {{Kind::BadSample}}},
        {"the refusal", {0xE1, 0x70, 0x03, 0xE2}, false, {{Kind::Ack, 3}}},
        {"an acknowledge, its last byte dropped, then samples",
         {0xE1, 0x70, 0x00, 0xE2, 0xE1, 0x10, 0, 1, 0, 2, 0xE2},
         false,
         {{Kind::Ack, 0}, {Kind::Sample, 1, 2}}},
        {"noise and other replies are skipped",
         {0x00, 0x55, 0xE2, 0xE4, 0xE1, 0x30, 0x01, 0x02, 0x03, 0xE2, 0xE1, 0xE1, 0x10, 0, 3, 0, 4,
          0xE2},
         false,
         {{Kind::Sample, 3, 4}}},
    };
    for (const Case& c : cases) {
        SampleStreamDecoder decoder;
        std::vector<Seen> seen;
        for (const uint8_t byte : c.bytes) {
            const StreamEvent e = decoder.feed(byte);
            if (e.kind == Kind::Sample)
                seen.push_back({e.kind, rawValue(e.data[0], e.data[1], c.isSigned),
                                rawValue(e.data[2], e.data[3], c.isSigned)});
            else if (e.kind == Kind::Ack)
                seen.push_back({e.kind, e.status});
            else if (e.kind != Kind::None)
                seen.push_back({e.kind});
        }
        EXPECT_EQ(seen, c.seen) << c.name;
    }
}

}  // namespace
}  // namespace zrd::scope
