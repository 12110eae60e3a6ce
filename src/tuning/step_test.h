#pragma once

// The step test as one run: the checks that the loop can take a step, the settings it will
// overwrite kept, the generator's square wave written, an offline record armed for the
// generator's start, the generator started once the drive acknowledged the record's start, the
// record read back and measured, and the generator's and the scope's settings put back however
// the run ends (done, failed, cancelled, or the link lost).
//
// How the front ends drive it: start() runs the short exchanges and arms the record; while
// listening() they watch the port and call onReadable() when bytes wait, and checkDeadline()
// at deadline(); cancel() abandons. A poll()-based front end calls runStepRecord(). Once
// phase() is Ended, outcome() tells the figures or why there are none.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "scope/offline_capture.h"
#include "scope/oscillogram.h"
#include "session/parameter_access.h"
#include "tuning/biquad.h"
#include "tuning/step_response.h"

namespace zrd::tuning {

inline constexpr double kDefaultStepRpm = 100;
// The record's channels: the speed command, the actual speed, the current command, and the
// user's fourth.
inline constexpr int kStepCommandChannel = 1;
inline constexpr int kStepActualChannel = 2;
inline constexpr int kStepCurrentChannel = 3;
inline constexpr const char* kStepCommandSignal = "VSET";
inline constexpr const char* kStepActualSignal = "VACT";
inline constexpr const char* kStepCurrentSignal = "ISET";
// An armed record that has not begun this long after its record time is given up: the
// generator's start begins it at once.
inline constexpr double kStepArmedSlackS = 10;

struct StepSettings {
    double amplitudeRpm = kDefaultStepRpm;  // an even number of rpm other than 0
    double baseRpm = 0;
    int tickCode = 0;      // 0: the fastest
    int fourthSignal = 0;  // the scope signal of channel 4; 0: none
};

// One filter slot as the drive ran it.
struct FilterSlotState {
    int type = 0;  // 0: off
    double frequencyHz = 0;
    double quality = 0;
    double gainDb = 0;
};

// The loop's settings at the time of a run.
struct LoopSettings {
    double kpv = 0;  // mA/rpm
    double kiv = 0;  // ms
    // nullopt: the data set has no such slot
    std::array<std::optional<FilterSlotState>, kFilterSlots> filters{};
};

enum class StepFailure {
    None,
    MissingParameter,   // the data set lacks `parameter`
    NoAnswer,           // `parameter` was not answered
    NotSpeedMode,       // `operatingMode` tells what "OPMOD" held; nothing written
    ServoOff,           // message 77 shown; nothing written
    SourceNotInternal,  // message 76 shown; nothing written
    WaveRefused,        // the generator cannot make the step (its message shown); nothing written
    WaveNotTaken,       // the drive did not take the generator's `parameter`
    SetupNotTaken,      // the drive did not take the recorder's `parameter`
    StartNotSent,       // the record's start frame was not written (message 7 shown)
    GeneratorNotStarted,
    RecordIncomplete,  // see recordEnd
    NoStep,            // the record shows no step of the command
    Cancelled,
    LinkLost,  // the port hung up before the record (the link's message shown)
    Busy,      // another exchange holds the link; nothing sent
};

struct StepOutcome {
    StepFailure failure = StepFailure::None;
    std::string parameter;
    double operatingMode = 0;
    int waveRefusal = 0;  // WaveRefused: the message shown (0: a field that is no number)
    scope::OfflineEnd recordEnd = scope::OfflineEnd::None;
    LoopSettings loop;
    std::optional<double> currentLimitA;
    std::optional<StepFigures> figures;
    // What was not put back: nothing at all (the link lost), or these parameters.
    bool restoreSkipped = false;
    std::vector<std::string> notRestored;
    bool generatorNotStopped = false;
};

// A message of the program for an outcome whose cause has not been shown yet: its number and
// arguments; nullopt when there is none (done, or the callee showed it).
struct StepMessage {
    int number = 0;
    std::vector<std::string> arguments;
    std::string appended;  // after the text ("... for the parameter " + the name)
    bool shown = false;    // the exchange that failed showed it already
};
[[nodiscard]] std::optional<StepMessage> failureMessage(const StepOutcome& outcome);
// The message about what was not put back; nullopt when everything was.
[[nodiscard]] std::optional<StepMessage> restoreMessage(const StepOutcome& outcome);
// The record end as the messages name it ("drive fell silent", "link lost", ...).
[[nodiscard]] const char* recordEndText(scope::OfflineEnd end);

enum class StepPhase { Idle, Armed, Reading, Ended };

class StepTest {
public:
    StepTest(link::DriveLink& link, session::ParameterAccess& access, params::ParameterModel& model,
             const params::MessageTable& messages);
    ~StepTest();
    StepTest(const StepTest&) = delete;
    StepTest& operator=(const StepTest&) = delete;

