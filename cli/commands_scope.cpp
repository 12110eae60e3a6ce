// zrdctl subcommands of the oscilloscope: an online capture saved to a file.
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <ctime>
#include <thread>

#include "drive_session.h"
#include "offline_record.h"
#include "scope/offline_capture.h"
#include "scope/online_capture.h"
#include "scope/oscillogram_file.h"
#include "scope/scope_settings.h"
#include "scope/trigger.h"
#include "tuning/function_generator.h"

namespace zrd::cli {
namespace {

namespace lk = zrd::link;
namespace sc = zrd::scope;
using Clock = sc::CaptureClock;

constexpr const char* kScopeUsage =
    "usage: --port DEV scope online --rate 1000|500|250|125 --ch1 SIG --ch2 SIG [--samples N] "
    "-o FILE.dat|FILE.csv\n"
    "       --port DEV scope offline --tick 0..9 --ch SIG SIG SIG SIG "
    "[--trigger none|rising|falling|full|fg] [--source 1..4] [--level L] [--pre P] "
    "[--wait SECONDS] [--start-fg] -o FILE.dat|FILE.csv";
// No preview is drawn here; the class only sets its stride.
constexpr int kCpuSpeedClass = 2;
constexpr auto kProgressInterval = std::chrono::milliseconds(200);

int rateCode(const std::string& text) {
    for (const sc::Rate& r : sc::kRates)
        if (text == std::to_string(static_cast<int>(r.frequency)))
            return r.code;
    throw UsageError("--rate must be 1000, 500, 250 or 125, not \"" + text + "\"");
}

void writeSetting(Session& s, const char* mnemonic, int value, sc::WriteRule rule) {
    if (sc::writeScopeParameter(*s.link, *s.access, s.model(), mnemonic, value, rule))
        return;
    s.checkLink();
    throw CliError("the drive on " + s.device + " did not take " + mnemonic + " = " +
                   std::to_string(value));
}

const char* endText(sc::CaptureEnd end, bool byCount) {
    switch (end) {
        case sc::CaptureEnd::BufferFull:
            return "buffer full";
        case sc::CaptureEnd::UserStop:
            return byCount ? "sample count reached" : "stopped";
        case sc::CaptureEnd::Silent:
            return "drive fell silent";
        case sc::CaptureEnd::Refused:
            return "drive refused";
        case sc::CaptureEnd::WriteFailed:
            return "stop frame not sent";
        case sc::CaptureEnd::HungUp:
            return "link lost";
        case sc::CaptureEnd::Idle:
        case sc::CaptureEnd::Running:
            break;
    }
    return "running";
}

// Feeds the capture from the port until it ends, with a progress line on a terminal.
void runCapture(Session& s, sc::OnlineCapture& capture, int samples) {
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    auto nextProgress = Clock::now();
    const auto showProgress = [&](const char* end) {
        std::fprintf(stderr, "\rsamples %d/%d  dropped %d %s", capture.samples(), samples,
                     capture.dropped(), end);
    };
    const bool waited = sc::runCapture(capture, *s.port, [&] {
        if (!progress || Clock::now() < nextProgress)
            return;
        showProgress("");
        nextProgress = Clock::now() + kProgressInterval;
    });
    if (progress)
        showProgress("\n");
    if (!waited)
        throw LinkError("waiting for the drive on " + s.device + " failed: " + s.port->lastError());
}

int onlineCommand(Args args, const GlobalOptions& options) {
    const auto rate = takeOption(args, "--rate");
    const auto ch1 = takeOption(args, "--ch1");
    const auto ch2 = takeOption(args, "--ch2");
    const int samples =
        parseInt(takeOption(args, "--samples").value_or(std::to_string(sc::kRecordCount)),
                 "--samples", 1, sc::kRecordCount);
    const auto file = takeOption(args, "-o");
    if (!args.empty() || !rate || !ch1 || !ch2 || !file)
        throw UsageError(kScopeUsage);
    if (!sc::formatOfPath(*file))
        throw UsageError(*file + ": an oscillogram file is named *.dat or *.csv");
    const int code = rateCode(*rate);

    Session s(options, {"OSCMOD", "MDFRQ", "MDTYP1", "MDTYP2"});
    auto osc = std::make_unique<sc::Oscillogram>();
    osc->rateCode = code;
    osc->channel(1) = sc::channelOfSignal(s.model(), signalOf(s, *ch1, "--ch1"));
    osc->channel(2) = sc::channelOfSignal(s.model(), signalOf(s, *ch2, "--ch2"));
    s.connect(options);
    writeSetting(s, "OSCMOD", 1, sc::WriteRule::IfChanged);
    writeSetting(s, "MDFRQ", code, sc::WriteRule::IfChanged);
    writeSetting(s, "MDTYP1", osc->channel(1).signal, sc::WriteRule::Always);
    writeSetting(s, "MDTYP2", osc->channel(2).signal, sc::WriteRule::Always);

    sc::OnlineCapture capture(*s.link, *osc, s.model(), s.db->messages);
    capture.setSampleLimit(samples);
    osc->header.startStamp = stampNow();
    if (!capture.start(kCpuSpeedClass, Clock::now())) {
        s.checkLink();
        throw LinkError("the start frame could not be sent to the drive on " + s.device);
    }
    runCapture(s, capture, samples);
    osc->header.stopStamp = stampNow();

    const sc::CaptureEnd end = capture.end();
    if (end == sc::CaptureEnd::Refused)
        throw CliError("the drive on " + s.device + " refused to stream");
    if (end == sc::CaptureEnd::Silent && !s.link->state().hungUp &&
        s.link->sendCommand(lk::kCmdScope, 0, 0, 0) < 0)
        // Told in case it only paused; the capture stands either way.
        std::fprintf(stderr, "zrdctl: the stop frame could not be sent: %s\n",
                     s.port->lastError().c_str());
    const bool saved = capture.samples() > 0 || end == sc::CaptureEnd::Silent;
    if (saved) {
        const sc::FileResult r = sc::writeOscillogramFile(*file, *osc, s.model());
        if (!r)
            throw CliError(r.error);
    }
    std::printf("scope online: samples %d, dropped %d, rate %.1f Hz, %s%s%s\n", capture.samples(),
                capture.dropped(), capture.achievedRate(),
                endText(end, capture.samples() == samples), saved ? ", saved " : "",
                saved ? file->c_str() : "");
    std::fflush(stdout);
    s.checkLink();
    if (end == sc::CaptureEnd::WriteFailed)
        throw LinkError("the stop frame could not be sent to the drive on " + s.device);
    return 0;
}

// The offline scope's waits beyond the record time: a full buffer comes within seconds of it;
// an edge or the generator may take a while to come (the drive must first hold the
// pre-trigger samples, then the event must happen).
constexpr double kFullBufferWaitS = 10;
constexpr double kEventWaitS = 60;
// After the record time of a capture without trigger, before the stop: the drive's ring is
// surely full, so that it answers with the record rather than busy.
constexpr auto kRecordSlack = std::chrono::milliseconds(100);

sc::TriggerType triggerOf(const std::string& text) {
    struct Name {
        const char* text;
        sc::TriggerType type;
    };
    for (const Name& n :
         {Name{"none", sc::TriggerType::None}, Name{"rising", sc::TriggerType::Rising},
          Name{"falling", sc::TriggerType::Falling}, Name{"full", sc::TriggerType::FullBuffer},
          Name{"fg", sc::TriggerType::Generator}})
        if (text == n.text)
            return n.type;
    throw UsageError("--trigger must be none, rising, falling, full or fg, not \"" + text + "\"");
}

// Pulls "--ch A B C D" out of args.
std::optional<std::array<std::string, sc::kChannelCount>> takeChannels(Args& args) {
    const auto at = std::find(args.begin(), args.end(), "--ch");
    if (at == args.end())
        return std::nullopt;
    if (args.end() - at <= sc::kChannelCount)
        throw UsageError("--ch needs four signals, one per channel (0 for none)");
    std::array<std::string, sc::kChannelCount> names;
    std::copy(at + 1, at + 1 + sc::kChannelCount, names.begin());
    args.erase(at, at + 1 + sc::kChannelCount);
    return names;
}

// Waits out the recording of a capture without trigger: its record time, in steps that show
// progress on a terminal.
void waitRecordTime(int tickCode, bool progress) {
    const auto record = std::chrono::duration_cast<Clock::duration>(
        std::chrono::duration<double>(sc::recordSeconds(tickCode)));
    const auto end = Clock::now() + record + kRecordSlack;
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        if (progress)
            std::fprintf(stderr, "\rrecording %.1f of %.1f s",
                         sc::recordSeconds(tickCode) -
                             std::chrono::duration<double>(end - now - kRecordSlack).count(),
                         sc::recordSeconds(tickCode));
        std::this_thread::sleep_for(std::min<Clock::duration>(end - now, kProgressInterval));
    }
}

}  // namespace

