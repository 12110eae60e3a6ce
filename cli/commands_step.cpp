// zrdctl step: a speed step made by the function generator, recorded by the offline scope and
// measured; the generator's and the scope's settings are put back afterwards.
#include <cmath>
#include <cstdio>
#include <memory>
#include <variant>

#include "cli.h"
#include "core/number_text.h"
#include "drive_session.h"
#include "offline_record.h"
#include "scope/oscillogram_file.h"
#include "scope/trace_view.h"
#include "tuning/function_generator.h"
#include "tuning/step_response.h"

namespace zrd::cli {
namespace {

namespace sc = zrd::scope;
namespace tn = zrd::tuning;

constexpr const char* kStepUsage =
    "--port DEV step [--amp RPM] [--base RPM] [--tick CODE] [--ch SIG] [--json] [-o FILE.dat]";
constexpr int kSpeedMode = 2;
// The channels of the record: the command, the actual speed, the current command, and the
// user's fourth.
constexpr const char* kCommandSignal = "VSET";
constexpr const char* kActualSignal = "VACT";
constexpr const char* kCurrentSignal = "ISET";
// What the step writes, and so keeps to put back: the generator's signal and the recorder.
constexpr const char* kTouched[] = {"IIT",    "IIP1V",  "IIP2V",  "IIP3V",  "IIP4V",
                                    "IIP1U",  "IIP2U",  "IIP3U",  "IIP4U",  "PCRT",
                                    "OSCMOD", "RCFREQ", "CH1SEL", "CH2SEL", "CH3SEL",
                                    "CH4SEL", "TRGTYP", "TRGSRC", "TRGLEV", "TRGPOS"};
// The current limits, the smallest of which counts as the limit reached.
constexpr const char* kCurrentLimits[] = {"IFL", "ILIMP", "ILIMN"};
constexpr const char* kGains[] = {"KPV", "KIV"};
constexpr int kMsDecimals = 2;

// The values the step will overwrite, as the drive holds them now.
tn::WavePlan backupOf(Session& s) {
    tn::WavePlan backup;
    for (const char* name : kTouched)
        if (s.model().find(name))
            backup.writes.push_back({name, readParameter(s, name)});
    return backup;
}

// Puts the backup back; says on stderr what the drive did not take.
void restore(Session& s, const tn::WavePlan& backup) {
    if (s.link->state().hungUp) {
        std::fprintf(stderr,
                     "zrdctl: the link is lost: the generator and scope settings were "
                     "not put back\n");
        return;
    }
    std::vector<std::string> failed;
    (void)tn::writeWave(*s.link, *s.access, s.model(), s.db->messages, backup, &failed);
    for (const std::string& name : failed)
        std::fprintf(stderr, "zrdctl: %s could not be put back\n", name.c_str());
}

std::optional<double> currentLimit(Session& s) {
    std::optional<double> limit;
    for (const char* name : kCurrentLimits) {
        if (!s.model().find(name))
            continue;
        const double value = readParameter(s, name);
        if (value > 0)
            limit = std::min(limit.value_or(value), value);
    }
    return limit;
}

std::vector<double> channelValues(const sc::Oscillogram& osc, int channel) {
    std::vector<double> values(sc::kOfflineSamples);
    for (int n = 0; n < sc::kOfflineSamples; ++n)
        values[static_cast<size_t>(n)] = osc.buffer.channel(n, channel);
    return values;
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

    Session s(options, {"OPMOD", "INST", "KPV", "KIV", kCommandSignal, kActualSignal,
                        kCurrentSignal, "OSCMOD", "RCFREQ", "CH1SEL", "TRGTYP", "IIT"});
    OfflineRecordRun run;
    run.setup.tickCode = tick;
    run.setup.trigger = sc::TriggerType::Generator;
    run.setup.channelSignals = {signalOf(s, kCommandSignal, "--ch"),
                                signalOf(s, kActualSignal, "--ch"),
                                signalOf(s, kCurrentSignal, "--ch"), signalOf(s, fourth, "--ch")};
    run.waitS = sc::recordSeconds(tick) + 10;
    run.startFg = true;
    s.connect(options);

    // Safety first: nothing is written unless the loop can take the step.
    if (std::lround(readParameter(s, "OPMOD")) != kSpeedMode)
        throw CliError("the drive is not in speed mode (OPMOD " +
                       formatGeneral(readParameter(s, "OPMOD")) + "); nothing was written");
    requireGeneratorMayStart(s);
    tn::GeneratorMode mode;
    mode.operatingMode = kSpeedMode;
    const auto planned = tn::planWave(tn::stepWave(amplitude, base, tick), mode);
    if (const auto* refusal = std::get_if<tn::WaveRefusal>(&planned)) {
        if (refusal->message != 0)
            s.db->messages.show(s.ui, refusal->message, s.model().language());
        throw CliError("the generator cannot make this step; nothing was written");
    }
    std::vector<double> gains;
    for (const char* name : kGains)
        gains.push_back(readParameter(s, name));
    const std::optional<double> limit = currentLimit(s);
    const tn::WavePlan backup = backupOf(s);

    auto osc = std::make_unique<sc::Oscillogram>();
    OfflineRecordResult recorded;
    try {
        std::vector<std::string> failed;
        (void)tn::writeWave(*s.link, *s.access, s.model(), s.db->messages,
                            std::get<tn::WavePlan>(planned), &failed);
        s.checkLink();
        if (!failed.empty())
            throw CliError("the drive did not take the generator's " + failed.front());
        recorded = recordOffline(s, *osc, run);
    } catch (...) {
        restore(s, backup);
        throw;
    }
    restore(s, backup);
    if (recorded.end != sc::OfflineEnd::Complete)
        throw CliError("the record from the drive on " + s.device + " is incomplete (" +
                       offlineEndText(recorded.end) + ")");
    if (file) {
        if (const sc::FileResult r = sc::writeOscillogramFile(*file, *osc, s.model()); !r)
            throw CliError(r.error);
    }
    const std::optional<tn::StepFigures> figures =
        tn::measureStep(channelValues(*osc, 1), channelValues(*osc, 2), channelValues(*osc, 3),
                        osc->header.tick, limit);
    if (!figures)
        throw CliError("the record shows no step of the command " + std::string(kCommandSignal));
    printFigures(*figures, gains, json);
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
