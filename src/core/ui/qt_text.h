#pragma once

#include <QString>
#include <string>

namespace zrd {

// The core keeps UTF-8 std::string; the windows show QString.
inline QString qs(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace zrd