std::string stampNow() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    char date[16] = {};
    char time[16] = {};
    std::strftime(date, sizeof date, "%d.%m.%y", &local);
    std::strftime(time, sizeof time, "%H:%M:%S", &local);
    return sc::makeStamp(date, time);
}

int signalOf(Session& s, const std::string& text, const std::string& option) {
    const std::optional<int> signal = sc::findScopeSignal(s.model(), text);
    if (!signal)
        throw UsageError(option + ": \"" + text + "\" is no scope signal (0 for none, 1.." +
                         std::to_string(s.model().scopeSignalCount() - 1) + " or a mnemonic)");
    return *signal;
}

const char* offlineEndText(sc::OfflineEnd end) {
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

OfflineRecordResult recordOffline(Session& s, sc::Oscillogram& osc, const OfflineRecordRun& how) {
    const sc::OfflineSetup& setup = how.setup;
    const double waitS = how.waitS;
    const bool startFg = how.startFg;
    std::string failed;
    if (!sc::writeOfflineSetup(*s.link, *s.access, s.model(), osc, setup, failed)) {
        s.checkLink();
        throw CliError("the drive on " + s.device + " did not take " + failed);
    }

    sc::OfflineCapture capture(*s.link, osc, s.model(), s.db->messages);
    const bool progress = ::isatty(STDERR_FILENO) == 1;
    osc.header.startStamp = stampNow();
    if (!capture.start({setup.trigger, false}, Clock::now())) {
        s.checkLink();
        throw LinkError("the start frame could not be sent to the drive on " + s.device);
    }
    const auto giveUpAt =
        Clock::now() + std::chrono::duration_cast<Clock::duration>(
                           std::chrono::duration<double>(waitS > 0 ? waitS : 1e9));
    auto nextProgress = Clock::now();
    bool generatorStarted = false;
    const auto afterWake = [&] {
        // Once armed and the start acknowledged, the capture holds the link: the generator's
        // start goes out under its hold, as the window's "Start FG" does while a record waits.
        if (startFg && !generatorStarted && capture.phase() == sc::OfflinePhase::Armed &&
            capture.startAcknowledged()) {
            generatorStarted = true;
            if (tuning::startGenerator(*s.link, s.model(), s.db->messages, true) !=
                tuning::CommandOutcome::Accepted) {
                capture.cancel();
                s.checkLink();
                throw CliError("the drive on " + s.device +
                               " did not start the function generator");
            }
        }
        const auto now = Clock::now();
        if (capture.phase() == sc::OfflinePhase::Armed && now >= giveUpAt)
            capture.cancel();
        if (!progress || now < nextProgress)
            return;
        if (capture.phase() == sc::OfflinePhase::Armed)
            std::fprintf(stderr, "\rarmed, waiting for the %s",
                         setup.trigger == sc::TriggerType::FullBuffer ? "full buffer" : "trigger");
        else
            std::fprintf(stderr, "\rrecords %d/%d  dropped %d  busy %d", capture.records(),
                         sc::kOfflineSamples, capture.dropped(), capture.busyReplies());
        nextProgress = now + kProgressInterval;
    };
    const auto run = [&] {
        if (!sc::runOfflineCapture(capture, *s.port, afterWake))
            throw LinkError("waiting for the drive on " + s.device +
                            " failed: " + s.port->lastError());
    };
    run();
    if (setup.trigger == sc::TriggerType::None && capture.phase() == sc::OfflinePhase::Recording) {
        waitRecordTime(setup.tickCode, progress);
        if (!capture.stop(Clock::now())) {
            s.checkLink();
            throw LinkError("the stop frame could not be sent to the drive on " + s.device);
        }
        run();
    }
    if (progress)
        std::fprintf(stderr, "\n");
    osc.header.stopStamp = stampNow();
    if (generatorStarted && !s.link->state().hungUp &&
        tuning::stopGenerator(*s.link, s.model(), s.db->messages) !=
            tuning::CommandOutcome::Accepted)
        std::fprintf(stderr, "zrdctl: the function generator did not stop\n");
    return {capture.end(), capture.records(), capture.dropped()};
}

namespace {

int offlineCommand(Args args, const GlobalOptions& options) {
    const auto tick = takeOption(args, "--tick");
    const auto channels = takeChannels(args);
    const sc::TriggerType trigger = triggerOf(takeOption(args, "--trigger").value_or("none"));
    const auto source = takeOption(args, "--source");
    const auto level = takeOption(args, "--level");
    const auto pre = takeOption(args, "--pre");
    const auto wait = takeOption(args, "--wait");
    const bool startFg = takeFlag(args, "--start-fg");
    const auto file = takeOption(args, "-o");
    if (!args.empty() || !tick || !channels || !file)
        throw UsageError(kScopeUsage);
    if (!sc::formatOfPath(*file))
        throw UsageError(*file + ": an oscillogram file is named *.dat or *.csv");
    sc::OfflineSetup setup;
    setup.tickCode = parseInt(*tick, "--tick", 0, sc::kOfflineTickCodes - 1);
    setup.trigger = trigger;
    setup.source = parseInt(source.value_or("1"), "--source", 1, sc::kChannelCount);
    setup.typedLevel = parseDouble(level.value_or("0"), "--level");
    if (!sc::levelInRange(setup.typedLevel))
        throw UsageError("--level must lie within -30000..30000, not " + *level);
    setup.position = parseInt(pre.value_or("0"), "--pre", 0, sc::kLastTriggerPosition);
    const double record = sc::recordSeconds(setup.tickCode);
    // 0: wait for the event as long as it takes.
    const double waitS =
        wait ? parseDouble(*wait, "--wait")
             : record + (trigger == sc::TriggerType::FullBuffer ? kFullBufferWaitS : kEventWaitS);
    if (waitS < 0)
        throw UsageError("--wait must not be negative");

    Session s(options, {"OSCMOD", "RCFREQ", "CH1SEL", "CH2SEL", "CH3SEL", "CH4SEL", "TRGTYP",
                        "TRGSRC", "TRGLEV", "TRGPOS", "OSCTRG"});
    for (size_t c = 0; c < channels->size(); ++c)
        setup.channelSignals.at(c) = signalOf(s, channels->at(c), "--ch");
    auto osc = std::make_unique<sc::Oscillogram>();
    s.connect(options);
    const OfflineRecordResult recorded = recordOffline(s, *osc, {setup, waitS, startFg});

    const sc::OfflineEnd end = recorded.end;
    if (end == sc::OfflineEnd::Refused)
        throw CliError("the drive on " + s.device + " refused the offline record");
    if (end == sc::OfflineEnd::Cancelled)
        throw CliError("no record from the drive on " + s.device + " within " +
                       std::to_string(static_cast<int>(std::ceil(waitS))) + " s");
    std::string trigged;
    if (end == sc::OfflineEnd::Complete && trigger != sc::TriggerType::None &&
        trigger != sc::TriggerType::FullBuffer) {
        if (const auto at = s.model().find("OSCTRG"); at && s.read(*at))
            trigged = ", trigger at sample " + std::to_string(std::lround(s.model().value(*at)));
    }
    const bool saved = recorded.records > 0;
    if (saved) {
        const sc::FileResult r = sc::writeOscillogramFile(*file, *osc, s.model());
        if (!r)
            throw CliError(r.error);
    }
    std::printf("scope offline: records %d, dropped %d, %s%s%s%s\n", recorded.records,
                recorded.dropped, offlineEndText(end), trigged.c_str(), saved ? ", saved " : "",
                saved ? file->c_str() : "");
    std::fflush(stdout);
    s.checkLink();
    if (end == sc::OfflineEnd::WriteFailed)
        throw LinkError("a frame could not be sent to the drive on " + s.device);
    if (end != sc::OfflineEnd::Complete)
        throw CliError("the record from the drive on " + s.device + " is incomplete (" +
                       offlineEndText(end) + ")");
    return 0;
}

int scopeCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    if (args.empty() || (args[0] != "online" && args[0] != "offline"))
        throw UsageError(kScopeUsage);
    const bool online = args[0] == "online";
    args.erase(args.begin());
    return online ? onlineCommand(std::move(args), options)
                  : offlineCommand(std::move(args), options);
}

}  // namespace

