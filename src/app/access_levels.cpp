#include "app/access_levels.h"

#include <algorithm>

namespace zrd::app {

bool UnlockSequence::feed(char c) {
    if (m_sequence.empty())
        return false;
    if (c != m_sequence[m_matched]) {
        m_matched = 0;
        if (c != m_sequence[0])
            return false;
    }
    ++m_matched;
    if (m_matched < m_sequence.size())
        return false;
    m_matched = 0;
    return true;
}

std::optional<AccessLevel> AccessUnlocker::feed(char c) {
    const bool special = m_special.feed(c);
    const bool admin = m_admin.feed(c);
    if (!special && !admin)
        return std::nullopt;
    m_special.reset();
    m_admin.reset();
    return admin ? AccessLevel::Admin : AccessLevel::Special;
}

SerialNumberWords splitSerialNumber(long long number) {
    SerialNumberWords words;
    words.high = number >> 16;
    words.low = number - words.high * 65536;
    return words;
}

long long joinSerialNumber(double high, double low) {
    return static_cast<long long>(high) * 65536 + static_cast<long long>(low);
}

std::vector<OutlineHole> outlineHoles(std::mt19937& random, int windowWidth, int windowHeight) {
    std::uniform_int_distribution<int> size(kOutlineHoleMin, kOutlineHoleMax);
    std::vector<OutlineHole> holes;
    holes.reserve(kOutlineHoleCount);
    for (int i = 0; i < kOutlineHoleCount; ++i) {
        OutlineHole hole;
        hole.width = size(random);
        hole.height = size(random);
        // A window smaller than a hole still gets its holes, clipped at the edge.
        std::uniform_int_distribution<int> x(0, std::max(0, windowWidth - hole.width));
        std::uniform_int_distribution<int> y(0, std::max(0, windowHeight - hole.height));
        hole.x = x(random);
        hole.y = y(random);
        holes.push_back(hole);
    }
    return holes;
}

}  // namespace zrd::app
