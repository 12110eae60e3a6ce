#include "tuning/speed_loop_tuner.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <variant>

#include "core/number_text.h"
#include "monitor/status.h"
#include "params/message_numbers.h"
#include "scope/scope_settings.h"
#include "scope/trigger.h"
#include "session/service_commands.h"
#include "session/status_poll.h"
#include "tuning/filter_design.h"
#include "tuning/frequency_response.h"
#include "tuning/function_generator.h"
#include "tuning/loop_excitation.h"

namespace zrd::tuning {
namespace {

namespace pm = zrd::params;
namespace sc = zrd::scope;

using Clock = sc::CaptureClock;

constexpr const char* kTuneGainParameter = "KPV";
constexpr const char* kTuneIntegralParameter = "KIV";
constexpr const char* kTuneTorqueConstant = "MKT";
constexpr const char* kTuneRotorInertia = "MJ";
constexpr const char* kTuneSpeedFilter = "VFILT";
constexpr const char* kTuneSpeedLimit = "VLIM";
constexpr double kMaPerA = 1000.0;
constexpr double kMsPerS = 1000.0;
constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;

// The bands: the recorder's tick and the bins each serves. A record holds one linear sweep, so
// a bin is weighed well only where the sweep passes it away from the record's ends: the sweep
// spans the bins over kSweepUsedShare of it, starting kSweepLeadShare before them.
struct BandEdge {
    int tickCode;
    double fromHz, toHz;
};
constexpr BandEdge kBandEdges[] = {
    {2, 0.0, 70.0}, {2, 70.0, 350.0}, {1, 350.0, 800.0}, {0, 800.0, 2000.0}};
constexpr double kSweepUsedShare = 0.7;
constexpr double kSweepLeadShare = 0.15;
constexpr double kLowestSweepHz = 1.0;
// The generator's frequencies are whole hertz up to this ("IIP3V", "IIP4V").
constexpr double kHighestSweepHz = 2000.0;
// Below the recorder's Nyquist frequency, except at the fastest tick, where the data set's
// limit is the Nyquist frequency itself.
constexpr double kNyquistShare = 0.9;
constexpr int kFastestTickCode = 0;
// A Welch segment of half a record: a resonance's width at 1 Hz resolution at 1 ms.
constexpr int kTuneSegment = 1024;

// The amplitude ladder: the first record at a small current, then aimed at kAimCurrentShare
// of the limit and kAimSwingShare of the base speed; a record is kept once it reaches
// kEnoughCurrentShare or kEnoughSwingShare, or the amplitude is at its largest.
constexpr double kFirstCurrentShare = 0.05;
constexpr double kFirstSwingShare = 0.4;
constexpr double kAimCurrentShare = 0.35;
constexpr double kAimSwingShare = 0.6;
constexpr double kEnoughCurrentShare = 0.15;
constexpr double kEnoughSwingShare = 0.4;
// The speed stays this far inside the base speed: the axis never turns round.
constexpr double kSwingCeiling = 0.8;
// The command stays this far inside the speed limit.
constexpr double kSpeedLimitShare = 0.9;
constexpr double kSmallestAmplitudeRpm = 2.0;
constexpr int kMostRecordsPerBand = 4;
// An armed record that has not come this long after its record time is given up.
constexpr double kArmedSlackS = 10.0;
// The loop settles at the base speed before a record: a few integral times.
constexpr double kShortestSettleS = 0.3;
constexpr double kLongestSettleS = 2.0;
constexpr double kSettleIntegralTimes = 6.0;
// The hold after the step: one record of about 2 s at the base speed.
constexpr TuneBand kHoldBand{2, 0.0, 0.0, 0.0, 0.0};
// A line stands this far above the median of the hold's current spectrum.
constexpr double kHoldLineOverMedian = 10.0;
// A measurement whose bins are mostly masked, or a model that misses it by more than this, is
// not tuned on.
constexpr double kLeastCoherentShare = 0.5;
constexpr double kLargestResidualDb = 3.0;
// The verifying step.
constexpr double kVerifyStepRpm = 100.0;
// Bins where |T| stays above this level tell nothing of the open loop's phase.
constexpr double kBandwidthLevelDb = -3.0;

// The tuner's own messages.
constexpr int kMsgTuneNotSpeedMode = 120;
constexpr int kMsgTuneDriveError = 121;
constexpr int kMsgTuneTooLittle = 122;
constexpr int kMsgTuneTargetsMissed = 123;
constexpr int kMsgTuneVerifyFailed = 124;
constexpr int kMsgTuneCancelled = 125;
constexpr int kMsgTuneFitFailed = 126;
constexpr int kMsgTuneRecordIncomplete = 127;
constexpr int kMsgTuneNotTaken = 128;

double decibels(double ratio) {
    return 20.0 * std::log10(std::max(ratio, 1e-300));
}

StepMessage tuneMessage(int number, std::vector<std::string> arguments = {},
                        std::string appended = {}, bool shown = false) {
    StepMessage m;
    m.number = number;
    m.arguments = std::move(arguments);
    m.appended = std::move(appended);
    m.shown = shown;
    return m;
}

std::string hzText(double hz) {
    return formatGeneral(std::round(hz * 10.0) / 10.0) + " Hz";
}

struct RecordFigures {
    double peakCurrentA = 0;
    double swingRpm = 0;
    bool limited = false;
};

RecordFigures figuresOfRecord(const std::vector<double>& u, const std::vector<double>& y,
                              double baseRpm, double limitA) {
    RecordFigures f;
    for (size_t i = 0; i < u.size(); ++i) {
        f.peakCurrentA = std::max(f.peakCurrentA, std::abs(u[i]));
        f.swingRpm = std::max(f.swingRpm, std::abs(y[i] - baseRpm));
    }
    f.limited = f.peakCurrentA >= kCurrentLimitShare * limitA;
    return f;
}

}  // namespace

std::vector<TuneBand> tuneBands(double fromHz, double toHz) {
    std::vector<TuneBand> bands;
    for (const BandEdge& e : kBandEdges) {
        const double nyquist = sc::offlineFrequency(e.tickCode) / 2.0;
        // Bins close to the Nyquist frequency carry what the record's sampling folds there.
        const double a = std::max(e.fromHz, fromHz);
        const double b = std::min({e.toHz, toHz, kNyquistShare * nyquist});
        if (!(b > a))
            continue;
        const double top = std::min(
            kHighestSweepHz, e.tickCode == kFastestTickCode ? nyquist : kNyquistShare * nyquist);
        const double span = (b - a) / kSweepUsedShare;
        TuneBand band;
        band.tickCode = e.tickCode;
        band.sweepFromHz = std::max(kLowestSweepHz, std::round(a - kSweepLeadShare * span));
        band.sweepToHz = std::min(top, std::round(band.sweepFromHz + span));
        band.binsFromHz = a;
        band.binsToHz = b;
        bands.push_back(band);
    }
    return bands;
}

SpeedLoopTuner::SpeedLoopTuner(link::DriveLink& link, session::ParameterAccess& access,
                               params::ParameterModel& model, const params::MessageTable& messages,
                               const params::TypeTables& tables)
    : m_link(link),
      m_access(access),
      m_model(model),
      m_messages(messages),
      m_tables(tables),
      m_record(std::make_unique<sc::Oscillogram>()) {}

SpeedLoopTuner::~SpeedLoopTuner() = default;

std::optional<double> SpeedLoopTuner::read(const std::string& mnemonic) {
    const std::optional<int> position = m_model.find(mnemonic);
    if (!position) {
        fail(TuneFailure::MissingParameter, mnemonic);
        return std::nullopt;
    }
    m_model.setCurrentParameter(*position);
    m_access.ReadParam();
    // A long run makes hundreds of exchanges: one lost answer is asked for again.
    if (m_access.lastReply() != link::kReplyRead && !m_link.state().hungUp)
        m_access.ReadParam();
    if (m_access.lastReply() != link::kReplyRead) {
        fail(TuneFailure::NoAnswer, mnemonic);
        return std::nullopt;
    }
    return m_model.value(*position);
}

void SpeedLoopTuner::fail(TuneFailure failure, std::string parameter) {
    // The first failure tells; a port that hung up on the way says more than the exchange.
    if (m_outcome.failure != TuneFailure::None && m_outcome.failure != TuneFailure::Cancelled)
        return;
    m_outcome.failure = m_link.state().hungUp ? TuneFailure::LinkLost : failure;
    m_outcome.parameter = std::move(parameter);
}

bool SpeedLoopTuner::start(const TuneSettings& settings, Clock::time_point now) {
    m_settings = settings;
    m_outcome = {};
    m_result = {};
    m_backup.clear();
    m_freeSlots.clear();
    m_slotsBefore = {};
    m_recorded.clear();
    m_verifyRecords.clear();
    m_capture.reset();
    m_stepTest.reset();
    m_cancelled = m_generatorStarted = m_loopWritten = m_holding = false;
    m_holdCheck.reset();
    m_pass = 0;
    m_running = true;
    m_phase = TunePhase::Checking;
    m_bands = tuneBands(settings.fromHz, settings.toHz);
    if (m_link.state().linkBusy) {
        fail(TuneFailure::Busy);
        finish();
        return false;
    }
    if (m_bands.empty()) {
        fail(TuneFailure::BadRange);
        finish();
        return false;
    }
    if (!checkDrive() || !readKnowns() || !readLoop() || !takeBackup()) {
        finish();
        return false;
    }
    beginPass(now);
    return m_running;
}

bool SpeedLoopTuner::checkDrive() {
    // Safety first: nothing is written unless the loop may be excited.
    const ExcitationCheck check =
        checkExcitation(m_link, m_model, m_messages, readFromDrive(), true);
    switch (check.verdict) {
        case ExcitationVerdict::Ok:
            return true;
        case ExcitationVerdict::ReadFailed:
            return false;
        case ExcitationVerdict::NotSpeedMode:
            m_outcome.operatingMode = check.operatingMode;
            fail(TuneFailure::NotSpeedMode);
            return false;
        case ExcitationVerdict::MissingStateWord:
            fail(TuneFailure::MissingParameter, kExcitationStateWordName);
            return false;
        case ExcitationVerdict::StateWordUnanswered:
            fail(TuneFailure::NoAnswer, kExcitationStateWordName);
            return false;
        case ExcitationVerdict::DriveError:
            fail(TuneFailure::DriveError);
            return false;
        case ExcitationVerdict::ServoOff:
            fail(TuneFailure::ServoOff);
            return false;
        case ExcitationVerdict::SourceNotInternal:
            fail(TuneFailure::SourceNotInternal);
            return false;
    }
    return false;
}

bool SpeedLoopTuner::readKnowns() {
    const auto mkt = read(kTuneTorqueConstant);
    const auto mj = mkt ? read(kTuneRotorInertia) : std::nullopt;
    const auto vfilt = mj ? read(kTuneSpeedFilter) : std::nullopt;
    const auto vlim = vfilt ? read(kTuneSpeedLimit) : std::nullopt;
    if (!vlim)
        return false;
    m_knowns.torqueConstantNcmPerA = *mkt;
    m_knowns.rotorInertiaKgCm2 = *mj;
    m_knowns.speedFilterHz = *vfilt;
    m_speedLimitRpm = *vlim;
    if (!readCurrentLimit(m_model, readFromDrive(), m_outcome.currentLimitA))
        return false;
    if (!m_outcome.currentLimitA) {
        fail(TuneFailure::MissingParameter, kCurrentLimitParameters[0]);
        return false;
    }
    return true;
}

bool SpeedLoopTuner::readLoop() {
    const auto kpv = read(kTuneGainParameter);
    const auto kiv = kpv ? read(kTuneIntegralParameter) : std::nullopt;
    if (!kiv)
        return false;
    m_loopBefore = {};
    m_loopBefore.kpv = *kpv;
    m_loopBefore.kiv = *kiv;
    m_backup.emplace_back(kTuneGainParameter, *kpv);
    m_backup.emplace_back(kTuneIntegralParameter, *kiv);
    m_result.before.kpvMaPerRpm = *kpv;
    m_result.before.kivMs = *kiv;
    for (int slot = 1; slot <= kFilterSlots; ++slot) {
        const std::vector<SlotParameter> parameters = slotParameters(m_model, slot);
        if (parameters.empty())
            continue;
        for (const SlotParameter& p : parameters) {
            const std::string name = filterMnemonic(slot, p.role);
            const std::optional<double> value = read(name);
            if (!value)
                return false;
            m_backup.emplace_back(name, *value);
        }
        const FilterFields fields = loadFilterSlot(m_model, slot);
        m_slotsBefore.at(static_cast<size_t>(slot - 1)) = fields;
        FilterSlotState state;
        state.type = static_cast<int>(fields.type);
        state.frequencyHz = fields.frequency;
        state.quality = fields.quality;
        state.gainDb = fields.gainDb;
        m_loopBefore.filters.at(static_cast<size_t>(slot - 1)) = state;
        if (fields.type == FilterType::Off)
            m_freeSlots.push_back(slot);
        else
            m_result.before.filters.push_back(
                {slot, state.type, state.frequencyHz, state.quality, state.gainDb});
    }
    return true;
}

bool SpeedLoopTuner::takeBackup() {
    return readTouched(m_model, readFromDrive(), m_backup);
}

ExcitationRead SpeedLoopTuner::readFromDrive() {
    return [this](const char* mnemonic) { return read(mnemonic); };
}

double SpeedLoopTuner::settleSeconds() const {
    const std::optional<int> kiv = m_model.find(kTuneIntegralParameter);
    const double integralS = kiv ? m_model.value(*kiv) / kMsPerS : 0.0;
    return std::clamp(kSettleIntegralTimes * integralS, kShortestSettleS, kLongestSettleS);
}

void SpeedLoopTuner::beginPass(Clock::time_point now) {
    m_phase = m_pass == 0 ? TunePhase::Measuring : TunePhase::Verifying;
    m_band = 0;
    m_tries = 0;
    m_currentPerRpm = 0;
    m_swingPerRpm = 0;
    (m_pass == 0 ? m_recorded : m_verifyRecords).clear();
    leadIn(now);
}

void SpeedLoopTuner::writeWaveAgain(const WavePlan& plan, std::vector<std::string>& failed) {
    (void)writeWave(m_link, m_access, m_model, m_messages, plan, &failed);
    if (failed.empty() || m_link.state().hungUp)
        return;
    // What the drive did not answer is written once more, the chirp command after it.
    WavePlan again;
    again.chirpCommand = plan.chirpCommand;
    for (const WaveWrite& w : plan.writes)
        if (std::find(failed.begin(), failed.end(), w.mnemonic) != failed.end())
            again.writes.push_back(w);
    failed.clear();
    (void)writeWave(m_link, m_access, m_model, m_messages, again, &failed);
}

void SpeedLoopTuner::leadIn(Clock::time_point now) {
    const double limitA = *m_outcome.currentLimitA;
    const std::optional<int> kpvAt = m_model.find(kTuneGainParameter);
    const double gainAPerRpm = kpvAt ? m_model.value(*kpvAt) / kMaPerA : 0.0;
    const double largest = std::max(
        kSmallestAmplitudeRpm,
        std::min(m_settings.maxAmplitudeRpm, kSpeedLimitShare * m_speedLimitRpm - kTuneBaseRpm));
    if (m_tries == 0) {
        // The first band starts small; the later ones from what the band before showed.
        double amplitude = 0;
        if (m_currentPerRpm <= 0.0) {
            const double byCurrent =
                gainAPerRpm > 0.0 ? kFirstCurrentShare * limitA / gainAPerRpm : largest;
            amplitude = std::min(byCurrent, kFirstSwingShare * kTuneBaseRpm);
        } else {
            amplitude = kAimCurrentShare * limitA / std::max(m_currentPerRpm, gainAPerRpm);
            if (m_swingPerRpm > 0.0)
                amplitude = std::min(amplitude, kAimSwingShare * kTuneBaseRpm / m_swingPerRpm);
        }
        m_amplitudeRpm = std::round(std::clamp(amplitude, kSmallestAmplitudeRpm, largest));
    }
    // The axis runs at the base speed before the record, so that the sweep starts from a
    // settled loop instead of a step out of standstill.
    WaveFields constant;
    constant.type = WaveType::Constant;
    constant.amplitude = formatGeneral(kTuneBaseRpm);
    GeneratorMode mode;
    mode.operatingMode = kSpeedModeValue;
    const auto planned = planWave(constant, mode);
    std::vector<std::string> failed;
    if (const auto* plan = std::get_if<WavePlan>(&planned))
        writeWaveAgain(*plan, failed);
    if (m_link.state().hungUp || !failed.empty() || !std::holds_alternative<WavePlan>(planned)) {
        fail(TuneFailure::NotTaken, failed.empty() ? std::string("IIP1V") : failed.front());
        finish();
        return;
    }
    CommandOutcome started = startGenerator(m_link, m_model, m_messages, false);
    if (started == CommandOutcome::NoAnswer)
        started = startGenerator(m_link, m_model, m_messages, false);
    if (started != CommandOutcome::Accepted) {
        fail(TuneFailure::GeneratorNotStarted);
        finish();
        return;
    }
    m_generatorStarted = true;
    m_step = Step::Settling;
    m_outcome.settledSeconds += settleSeconds();
    m_settleUntil = now + std::chrono::duration_cast<Clock::duration>(
                              std::chrono::duration<double>(settleSeconds()));
}

bool SpeedLoopTuner::writeChirp(const TuneBand& band) {
    WaveFields chirp;
    chirp.type = WaveType::Chirp;
    chirp.amplitude = formatGeneral(m_amplitudeRpm);
    chirp.offset = formatGeneral(kTuneBaseRpm);
    chirp.period = formatGeneral(band.sweepFromHz);
    chirp.width = formatGeneral(band.sweepToHz);
    // One sweep: the generator stops at the record's end and the axis ramps down.
    chirp.repeat = formatGeneral(1);
    GeneratorMode mode;
    mode.operatingMode = kSpeedModeValue;
    const auto planned = planWave(chirp, mode);
    std::vector<std::string> failed;
    if (const auto* plan = std::get_if<WavePlan>(&planned))
        writeWaveAgain(*plan, failed);
    if (m_link.state().hungUp || !failed.empty() || !std::holds_alternative<WavePlan>(planned)) {
        fail(TuneFailure::NotTaken, failed.empty() ? std::string("IIT") : failed.front());
        return false;
    }
    return true;
}

void SpeedLoopTuner::armRecord(Clock::time_point now) {
    m_settleUntil.reset();
    const TuneBand band = m_holding ? kHoldBand : m_bands.at(m_band);
    // The hold starts the lead-in's constant again: its record begins where the loop settled.
    if (!m_holding && !writeChirp(band)) {
        finish();
        return;
    }
    sc::OfflineSetup setup;
    setup.tickCode = band.tickCode;
    setup.trigger = sc::TriggerType::Generator;
    const auto signal = [&](const char* name) {
        return sc::findScopeSignal(m_model, name).value_or(0);
    };
    setup.channelSignals = {signal(kStepCommandSignal), signal(kStepActualSignal),
                            signal(kStepCurrentSignal), 0};
    std::string notTaken;
    if (!sc::writeOfflineSetup(m_link, m_access, m_model, *m_record, setup, notTaken) &&
        (m_link.state().hungUp ||
         !sc::writeOfflineSetup(m_link, m_access, m_model, *m_record, setup, notTaken))) {
        fail(TuneFailure::NotTaken, notTaken);
        finish();
        return;
    }
    m_capture.emplace(m_link, *m_record, m_model, m_messages);
    m_recordGeneratorStarted = false;
    if (!m_capture->start({sc::TriggerType::Generator, false}, now)) {
        fail(TuneFailure::RecordIncomplete);
        m_outcome.recordEnd = m_capture->end();
        finish();
        return;
    }
    m_step = Step::Recording;
    const auto armed =
        std::chrono::duration<double>(sc::recordSeconds(band.tickCode) + kArmedSlackS);
    m_giveUpAt = now + std::chrono::duration_cast<Clock::duration>(armed);
    afterCaptureWork(now);
}

void SpeedLoopTuner::afterCaptureWork(Clock::time_point now) {
    if (!m_capture)
        return;
    if (m_capture->listening()) {
        // Once the drive took the record's start, the generator's start goes out under the
        // capture's hold; before it, the command would take that acknowledge for its own.
        if (!m_recordGeneratorStarted && m_capture->phase() == sc::OfflinePhase::Armed &&
            m_capture->startAcknowledged()) {
            m_recordGeneratorStarted = true;
            if (startGenerator(m_link, m_model, m_messages, true) != CommandOutcome::Accepted) {
                m_capture->cancel();
                fail(TuneFailure::GeneratorNotStarted);
                finish();
            }
        }
        return;
    }
    m_outcome.recordEnd = m_capture->end();
    m_capture.reset();
    m_step = Step::None;
    m_giveUpAt.reset();
    if (m_cancelled) {
        fail(TuneFailure::Cancelled);
        finish();
        return;
    }
    if (m_outcome.recordEnd != sc::OfflineEnd::Complete) {
        fail(TuneFailure::RecordIncomplete);
        finish();
        return;
    }
    recordDone(now);
}

void SpeedLoopTuner::recordDone(Clock::time_point now) {
    ++m_outcome.records;
    ++m_tries;
    const TuneBand band = m_holding ? kHoldBand : m_bands.at(m_band);
    m_outcome.recordedSeconds += sc::recordSeconds(band.tickCode);
    const double tickS =
        m_record->header.tick > 0 ? m_record->header.tick : sc::offlineTick(band.tickCode);
    if (m_holding) {
        holdDone(recordChannel(*m_record, kStepCurrentChannel), tickS);
        verify();
        finish();
        return;
    }
    Recorded rec;
    rec.band = band;
    rec.tickS = tickS;
    rec.r = recordChannel(*m_record, kStepCommandChannel);
    rec.y = recordChannel(*m_record, kStepActualChannel);
    rec.u = recordChannel(*m_record, kStepCurrentChannel);
    const double limitA = *m_outcome.currentLimitA;
    const RecordFigures f = figuresOfRecord(rec.u, rec.y, kTuneBaseRpm, limitA);
    const double currentShare = f.peakCurrentA / limitA;
    const double swingShare = f.swingRpm / kTuneBaseRpm;
    const double largest = std::max(
        kSmallestAmplitudeRpm,
        std::min(m_settings.maxAmplitudeRpm, kSpeedLimitShare * m_speedLimitRpm - kTuneBaseRpm));
    // Each ratio towards its aim; the tighter one rules.
    const auto aimed = [&] {
        double a = largest;
        if (currentShare > 0.0)
            a = std::min(a, m_amplitudeRpm * kAimCurrentShare / currentShare);
        if (swingShare > 0.0)
            a = std::min(a, m_amplitudeRpm * kAimSwingShare / swingShare);
        return std::round(std::max(a, kSmallestAmplitudeRpm));
    };
    std::optional<double> again;
    if (f.limited || currentShare > kTuneCurrentCeiling || swingShare > kSwingCeiling) {
        const double lower = aimed();
        if (lower < m_amplitudeRpm)
            again = lower;
    } else if (currentShare < kEnoughCurrentShare && swingShare < kEnoughSwingShare &&
               m_amplitudeRpm < largest) {
        const double higher = aimed();
        if (higher > m_amplitudeRpm)
            again = higher;
    }
    if (again && m_tries < kMostRecordsPerBand) {
        m_amplitudeRpm = *again;
        leadIn(now);
        return;
    }
    if (m_amplitudeRpm > 0.0) {
        m_currentPerRpm = f.peakCurrentA / m_amplitudeRpm;
        m_swingPerRpm = f.swingRpm / m_amplitudeRpm;
    }
    (m_pass == 0 ? m_recorded : m_verifyRecords).push_back(std::move(rec));
    ++m_band;
    m_tries = 0;
    if (m_band < m_bands.size()) {
        leadIn(now);
        return;
    }
    passDone(now);
}

PlantEstimate SpeedLoopTuner::estimateOfPass() const {
    std::vector<LoopRecord> records;
    for (const Recorded& r : m_recorded)
        records.push_back({r.tickS, r.r, r.u, r.y, r.band.binsFromHz, r.band.binsToHz});
    EstimateOptions o;
    o.segment = kTuneSegment;
    return estimatePlant(records, o);
}

void SpeedLoopTuner::passDone(Clock::time_point now) {
    if (m_pass == 0) {
        propose(now);
        return;
    }
    startStep(now);
}

void SpeedLoopTuner::propose(Clock::time_point now) {
    m_phase = TunePhase::Fitting;
    m_result.estimate = estimateOfPass();
    const PlantEstimate& estimate = m_result.estimate;
    // Enough coherent bins for a fit can still be too few to trust: most of the band must be.
    const bool sparse = static_cast<double>(estimate.coherentBins) <
                        kLeastCoherentShare * static_cast<double>(estimate.bins.size());
    if (estimate.status == EstimateStatus::TooLittleExcitation || sparse) {
        fail(TuneFailure::TooLittleExcitation);
        finish();
        return;
    }
    if (m_result.estimate.status != EstimateStatus::Ok) {
        fail(TuneFailure::FitFailed);
        finish();
        return;
    }
    m_result.fit = fitPlant(m_result.estimate, m_knowns);
    // A model that misses the measurement this much would tune a loop that is not there.
    if (m_result.fit.status != FitStatus::Ok || !(m_result.fit.model.inertiaKgM2 > 0.0) ||
        !(m_result.fit.residualDb <= kLargestResidualDb)) {
        fail(TuneFailure::FitFailed);
        finish();
        return;
    }
    const PlantModel& plant = m_result.fit.model;

    // The loop as it ran: its gains and the active filters' coefficients.
    LoopSetup before;
    before.plant = plant;
    before.gains = {m_loopBefore.kpv, m_loopBefore.kiv};
    before.currentLimitA = m_outcome.currentLimitA;
    for (int slot = 1; slot <= kFilterSlots; ++slot) {
        const auto& state = m_loopBefore.filters.at(static_cast<size_t>(slot - 1));
        if (state && state->type != 0)
            before.filters.push_back(loadFilterSlot(m_model, slot).coefficients);
    }
    m_result.predictedBefore = predictLoop(before);
    m_result.stepBefore = m_result.predictedBefore.stepCurve;

    m_request = {};
    m_request.targets = m_settings.targets;
    m_request.maxNotches = std::clamp(m_settings.maxFilters, 0, kFilterSlots);
    m_request.currentLimitA = m_outcome.currentLimitA;
    m_request.keptFilters = before.filters;
    for (const int slot : m_freeSlots)
        m_request.freeSlots.push_back({slot, coefficientFactors(m_model, slot)});
    m_proposal = proposeSpeedLoop(plant, m_request);
    m_result.predictedProposed = m_proposal.prediction;
    m_result.stepProposed = m_proposal.prediction.stepCurve;
    m_result.predicted = loopFigures(m_proposal.prediction);
    m_result.proposed.kpvMaPerRpm = m_proposal.gains.kpvMaPerRpm;
    m_result.proposed.kivMs = m_proposal.gains.kivMs;
    m_result.proposed.filters = m_result.before.filters;
    for (const NotchProposal& n : m_proposal.notches)
        m_result.proposed.filters.push_back({n.slot, static_cast<int>(n.inputs.type),
                                             n.inputs.frequency, n.inputs.quality,
                                             n.inputs.gainDb});
    std::sort(m_result.proposed.filters.begin(), m_result.proposed.filters.end(),
              [](const TunedFilter& a, const TunedFilter& b) { return a.slot < b.slot; });
    if (m_proposal.status != ProposalStatus::Ok) {
        fail(TuneFailure::TargetsMissed);
        finish();
        return;
    }
    if (!m_settings.apply) {
        finish();
        return;
    }
    m_phase = TunePhase::Applying;
    // The generator stopped by itself after the last sweep: the gains change at a standstill.
    if (!writeLoop(m_result.proposed, false)) {
        finish();
        return;
    }
    m_result.applied = true;
    m_pass = 1;
    beginPass(now);
}

bool SpeedLoopTuner::writeLoop(const TunedLoop& loop, bool previous) {
    m_loopWritten = true;
    const auto entered = [&](const std::string& name, double value) {
        EnteredWrite w = writeEnteredValue(m_link, m_access, m_model, m_tables, name, value);
        if (w == EnteredWrite::Written && m_access.lastReply() != link::kReplyAccepted &&
            m_access.lastReply() != link::kReplyRefused && !m_link.state().hungUp)
            w = writeEnteredValue(m_link, m_access, m_model, m_tables, name, value);
        if (w != EnteredWrite::Written || m_access.lastReply() != link::kReplyAccepted) {
            fail(TuneFailure::NotTaken, name);
            return false;
        }
        return true;
    };
    if (!entered(kTuneGainParameter, loop.kpvMaPerRpm) ||
        !entered(kTuneIntegralParameter, loop.kivMs))
        return false;
    // Only the slots that were free are written: a slot the user runs is never touched.
    for (const int slot : m_freeSlots) {
        FilterFields fields;
        if (previous) {
            // Its old design, switched off first: the type leads the slot's parameters.
            const std::optional<FilterFields>& old =
                m_slotsBefore.at(static_cast<size_t>(slot - 1));
            if (!old)
                continue;
            fields = *old;
        } else {
            const auto notch =
                std::find_if(m_proposal.notches.begin(), m_proposal.notches.end(),
                             [slot](const NotchProposal& n) { return n.slot == slot; });
            if (notch == m_proposal.notches.end())
                continue;
            fields.type = FilterType::Off;
            fields.frequency = notch->inputs.frequency;
            fields.quality = notch->inputs.quality;
            fields.gainDb = notch->inputs.gainDb;
            fields.coefficients = notch->coefficients;
        }
        // The coefficients go in while the slot is off: between two writes the drive would run
        // a mix of old and new ones, which may be unstable.
        const FilterWriteResult written = writeFilterSlot(m_link, m_access, m_model, slot, fields);
        if (!written.allAccepted()) {
            fail(TuneFailure::NotTaken, filterMnemonic(slot, FilterRole::Type));
            return false;
        }
        if (!previous && !entered(filterMnemonic(slot, FilterRole::Type),
                                  static_cast<double>(FilterType::BandStop)))
            return false;
    }
    return true;
}

void SpeedLoopTuner::startStep(Clock::time_point now) {
    m_phase = TunePhase::Stepping;
    m_stepTest = std::make_unique<StepTest>(m_link, m_access, m_model, m_messages);
    StepSettings step;
    step.amplitudeRpm = kVerifyStepRpm;
    step.baseRpm = kTuneBaseRpm;
    m_step = Step::Stepping;
    if (!m_stepTest->start(step, now)) {
        afterStepWork();
        return;
    }
    afterStepWork();
}

void SpeedLoopTuner::afterStepWork() {
    if (!m_stepTest || m_stepTest->phase() != StepPhase::Ended)
        return;
    m_step = Step::None;
    const StepOutcome& o = m_stepTest->outcome();
    if (m_cancelled) {
        fail(TuneFailure::Cancelled);
        finish();
        return;
    }
    if (!o.figures) {
        fail(o.failure == StepFailure::LinkLost ? TuneFailure::LinkLost : TuneFailure::StepFailed);
        finish();
        return;
    }
    m_result.measuredStep = o.figures;
    const scope::Oscillogram& step = m_stepTest->record();
    m_result.stepMeasured = StepCurve{step.header.tick, recordChannel(step, kStepCommandChannel),
                                      recordChannel(step, kStepActualChannel)};
    m_outcome.recordedSeconds += sc::recordSeconds(StepSettings{}.tickCode);
    startHold(Clock::now());
}

void SpeedLoopTuner::startHold(Clock::time_point now) {
    m_phase = TunePhase::Holding;
    m_holding = true;
    m_tries = 1;
    leadIn(now);
}

void SpeedLoopTuner::holdDone(const std::vector<double>& current, double tickS) {
    // The current's amplitude spectrum over the hold (Hann, its mean removed).
    const size_t n = current.size();
    double mean = 0.0;
    for (const double v : current)
        mean += v;
    mean /= static_cast<double>(std::max<size_t>(1, n));
    std::vector<double> re(n), im(n, 0.0);
    double windowSum = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                              static_cast<double>(n));
        re[i] = (current[i] - mean) * w;
        windowSum += w;
    }
    fft(re, im);
    std::vector<double> amplitude;
    for (size_t k = 1; k < n / 2; ++k)
        amplitude.push_back(2.0 * std::hypot(re[k], im[k]) / std::max(windowSum, 1.0));
    if (amplitude.empty())
        return;
    const auto peak = std::max_element(amplitude.begin(), amplitude.end());
    const double peakA = *peak;
    const double peakHz =
        static_cast<double>(peak - amplitude.begin() + 1) / (static_cast<double>(n) * tickS);
    std::nth_element(amplitude.begin(), amplitude.begin() + static_cast<long>(amplitude.size() / 2),
                     amplitude.end());
    const double median = amplitude[amplitude.size() / 2];
    const double lineA = kHoldLineShare * *m_outcome.currentLimitA;
    const bool line = peakA > lineA && peakA > kHoldLineOverMedian * median;
    m_holdCheck = VerifyCheck{
        "hold", !line,
        "largest line in the current " + formatGeneral(std::round(peakA * 1e4) / 1e4) + " A at " +
            hzText(peakHz) + " over a " + formatGeneral(sc::recordSeconds(kHoldBand.tickCode)) +
            " s hold (an oscillation from " + formatGeneral(lineA) + " A)"};
}