void addScopeCommands(CommandList& list) {
    list.push_back(
        {"scope",
         "--port DEV scope online --rate HZ --ch1 SIG --ch2 SIG [--samples N] -o FILE | "
         "scope offline --tick CODE --ch SIG SIG SIG SIG [--trigger T] [--source K] [--level L] "
         "[--pre P] [--wait S] [--start-fg] -o FILE",
         scopeCommand,
         "Captures signals with the online or the offline oscilloscope into a .dat or .csv file.\n"
         "online: two signals streamed at HZ = 1000, 500, 250 or 125.\n"
         "offline: the drive records four signals, 2048 samples at the tick CODE 0..9 (0.25 ms "
         "x 2^CODE), and sends the record back. T: none (record for the record time, then "
         "stop), rising or falling (an edge of channel K crossing L, in the channel's units, "
         "with P samples before it), full (2048 samples from the start) or fg (started by the "
         "function generator, P samples before its start). --wait bounds the wait for the "
         "record: by default the record time + 10 s for full, + 60 s for an edge or fg; 0 waits "
         "as long as it takes. --start-fg starts the function generator once the record is armed "
         "(and stops it after the record), so that a record with trigger fg holds its motion. "
         "A summary line \"records N, dropped M\" follows.\n"
         "SIG is a scope signal's number (0 for none) or mnemonic. Exit status 1 when the drive "
         "refuses, stays busy or sends no complete record in time, 3 when the link fails."});
}

}  // namespace zrd::cli
