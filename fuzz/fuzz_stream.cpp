// The sample stream decoder of both oscilloscopes on arbitrary bytes: every event it reports
// comes from a whole frame, and no byte sequence makes it read or write outside its frame. The
// offline record's data frames are decoded on as the capture does.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "scope/offline_capture.h"
#include "scope/sample_stream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace sc = zrd::scope;
    sc::SampleStreamDecoder decoder;
    for (size_t i = 0; i < size; ++i) {
        const sc::StreamEvent event = decoder.feed(data[i]);
        if (event.kind != sc::StreamEvent::Kind::Sample)
            continue;
        const auto sample = sc::decodeOfflineSample(std::span<const uint8_t, 4>(event.data));
        if (sample && (sample->channel < 1 || sample->channel > 4 || sample->sampleIndex < 0 ||
                       sample->sampleIndex > sc::kSampleIndexMask))
            std::abort();
    }
    return 0;
}
