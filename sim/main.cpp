// zrd-sim: the simulated ZRD drive on a pseudo-terminal (or a given tty).
#include <fcntl.h>
#include <poll.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "core/help_text.h"
#include "core/number_text.h"
#include "core/os_error.h"
#include "core/parse_int.h"
#include "core/paths.h"
#include "core/version.h"
#include "params/database_loader.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "replay_drive.h"
#include "sim_server.h"

namespace sim = zrd::sim;

namespace {

zrd::ProgramHelp simHelp() {
    zrd::ProgramHelp help;
    help.name = "zrd-sim";
    help.summary = "a simulated ZRD servo drive on a pseudo-terminal";
    help.synopsis = {
        "[--baud N] [--tty PATH] [--link PATH] [--db FILE] [--eeprom FILE] [--control PATH] "
        "[--fault KIND]... [--fault-count N] [--error N]... [--warning N]... "
        "[--silent X]... [--answer X=RAW]... [--input N]... [--noise S] [--seed N] "
        "[--resonance HZ[,DAMPING]]... [--friction NM] [--replay FILE]",
        "--version"};
    help.description =
        "Opens a pseudo-terminal (or PATH), prints the device path on the first line and the "
        "control socket on the second, and answers the program's frames as a ZRD drive until "
        "interrupted or told \"quit\" on the control channel (zrdctl sim).";
    zrd::HelpSection options{"Options", "", {}};
    options.items = {
        {"--baud N", "the line speed whose byte time the drive keeps (115200)"},
        {"--tty PATH", "answer on this terminal instead of a new pseudo-terminal"},
        {"--link PATH",
         "keep a symbolic link at PATH that points at the pseudo-terminal, as /dev/serial/by-id "
         "names point at an adapter, and print PATH as the device: the control commands "
         "\"unplug [MS]\" and \"plug\" pull the line (the program sees a hang-up, the link "
         "goes) and plug a new pseudo-terminal in (after MS milliseconds, or on \"plug\"), and a "
         "simulator started anew with the same PATH takes the link over; the link goes when the "
         "simulator ends"},
        {"--db FILE",
         "the parameter database: its limits, access and defaults (default: "
         "Param_base.mod of the data set, beside zrd-sim or in share/torvanta of "
         "the installation); without one every write is accepted"},
        {"--eeprom FILE",
         "the EEPROM image; loaded at start when it exists, written by every "
         "store (default: kept in memory)"},
        {"--control PATH",
         "the control socket (default: zrd-sim-PID.sock in $XDG_RUNTIME_DIR "
         "or /tmp)"},
        {"--fault KIND",
         "silent | delay=MS | drop=N | corrupt=N | refuse | busy | split=MS[@K] "
         "| hangup[=N] | cut=N | late=MS | duplicate=MS | noise=HEX (e.g. "
         "30,E1,30)"},
        {"--fault-count N", "the faults given after it apply to N frames (default all)"},
        {"--error N, --warning N", "raise bit N (0..15) of word 241 or 242"},
        {"--silent X", "reads and writes of drive index or mnemonic X get no answer"},
        {"--answer X=RAW", "reads of X answer RAW (-32768..65535) whatever the memory holds"},
        {"--input N", "digital input N (1..16) is on"},
        {"--noise S", "scale of the measurement noise (default 1, 0 exact)"},
        {"--seed N",
         "seed of the measurement noise, 0..4294967295 (default 1); the noise starts again "
         "with every record, stream and generator start, so a measurement repeats exactly"},
        {"--resonance HZ[,DAMPING]",
         "the load's mechanical resonance, 0..1000 Hz (0 rigid), and its damping ratio "
         "0..1 (default 400,0.05); given twice, the second is a further mode of a quarter "
         "of the load on a spring of its own"},
        {"--friction NM", "dry (Coulomb) friction on the load, 0..10 N·m (default 0)"},
        {"--replay FILE",
         "answer from a traffic recording (the command monitor's \"Record\" or zrdctl sniff "
         "--record): each request gets the reply recorded after the same request, in turn; a "
         "request the recording does not answer gets no answer"},
        {"--scope-refuse", "the online oscilloscope's start is refused (status 3)"},
        {"--scope-mute", "the online oscilloscope streams without sending a byte"},
        {"--scope-badend N", "every N-th sample frame ends with a wrong byte"},
        {"--help", "this text"},
        {"--version", "the version, and the commit it was built from"},
        {"--man-page", "this help as a manual page (the build installs it)"}};
    zrd::HelpSection environment{"Environment", "", {}};
    environment.items = {{"TORVANTA_DATA", "the data folder, when --db is not given"}};
    help.sections = {options, environment};
    return help;
}

void usage(FILE* out) {
    std::fprintf(out, "%s", zrd::plainHelp(simHelp()).c_str());
}

bool toInt(const char* text, int& out) {
    const auto v = zrd::parseInteger(text, zrd::IntegerBase::Decimal, 1, 100'000'000);
    if (!v)
        return false;
    out = static_cast<int>(*v);
    return true;
}

// Loader messages go to stderr; stdout carries only the device path.
class StderrUi : public zrd::UserInterface {
public:
    void showMessage(const std::string& caption, const std::string& text) override {
        std::fprintf(stderr, "zrd-sim: %s%s%s\n", caption.c_str(), caption.empty() ? "" : ": ",
                     text.c_str());
    }
    void processEvents() override {}
};

// Loads the database into the model; false (with the reason on stderr) when it cannot serve.
bool loadDatabase(const std::string& path, zrd::params::ParameterModel& model) {
    namespace pm = zrd::params;
    StderrUi ui;
    pm::MessageTable messages;
    const auto folder = std::filesystem::path(path).parent_path();
    messages.load((folder / pm::kMessageFileName).string(), ui);
    const pm::LoadResult result = pm::loadDatabase(path, model, messages, ui, false);
    switch (result.status) {
        case pm::LoadStatus::Ok:
            return true;
        case pm::LoadStatus::Missing:
        case pm::LoadStatus::Unreadable:
            std::fprintf(stderr, "zrd-sim: cannot read the database %s\n", path.c_str());
            return false;
        case pm::LoadStatus::Stopped:
            std::fprintf(stderr, "zrd-sim: the database %s stops at line %d\n", path.c_str(),
                         result.stoppedAtLine);
            return false;
        case pm::LoadStatus::Empty:
            std::fprintf(stderr, "zrd-sim: the database %s holds no parameters\n", path.c_str());
            return false;
    }
    return false;
}

std::string defaultControlPath() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const std::string folder = runtime && *runtime ? runtime : "/tmp";
    return folder + "/zrd-sim-" + std::to_string(::getpid()) + ".sock";
}

