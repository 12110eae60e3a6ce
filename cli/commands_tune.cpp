// zrdctl tune: the speed loop tuned from a measured plant; a dry run unless --apply.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <memory>

#include "cli.h"
#include "core/number_text.h"
#include "core/os_error.h"
#include "core/version.h"
#include "drive_session.h"
#include "params/type_tables.h"
#include "scope/trace_view.h"
#include "stop_signals.h"
#include "tuning/speed_loop_tuner.h"
#include "tuning/tune_json.h"
#include "tuning/tune_report.h"

namespace zrd::cli {
namespace {

namespace pm = zrd::params;
namespace tn = zrd::tuning;

constexpr const char* kTuneUsage =
    "--port DEV tune [--bandwidth HZ|auto] [--phase-margin DEG] [--gain-margin DB] [--amp RPM] "
    "[--fmin HZ] [--fmax HZ] [--filters N] [--apply] [--save] [--report FILE.html] [--json]";
constexpr auto kTuneProgressInterval = std::chrono::milliseconds(200);
constexpr double kHighestTuneHz = 2000.0;
constexpr double kSmallestTuneAmplitudeRpm = 2.0;
constexpr const char* kBackupFileName = "zrdctl-tune-backup.txt";

std::string fixed(double value, int decimals) {
    return scope::fixedText(value, decimals);
}

std::string orNone(const std::optional<double>& value, int decimals, const char* unit) {
    return value ? fixed(*value, decimals) + unit : std::string("none");
}

std::string filtersText(const tn::TunedLoop& loop) {
    std::string text;
    for (const tn::TunedFilter& f : loop.filters)
        text += (text.empty() ? "" : "; ") + std::to_string(f.slot) + ": type " +
                std::to_string(f.type) + ", " + fixed(f.hz, 1) + " Hz, Q " + fixed(f.q, 3);
    return text.empty() ? "none" : text;
}

std::string loopText(const tn::TunedLoop& loop) {
    return "KPV " + fixed(loop.kpvMaPerRpm, 2) + " mA/rpm, KIV " + fixed(loop.kivMs, 1) +
           " ms, filters " + filtersText(loop);
}

std::string figuresText(const tn::LoopFigures& f) {
    return "crossover " + orNone(f.crossoverHz, 1, " Hz") + ", phase margin " +
           orNone(f.phaseMarginDeg, 1, " deg") + ", gain margin " +
           (f.gainMarginDb ? fixed(*f.gainMarginDb, 1) + " dB" : std::string("infinite")) +
           ", bandwidth (-3 dB) " + orNone(f.bandwidthHz, 1, " Hz") + ", overshoot " +
           orNone(f.overshootPercent, 1, " %");
}

void printSummary(const tn::TuneResult& r, bool apply) {
    const tn::PlantFit& fit = r.fit;
    if (fit.status == tn::FitStatus::Ok && fit.inertiaKgCm2 > 0.0) {
        std::printf(
            "plant: inertia %s kg*cm2 (JRATIO %s %%), damping %s N*cm/krpm, fit residual %s dB\n",
            fixed(fit.inertiaKgCm2, 3).c_str(), fixed(fit.inertiaRatioPercent, 1).c_str(),
            fixed(fit.viscousNcmPerKrpm, 2).c_str(), fixed(fit.residualDb, 2).c_str());
        for (size_t i = 0; i < fit.model.modes.size(); ++i) {
            const tn::PlantMode& m = fit.model.modes[i];
            std::printf(
                "  mode %zu: anti-resonance %s Hz (damping %s), resonance %s Hz (damping %s)\n",
                i + 1, fixed(m.antiResonanceHz, 1).c_str(),
                fixed(m.antiResonanceDamping, 3).c_str(), fixed(m.resonanceHz, 1).c_str(),
                fixed(m.resonanceDamping, 3).c_str());
        }
        std::printf("before:    %s\n", loopText(r.before).c_str());
        std::printf("           predicted %s\n",
                    figuresText(tn::loopFigures(r.predictedBefore)).c_str());
        std::printf("proposed:  %s\n", loopText(r.proposed).c_str());
        std::printf("           predicted %s\n", figuresText(r.predicted).c_str());
    }
    if (r.measured)
        std::printf("measured:  %s\n", figuresText(*r.measured).c_str());
    for (const tn::VerifyCheck& c : r.checks)
        std::printf("check %s: %s (%s)\n", c.name.c_str(), c.passed ? "passed" : "FAILED",
                    c.detail.c_str());
    if (r.verified)
        std::printf("%s\n", r.saved ? "applied, verified and stored in the EEPROM"
                                    : "applied and verified (RAM only; --save stores it)");
    else if (!apply && fit.status == tn::FitStatus::Ok)
        std::printf("dry run: the drive's tuning is unchanged (--apply writes the proposal)\n");
}

std::string dateText() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    (void)::gmtime_r(&now, &utc);
    char text[32];
    (void)std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
    return text;
}

// Keeps the values from before the run where the user finds them, when the drive could not
// take them back.
std::string writeBackup(const tn::SpeedLoopTuner& tuner) {
    std::ofstream out(kBackupFileName, std::ios::binary);
    for (const auto& [name, value] : tuner.backup())
        out << name << ' ' << formatGeneral(value) << "\r\n";
    return out ? kBackupFileName : std::string();
}

class TuneProgress {
public:
    explicit TuneProgress(const tn::SpeedLoopTuner& tuner)
        : m_tuner(tuner), m_shown(::isatty(STDERR_FILENO) == 1) {}
    ~TuneProgress() {
        if (m_shown)
            std::fprintf(stderr, "\n");
    }
    TuneProgress(const TuneProgress&) = delete;
    TuneProgress& operator=(const TuneProgress&) = delete;

