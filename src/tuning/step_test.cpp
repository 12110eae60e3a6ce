#include "tuning/step_test.h"

#include <algorithm>
#include <cmath>
#include <variant>

#include "core/number_text.h"
#include "monitor/status.h"
#include "params/message_numbers.h"
#include "scope/scope_settings.h"
#include "scope/trigger.h"
#include "session/link_busy_guard.h"
#include "session/parameter_edit.h"
#include "session/status_poll.h"
#include "tuning/filter_design.h"
#include "tuning/function_generator.h"
#include "tuning/loop_excitation.h"

namespace zrd::tuning {
namespace {

namespace pm = zrd::params;
namespace sc = zrd::scope;

// The step test's own messages.
constexpr int kMsgStepCancelled = 113;
constexpr int kMsgStepNotTaken = 114;
constexpr int kMsgStepNotSpeedMode = 115;
constexpr int kMsgStepIncomplete = 116;
constexpr int kMsgStepNoStep = 117;
constexpr int kMsgStepNotRestored = 118;
constexpr int kMsgStepLinkLost = 119;

StepMessage stepMessage(int number, std::vector<std::string> arguments = {},
                        std::string appended = {}, bool shown = false) {
    StepMessage m;
    m.number = number;
    m.arguments = std::move(arguments);
    m.appended = std::move(appended);
    m.shown = shown;
    return m;
}

}  // namespace

StepTest::StepTest(link::DriveLink& link, session::ParameterAccess& access,
                   params::ParameterModel& model, const params::MessageTable& messages)
    : m_link(link),
      m_access(access),
      m_model(model),
      m_messages(messages),
      m_record(std::make_unique<sc::Oscillogram>()) {}

StepTest::~StepTest() = default;

StepPhase StepTest::phase() const {
    if (m_ended)
        return StepPhase::Ended;
    if (!m_capture)
        return StepPhase::Idle;
    return m_capture->phase() == sc::OfflinePhase::Reading ? StepPhase::Reading : StepPhase::Armed;
}

std::optional<double> StepTest::read(const char* mnemonic) {
    const std::optional<int> position = m_model.find(mnemonic);
    if (!position) {
        fail(StepFailure::MissingParameter, mnemonic);
        return std::nullopt;
    }
    m_model.setCurrentParameter(*position);
    m_access.ReadParam();
    if (m_access.lastReply() != link::kReplyRead) {
        fail(StepFailure::NoAnswer, mnemonic);
        return std::nullopt;
    }
    return m_model.value(*position);
}

void StepTest::fail(StepFailure failure, std::string parameter) {
    // A port that hung up on the way says more than the exchange that noticed it.
    m_outcome.failure = m_link.state().hungUp ? StepFailure::LinkLost : failure;
    m_outcome.parameter = std::move(parameter);
}

bool StepTest::start(const StepSettings& settings, sc::CaptureClock::time_point now) {
    m_outcome = {};
    m_capture.reset();
    m_backup.clear();
    m_giveUpAt.reset();
    m_generatorStarted = m_cancelled = m_ended = false;
    m_running = true;
    if (m_link.state().linkBusy) {
        fail(StepFailure::Busy);
        finish();
        return false;
    }
    if (!checkAndPrepare(settings) || !writeStep(settings)) {
        finish();
        return false;
    }
    m_capture.emplace(m_link, *m_record, m_model, m_messages);
    if (!m_capture->start({sc::TriggerType::Generator, false}, now)) {
        fail(StepFailure::StartNotSent);
        finish();
        return false;
    }
    const auto armed =
        std::chrono::duration<double>(sc::recordSeconds(settings.tickCode) + kStepArmedSlackS);
    m_giveUpAt = now + std::chrono::duration_cast<sc::CaptureClock::duration>(armed);
    afterCaptureWork();
    return !m_ended;
}

bool StepTest::checkAndPrepare(const StepSettings& settings) {
    // Safety first: nothing is written unless the loop can take the step.
    const ExcitationCheck check = checkExcitation(
        m_link, m_model, m_messages, [this](const char* name) { return read(name); }, false);
    switch (check.verdict) {
        case ExcitationVerdict::Ok:
        case ExcitationVerdict::DriveError:  // not asked for
            break;
        case ExcitationVerdict::ReadFailed:
            return false;
        case ExcitationVerdict::NotSpeedMode:
            m_outcome.operatingMode = check.operatingMode;
            fail(StepFailure::NotSpeedMode);
            return false;
        case ExcitationVerdict::MissingStateWord:
            fail(StepFailure::MissingParameter, kExcitationStateWordName);
            return false;
        case ExcitationVerdict::StateWordUnanswered:
            fail(StepFailure::NoAnswer, kExcitationStateWordName);
            return false;
        case ExcitationVerdict::ServoOff:
            fail(StepFailure::ServoOff);
            return false;
        case ExcitationVerdict::SourceNotInternal:
            fail(StepFailure::SourceNotInternal);
            return false;
    }
    GeneratorMode generator;
    generator.operatingMode = kSpeedModeValue;
    const auto planned =
        planWave(stepWave(settings.amplitudeRpm, settings.baseRpm, settings.tickCode), generator);
    if (const auto* refusal = std::get_if<WaveRefusal>(&planned)) {
        if (refusal->message != 0)
            m_messages.show(m_link.ui(), refusal->message, m_model.language());
        m_outcome.waveRefusal = refusal->message;
        fail(StepFailure::WaveRefused);
        return false;
    }
    const std::optional<LoopSettings> loop = readLoop();
    if (!loop || !readCurrentLimit() || !takeBackup())
        return false;
    m_outcome.loop = *loop;
    return true;
}

std::optional<LoopSettings> StepTest::readLoop() {
    LoopSettings loop;
    const std::optional<double> kpv = read("KPV");
    const std::optional<double> kiv = kpv ? read("KIV") : std::nullopt;
    if (!kiv)
        return std::nullopt;
    loop.kpv = *kpv;
    loop.kiv = *kiv;
    for (int slot = 1; slot <= kFilterSlots; ++slot) {
        const std::string type = filterMnemonic(slot, FilterRole::Type);
        if (!m_model.find(type))
            continue;
        const std::optional<double> typeValue = read(type.c_str());
        if (!typeValue)
            return std::nullopt;
        FilterSlotState state;
        state.type = static_cast<int>(std::lround(*typeValue));
        // An inactive slot's design does not act on the loop.
        if (state.type != 0) {
            const auto value = [&](FilterRole role) -> std::optional<double> {
                const std::string name = filterMnemonic(slot, role);
                if (!m_model.find(name))
                    return 0.0;
                return read(name.c_str());
            };
            const auto frequency = value(FilterRole::Frequency);
            const auto quality = frequency ? value(FilterRole::Quality) : std::nullopt;
            const auto gain = quality ? value(FilterRole::Gain) : std::nullopt;
            if (!gain)
                return std::nullopt;
            state.frequencyHz = *frequency;
            state.quality = *quality;
            state.gainDb = *gain;
        }
        loop.filters.at(static_cast<size_t>(slot - 1)) = state;
    }
    return loop;
}

bool StepTest::readCurrentLimit() {
    return tuning::readCurrentLimit(
        m_model, [this](const char* mnemonic) { return read(mnemonic); }, m_outcome.currentLimitA);
}

bool StepTest::takeBackup() {
    return readTouched(
        m_model, [this](const char* mnemonic) { return read(mnemonic); }, m_backup);
}

bool StepTest::writeStep(const StepSettings& settings) {
    GeneratorMode generator;
    generator.operatingMode = kSpeedModeValue;
    const WavePlan plan = std::get<WavePlan>(
        planWave(stepWave(settings.amplitudeRpm, settings.baseRpm, settings.tickCode), generator));
    std::vector<std::string> failed;
    (void)writeWave(m_link, m_access, m_model, m_messages, plan, &failed);
    if (m_link.state().hungUp || !failed.empty()) {
        fail(StepFailure::WaveNotTaken, failed.empty() ? std::string() : failed.front());
        return false;
    }
    sc::OfflineSetup setup;
    setup.tickCode = settings.tickCode;
    setup.trigger = sc::TriggerType::Generator;
    const auto signal = [&](const char* name) {
        return sc::findScopeSignal(m_model, name).value_or(0);
    };
    setup.channelSignals = {signal(kStepCommandSignal), signal(kStepActualSignal),
                            signal(kStepCurrentSignal), settings.fourthSignal};
    std::string notTaken;
    if (!sc::writeOfflineSetup(m_link, m_access, m_model, *m_record, setup, notTaken)) {
        fail(StepFailure::SetupNotTaken, notTaken);
        return false;
    }
    return true;
}

void StepTest::onReadable(sc::CaptureClock::time_point now) {
    if (!listening())
        return;
    m_capture->onReadable(now);
    afterCaptureWork();
}

void StepTest::checkDeadline(sc::CaptureClock::time_point now) {
    if (!listening())
        return;
    if (m_capture->phase() == sc::OfflinePhase::Armed && m_giveUpAt && now >= *m_giveUpAt)
        m_capture->cancel();
    else
        m_capture->checkDeadline(now);
    afterCaptureWork();
}

std::optional<sc::CaptureClock::time_point> StepTest::deadline() const {
    if (!listening())
        return std::nullopt;
    std::optional<sc::CaptureClock::time_point> due = m_capture->deadline();
    if (m_capture->phase() == sc::OfflinePhase::Armed && m_giveUpAt)
        due = std::min(due.value_or(*m_giveUpAt), *m_giveUpAt);
    return due;
}

void StepTest::cancel() {
    if (!listening())
        return;
    m_cancelled = true;
    m_capture->cancel();
    afterCaptureWork();
}

void StepTest::afterCaptureWork() {
    if (listening()) {
        // Once armed and the start acknowledged, the capture holds the link: the generator's
        // start goes out under its hold. Before the acknowledge the generator's command would
        // take that acknowledge for its own.
        if (!m_generatorStarted && m_capture->phase() == sc::OfflinePhase::Armed &&
            m_capture->startAcknowledged()) {
            m_generatorStarted = true;
            if (startGenerator(m_link, m_model, m_messages, true) != CommandOutcome::Accepted) {
                m_generatorStarted = false;
                m_capture->cancel();
                fail(StepFailure::GeneratorNotStarted);
                finish();
            }
        }
        return;
    }
    if (m_ended)
        return;
    m_outcome.recordEnd = m_capture->end();
    if (m_cancelled)
        fail(StepFailure::Cancelled);
    else if (m_outcome.recordEnd != sc::OfflineEnd::Complete)
        m_outcome.failure = StepFailure::RecordIncomplete;
    finish();
}

void StepTest::finish() {
    if (m_ended || !m_running)
        return;
    m_ended = true;
    m_running = false;
    if (m_generatorStarted && !m_link.state().hungUp &&
        stopGenerator(m_link, m_model, m_messages) != CommandOutcome::Accepted)
        m_outcome.generatorNotStopped = true;
    restore();
    if (m_outcome.failure == StepFailure::None)
        measure();
}

void StepTest::restore() {
    if (m_backup.empty())
        return;
    if (m_link.state().hungUp) {
        m_outcome.restoreSkipped = true;
        return;
    }
    WavePlan plan;
    for (const auto& [name, value] : m_backup)
        plan.writes.push_back({name, value});
    (void)writeWave(m_link, m_access, m_model, m_messages, plan, &m_outcome.notRestored);
    if (m_link.state().hungUp)
        m_outcome.restoreSkipped = true;
}

void StepTest::measure() {
    const sc::Oscillogram& r = *m_record;
    m_outcome.figures =
        measureStep(recordChannel(r, kStepCommandChannel), recordChannel(r, kStepActualChannel),
                    recordChannel(r, kStepCurrentChannel), r.header.tick, m_outcome.currentLimitA);
    if (!m_outcome.figures)
        m_outcome.failure = StepFailure::NoStep;
}

bool runStepRecord(StepTest& test, link::SerialPort& port, const std::function<void()>& afterWake) {
    const sc::CaptureLoop loop{
        .active = [&] { return test.listening(); },
        .deadline = [&] { return test.deadline(); },
        .checkDeadline = [&](sc::CaptureClock::time_point now) { test.checkDeadline(now); },
        .onReadable = [&](sc::CaptureClock::time_point now) { test.onReadable(now); },
        .abandon = [&] { test.cancel(); },
        .longestWaitMs = sc::kOfflineWakeMs,
    };
    return sc::runCaptureLoop(loop, port, afterWake);
}

std::vector<double> recordChannel(const sc::Oscillogram& record, int channel) {
    std::vector<double> values(sc::kOfflineSamples);
    for (int n = 0; n < sc::kOfflineSamples; ++n)
        values[static_cast<size_t>(n)] = record.buffer.channel(n, channel);
    return values;
}

const char* recordEndText(sc::OfflineEnd end) {
    switch (end) {
        case sc::OfflineEnd::Complete:
            return "complete";
        case sc::OfflineEnd::Silent:
            return "drive fell silent";
        case sc::OfflineEnd::Busy:
            return "drive stayed busy";
        case sc::OfflineEnd::WriteFailed:
            return "frame not sent";
        case sc::OfflineEnd::Refused:
            return "drive refused";
        case sc::OfflineEnd::HungUp:
            return "link lost";
        case sc::OfflineEnd::Cancelled:
            return "no record in time";
        case sc::OfflineEnd::None:
            break;
    }
    return "running";
}

std::optional<StepMessage> failureMessage(const StepOutcome& outcome) {
    const auto shown = [](int number, std::vector<std::string> arguments = {}) {
        return stepMessage(number, std::move(arguments), {}, true);
    };
    switch (outcome.failure) {
        case StepFailure::None:
        case StepFailure::Busy:
            return std::nullopt;
        case StepFailure::MissingParameter:
        case StepFailure::NoAnswer:
            return stepMessage(pm::kMsgParameterSilent, {}, outcome.parameter);
        case StepFailure::NotSpeedMode:
            return stepMessage(kMsgStepNotSpeedMode, {formatGeneral(outcome.operatingMode)});
        case StepFailure::ServoOff:
            return shown(pm::kMsgGeneratorServoOff);
        case StepFailure::SourceNotInternal:
            return shown(pm::kMsgGeneratorNotInternal);
        case StepFailure::WaveRefused:
            if (outcome.waveRefusal == 0)
                return std::nullopt;
            return shown(outcome.waveRefusal);
        case StepFailure::WaveNotTaken:
        case StepFailure::SetupNotTaken:
            return shown(kMsgStepNotTaken, {outcome.parameter});
        case StepFailure::StartNotSent:
            return shown(pm::kMsgPortWriteError);
        case StepFailure::GeneratorNotStarted:
            return shown(pm::kMsgGeneratorRefused);
        case StepFailure::RecordIncomplete:
            // The capture told of a refusal, a frame not sent and a lost port itself.
            return stepMessage(kMsgStepIncomplete, {recordEndText(outcome.recordEnd)}, {},
                               outcome.recordEnd != sc::OfflineEnd::Silent &&
                                   outcome.recordEnd != sc::OfflineEnd::Cancelled);
        case StepFailure::NoStep:
            return stepMessage(kMsgStepNoStep, {kStepCommandSignal});
        case StepFailure::Cancelled:
            return shown(kMsgStepCancelled);
        case StepFailure::LinkLost:
            return shown(pm::kMsgPortLost);
    }
    return std::nullopt;
}

std::optional<StepMessage> restoreMessage(const StepOutcome& outcome) {
    if (outcome.restoreSkipped)
        return stepMessage(kMsgStepLinkLost);
    if (outcome.notRestored.empty())
        return std::nullopt;
    std::string names;
    for (const std::string& name : outcome.notRestored)
        names += (names.empty() ? "" : ", ") + name;
    return stepMessage(kMsgStepNotRestored, {names});
}

EnteredWrite writeEnteredValue(link::DriveLink& link, session::ParameterAccess& access,
                               params::ParameterModel& model, const params::TypeTables& tables,
                               const std::string& mnemonic, double value) {
    const std::optional<int> position = model.find(mnemonic);
    if (!position)
        return EnteredWrite::Missing;
    if (link.state().linkBusy)
        return EnteredWrite::Busy;
    model.setCurrentParameter(*position);
    if (!access.acceptsEntered(value))
        return EnteredWrite::OutsideLimits;
    session::LinkBusyGuard guard(link);
    (void)session::writeEditedValue(link, access, model, tables, *position, value, 0);
    return EnteredWrite::Written;
}

std::string filtersText(const LoopSettings& loop) {
    std::string text;
    for (size_t i = 0; i < loop.filters.size(); ++i) {
        const std::optional<FilterSlotState>& f = loop.filters.at(i);
        if (!f || f->type == 0)
            continue;
        text += (text.empty() ? "" : "; ") + std::to_string(i + 1) + ": type " +
                std::to_string(f->type) + ", " + formatGeneral(f->frequencyHz) + " Hz";
    }
    return text.empty() ? "none" : text;
}

std::string figuresCsv(std::span<const StepRunSummary> runs) {
    constexpr const char* kEnd = "\r\n";
    const auto number = [](double v) { return formatGeneral(v); };
    const auto time = [&](const std::optional<double>& ms) { return ms ? number(*ms) : ""; };
    std::string csv =
        "run;KPV;KIV;filters;overshoot %;rise 10-90 % ms;settling 2 % ms;settling 5 % ms;"
        "steady-state error rpm;peak current A;current limited";
    csv += kEnd;
    for (const StepRunSummary& r : runs) {
        const StepFigures& f = r.figures;
        csv += r.name + ";" + number(r.loop.kpv) + ";" + number(r.loop.kiv) + ";" +
               filtersText(r.loop) + ";" + number(f.overshootPercent) + ";" + time(f.riseMs) + ";" +
               time(f.settling2Ms) + ";" + time(f.settling5Ms) + ";" + number(f.steadyErrorRpm) +
               ";" + number(f.peakCurrentA) + ";" + (f.currentLimited ? "yes" : "no") + kEnd;
    }
    return csv;
}

}  // namespace zrd::tuning