void SpeedLoopTuner::verify() {
    // The closed loop as measured: VSET to VACT, with the command as its own instrument.
    std::vector<LoopRecord> records;
    for (const Recorded& r : m_verifyRecords)
        records.push_back({r.tickS, r.r, r.r, r.y, r.band.binsFromHz, r.band.binsToHz});
    EstimateOptions o;
    o.segment = kTuneSegment;
    const PlantEstimate closed = estimatePlant(records, o);
    std::vector<double> hz;
    std::vector<std::complex<double>> t, l;
    for (const PlantBin& b : closed.bins) {
        if (!b.coherent)
            continue;
        hz.push_back(b.hz);
        t.push_back(b.response);
        l.push_back(b.response / (1.0 - b.response));
    }
    m_result.measuredClosedLoop.clear();
    std::optional<double> bandwidth;
    for (size_t i = 0; i < hz.size(); ++i) {
        const double db = decibels(std::abs(t[i]));
        m_result.measuredClosedLoop.push_back({hz[i], db, std::arg(t[i]) * kDegreesPerRadian});
        if (!bandwidth && i > 0 && db < kBandwidthLevelDb) {
            const ChartPoint& a = m_result.measuredClosedLoop[i - 1];
            const double share = (kBandwidthLevelDb - a.magnitudeDb) / (db - a.magnitudeDb);
            bandwidth = a.frequency + share * (hz[i] - a.frequency);
        }
    }
    m_result.measuredOpenLoop = openLoopChart(hz, l);
    const LoopMargins margins = marginsOf(m_result.measuredOpenLoop);
    LoopFigures measured;
    measured.crossoverHz = margins.crossoverHz;
    measured.phaseMarginDeg = margins.phaseMarginDeg;
    measured.gainMarginDb = margins.gainMarginDb;
    measured.bandwidthHz = bandwidth;
    if (m_result.measuredStep)
        measured.overshootPercent = m_result.measuredStep->overshootPercent;
    m_result.measured = measured;

    const LoopFigures& p = m_result.predicted;
    const LoopTargets& targets = m_settings.targets;
    auto& checks = m_result.checks;
    checks.clear();
    const auto add = [&](const char* name, bool passed, std::string detail) {
        checks.push_back({name, passed, std::move(detail)});
    };
    if (measured.crossoverHz && p.crossoverHz) {
        const bool ok = std::abs(*measured.crossoverHz - *p.crossoverHz) <=
                        kVerifyCrossoverShare * *p.crossoverHz;
        add("crossover", ok,
            "measured " + hzText(*measured.crossoverHz) + ", predicted " + hzText(*p.crossoverHz) +
                " (±15 %)");
    } else {
        add("crossover", false, "no crossover measured");
    }
    const double pmFloor = targets.phaseMarginDeg - kVerifyPhaseMarginSlackDeg;
    add("phase margin", measured.phaseMarginDeg && *measured.phaseMarginDeg >= pmFloor,
        measured.phaseMarginDeg
            ? "measured " + formatGeneral(std::round(*measured.phaseMarginDeg * 10) / 10) +
                  "°, at least " + formatGeneral(pmFloor) + "°"
            : std::string("no phase margin measured"));
    const double gmFloor = targets.gainMarginDb - kVerifyGainMarginSlackDb;
    add("gain margin", !measured.gainMarginDb || *measured.gainMarginDb >= gmFloor,
        measured.gainMarginDb
            ? "measured " + formatGeneral(std::round(*measured.gainMarginDb * 10) / 10) +
                  " dB, at least " + formatGeneral(gmFloor) + " dB"
            : std::string("the phase never reaches -180° where measured"));
    // |T| against the prediction up to the predicted bandwidth.
    const LoopSetup setup = setupOf(m_result.fit.model, m_proposal, m_request);
    double worst = 0.0;
    double worstHz = 0.0;
    for (size_t i = 0; i < hz.size(); ++i) {
        if (!p.bandwidthHz || hz[i] > *p.bandwidthHz)
            break;
        const std::complex<double> lp = openLoopAt(setup, hz[i]);
        const double deviation = decibels(std::abs(t[i])) - decibels(std::abs(lp / (1.0 + lp)));
        if (std::abs(deviation) > std::abs(worst)) {
            worst = deviation;
            worstHz = hz[i];
        }
    }
    add("closed loop", std::abs(worst) <= kVerifyClosedLoopDb,
        "largest deviation " + formatGeneral(std::round(worst * 10) / 10) + " dB at " +
            hzText(worstHz) + " (±2 dB up to the bandwidth)");
    if (m_result.measuredStep && p.overshootPercent) {
        const double measuredPercent = m_result.measuredStep->overshootPercent;
        add("step",
            std::abs(measuredPercent - *p.overshootPercent) <= kVerifyOvershootPoints &&
                !m_result.measuredStep->currentLimited,
            "overshoot " + formatGeneral(std::round(measuredPercent * 10) / 10) + " %, predicted " +
                formatGeneral(std::round(*p.overshootPercent * 10) / 10) + " % (±10 points)" +
                (m_result.measuredStep->currentLimited ? ", the current reached its limit" : ""));
    }
    if (m_holdCheck)
        checks.push_back(*m_holdCheck);
    m_result.verified =
        std::all_of(checks.begin(), checks.end(), [](const VerifyCheck& c) { return c.passed; });
    if (!m_result.verified) {
        std::string failed;
        for (const VerifyCheck& c : checks)
            if (!c.passed)
                failed += (failed.empty() ? "" : ", ") + c.name;
        fail(TuneFailure::VerifyFailed, failed);
        return;
    }
    if (m_settings.save) {
        session::ServiceCommands service(m_link, m_access, m_model, m_messages);
        if (service.WritePar().outcome != session::ServiceOutcome::Done) {
            fail(TuneFailure::SaveFailed);
            return;
        }
        m_result.saved = true;
    }
}

