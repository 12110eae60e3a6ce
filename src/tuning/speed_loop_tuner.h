#pragma once

// The speed-loop tuner as one run: the checks that the loop may be excited, the settings it will
// overwrite kept, chirp records of the closed loop (speed command, current command, actual
// speed) in bands that cover the asked frequencies, the amplitude raised from small while the
// current and the speed stay inside their windows, the plant estimated and fitted, gains and
// notches proposed and predicted; with apply the proposal written, measured again and verified
// (a failed check puts the gains and filters back), and stored in the EEPROM when asked. The
// generator's and the scope's settings are put back however the run ends.
//
// How the front ends drive it, as the step test: start() runs the first short exchanges; while
// active() they watch the port and call onReadable() when bytes wait, and checkDeadline() at
// deadline(); cancel() abandons at any point. A poll()-based front end calls runTune(). progress()
// and phaseText() tell a window how far it is; once ended, outcome() and result() tell the rest.

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/drive_link.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "params/type_tables.h"
#include "scope/offline_capture.h"
#include "scope/oscillogram.h"
#include "session/parameter_access.h"
#include "tuning/filter_design.h"
#include "tuning/function_generator.h"
#include "tuning/loop_excitation.h"
#include "tuning/loop_proposal.h"
#include "tuning/plant_estimate.h"
#include "tuning/step_test.h"
#include "tuning/tune_result.h"

namespace zrd::tuning {

// The chirps run around this speed, out of standstill and its friction.
inline constexpr double kTuneBaseRpm = 150.0;
inline constexpr double kDefaultTuneAmplitudeRpm = 1000.0;
inline constexpr double kDefaultTuneFromHz = 10.0;
inline constexpr double kDefaultTuneToHz = 2000.0;
inline constexpr int kDefaultTuneFilters = 2;
// The amplitude is raised only while the current stays below this share of its limit.
inline constexpr double kTuneCurrentCeiling = 0.5;
// The verification's tolerances.
inline constexpr double kVerifyCrossoverShare = 0.15;
inline constexpr double kVerifyPhaseMarginSlackDeg = 5.0;
inline constexpr double kVerifyGainMarginSlackDb = 2.0;
inline constexpr double kVerifyClosedLoopDb = 2.0;
inline constexpr double kVerifyOvershootPoints = 10.0;
// A line in the current of the tuned loop's hold at the base speed above this share of the limit
// (and well above the rest of the spectrum) is an oscillation.
inline constexpr double kHoldLineShare = 0.01;

struct TuneSettings {
    LoopTargets targets;  // targets.crossoverHz: the crossover asked for; nullopt: "auto"
    double maxAmplitudeRpm = kDefaultTuneAmplitudeRpm;
    double fromHz = kDefaultTuneFromHz;
    double toHz = kDefaultTuneToHz;
    int maxFilters = kDefaultTuneFilters;
    bool apply = false;
    bool save = false;  // with apply: store in the EEPROM once verified
};

enum class TuneFailure {
    None,
    Busy,               // another exchange holds the link; nothing sent
    MissingParameter,   // the data set lacks `parameter`
    NoAnswer,           // `parameter` was not answered
    NotSpeedMode,       // nothing written
    ServoOff,           // nothing written
    SourceNotInternal,  // nothing written
    DriveError,         // the drive reports an error; nothing written
    BadRange,           // fromHz..toHz covers no band the recorder resolves; nothing written
    NotTaken,           // the drive did not take `parameter`
    GeneratorNotStarted,
    RecordIncomplete,     // see recordEnd
    TooLittleExcitation,  // at the largest amplitude allowed the response is buried in noise
    FitFailed,
    TargetsMissed,  // no set of gains meets the targets on the model: nothing applied
    VerifyFailed,   // see the result's checks; the previous gains and filters are back
    StepFailed,     // the verifying step gave no figures; the previous values are back
    SaveFailed,     // verified, but the EEPROM store failed
    Cancelled,
    LinkLost,
};

enum class TunePhase {
    Idle,
    Checking,
    Measuring,
    Fitting,
    Applying,
    Verifying,
    Stepping,
    Holding,
    Ended
};

struct TuneOutcome {
    TuneFailure failure = TuneFailure::None;
    std::string parameter;
    double operatingMode = 0;
    scope::OfflineEnd recordEnd = scope::OfflineEnd::None;
    int records = 0;             // chirp records taken
    double recordedSeconds = 0;  // their time on the drive's recorder
    double settledSeconds = 0;   // the waits for the loop to settle before them
    std::optional<double> currentLimitA;
};

// A message of the program for an outcome, as the step test gives them.
[[nodiscard]] std::optional<StepMessage> tuneFailureMessage(const TuneOutcome& outcome);
// What the user reads for a failure ("" for None).
[[nodiscard]] std::string tuneFailureText(const TuneOutcome& outcome);

// One record of a band: the sweep, the tick and the bins it serves.
struct TuneBand {
    int tickCode = 0;
    double sweepFromHz = 0;
    double sweepToHz = 0;
    double binsFromHz = 0;
    double binsToHz = 0;
};
// The bands that cover fromHz..toHz; empty when none does.
[[nodiscard]] std::vector<TuneBand> tuneBands(double fromHz, double toHz);

class SpeedLoopTuner {
public:
    SpeedLoopTuner(link::DriveLink& link, session::ParameterAccess& access,
                   params::ParameterModel& model, const params::MessageTable& messages,
                   const params::TypeTables& tables);
    ~SpeedLoopTuner();
    SpeedLoopTuner(const SpeedLoopTuner&) = delete;
    SpeedLoopTuner& operator=(const SpeedLoopTuner&) = delete;

