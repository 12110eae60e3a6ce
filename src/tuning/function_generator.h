#pragma once

// The drive's function generator: the signal shapes, the units that follow the operating mode,
// the checks and write order of "Write", and the generator's commands.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "session/parameter_access.h"

namespace zrd::tuning {

// Signal types as "IIT" numbers them (a stored 0 shows as constant).
enum class WaveType { Constant = 1, Square = 2, Sine = 3, Chirp = 4 };
[[nodiscard]] WaveType waveTypeOfStored(double iit);

// Amplitude in current units: written as A / 0.01 × 0.7071 (RMS-scaled); the offset as A / 0.01.
inline constexpr double kCurrentFactor = 0.01;
inline constexpr double kRmsFactor = 0.7071;
// The amplitude limit before the factor (so ±60 A in current units).
inline constexpr double kAmplitudeLimit = 6000.0;

// Unit flags: amplitude/offset 0 first button (rev/min, counts/ms), 1 counts/second; time 0 ms,
// 1 s, 2 min.
struct WaveUnits {
    int amplitude = 0;
    int time = 0;
};

// The mode the units follow: operating mode 1 current, 2 speed, 3 position; the command-source
// flag is set when "INST" is 0. Current units apply in mode 1 or with the flag set.
struct GeneratorMode {
    int operatingMode = 2;
    bool commandSourceFlag = false;
    [[nodiscard]] bool currentUnits() const { return operatingMode == 1 || commandSourceFlag; }
    [[nodiscard]] double amplitudeFactor() const { return currentUnits() ? kCurrentFactor : 1.0; }
};

// The window's fields as typed (the chirp's first time field is "period", its second "width").
struct WaveFields {
    WaveType type = WaveType::Constant;
    std::string amplitude;
    std::string offset;
    std::string period;
    std::string width;
    std::string repeat;
    WaveUnits units;
};

// The fields of a type loaded from the value table, in the mode's units. In current units the
// amplitude shows stored / 0.7071 (truncated to three decimals) × 0.01 and the offset stored ×
// 0.01: each the inverse of what Write sends, so a load-and-write cycle keeps the values.
[[nodiscard]] WaveFields loadWave(const params::ParameterModel& model, WaveType type,
                                  const GeneratorMode& mode);

// One parameter write of "Write", in order.
struct WaveWrite {
    std::string mnemonic;
    double value = 0.0;
};
struct WavePlan {
    std::vector<WaveWrite> writes;
    bool chirpCommand = false;  // send "h" after the writes
};
// Why "Write" sends nothing: a message number (84 fraction outside current mode, 46 limit),
// the corrected amplitude text for 84, or a field that is not a number (its name).
struct WaveRefusal {
    int message = 0;
    std::optional<std::string> correctedAmplitude;
    std::string badField;  // "amplitude", "offset", "period", "width", "repeat"; empty: message
};
[[nodiscard]] std::variant<WavePlan, WaveRefusal> planWave(const WaveFields& fields,
                                                           const GeneratorMode& mode);

// How a generator command ended.
enum class CommandOutcome {
    Accepted,    // "p" with a status other than 3, or any other answer
    NotWritten,  // message 10
    NoAnswer,    // chirp: message 47; start/stop: no message of its own
    Refused,     // "p" 3: chirp message 48; start message 78
    Busy,        // the link was busy: nothing sent
    HungUp,      // the port went away (the link's message shown)
};

// Writes the plan with SetParam one parameter at a time (a refused write is reported by
// SetParam and does not stop the rest), then the chirp command "h" with its answer wait. Takes
// the link for the whole run; Busy when it was taken. `failed`, when given, receives the
// mnemonics whose write the drive refused or left unanswered, and those the database lacks.
CommandOutcome writeWave(link::DriveLink& link, session::ParameterAccess& access,
                         params::ParameterModel& model, const params::MessageTable& messages,
                         const WavePlan& plan, std::vector<std::string>* failed = nullptr);

// "Start FG" (0x60) and "Stop FG" (0x61) with their answer waits. `linkHeld`: the caller (an
// armed offline capture waiting for the generator) holds the link already, so the command goes
// out under its hold. Messages 10 and 78 shown here; 76/77 are the caller's checks.
CommandOutcome startGenerator(link::DriveLink& link, const params::ParameterModel& model,
                              const params::MessageTable& messages, bool linkHeld = false);
CommandOutcome stopGenerator(link::DriveLink& link, const params::ParameterModel& model,
                             const params::MessageTable& messages);

// Why "Start FG" is not allowed: message 77 (servo not enabled) or 76 (command source not
// internal); nullopt when it may start.
[[nodiscard]] std::optional<int> generatorStartRefusal(bool servoEnabled, bool internalSource);

}  // namespace zrd::tuning