// Start-up settings that need the drive (and its database) to be understood.
struct DriveSetup {
    std::vector<sim::Fault> faults;
    std::vector<int> errors;
    std::vector<int> warnings;
    std::vector<int> inputs;
    std::vector<std::string> silent;
    std::vector<std::string> answers;  // "X=RAW"
    std::string eeprom;
    double noise = 1.0;
    uint32_t seed = sim::kDefaultNoiseSeed;
    double resonanceHz = sim::kDefaultResonanceHz;
    double resonanceDamping = sim::kDefaultResonanceDamping;
    int resonances = 0;
    double secondResonanceHz = 0.0;
    double secondResonanceDamping = sim::kDefaultResonanceDamping;
    double frictionNm = 0.0;
    sim::ScopeFaults scope;
};

// Applies the settings; false with the reason on stderr.
bool applySetup(const DriveSetup& setup, sim::SimDrive& drive) {
    if (!setup.eeprom.empty()) {
        if (std::filesystem::exists(setup.eeprom)) {
            std::string error;
            if (!drive.loadEepromFile(setup.eeprom, error)) {
                std::fprintf(stderr, "zrd-sim: %s\n", error.c_str());
                return false;
            }
        }
        drive.setEepromFile(setup.eeprom);
    }
    drive.setNoise(setup.noise);
    drive.setNoiseSeed(setup.seed);
    drive.setResonance(setup.resonanceHz, setup.resonanceDamping);
    drive.setSecondResonance(setup.secondResonanceHz, setup.secondResonanceDamping);
    drive.setCoulombFriction(setup.frictionNm);
    drive.scopeFaults() = setup.scope;
    for (const auto& f : setup.faults)
        drive.addFault(f);
    for (const std::string& x : setup.silent) {
        const auto index = drive.indexOf(x);
        if (!index) {
            std::fprintf(stderr, "zrd-sim: --silent: no drive index or mnemonic %s\n", x.c_str());
            return false;
        }
        drive.setSilent(*index);
    }
    for (const std::string& option : setup.answers) {
        const size_t eq = option.find('=');
        const auto index =
            eq == std::string::npos ? std::nullopt : drive.indexOf(option.substr(0, eq));
        const std::string rawText = eq == std::string::npos ? "" : option.substr(eq + 1);
        const auto raw = zrd::parseInteger(rawText, zrd::IntegerBase::Decimal, -32768, 65535);
        if (!index || !raw) {
            std::fprintf(stderr,
                         "zrd-sim: --answer needs INDEX=RAW or MNEMONIC=RAW with RAW "
                         "-32768..65535: %s\n",
                         option.c_str());
            return false;
        }
        drive.setAnswer(*index, static_cast<uint16_t>(*raw & 0xFFFF));
    }
    for (const int n : setup.inputs)
        (void)drive.setInput(n, true);  // checked when parsed
    for (const int b : setup.errors)
        (void)drive.raise(sim::BitList::Errors, b);
    for (const int b : setup.warnings)
        (void)drive.raise(sim::BitList::Warnings, b);
    return true;
}

