// zrd-sim: the simulated ZRD drive on a pseudo-terminal (or a given tty).
#include <unistd.h>

#include <climits>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "params/database_loader.h"
#include "params/message_table.h"
#include "params/parameter_table.h"
#include "sim_server.h"

namespace {

void usage(FILE* out) {
    std::fprintf(out,
                 "usage: zrd-sim [--baud N] [--tty PATH] [--db FILE] [--fault KIND]... "
                 "[--fault-count N]\n"
                 "  Opens a pseudo-terminal (or PATH), prints the device path and answers the\n"
                 "  program's frames as a ZRD drive until interrupted.\n"
                 "  --db FILE: the parameter database (default: Param_base.mod beside zrd-sim);\n"
                 "    its limits, access and defaults; without one every write is accepted\n"
                 "  KIND: silent | delay=MS | drop=N | corrupt=N | refuse | busy | split=MS[@K]\n"
                 "  --fault-count N: the faults given after it apply to N frames (default all)\n");
}

bool toInt(const char* text, int& out) {
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v <= 0 || v > 100'000'000)
        return false;
    out = static_cast<int>(v);
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

std::string programFolder() {
    char self[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0)
        return ".";
    self[n] = '\0';
    return std::filesystem::path(self).parent_path().string();
}

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
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    int baud = 115200;
    int faultCount = -1;
    std::string tty;
    std::string db;
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
        } else if (arg == "--db" && hasValue) {
            db = argv[++i];
        } else if (arg == "--fault-count" && hasValue) {
            if (!toInt(argv[++i], faultCount)) {
                std::fprintf(stderr, "zrd-sim: fault count is not a positive number: %s\n",
                             argv[i]);
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

    // Large tables: kept off the stack.
    auto model = std::make_unique<zrd::params::ParameterModel>();
    bool haveDatabase = false;
    if (!db.empty()) {
        if (!loadDatabase(db, *model))
            return 2;
        haveDatabase = true;
    } else {
        const std::string beside =
            (std::filesystem::path(programFolder()) / zrd::params::kDatabaseFileName).string();
        if (std::filesystem::exists(beside)) {
            if (!loadDatabase(beside, *model))
                return 2;
            haveDatabase = true;
        } else {
            std::fprintf(stderr, "zrd-sim: no %s beside the program; every write is accepted\n",
                         zrd::params::kDatabaseFileName);
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
        if (haveDatabase)
            drive.loadParameters(*model);
        for (const auto& f : faults)
            drive.addFault(f);
    });
    server.start();
    std::printf("%s\n", server.devicePath().c_str());
    std::fflush(stdout);

    int signal = 0;
    sigwait(&stopSignals, &signal);
    server.stop();
    return 0;
}
