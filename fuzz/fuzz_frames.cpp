// Reply decoding and frame assembly on arbitrary bytes: never reads or writes outside the
// link's fixed buffers.
#include <cstddef>
#include <cstdint>

#include "link/frame_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace lk = zrd::link;
    lk::ReceiveBuffer rx{};
    for (size_t i = 0; i < size && i < rx.size(); ++i)
        rx[i] = data[i];
    lk::decodeReadReply(rx);
    (void)lk::replyRaw(rx);

    lk::FrameAssembler assembler;
    for (size_t i = 0; i < size; ++i)
        (void)assembler.feed(data[i]);
    (void)lk::holdsCompleteFrame(data, size);
    return 0;
}
