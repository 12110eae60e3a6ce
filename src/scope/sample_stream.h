#pragma once

// The bytes a streaming drive sends: the acknowledge of the start command and the sample
// frames, decoded one byte at a time.

#include <array>
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

class SampleStreamDecoder {
public:
    [[nodiscard]] StreamEvent feed(uint8_t byte);
    void reset();

private:
    // The implementation's state.
};

// The raw value of a channel from its two data bytes: signed 16 bits for a signal of type
// "INT", else unsigned.
[[nodiscard]] int rawValue(uint8_t high, uint8_t low, bool isSigned);

}  // namespace zrd::scope
