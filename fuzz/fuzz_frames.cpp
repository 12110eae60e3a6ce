// Reply decoding, reply picking and frame assembly on arbitrary bytes: never reads or writes
// outside the link's fixed buffers.
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

    for (const auto awaited :
         {lk::AwaitedReply::Read, lk::AwaitedReply::Verdict, lk::AwaitedReply::Ack}) {
        lk::ReplyParser parser(awaited, size > 0 ? data[0] : 0);
        for (size_t i = 0; i < size; ++i)
            if (parser.feed(data[i]))
                (void)lk::toHex(parser.frame(), parser.frameLength());
    }
    return 0;
}