void SpeedLoopTuner::onReadable(Clock::time_point now) {
    if (!m_running)
        return;
    switch (m_step) {
        case Step::Recording:
            if (m_capture)
                m_capture->onReadable(now);
            afterCaptureWork(now);
            return;
        case Step::Stepping:
            m_stepTest->onReadable(now);
            afterStepWork();
            return;
        case Step::Settling:
        case Step::None:
            break;
    }
    // Nothing is due from the drive meanwhile: stray bytes are dropped, a hang-up ends the run.
    if (!sc::drainPort(
            m_link, [] { return true; }, [](std::span<const uint8_t>) {})) {
        fail(TuneFailure::LinkLost);
        finish();
    }
}

void SpeedLoopTuner::checkDeadline(Clock::time_point now) {
    if (!m_running)
        return;
    switch (m_step) {
        case Step::Settling:
            if (m_settleUntil && now >= *m_settleUntil)
                armRecord(now);
            return;
        case Step::Recording:
            if (!m_capture)
                return;
            if (m_capture->phase() == sc::OfflinePhase::Armed && m_giveUpAt && now >= *m_giveUpAt)
                m_capture->cancel();
            else
                m_capture->checkDeadline(now);
            afterCaptureWork(now);
            return;
        case Step::Stepping:
            m_stepTest->checkDeadline(now);
            afterStepWork();
            return;
        case Step::None:
            return;
    }
}