    void afterWake() {
        const auto now = std::chrono::steady_clock::now();
        if (!m_shown || now < m_next)
            return;
        std::fprintf(stderr, "\r\033[K%3.0f %%  %s", 100.0 * m_tuner.progress(),
                     m_tuner.phaseText().c_str());
        m_next = now + kTuneProgressInterval;
    }

private:
    const tn::SpeedLoopTuner& m_tuner;
    bool m_shown;
    std::chrono::steady_clock::time_point m_next{};
};

bool linkFailure(const tn::TuneOutcome& o) {
    switch (o.failure) {
        case tn::TuneFailure::NoAnswer:
        case tn::TuneFailure::LinkLost:
            return true;
        case tn::TuneFailure::RecordIncomplete:
            return o.recordEnd == scope::OfflineEnd::Silent ||
                   o.recordEnd == scope::OfflineEnd::HungUp ||
                   o.recordEnd == scope::OfflineEnd::Cancelled;
        default:
            return false;
    }
}

int tuneCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    tn::TuneSettings settings;
    if (const auto bandwidth = takeOption(args, "--bandwidth"); bandwidth && *bandwidth != "auto") {
        settings.targets.crossoverHz = parseDouble(*bandwidth, "--bandwidth");
        if (!(*settings.targets.crossoverHz > 0.0))
            throw UsageError("--bandwidth must be above 0 Hz or auto");
    }
    if (const auto pm = takeOption(args, "--phase-margin"))
        settings.targets.phaseMarginDeg = parseDouble(*pm, "--phase-margin");
    if (const auto gm = takeOption(args, "--gain-margin"))
        settings.targets.gainMarginDb = parseDouble(*gm, "--gain-margin");
    if (const auto amp = takeOption(args, "--amp"))
        settings.maxAmplitudeRpm = parseDouble(*amp, "--amp");
    if (const auto fmin = takeOption(args, "--fmin"))
        settings.fromHz = parseDouble(*fmin, "--fmin");
    if (const auto fmax = takeOption(args, "--fmax"))
        settings.toHz = parseDouble(*fmax, "--fmax");
    if (const auto filters = takeOption(args, "--filters"))
        settings.maxFilters = parseInt(*filters, "--filters", 0, tn::kFilterSlots);
    settings.apply = takeFlag(args, "--apply");
    settings.save = takeFlag(args, "--save");
    const auto report = takeOption(args, "--report");
    const bool json = takeFlag(args, "--json");
    if (!args.empty())
        throw UsageError(std::string("usage: zrdctl ") + kTuneUsage);
    if (!(settings.fromHz > 0.0 && settings.fromHz < settings.toHz &&
          settings.toHz <= kHighestTuneHz))
        throw UsageError("--fmin and --fmax must satisfy 0 < fmin < fmax <= 2000 Hz");
    if (!(settings.maxAmplitudeRpm >= kSmallestTuneAmplitudeRpm))
        throw UsageError("--amp must be at least 2 rpm");
    if (!(settings.targets.phaseMarginDeg > 0.0 && settings.targets.phaseMarginDeg < 90.0))
        throw UsageError("--phase-margin must lie between 0 and 90 degrees");
    if (!(settings.targets.gainMarginDb > 0.0))
        throw UsageError("--gain-margin must be above 0 dB");
    if (settings.save && !settings.apply)
        throw UsageError("--save stores an applied proposal: give --apply too");

