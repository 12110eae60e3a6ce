#pragma once

// Fuzz input read the way the program reads its data files: decoded by its byte-order mark
// (Windows-1251 without one) and split into lines.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/text_file.h"

namespace zrd::fuzz {

inline std::vector<std::string> decodedLines(const uint8_t* data, size_t size) {
    return splitLines(decodeTextBytes(std::string_view(reinterpret_cast<const char*>(data), size)));
}

}  // namespace zrd::fuzz