std::optional<Clock::time_point> SpeedLoopTuner::deadline() const {
    if (!m_running)
        return std::nullopt;
    switch (m_step) {
        case Step::Settling:
            return m_settleUntil;
        case Step::Recording: {
            if (!m_capture || !m_capture->listening())
                return std::nullopt;
            std::optional<Clock::time_point> due = m_capture->deadline();
            if (m_capture->phase() == sc::OfflinePhase::Armed && m_giveUpAt)
                due = std::min(due.value_or(*m_giveUpAt), *m_giveUpAt);
            return due;
        }
        case Step::Stepping:
            return m_stepTest->deadline();
        case Step::None:
            break;
    }
    return std::nullopt;
}

void SpeedLoopTuner::cancel() {
    if (!m_running)
        return;
    m_cancelled = true;
    switch (m_step) {
        case Step::Recording:
            if (m_capture && m_capture->listening()) {
                m_capture->cancel();
                afterCaptureWork(Clock::now());
                return;
            }
            break;
        case Step::Stepping:
            if (m_stepTest->listening()) {
                m_stepTest->cancel();
                afterStepWork();
                return;
            }
            break;
        case Step::Settling:
        case Step::None:
            break;
    }
    fail(TuneFailure::Cancelled);
    finish();
}

void SpeedLoopTuner::finish() {
    if (!m_running)
        return;
    m_running = false;
    m_step = Step::None;
    m_settleUntil.reset();
    if (m_capture && m_capture->listening())
        m_capture->cancel();
    m_capture.reset();
    if (m_generatorStarted && !m_link.state().hungUp)
        (void)stopGenerator(m_link, m_model, m_messages);
    // What the run wrote of the loop stays only when it was verified.
    if (m_loopWritten && m_outcome.failure != TuneFailure::None &&
        m_outcome.failure != TuneFailure::SaveFailed)
        restoreLoop();
    restoreSettings();
    m_phase = TunePhase::Ended;
}

