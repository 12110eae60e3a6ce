#pragma once

// The bytes a streaming drive sends: the acknowledge of the start command and the sample
// frames, decoded one byte at a time.
//
//   acknowledge   E1 70 status E2            (status 3: the drive refuses to stream)
//   sample        E1 10 d0 d1 d2 d3 E2       (data bytes escaped: E4 00 = E4, E4 02 = E1,
//                                             E4 03 = E2)

#include <array>
#include <cstddef>
#include <cstdint>

namespace zrd::scope {

// What a byte completed.
struct StreamEvent {
    enum class Kind {
        None,       // nothing complete yet, or a byte outside any frame (dropped)
        Ack,        // the acknowledge "p" with its status
        Sample,     // a sample frame with its four data bytes, escapes undone
        BadSample,  // a sample frame whose closing byte (or an escape) was wrong: dropped
    };
    Kind kind = Kind::None;
    uint8_t status = 0;
    std::array<uint8_t, 4> data{};
};

// A raw start byte never occurs inside a frame (it is escaped), so one that comes where a data
// or closing byte belongs drops the frame it cuts short and opens the next: a lost byte costs
// one sample, not two.
class SampleStreamDecoder {
public:
    [[nodiscard]] StreamEvent feed(uint8_t byte);
    void reset();

private:
    enum class State {
        Outside,    // waiting for a start byte
        Code,       // after the start byte
        AckStatus,  // after E1 70
        AckTail,    // after the status: one byte dropped
        Data,       // reading the four data bytes
        Close,      // awaiting the end byte
    };

    // A frame cut short or broken: dropped; a start byte opens the next.
    [[nodiscard]] StreamEvent broken(uint8_t byte);

    State m_state = State::Outside;
    bool m_escape = false;
    size_t m_count = 0;
    std::array<uint8_t, 4> m_data{};
};

// The raw value of a channel from its two data bytes: signed 16 bits for a signal of type
// "INT", else unsigned.
[[nodiscard]] int rawValue(uint8_t high, uint8_t low, bool isSigned);

}  // namespace zrd::scope
