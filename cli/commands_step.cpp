// zrdctl step: a speed step made by the function generator, recorded by the offline scope and
// measured; the generator's and the scope's settings are put back afterwards.
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>

#include "cli.h"
#include "core/number_text.h"
#include "drive_session.h"
#include "offline_record.h"
#include "scope/oscillogram_file.h"
#include "scope/trace_view.h"
#include "tuning/step_response.h"
#include "tuning/step_test.h"

namespace zrd::cli {
namespace {

namespace sc = zrd::scope;
namespace tn = zrd::tuning;

constexpr const char* kStepUsage =
    "--port DEV step [--amp RPM] [--base RPM] [--tick CODE] [--ch SIG] [--json] [-o FILE.dat]";
constexpr int kMsDecimals = 2;
constexpr auto kStepProgressInterval = std::chrono::milliseconds(200);

// Shows the record's progress on a terminal, as `scope offline` does.
class StepProgress {
public:
    explicit StepProgress(const tn::StepTest& test)
        : m_test(test), m_shown(::isatty(STDERR_FILENO) == 1) {}
    ~StepProgress() {
        if (m_shown)
            std::fprintf(stderr, "\n");
    }
    StepProgress(const StepProgress&) = delete;
    StepProgress& operator=(const StepProgress&) = delete;

    void afterWake() {
        const auto now = std::chrono::steady_clock::now();
        if (!m_shown || now < m_next || !m_test.capture())
            return;
        const sc::OfflineCapture& c = *m_test.capture();
        if (c.phase() == sc::OfflinePhase::Armed)
            std::fprintf(stderr, "\rarmed, waiting for the trigger");
        else
            std::fprintf(stderr, "\rrecords %d/%d  dropped %d  busy %d", c.records(),
                         sc::kOfflineSamples, c.dropped(), c.busyReplies());
        m_next = now + kStepProgressInterval;
    }

private:
    const tn::StepTest& m_test;
    bool m_shown;
    std::chrono::steady_clock::time_point m_next{};
};

// Says on stderr what the drive did not take back.
void reportRestore(const tn::StepOutcome& o) {
    if (o.generatorNotStopped)
        std::fprintf(stderr, "zrdctl: the function generator did not stop\n");
    if (o.restoreSkipped) {
        std::fprintf(stderr,
                     "zrdctl: the link is lost: the generator and scope settings were "
                     "not put back\n");
        return;
    }
    for (const std::string& name : o.notRestored)
        std::fprintf(stderr, "zrdctl: %s could not be put back\n", name.c_str());
}

// Ends the command for a run without figures, by why.
[[noreturn]] void throwFailure(Session& s, const tn::StepOutcome& o) {
    switch (o.failure) {
        case tn::StepFailure::MissingParameter:
            s.lacks(o.parameter);
        case tn::StepFailure::NoAnswer:
            throw LinkError("no answer for " + o.parameter + " on " + s.device);
        case tn::StepFailure::NotSpeedMode:
            throw CliError("the drive is not in speed mode (OPMOD " +
                           formatGeneral(o.operatingMode) + "); nothing was written");
        case tn::StepFailure::ServoOff:
            throw CliError("the servo is off");
        case tn::StepFailure::SourceNotInternal:
            throw CliError("the command source is not internal");
        case tn::StepFailure::WaveRefused:
            throw CliError("the generator cannot make this step; nothing was written");
        case tn::StepFailure::WaveNotTaken:
            throw CliError("the drive did not take the generator's " + o.parameter);
        case tn::StepFailure::SetupNotTaken:
            throw CliError("the drive on " + s.device + " did not take " + o.parameter);
        case tn::StepFailure::StartNotSent:
            throw LinkError("the start frame could not be sent to the drive on " + s.device);
        case tn::StepFailure::GeneratorNotStarted:
            throw CliError("the drive on " + s.device + " did not start the function generator");
        case tn::StepFailure::RecordIncomplete:
        case tn::StepFailure::Cancelled:
            throw CliError("the record from the drive on " + s.device + " is incomplete (" +
                           tn::recordEndText(o.recordEnd) + ")");
        case tn::StepFailure::NoStep:
            throw CliError("the record shows no step of the command " +
                           std::string(tn::kStepCommandSignal));
        case tn::StepFailure::LinkLost:
        case tn::StepFailure::Busy:
        case tn::StepFailure::None:
            break;
    }
    s.checkLink();
    throw LinkError("the drive on " + s.device + " is busy");
}

std::string msText(const std::optional<double>& ms, bool json) {
    if (!ms)
        return json ? "null" : "never";
    return json ? jsonNumber(*ms) : sc::fixedText(*ms, kMsDecimals) + " ms";
}

void printFigures(const tn::StepFigures& f, const std::vector<double>& gains, bool json) {
    if (json) {
        std::printf(
            "{\"overshoot_percent\": %s, \"rise_ms\": %s, \"settling_2_ms\": %s, "
            "\"settling_5_ms\": %s, \"steady_error_rpm\": %s, \"peak_current_a\": %s, "
            "\"current_limited\": %s, \"kpv\": %s, \"kiv\": %s}\n",
            jsonNumber(f.overshootPercent).c_str(), msText(f.riseMs, true).c_str(),
            msText(f.settling2Ms, true).c_str(), msText(f.settling5Ms, true).c_str(),
            jsonNumber(f.steadyErrorRpm).c_str(), jsonNumber(f.peakCurrentA).c_str(),
            f.currentLimited ? "true" : "false", jsonNumber(gains.at(0)).c_str(),
            jsonNumber(gains.at(1)).c_str());
        return;
    }
    std::printf("step: %s -> %s rpm (KPV %s, KIV %s)\n", sc::fixedText(f.commandBefore, 1).c_str(),
                sc::fixedText(f.commandAfter, 1).c_str(), sc::fixedText(gains.at(0), 3).c_str(),
                sc::fixedText(gains.at(1), 3).c_str());
    std::printf(
        "overshoot %s %%\nrise (10-90 %%) %s\nsettling (2 %%) %s\nsettling (5 %%) %s\n"
        "steady-state error %s rpm\npeak current %s A%s\n",
        sc::fixedText(f.overshootPercent, 2).c_str(), msText(f.riseMs, false).c_str(),
        msText(f.settling2Ms, false).c_str(), msText(f.settling5Ms, false).c_str(),
        sc::fixedText(f.steadyErrorRpm, 2).c_str(), sc::fixedText(f.peakCurrentA, 2).c_str(),
        f.currentLimited ? " (the current limit was reached)" : "");
}

int stepCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const double amplitude = parseDouble(takeOption(args, "--amp").value_or("100"), "--amp");
    const double base = parseDouble(takeOption(args, "--base").value_or("0"), "--base");
    const int tick =
        parseInt(takeOption(args, "--tick").value_or("0"), "--tick", 0, sc::kOfflineTickCodes - 1);
    const std::string fourth = takeOption(args, "--ch").value_or("0");
    const bool json = takeFlag(args, "--json");
    const auto file = takeOption(args, "-o");
    if (!args.empty())
        throw UsageError(std::string("usage: zrdctl ") + kStepUsage);
    if (amplitude == 0 || std::trunc(amplitude / 2) * 2 != amplitude)
        throw UsageError(
            "--amp must be an even number of rpm other than 0 (the square wave "
            "swings half of it either way), not " +
            formatGeneral(amplitude));
    if (file && sc::formatOfPath(*file) != sc::OscillogramFormat::Dat)
        throw UsageError(*file + ": the record is saved as *.dat");