void SpeedLoopTuner::restoreLoop() {
    if (m_link.state().hungUp) {
        m_result.notRestored.push_back(kTuneGainParameter);
        m_result.notRestored.push_back(kTuneIntegralParameter);
        return;
    }
    TunedLoop previous;
    previous.kpvMaPerRpm = m_loopBefore.kpv;
    previous.kivMs = m_loopBefore.kiv;
    // The run's failure stays what it was; a write that fails here only names itself.
    const TuneOutcome kept = m_outcome;
    m_outcome.failure = TuneFailure::None;
    if (!writeLoop(previous, true))
        m_result.notRestored.push_back(m_outcome.parameter);
    m_outcome.failure = kept.failure;
    m_outcome.parameter = kept.parameter;
    m_result.applied = false;
}

void SpeedLoopTuner::restoreSettings() {
    if (m_link.state().hungUp) {
        for (const char* name : kExcitationTouched)
            if (m_model.find(name))
                m_result.notRestored.push_back(name);
        return;
    }
    WavePlan plan;
    for (const auto& [name, value] : m_backup)
        if (std::find_if(std::begin(kExcitationTouched), std::end(kExcitationTouched),
                         [&](const char* n) { return name == n; }) != std::end(kExcitationTouched))
            plan.writes.push_back({name, value});
    (void)writeWave(m_link, m_access, m_model, m_messages, plan, &m_result.notRestored);
}

