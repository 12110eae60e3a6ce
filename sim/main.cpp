// zrd-sim: the simulated ZRD drive on a pseudo-terminal (or a given tty).
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sim_server.h"

namespace {

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: zrd-sim [--baud N] [--tty PATH] [--fault SPEC]... [--fault-count N]\n"
                 "  Opens a pseudo-terminal (or PATH), prints the device path and answers the\n"
                 "  program's frames as a ZRD drive until interrupted.\n"
                 "  SPEC: silent | delay=MS | drop=N | corrupt=N | refuse | busy | split=MS[@K]\n"
                 "  --fault-count N: the faults given after it apply to N frames (default all)\n");
}

bool toInt(const char* text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v <= 0 || v > 100'000'000) return false;
    out = static_cast<int>(v);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    int baud = 115200;
    int faultCount = -1;
    std::string tty;
    std::vector<zrd::sim::Fault> faults;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--help" || arg == "-h") {
            usage(stdout);
            return 0;
        } else if (arg == "--baud" && hasValue) {
            if (!toInt(argv[++i], baud)) {
                std::fprintf(stderr, "zrd-sim: baud rate is not a positive number: %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--tty" && hasValue) {
            tty = argv[++i];
        } else if (arg == "--fault-count" && hasValue) {
            if (!toInt(argv[++i], faultCount)) {
                std::fprintf(stderr, "zrd-sim: fault count is not a positive number: %s\n", argv[i]);
                return 2;
            }
        } else if (arg == "--fault" && hasValue) {
            auto fault = zrd::sim::parseFault(argv[++i]);
            if (!fault) {
                std::fprintf(stderr, "zrd-sim: unknown fault: %s\n", argv[i]);
                return 2;
            }
            fault->count = faultCount;
            faults.push_back(*fault);
        } else {
            std::fprintf(stderr, "zrd-sim: unknown argument: %s\n", arg.c_str());
            usage(stderr);
            return 2;
        }
    }

    // Signals are taken synchronously below, so the answering thread never sees them.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    sigaddset(&stopSignals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    zrd::sim::SimServer server(baud);
    if (!(tty.empty() ? server.openPty() : server.openTty(tty))) {
        std::fprintf(stderr, "zrd-sim: %s\n", server.error().c_str());
        return 1;
    }
    server.withDrive([&](zrd::sim::SimDrive& drive) {
        for (const auto& f : faults) drive.addFault(f);
    });
    server.start();
    std::printf("%s\n", server.devicePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    return 0;
}