    Session s(options,
              {"OPMOD", "INST", "KPV", "KIV", tn::kStepCommandSignal, tn::kStepActualSignal,
               tn::kStepCurrentSignal, "OSCMOD", "RCFREQ", "CH1SEL", "TRGTYP", "IIT"});
    (void)s.statusWord(params::kStateBitWords[0]);
    for (const char* name : {tn::kStepCommandSignal, tn::kStepActualSignal, tn::kStepCurrentSignal})
        (void)signalOf(s, name, "--ch");
    tn::StepSettings settings;
    settings.amplitudeRpm = amplitude;
    settings.baseRpm = base;
    settings.tickCode = tick;
    settings.fourthSignal = signalOf(s, fourth, "--ch");
    s.connect(options);

    tn::StepTest test(*s.link, *s.access, s.model(), s.db->messages);
    test.record().header.startStamp = stampNow();
    bool waited = true;
    if (test.start(settings, sc::CaptureClock::now())) {
        StepProgress progress(test);
        waited = tn::runStepRecord(test, *s.port, [&] { progress.afterWake(); });
    }
    test.record().header.stopStamp = stampNow();
    const tn::StepOutcome& outcome = test.outcome();
    reportRestore(outcome);
    if (!waited)
        throw LinkError("waiting for the drive on " + s.device + " failed: " + s.port->lastError());
    // The record is saved also when it shows no step: it tells why.
    if (file && outcome.recordEnd == sc::OfflineEnd::Complete) {
        if (const sc::FileResult r = sc::writeOscillogramFile(*file, test.record(), s.model()); !r)
            throw CliError(r.error);
    }
    if (!outcome.figures)
        throwFailure(s, outcome);
    const tn::StepFigures& figures = *outcome.figures;
    const std::vector<double> gains = {outcome.loop.kpv, outcome.loop.kiv};
    printFigures(figures, gains, json);
    return kExitOk;
}

}  // namespace

void addStepCommands(CommandList& list) {
    list.push_back(
        {"step", kStepUsage, stepCommand,
         "A speed step of RPM (100; even) from the base speed RPM (0), made by the function "
         "generator's square wave in the middle of an offline record at the tick CODE (0: 2048 "
         "samples of 0.25 ms), with the channels VSET, VACT, ISET and SIG (0: none). Prints the "
         "overshoot, the rise time 10-90 %, the settling times to 2 % and 5 %, the steady-state "
         "error, the peak current and whether it reached the drive's current limit, with the KPV "
         "and KIV the drive ran; --json prints them as one object. -o saves the record. Needs "
         "the servo on, speed mode and the internal command source; the generator's and the "
         "scope's settings are put back afterwards, also when the record fails."});
}

}  // namespace zrd::cli