double SpeedLoopTuner::progress() const {
    if (m_phase == TunePhase::Ended)
        return 1.0;
    const double bands = static_cast<double>(std::max<size_t>(1, m_bands.size()));
    // The measurement, and with apply its repetition and the step.
    const double total = m_settings.apply ? 2.0 * bands + 2.0 : bands;
    double done = m_pass * bands + static_cast<double>(m_band);
    if (m_phase == TunePhase::Stepping)
        done = 2.0 * bands;
    if (m_phase == TunePhase::Holding)
        done = 2.0 * bands + 1.0;
    if (m_step == Step::Recording && m_capture && m_capture->phase() == sc::OfflinePhase::Reading)
        done += 0.5 + 0.5 * m_capture->records() / static_cast<double>(sc::kOfflineSamples);
    return std::clamp(done / total, 0.0, 1.0);
}

std::string SpeedLoopTuner::phaseText() const {
    const auto bandText = [&] {
        if (m_band >= m_bands.size())
            return std::string();
        const TuneBand& b = m_bands[m_band];
        return " band " + std::to_string(m_band + 1) + " of " + std::to_string(m_bands.size()) +
               " (" + formatGeneral(b.sweepFromHz) + ".." + formatGeneral(b.sweepToHz) + " Hz, " +
               formatGeneral(m_amplitudeRpm) + " rpm)";
    };
    switch (m_phase) {
        case TunePhase::Idle:
            return "idle";
        case TunePhase::Checking:
            return "checking the drive";
        case TunePhase::Measuring:
            return "measuring the plant:" + bandText();
        case TunePhase::Fitting:
            return "fitting the model and proposing gains";
        case TunePhase::Applying:
            return "writing the proposal";
        case TunePhase::Verifying:
            return "measuring the tuned loop:" + bandText();
        case TunePhase::Stepping:
            return "recording a step of the tuned loop";
        case TunePhase::Holding:
            return "holding the base speed with the tuned loop";
        case TunePhase::Ended:
            return "done";
    }
    return "";
}

