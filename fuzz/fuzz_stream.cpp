// The sample stream decoder of both oscilloscopes on arbitrary bytes: every event it reports
// comes from a whole frame, and no byte sequence makes it read or write outside its frame.
#include <cstddef>
#include <cstdint>

#include "scope/sample_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    zrd::scope::SampleStreamDecoder decoder;
    for (size_t i = 0; i < size; ++i)
        (void)decoder.feed(data[i]);
    return 0;
}
