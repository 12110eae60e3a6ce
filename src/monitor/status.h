#pragma once

// The drive's status words: reading them, spreading them over the two state frames, the error
// and warning lists, and the monitor values.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "params/message_numbers.h"
#include "params/message_table.h"
#include "params/parameter_table.h"

namespace zrd::monitor {

// Bits of status word 240.
inline constexpr int kBitServoOn = 0;
inline constexpr int kBitErrors = 1;
inline constexpr int kBitWarnings = 2;
inline constexpr int kBitSpeedZero = 3;
inline constexpr int kBitGeneratorRunning = 5;
inline constexpr int kBitReady = 7;
inline constexpr int kBitPcControl = 9;
inline constexpr int kBitServoOnAlso = 14;
// Bit of word 243 (frame 1, column 0).
inline constexpr int kBitDriveOn = 1;

// Consecutive failed status ticks that are tolerated; the next one goes offline.
inline constexpr int kToleratedFailures = 5;

// Messages of the status display.
using params::kMsgErrors;
using params::kMsgErrorsPresent;
using params::kMsgNoErrors;
using params::kMsgNoErrorsList;
using params::kMsgNoWarningsList;
using params::kMsgOfflineDetail;
using params::kMsgOneError;
using params::kMsgOneWarning;
using params::kMsgOnline;
using params::kMsgOnlineDetail;
using params::kMsgStateOffline;
using params::kMsgWarnings;
using params::kMsgWarningsPresent;

inline constexpr int kFrameColumns = 3;
inline constexpr int kFrameBits = kFrameColumns * params::kBitsPerWord;

// The bits of one state frame: entry column × 16 + bit, and the words as last decoded.
struct FrameBits {
    std::array<uint8_t, kFrameBits> bits{};
    std::array<uint16_t, kFrameColumns> words{};

    // Spreads a word (low byte, high byte as they arrive) over one column.
    void decode(int column, uint8_t low, uint8_t high);
    void clear(int column);
    [[nodiscard]] bool bit(int column, int b) const { return bits.at(column * 16 + b) != 0; }
};

// Names of the set bits of one column, in ascending order; an unnamed bit gives an empty name
// but still counts.
std::vector<std::string> setBitNames(const FrameBits& frame, int column,
                                     const params::ParameterModel::BitTable& names,
                                     std::string_view language);

// A set bit of a status word as scripts read it: its number in the word, the data set's
// mnemonic (empty when the data set does not name the bit) and its description, "bit N" for
// an unnamed bit.
struct SetBit {
    int bit = 0;
    std::string mnemonic;
    std::string text;
};

// The set bits of one column, in ascending order, every one named.
std::vector<SetBit> setBits(const FrameBits& frame, int column,
                            const params::ParameterModel::BitTable& names,
                            std::string_view language);

// The count text of the error (or warning) field for n ≥ 1 set bits.
std::string countText(int n, bool errors, const params::MessageTable& messages,
                      std::string_view language);

// Text of the parameter-set state; nullopt leaves the field as it is.
std::optional<std::string> setStateText(int state);

// What one status tick found, for the front end to show.
struct StatusTick {
    enum class Outcome { Skipped, Online, Tolerated, WentOffline } outcome = Outcome::Skipped;
    bool readErrors = false;    // word 241 was read (or its column cleared)
    bool readWarnings = false;  // word 242 likewise
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
    std::string errorCount;    // empty without errors
    std::string warningCount;  // empty without warnings
};

// The monitor fields, read by the fourteen reads of one monitor tick.
struct MonitorValues {
    double speedCommand = 0, speedActual = 0;
    double currentCommand = 0, currentActual = 0;
    double torqueCommand = 0, torqueActual = 0;
    double positionCommand = 0, positionActual = 0;
    double analogIn = 0, pulseIn = 0, followError = 0;
    std::string direction;  // " +" or " -"
};

// Revolutions × counts per revolution + counts.
inline double positionCounts(double revolutions, double encoderCounts, double counts) {
    return revolutions * encoderCounts + counts;
}
inline const char* directionText(double pulseFrequency) {
    return pulseFrequency >= 0 ? " +" : " -";
}

// The composed inversion value of sixteen boxes.
uint16_t inversionValue(const std::array<bool, 16>& boxes);

}  // namespace zrd::monitor