std::optional<StepMessage> tuneFailureMessage(const TuneOutcome& o) {
    switch (o.failure) {
        case TuneFailure::None:
        case TuneFailure::Busy:
        case TuneFailure::BadRange:
            return std::nullopt;
        case TuneFailure::MissingParameter:
        case TuneFailure::NoAnswer:
            return tuneMessage(pm::kMsgParameterSilent, {}, o.parameter);
        case TuneFailure::NotSpeedMode:
            return tuneMessage(kMsgTuneNotSpeedMode, {formatGeneral(o.operatingMode)});
        case TuneFailure::ServoOff:
            return tuneMessage(pm::kMsgGeneratorServoOff, {}, {}, true);
        case TuneFailure::SourceNotInternal:
            return tuneMessage(pm::kMsgGeneratorNotInternal, {}, {}, true);
        case TuneFailure::DriveError:
            return tuneMessage(kMsgTuneDriveError);
        case TuneFailure::NotTaken:
            return tuneMessage(kMsgTuneNotTaken, {o.parameter});
        case TuneFailure::GeneratorNotStarted:
            return tuneMessage(pm::kMsgGeneratorRefused, {}, {}, true);
        case TuneFailure::RecordIncomplete:
            return tuneMessage(kMsgTuneRecordIncomplete, {recordEndText(o.recordEnd)});
        case TuneFailure::TooLittleExcitation:
            return tuneMessage(kMsgTuneTooLittle);
        case TuneFailure::FitFailed:
            return tuneMessage(kMsgTuneFitFailed);
        case TuneFailure::TargetsMissed:
            return tuneMessage(kMsgTuneTargetsMissed);
        case TuneFailure::VerifyFailed:
        case TuneFailure::StepFailed:
            return tuneMessage(kMsgTuneVerifyFailed, {o.parameter});
        case TuneFailure::SaveFailed:
            return std::nullopt;
        case TuneFailure::Cancelled:
            return tuneMessage(kMsgTuneCancelled);
        case TuneFailure::LinkLost:
            return tuneMessage(pm::kMsgPortLost, {}, {}, true);
    }
    return std::nullopt;
}

