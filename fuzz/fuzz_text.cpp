// Data-file decoding and message-line splitting on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/text_file.h"
#include "params/message_table.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    for (const auto& line : zrd::splitLines(zrd::decodeTextBytes(bytes)))
        (void)zrd::params::parseMessageLine(line);
    (void)zrd::utf8ToCp1251(bytes);
    return 0;
}