    Session s(options, {"OPMOD", "INST", "KPV", "KIV", "MKT", "MJ", "VFILT", "VLIM",
                        tn::kStepCommandSignal, tn::kStepActualSignal, tn::kStepCurrentSignal,
                        "OSCMOD", "RCFREQ", "CH1SEL", "TRGTYP", "IIT"});
    pm::TypeTables tables;
    (void)tables.load(inDataFolder(options, pm::kMotorTypeFileName),
                      inDataFolder(options, pm::kDriveTypeFileName), s.db->messages, s.ui,
                      s.model().language());
    s.connect(options);

    const StopSignals stop;
    tn::SpeedLoopTuner tuner(*s.link, *s.access, s.model(), s.db->messages, tables);
    bool waited = true;
    if (tuner.start(settings, scope::CaptureClock::now())) {
        TuneProgress progress(tuner);
        waited = tn::runTune(tuner, *s.port, [&] {
            if (stop.arrived())
                tuner.cancel();
            progress.afterWake();
        });
    }
    tn::TuneResult result = tuner.result();
    const tn::TuneOutcome& outcome = tuner.outcome();
    if (!result.notRestored.empty()) {
        result.backupFile = writeBackup(tuner);
        std::string names;
        for (const std::string& name : result.notRestored)
            names += (names.empty() ? "" : ", ") + name;
        std::fprintf(stderr, "zrdctl: could not put back %s; the values from before are in %s\n",
                     names.c_str(),
                     result.backupFile.empty() ? "no file (it cannot be written)"
                                               : result.backupFile.c_str());
    }
    if (!waited)
        throw LinkError("waiting for the drive on " + s.device + " failed: " + s.port->lastError());

    const bool measuredSomething =
        result.fit.status == tn::FitStatus::Ok && result.fit.inertiaKgCm2 > 0.0;
    if (measuredSomething) {
        if (json)
            std::printf("%s\n", tn::tuneResultJson(result).c_str());
        else
            printSummary(result, settings.apply);
        if (report) {
            tn::TuneReportInfo info;
            info.program = "QX Torvanta " + versionText();
            info.port = s.device;
            info.date = dateText();
            std::ofstream out(*report, std::ios::binary);
            out << tn::tuneReportHtml(result, info);
            if (!out)
                throw CliError("the report cannot be written to " + *report);
        }
    }
    if (outcome.failure == tn::TuneFailure::None)
        return kExitOk;
    const std::string reason = tn::tuneFailureText(outcome);
    if (linkFailure(outcome))
        throw LinkError(reason + " (" + s.device + ")");
    throw CliError(reason);
}

}  // namespace

void addTuneCommands(CommandList& list) {
    list.push_back(
        {"tune", kTuneUsage, tuneCommand,
         "Tunes the speed loop from a measured plant. Chirps of the function generator around "
         "150 rpm, recorded offline (VSET, ISET, VACT) in bands covering --fmin..--fmax (10..2000 "
         "Hz), the amplitude raised from small up to --amp RPM (1000) while the current stays "
         "below half its limit; the plant estimated, fitted (inertia, JRATIO, resonances), and "
         "KPV, KIV and up to --filters N (2) notches in free filter slots proposed for a phase "
         "margin of --phase-margin DEG (45) and a gain margin of --gain-margin DB (8), at the "
         "highest crossover they allow or at --bandwidth HZ (the open loop's crossover). "
         "Prints the model, the loop before and as proposed with the predicted figures; --json "
         "prints one object, --report writes an HTML report. A dry run: the drive's tuning is "
         "not changed unless --apply, which writes the proposal, measures again and verifies "
         "(crossover within 15 % of the prediction, margins within 5 deg and 2 dB of the "
         "targets, |T| within 2 dB up to the bandwidth); a failed check puts the previous values "
         "back and exits 1. --save stores the verified values in the EEPROM. Needs the servo on, "
         "speed mode, the internal command source and no error (else exit 1, nothing written). "
         "The generator's and the scope's settings are put back however it ends, also on Ctrl+C; "
         "a lost link exits 3 and names what could not be put back."});
}

}  // namespace zrd::cli
