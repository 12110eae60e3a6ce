// The command monitor's display, frame descriptions and the traffic recording parser on
// arbitrary bytes: nothing is stored past the frame array, no text parse goes astray.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "cmdmon/frame_display.h"
#include "cmdmon/port_reader.h"
#include "cmdmon/traffic_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    namespace cm = zrd::cmdmon;
    cm::FrameDisplay display;
    const cm::IndexNamer names = [](uint8_t index) { return index % 2 ? "P" : ""; };
    for (size_t at = 0; at < size; at += cm::kChunkBytes) {
        const size_t n = std::min(cm::kChunkBytes, size - at);
        for (const cm::ReceivedLine& line : display.feed(data + at, n).lines)
            (void)cm::describeFrame(cm::senderOf(line.bytes), line.bytes, names);
    }
    std::vector<cm::TrafficLine> lines;
    std::string error;
    if (cm::parseTraffic(std::string(reinterpret_cast<const char*>(data), size), "fuzz", lines,
                         error))
        for (const cm::TrafficLine& line : lines)
            (void)cm::formatTrafficLine(line);
    return 0;
}