// "HZ" or "HZ,DAMPING" within the ranges the plant resolves.
bool parseResonance(const std::string& text, double& hz, double& damping) {
    const size_t comma = text.find(',');
    const auto number = [](const std::string& t, double max, double& out) {
        const auto v = zrd::parseNumber(t);
        if (!v || !(*v >= 0.0 && *v <= max))
            return false;
        out = *v;
        return true;
    };
    if (!number(text.substr(0, comma), sim::kMaxResonanceHz, hz))
        return false;
    return comma == std::string::npos ||
           number(text.substr(comma + 1), sim::kMaxResonanceDamping, damping);
}

bool toBit(const char* text, int& out) {
    const auto v = zrd::parseInteger(text, zrd::IntegerBase::Decimal, 0, 15);
    if (!v)
        return false;
    out = static_cast<int>(*v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int baud = 115200;
    int faultCount = -1;
    std::string tty;
    std::string linkPath;
    std::string db;
    std::string controlPath;
    std::string replayFile;
    DriveSetup setup;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--version") {
            std::printf("zrd-sim %s\n", zrd::versionText().c_str());
            return 0;
        } else if (arg == "--man-page") {
            std::printf("%s", zrd::manPage(simHelp(), zrd::versionText()).c_str());
            return 0;
        } else if (arg == "--baud" && hasValue) {
            if (!toInt(argv[++i], baud)) {
                std::fprintf(stderr, "zrd-sim: baud rate is not a positive number: %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--tty" && hasValue) {
            tty = argv[++i];
        } else if (arg == "--link" && hasValue) {
            linkPath = argv[++i];
        } else if (arg == "--db" && hasValue) {
            db = argv[++i];
        } else if (arg == "--eeprom" && hasValue) {
            setup.eeprom = argv[++i];
        } else if (arg == "--control" && hasValue) {
            controlPath = argv[++i];
        } else if (arg == "--fault-count" && hasValue) {
            if (!toInt(argv[++i], faultCount)) {
                std::fprintf(stderr, "zrd-sim: fault count is not a positive number: %s\n",
                             argv[i]);
                return 2;
            }
        } else if (arg == "--fault" && hasValue) {
            auto fault = sim::parseFault(argv[++i]);
            if (!fault) {
                std::fprintf(stderr, "zrd-sim: unknown fault: %s\n", argv[i]);
                return 2;
            }
            fault->count = faultCount;
            setup.faults.push_back(*fault);
        } else if ((arg == "--error" || arg == "--warning") && hasValue) {
            int b = 0;
            if (!toBit(argv[++i], b)) {
                std::fprintf(stderr, "zrd-sim: %s needs a bit 0..15: %s\n", arg.c_str(), argv[i]);
                return 2;
            }
            (arg == "--error" ? setup.errors : setup.warnings).push_back(b);
        } else if (arg == "--input" && hasValue) {
            int n = 0;
            if (!toInt(argv[++i], n) || n > sim::kInputCount) {
                std::fprintf(stderr, "zrd-sim: --input needs an input 1..%d: %s\n",
                             sim::kInputCount, argv[i]);
                return 2;
            }
            setup.inputs.push_back(n);
        } else if (arg == "--replay" && hasValue) {
            replayFile = argv[++i];
        } else if (arg == "--scope-refuse") {
            setup.scope.refuse = true;
        } else if (arg == "--scope-mute") {
            setup.scope.mute = true;
        } else if (arg == "--scope-badend" && hasValue) {
            if (!toInt(argv[++i], setup.scope.badEndEvery)) {
                std::fprintf(stderr, "zrd-sim: --scope-badend needs a frame count: %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--silent" && hasValue) {
            setup.silent.emplace_back(argv[++i]);
        } else if (arg == "--answer" && hasValue) {
            setup.answers.emplace_back(argv[++i]);
        } else if (arg == "--resonance" && hasValue) {
            if (setup.resonances == 2) {
                std::fprintf(stderr, "zrd-sim: --resonance is given at most twice\n");
                return 2;
            }
            const bool first = setup.resonances == 0;
            double& hz = first ? setup.resonanceHz : setup.secondResonanceHz;
            double& damping = first ? setup.resonanceDamping : setup.secondResonanceDamping;
            if (!parseResonance(argv[++i], hz, damping)) {
                std::fprintf(stderr,
                             "zrd-sim: --resonance needs HZ (0..1000) or HZ,DAMPING (0..1): %s\n",
                             argv[i]);
                return 2;
            }
            ++setup.resonances;
        } else if (arg == "--friction" && hasValue) {
            const auto nm = zrd::parseNumber(argv[++i]);
            if (!nm || !(*nm >= 0.0 && *nm <= sim::kMaxCoulombFrictionNm)) {
                std::fprintf(stderr, "zrd-sim: --friction needs N·m (0..10): %s\n", argv[i]);
                return 2;
            }
            setup.frictionNm = *nm;
        } else if (arg == "--seed" && hasValue) {
            const auto seed = zrd::parseInteger(argv[++i], zrd::IntegerBase::Decimal, 0,
                                                std::numeric_limits<uint32_t>::max());
            if (!seed) {
                std::fprintf(stderr, "zrd-sim: --seed needs a number 0..4294967295: %s\n", argv[i]);
                return 2;
            }
            setup.seed = static_cast<uint32_t>(*seed);
        } else if (arg == "--noise" && hasValue) {
            char* end = nullptr;
            setup.noise = std::strtod(argv[++i], &end);
            if (end == argv[i] || *end != '\0' || !(setup.noise >= 0.0 && setup.noise <= 100.0)) {
                std::fprintf(stderr, "zrd-sim: --noise needs a scale 0..100: %s\n", argv[i]);
                return 2;
            }
        } else {
            std::fprintf(stderr, "zrd-sim: unknown argument: %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
    }

    auto replay = std::make_shared<sim::ReplayDrive>();
    if (!replayFile.empty()) {
        std::string error;
        if (!replay->load(replayFile, error)) {
            std::fprintf(stderr, "zrd-sim: --replay: %s\n", error.c_str());
            return 2;
        }
    }

    // Large tables: kept off the stack.
    auto model = std::make_unique<zrd::params::ParameterModel>();
    bool haveDatabase = false;
    if (!db.empty()) {
        if (!loadDatabase(db, *model))
            return 2;
        haveDatabase = true;
    } else {
        const std::string folder = zrd::dataFolder();
        const std::string shipped =
            (std::filesystem::path(folder) / zrd::params::kDatabaseFileName).string();
        if (std::filesystem::exists(shipped)) {
            if (!loadDatabase(shipped, *model))
                return 2;
            haveDatabase = true;
        } else {
            std::fprintf(stderr, "zrd-sim: no %s in %s; every write is accepted\n",
                         zrd::params::kDatabaseFileName, folder.c_str());
        }
    }

    // Signals are taken through a descriptor below, so the answering thread never sees them.
    // A reader of stdout that went away must not kill the drive: the write error is reported.
    std::signal(SIGPIPE, SIG_IGN);
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    const int signalFd = ::signalfd(-1, &stopSignals, SFD_CLOEXEC);
    int quitPipe[2] = {-1, -1};
    if (signalFd < 0 || ::pipe2(quitPipe, O_CLOEXEC) != 0) {
        std::fprintf(stderr, "zrd-sim: cannot wait for signals: %s\n",
                     zrd::lastOsErrorText().c_str());
        return 1;
    }

    if (!linkPath.empty() && !tty.empty()) {
        std::fprintf(stderr, "zrd-sim: --link keeps a link to a pseudo-terminal: not with --tty\n");
        return 2;
    }
    sim::SimServer server(baud);
    if (!(tty.empty() ? server.openPty() : server.openTty(tty)) ||
        (!linkPath.empty() && !server.keepLink(linkPath))) {
        std::fprintf(stderr, "zrd-sim: %s\n", server.error().c_str());
        return 1;
    }
    bool applied = false;
    server.withDrive([&](sim::SimDrive& drive) {
        if (haveDatabase)
            drive.loadParameters(*model);
        drive.setReporter(
            [](const std::string& text) { std::fprintf(stderr, "zrd-sim: %s\n", text.c_str()); });
        applied = applySetup(setup, drive);
    });
    if (!applied)
        return 2;
    if (!replayFile.empty())
        server.setAnswerer(
            [replay](const std::vector<uint8_t>& frame) { return replay->answer(frame); });
    if (!server.openControl(controlPath.empty() ? defaultControlPath() : controlPath)) {
        std::fprintf(stderr, "zrd-sim: %s\n", server.error().c_str());
        return 1;
    }
    server.setQuitHandler([fd = quitPipe[1]] {
        const char byte = 1;
        if (::write(fd, &byte, 1) != 1)
            std::fprintf(stderr, "zrd-sim: quit not passed on: %s\n",
                         zrd::lastOsErrorText().c_str());
    });
    server.start();
    // Both lines in one write: a reader that takes only the first line and leaves finds the
    // second already in the pipe.
    // The link is the device a program opens: it stays when the line is plugged in again.
    const std::string device = linkPath.empty() ? server.devicePath() : linkPath;
    std::printf("%s\n%s\n", device.c_str(), server.controlPath().c_str());
    if (std::fflush(stdout) != 0)
        std::fprintf(stderr, "zrd-sim: cannot print the device path: %s\n",
                     zrd::lastOsErrorText().c_str());

    pollfd waits[2] = {{signalFd, POLLIN, 0}, {quitPipe[0], POLLIN, 0}};
    while (::poll(waits, 2, -1) < 0 && errno == EINTR) {
    }
    server.stop();
    return 0;
}
