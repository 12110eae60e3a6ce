// zrdctl subcommands of the oscilloscope: an online capture saved to a file.
#include <unistd.h>

#include <ctime>

#include "drive_session.h"
#include "scope/online_capture.h"
#include "scope/oscillogram_file.h"
#include "scope/scope_settings.h"

namespace zrd::cli {
namespace {

namespace lk = zrd::link;
namespace sc = zrd::scope;
using Clock = sc::CaptureClock;

constexpr const char* kUsage =
    "usage: --port DEV scope online --rate 1000|500|250|125 --ch1 SIG --ch2 SIG [--samples N] "
    "-o FILE.dat|FILE.csv";
// No preview is drawn here; the class only sets its stride.
constexpr int kCpuSpeedClass = 2;
constexpr auto kProgressInterval = std::chrono::milliseconds(200);

int rateCode(const std::string& text) {
    for (const sc::Rate& r : sc::kRates)
        if (text == std::to_string(static_cast<int>(r.frequency)))
            return r.code;
    throw CliError("--rate must be 1000, 500, 250 or 125, not \"" + text + "\"");
}

int signalOf(Session& s, const std::string& text, const std::string& option) {
    const std::optional<int> signal = sc::findScopeSignal(s.model(), text);
    if (!signal)
        throw CliError(option + ": \"" + text + "\" is no scope signal (0 for none, 1.." +
                       std::to_string(s.model().scopeSignalCount() - 1) + " or a mnemonic)");
    return *signal;
}

// "dd.mm.yy / hh:mm:ss", the stamp the program writes into the header.
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
        throw CliError("waiting for the drive on " + s.device + " failed: " + s.port->lastError());
}

int scopeCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    if (args.empty() || args[0] != "online")
        throw CliError(kUsage);
    args.erase(args.begin());
    const auto rate = takeOption(args, "--rate");
    const auto ch1 = takeOption(args, "--ch1");
    const auto ch2 = takeOption(args, "--ch2");
    const int samples =
        parseInt(takeOption(args, "--samples").value_or(std::to_string(sc::kRecordCount)),
                 "--samples", 1, sc::kRecordCount);
    const auto file = takeOption(args, "-o");
    if (!args.empty() || !rate || !ch1 || !ch2 || !file)
        throw CliError(kUsage);
    if (!sc::formatOfPath(*file))
        throw CliError(*file + ": an oscillogram file is named *.dat or *.csv");
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
        throw CliError("the start frame could not be sent to the drive on " + s.device);
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
        throw CliError("the stop frame could not be sent to the drive on " + s.device);
    return 0;
}

}  // namespace

void addScopeCommands(CommandList& list) {
    list.push_back({"scope",
                    "--port DEV scope online --rate HZ --ch1 SIG --ch2 SIG [--samples N] -o FILE  "
                    "capture two signals to a .dat or .csv file",
                    scopeCommand});
}

}  // namespace zrd::cli
