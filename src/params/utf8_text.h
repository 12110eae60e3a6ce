#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace zrd::params {

// The first `count` characters (not bytes) of a UTF-8 text.
inline std::string utf8Prefix(std::string_view text, size_t count) {
    size_t end = 0;
    for (size_t chars = 0; end < text.size() && chars < count; ++chars) {
        ++end;
        // Continuation bytes belong to the character before them.
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
            ++end;
    }
    return std::string(text.substr(0, end));
}

}  // namespace zrd::params
