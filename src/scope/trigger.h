#pragma once

// The trigger of the offline scope: its settings are drive parameters ("TRGTYP", "TRGSRC",
// "TRGLEV", "TRGPOS"); the level is shown in the source channel's units.

#include <optional>
#include <string_view>

#include "link/drive_link.h"
#include "params/parameter_table.h"
#include "scope/offline_capture.h"
#include "scope/oscillogram.h"
#include "session/parameter_access.h"

namespace zrd::scope {

// The typed level must lie within ±30000; the pre-trigger position within 0..2047.
inline constexpr double kTriggerLevelLimit = 30000.0;
inline constexpr int kLastTriggerPosition = kLastSampleIndex;
[[nodiscard]] bool levelInRange(double typed);
[[nodiscard]] bool positionInRange(double typed);

// The drive-side level of a typed level: typed / scale, or as typed when the scale is 0.
[[nodiscard]] double levelToDrive(double typed, double levelScale);
// The text value of a drive-side level: raw × scale (raw when the scale is 0).
[[nodiscard]] double levelFromDrive(double raw, double levelScale);
// A typed level re-expressed for a new source: the drive-side level stays the same.
[[nodiscard]] double convertLevel(double typed, double oldScale, double newScale);

// The trigger as the value table holds it.
struct TriggerSettings {
    TriggerType type = TriggerType::None;
    int source = 1;         // "TRGSRC" 1..4
    double level = 0.0;     // "TRGLEV" as stored (drive-side)
    double position = 0.0;  // "TRGPOS"
};
// Reads the trigger from the value table (missing parameters keep the defaults; a stored
// type outside 0..4 reads as none, a source outside 1..4 as 1).
[[nodiscard]] TriggerSettings triggerFromTable(const params::ParameterModel& model);

// The offline settings of the value table: tick code ("RCFREQ" 0..9) and the signals of
// channels 1..4 ("CH1SEL".."CH4SEL"); nullopt where the table has no valid value.
struct OfflineTableSettings {
    std::optional<int> tickCode;
    std::array<std::optional<int>, kChannelCount> channelSignals{};
};
[[nodiscard]] OfflineTableSettings offlineFromTable(const params::ParameterModel& model);

// The writes of the trigger panel, each under the link-busy flag (false when the link was busy
// or the drive did not accept):
// - the edge buttons: "TRGLEV" (typed / scale), "TRGTYP", "TRGSRC" = source, all three always;
// - no trigger, full buffer, generator: "TRGTYP" when it differs;
// - the level field: "TRGLEV" when in range and it differs (out of range: nothing, true);
// - the position field: "TRGPOS" when in range and it differs.
bool writeEdgeTrigger(link::DriveLink& link, session::ParameterAccess& access,
                      params::ParameterModel& model, TriggerType type, int source,
                      double typedLevel, double levelScale);
bool writeTriggerType(link::DriveLink& link, session::ParameterAccess& access,
                      params::ParameterModel& model, TriggerType type);
bool writeTriggerLevel(link::DriveLink& link, session::ParameterAccess& access,
                       params::ParameterModel& model, double typedLevel, double levelScale);
bool writeTriggerPosition(link::DriveLink& link, session::ParameterAccess& access,
                          params::ParameterModel& model, double typedPosition);

// Everything `zrdctl scope offline` sets before it arms: "OSCMOD" = 0, "RCFREQ", "CH1SEL"..
// "CH4SEL" and the trigger; the oscillogram's tick code and channels follow. False (with the
// failing mnemonic in `failed`) when a write was not accepted.
struct OfflineSetup {
    int tickCode = 0;
    std::array<int, kChannelCount> channelSignals{};
    TriggerType trigger = TriggerType::None;
    int source = 1;
    double typedLevel = 0.0;  // in the source channel's units
    int position = 0;
};
bool writeOfflineSetup(link::DriveLink& link, session::ParameterAccess& access,
                       params::ParameterModel& model, Oscillogram& oscillogram,
                       const OfflineSetup& setup, std::string& failed);

}  // namespace zrd::scope
