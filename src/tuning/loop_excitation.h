#pragma once

// What the tests that excite the speed loop (the step test, the tuner) check and touch: the
// drive must run the speed loop on its internal command with no error, and the generator's and
// the offline recorder's settings they overwrite are kept and put back.

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

}  // namespace zrd::tuning