    // The checks, the reads of the loop's settings and of what the step overwrites, the wave
    // and the recorder's setup written, the record armed. False when the run ended already
    // (outcome() says why; what was written is put back).
    [[nodiscard]] bool start(const StepSettings& settings, scope::CaptureClock::time_point now);
    void onReadable(scope::CaptureClock::time_point now);
    void checkDeadline(scope::CaptureClock::time_point now);
    [[nodiscard]] std::optional<scope::CaptureClock::time_point> deadline() const;
    // Abandons a run that listens; the settings are put back.
    void cancel();

    [[nodiscard]] bool listening() const { return m_capture && m_capture->listening(); }
    [[nodiscard]] StepPhase phase() const;
    [[nodiscard]] const StepOutcome& outcome() const { return m_outcome; }
    // The record of the last run (the header's stamps are the front end's).
    [[nodiscard]] scope::Oscillogram& record() { return *m_record; }
    [[nodiscard]] const scope::Oscillogram& record() const { return *m_record; }
    [[nodiscard]] const std::optional<scope::OfflineCapture>& capture() const { return m_capture; }

private:
    [[nodiscard]] bool checkAndPrepare(const StepSettings& settings);
    [[nodiscard]] std::optional<double> read(const char* mnemonic);
    [[nodiscard]] std::optional<LoopSettings> readLoop();
    [[nodiscard]] bool readCurrentLimit();
    [[nodiscard]] bool takeBackup();
    [[nodiscard]] bool writeStep(const StepSettings& settings);
    // After the capture worked: the generator's start once the drive took the record's start,
    // or the run's end once the capture no longer listens.
    void afterCaptureWork();
    void fail(StepFailure failure, std::string parameter = {});
    void finish();
    void restore();
    void measure();

    link::DriveLink& m_link;
    session::ParameterAccess& m_access;
    params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    std::unique_ptr<scope::Oscillogram> m_record;
    std::optional<scope::OfflineCapture> m_capture;
    std::vector<std::pair<std::string, double>> m_backup;
    StepOutcome m_outcome;
    std::optional<scope::CaptureClock::time_point> m_giveUpAt;
    bool m_running = false;
    bool m_generatorStarted = false;
    bool m_cancelled = false;
    bool m_ended = false;
};

// Runs an armed step test to its end on the caller's thread (zrdctl): sleeps in poll() on the
// port until bytes arrive or the deadline comes; `afterWake` runs after every wake. False when
// waiting on the port failed (the run is abandoned then; the port's lastError() says why).
[[nodiscard]] bool runStepRecord(StepTest& test, link::SerialPort& port,
                                 const std::function<void()>& afterWake = {});

// The values of a record's channel, one per sample.
[[nodiscard]] std::vector<double> recordChannel(const scope::Oscillogram& record, int channel);

// A value the user typed for a parameter, written as the edit dialog writes it: checked against
// the limits (message 85 names them), then written under the link-busy flag with what follows
// the write. Nothing is written while the link is busy or for a name the data set lacks.
enum class EnteredWrite { Written, OutsideLimits, Busy, Missing };
EnteredWrite writeEnteredValue(link::DriveLink& link, session::ParameterAccess& access,
                               params::ParameterModel& model, const params::TypeTables& tables,
                               const std::string& mnemonic, double value);

// One run of a series as the figures table and the export show it.
struct StepRunSummary {
    std::string name;
    LoopSettings loop;
    StepFigures figures;
};
// The figures of the runs as CSV: a header line, then one line per run (name, KPV, KIV, the
// active filters, the figures; "." decimals, empty for a time never reached), CR LF.
[[nodiscard]] std::string figuresCsv(std::span<const StepRunSummary> runs);
// The active filter slots in short: "1: type 2, 250 Hz; 3: type 1, 1000 Hz"; "none".
[[nodiscard]] std::string filtersText(const LoopSettings& loop);

}  // namespace zrd::tuning
