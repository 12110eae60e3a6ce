#pragma once

// What the tests that excite the speed loop (the step test, the tuner) check and touch: the
// drive must run the speed loop on its internal command with no error, and the generator's and
// the offline recorder's settings they overwrite are kept and put back.

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"

namespace zrd::tuning {

inline constexpr int kSpeedModeValue = 2;
inline constexpr const char* kModeParameter = "OPMOD";
inline constexpr const char* kSourceParameter = "INST";
// The command sources that are not internal.
inline constexpr int kSourcePulse = 2;
inline constexpr int kSourceAnalog = 3;
// The state word with the servo-on and error bits.
inline constexpr int kExcitationStateWord = 240;
inline constexpr const char* kExcitationStateWordName = "status word 240";
// The generator's signal and the recorder.
inline constexpr const char* kExcitationTouched[] = {
    "IIT",    "IIP1V",  "IIP2V",  "IIP3V",  "IIP4V",  "IIP1U",  "IIP2U",
    "IIP3U",  "IIP4U",  "PCRT",   "OSCMOD", "RCFREQ", "CH1SEL", "CH2SEL",
    "CH3SEL", "CH4SEL", "TRGTYP", "TRGSRC", "TRGLEV", "TRGPOS"};
// The current limits, the smallest of which counts as the limit reached.
inline constexpr const char* kCurrentLimitParameters[] = {"IFL", "ILIMP", "ILIMN"};

// A read of one parameter's value from the drive; nullopt when it failed (the caller's read
// records why).
using ExcitationRead = std::function<std::optional<double>(const char* mnemonic)>;

// Why the loop may not be excited, checked before anything is written.
enum class ExcitationVerdict {
    Ok,
    ReadFailed,        // the read said why
    NotSpeedMode,      // `operatingMode` holds what the drive runs
    MissingStateWord,  // the data set has no parameter for it
    StateWordUnanswered,
    DriveError,
    ServoOff,           // message 77 shown
    SourceNotInternal,  // message 76 shown
};
struct ExcitationCheck {
    ExcitationVerdict verdict = ExcitationVerdict::Ok;
    double operatingMode = 0;
};
// Speed mode, the state word's servo and (when `errorRefuses`) error bits, the internal
// command source.
[[nodiscard]] ExcitationCheck checkExcitation(link::DriveLink& link, params::ParameterModel& model,
                                              const params::MessageTable& messages,
                                              const ExcitationRead& read, bool errorRefuses);

// The values of the touched parameters the data set has, in order; false at the first read
// that fails.
[[nodiscard]] bool readTouched(const params::ParameterModel& model, const ExcitationRead& read,
                               std::vector<std::pair<std::string, double>>& backup);
// The smallest of the current limits the data set has and the drive sets (above 0) into
// `limit`; false at the first read that fails.
[[nodiscard]] bool readCurrentLimit(const params::ParameterModel& model, const ExcitationRead& read,
                                    std::optional<double>& limit);

}  // namespace zrd::tuning