std::string tuneFailureText(const TuneOutcome& o) {
    switch (o.failure) {
        case TuneFailure::None:
            return "";
        case TuneFailure::Busy:
            return "another exchange holds the link";
        case TuneFailure::MissingParameter:
            return "the data set has no parameter " + o.parameter;
        case TuneFailure::NoAnswer:
            return "no answer for " + o.parameter;
        case TuneFailure::NotSpeedMode:
            return "the drive is not in speed mode (OPMOD " + formatGeneral(o.operatingMode) +
                   "); nothing was written";
        case TuneFailure::ServoOff:
            return "the servo is off; nothing was written";
        case TuneFailure::SourceNotInternal:
            return "the command source is not internal; nothing was written";
        case TuneFailure::DriveError:
            return "the drive reports an error; nothing was written";
        case TuneFailure::BadRange:
            return "the frequency range covers no band the recorder resolves";
        case TuneFailure::NotTaken:
            return "the drive did not take " + o.parameter;
        case TuneFailure::GeneratorNotStarted:
            return "the drive did not start the function generator";
        case TuneFailure::RecordIncomplete:
            return std::string("a record is incomplete (") + recordEndText(o.recordEnd) + ")";
        case TuneFailure::TooLittleExcitation:
            return "too little excitation: the response is buried in noise; raise --amp";
        case TuneFailure::FitFailed:
            return "the measured plant cannot be fitted";
        case TuneFailure::TargetsMissed:
            return "no gains meet the margin targets on the measured plant; nothing was applied";
        case TuneFailure::VerifyFailed:
            return "the verification failed (" + o.parameter +
                   "); the previous gains and filters are back";
        case TuneFailure::StepFailed:
            return "the verifying step gave no figures; the previous gains and filters are back";
        case TuneFailure::SaveFailed:
            return "the tuned values could not be stored in the EEPROM";
        case TuneFailure::Cancelled:
            return "cancelled; the previous settings are back";
        case TuneFailure::LinkLost:
            return "the link is lost";
    }
    return "";
}

bool runTune(SpeedLoopTuner& tuner, link::SerialPort& port,
             const std::function<void()>& afterWake) {
    const sc::CaptureLoop loop{
        .active = [&] { return tuner.active(); },
        .deadline = [&] { return tuner.deadline(); },
        .checkDeadline = [&](Clock::time_point now) { tuner.checkDeadline(now); },
        .onReadable = [&](Clock::time_point now) { tuner.onReadable(now); },
        .abandon = [&] { tuner.cancel(); },
        .longestWaitMs = sc::kOfflineWakeMs,
    };
    return sc::runCaptureLoop(loop, port, afterWake);
}

}  // namespace zrd::tuning
