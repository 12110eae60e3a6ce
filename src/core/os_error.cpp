#include "core/os_error.h"

#include <cerrno>
#include <cstring>

namespace zrd {

std::string osErrorText(int error) {
    // strerror_r in its GNU form may return a static text instead of filling the buffer.
    char buffer[256] = {};
    const char* text = strerror_r(error, buffer, sizeof buffer);
    return std::string(text) + " (errno " + std::to_string(error) + ")";
}

std::string lastOsErrorText() {
    return osErrorText(errno);
}

}  // namespace zrd