    // The checks, the reads of what the run needs and overwrites, and the first exchanges of
    // the measurement. False when the run ended already (outcome() says why).
    [[nodiscard]] bool start(const TuneSettings& settings, scope::CaptureClock::time_point now);
    void onReadable(scope::CaptureClock::time_point now);
    void checkDeadline(scope::CaptureClock::time_point now);
    [[nodiscard]] std::optional<scope::CaptureClock::time_point> deadline() const;
    // Abandons the run: the generator stopped, the gains and filters written by it and the
    // generator's and scope's settings put back.
    void cancel();

    // The run goes on: the front end watches the port and the deadline.
    [[nodiscard]] bool active() const { return m_running; }
    [[nodiscard]] TunePhase phase() const { return m_phase; }
    // 0..1, for a progress bar, and what runs now.
    [[nodiscard]] double progress() const;
    [[nodiscard]] std::string phaseText() const;
    [[nodiscard]] const TuneOutcome& outcome() const { return m_outcome; }
    [[nodiscard]] const TuneResult& result() const { return m_result; }
    // The values from before the run of every parameter it touches, in the order read.
    [[nodiscard]] const std::vector<std::pair<std::string, double>>& backup() const {
        return m_backup;
    }

private:
    struct Recorded {
        TuneBand band;
        double tickS = 0;
        std::vector<double> r, u, y;
    };
    enum class Step { None, Settling, Recording, Stepping };

    [[nodiscard]] std::optional<double> read(const std::string& mnemonic);
    [[nodiscard]] bool checkDrive();
    [[nodiscard]] bool readKnowns();
    [[nodiscard]] bool readLoop();
    [[nodiscard]] bool takeBackup();
    [[nodiscard]] ExcitationRead readFromDrive();
    void beginPass(scope::CaptureClock::time_point now);
    // writeWave, and what the drive did not take once more.
    void writeWaveAgain(const WavePlan& plan, std::vector<std::string>& failed);
    void leadIn(scope::CaptureClock::time_point now);
    [[nodiscard]] bool writeChirp(const TuneBand& band);
    void armRecord(scope::CaptureClock::time_point now);
    void afterCaptureWork(scope::CaptureClock::time_point now);
    void recordDone(scope::CaptureClock::time_point now);
    void passDone(scope::CaptureClock::time_point now);
    void propose(scope::CaptureClock::time_point now);
    [[nodiscard]] bool writeLoop(const TunedLoop& loop, bool previous);
    void startStep(scope::CaptureClock::time_point now);
    void afterStepWork();
    void startHold(scope::CaptureClock::time_point now);
    void holdDone(const std::vector<double>& current, double tickS);
    void verify();
    [[nodiscard]] double settleSeconds() const;
    [[nodiscard]] PlantEstimate estimateOfPass() const;
    void fail(TuneFailure failure, std::string parameter = {});
    void finish();
    void restoreLoop();
    void restoreSettings();

    link::DriveLink& m_link;
    session::ParameterAccess& m_access;
    params::ParameterModel& m_model;
    const params::MessageTable& m_messages;
    const params::TypeTables& m_tables;
    TuneSettings m_settings;
    TuneOutcome m_outcome;
    TuneResult m_result;
    TunePhase m_phase = TunePhase::Idle;
    Step m_step = Step::None;
    bool m_running = false;
    bool m_cancelled = false;
    bool m_generatorStarted = false;
    bool m_loopWritten = false;
    bool m_recordGeneratorStarted = false;
    bool m_holding = false;  // the record is the hold at the base speed
    std::optional<VerifyCheck> m_holdCheck;

    PlantKnowns m_knowns;
    LoopSettings m_loopBefore;
    double m_speedLimitRpm = 0;
    std::vector<std::pair<std::string, double>> m_backup;
    std::vector<int> m_freeSlots;
    // Each slot's fields as the drive held them; nullopt: the data set has no such slot.
    std::array<std::optional<FilterFields>, kFilterSlots> m_slotsBefore{};

    std::vector<TuneBand> m_bands;
    size_t m_band = 0;
    int m_tries = 0;
    int m_pass = 0;  // 0: the measurement, 1: the verification
    double m_amplitudeRpm = 0;
    double m_currentPerRpm = 0;  // the largest current per rpm of amplitude seen in this pass
    double m_swingPerRpm = 0;    // the speed's swing per rpm of amplitude in the last band
    std::vector<Recorded> m_recorded;
    std::vector<Recorded> m_verifyRecords;
    std::optional<scope::CaptureClock::time_point> m_settleUntil;
    std::optional<scope::CaptureClock::time_point> m_giveUpAt;
    std::unique_ptr<scope::Oscillogram> m_record;
    std::optional<scope::OfflineCapture> m_capture;
    std::unique_ptr<StepTest> m_stepTest;
    LoopProposal m_proposal;
    ProposalRequest m_request;
};

// Runs a started tuner to its end on the caller's thread (zrdctl): sleeps in poll() on the port
// until bytes arrive or the deadline comes; `afterWake` runs after every wake (and may cancel).
// False when waiting on the port failed (the run is abandoned then).
[[nodiscard]] bool runTune(SpeedLoopTuner& tuner, link::SerialPort& port,
                           const std::function<void()>& afterWake = {});

}  // namespace zrd::tuning
