#pragma once

#include <array>
#include <optional>
#include <random>
#include <string_view>
#include <vector>

namespace zrd::app {

// Who may see the hidden menus. Service staff unlock them from the About box.
enum class AccessLevel { User, Special, Admin };

// The keys typed in the About box that open the hidden menus (see docs/user-guide.md).
inline constexpr std::string_view kSpecialSequence = "zrd";
inline constexpr std::string_view kAdminSequence = "qx7";

// Follows typed characters against one fixed sequence.
class UnlockSequence {
public:
    explicit UnlockSequence(std::string_view sequence) : m_sequence(sequence) {}

    // True when this character completes the sequence. A character that does not continue it
    // restarts the match; it still counts as a first character when it is one.
    bool feed(char c);
    void reset() { m_matched = 0; }

private:
    std::string_view m_sequence;
    size_t m_matched = 0;
};

// Both sequences of the About box, matched side by side.
class AccessUnlocker {
public:
    // The level a character unlocks, if any; both matches restart afterwards.
    std::optional<AccessLevel> feed(char c);

private:
    UnlockSequence m_special{kSpecialSequence};
    UnlockSequence m_admin{kAdminSequence};
};

// The serial number is kept in the drive as two 16-bit parameters (table positions 0 and 1).
struct SerialNumberWords {
    long long high = 0;  // number shifted right by 16 bits
    long long low = 0;   // number minus high × 65536
};

// Splits the number shown in the serial-number field into its two stored words.
SerialNumberWords splitSerialNumber(long long number);
// The serial-number field's number from the two stored values.
long long joinSerialNumber(double high, double low);

// One elliptic hole of the window outline, in window coordinates.
struct OutlineHole {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

inline constexpr int kOutlineHoleCount = 51;
inline constexpr int kOutlineHoleMin = 30;
inline constexpr int kOutlineHoleMax = 59;

// The holes of the perforated window outline: each ellipse 30..59 pixels in each direction,
// placed at random inside a window of the given size.
std::vector<OutlineHole> outlineHoles(std::mt19937& random, int windowWidth, int windowHeight);

}  // namespace zrd::app
