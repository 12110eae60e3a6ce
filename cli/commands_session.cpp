// zrdctl subcommands of a drive session: read-all and write-all, status words, monitor values.
#include <chrono>
#include <thread>

#include "drive_session.h"
#include "params/parameter_file.h"
#include "session/status_poll.h"
#include "session/sweeps.h"

namespace zrd::cli {
namespace {

namespace pm = zrd::params;
namespace mon = zrd::monitor;
using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string names(const Session& s, const std::vector<int>& positions) {
    std::string out;
    for (const int position : positions)
        out += (out.empty() ? "" : ", ") + s.db->model->parameter(position).Pname;
    return out;
}

// Reads every parameter; the values that came are also put into the value table (read-all
// itself stores only those with a page row). A link that died ends the command.
session::ReadAllResult readEverything(Session& s) {
    session::Sweeps sweeps(*s.link, s.model(), s.db->messages);
    const session::ReadAllResult r = sweeps.ReadParamAll();
    for (size_t i = 0; i < r.read.size(); ++i)
        if (r.read[i])
            s.model().setKnownValue(static_cast<int>(i), *r.read[i]);
    s.checkLink();
    if (r.linkLost)
        throw CliError("the drive on " + s.device + " stopped answering at " +
                       s.model().parameter(r.stoppedAt).Pname);
    return r;
}

int readAllCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const auto file = takeOption(args, "-o");
    if (!args.empty())
        throw CliError("usage: --port DEV read-all [-o FILE]");
    Session s(options, {});
    s.connect(options);
    const auto start = Clock::now();
    const session::ReadAllResult r = readEverything(s);
    if (file) {
        // A backup with defaults in place of the values that never came would restore them.
        if (!r.gaveUp.empty())
            throw CliError("no answer for " + names(s, r.gaveUp) + "; " + *file + " not written");
        if (!pm::saveParameterFile(*file, s.model()))
            throw CliError("cannot write " + *file);
    } else {
        for (int i = 0; i < r.positions; ++i) {
            const auto& v = r.read[static_cast<size_t>(i)];
            std::printf("%-10s %s\n", s.model().parameter(i).Pname.c_str(),
                        v ? pm::valueText(*v).c_str() : "-");
        }
    }
    std::printf("read-all: %d parameters, %zu failures, %.2f s\n", r.positions, r.gaveUp.size(),
                secondsSince(start));
    return r.gaveUp.empty() ? 0 : 1;
}

const char* verdictText(uint8_t verdict) {
    switch (verdict) {
        case link::kReplyAccepted:
            return "accepted";
        case link::kReplyRefused:
            return "refused";
        default:
            return "no answer";
    }
}

// The file is checked whole before the drive is touched: any bad line and nothing is written.
pm::ParameterFileLoad checkedFile(const std::string& path, const Session& s) {
    pm::ParameterFileLoad load = pm::readParameterFile(path, *s.db->model);
    if (!load.opened)
        throw CliError("cannot read " + path);
    for (const pm::ParameterFileIssue& issue : load.issues)
        std::fprintf(stderr, "zrdctl: %s%s\n", pm::issueText(issue, path, *s.db->model).c_str(),
                     issue.fault == pm::FileLineFault::UnknownName ? "; line skipped" : "");
    if (load.faults() > 0)
        throw CliError(path + ": " + std::to_string(load.faults()) +
                       " bad line(s); nothing written");
    if (load.values.empty())
        throw CliError(path + " holds no value of a parameter of the database; nothing written");
    return load;
}

int writeAllCommand(const Args& args, const GlobalOptions& options) {
    if (args.size() != 1)
        throw CliError("usage: --port DEV write-all FILE");
    Session s(options, {});
    pm::ParameterFileLoad load = checkedFile(args[0], s);
    s.connect(options);
    const auto start = Clock::now();
    // Parameters the file does not name keep the drive's own values.
    const session::ReadAllResult before = readEverything(s);
    if (!before.gaveUp.empty())
        throw CliError("no answer for " + names(s, before.gaveUp) + "; nothing was written");
    pm::storeParameterFile(load, s.model());
    session::Sweeps sweeps(*s.link, s.model(), s.db->messages);
    const session::WriteAllResult r = sweeps.writeAll({});
    for (const session::WriteRecord& w : r.writes)
        std::printf("%-10s %s\n", s.model().parameter(w.position).Pname.c_str(),
                    verdictText(w.verdict));
    std::printf("write-all: %d parameters, %d refused, %d unanswered, %.2f s\n", r.written,
                r.refused, r.unanswered, secondsSince(start));
    s.checkLink();
    if (!r.ran)
        throw CliError("nothing was written");
    if (r.linkLost)
        throw CliError("the drive on " + s.device + " stopped answering; not written from " +
                       s.model().parameter(r.stoppedAt).Pname + " on");
    if (!r.skipped.empty())
        throw CliError("not written, as never read: " + names(s, r.skipped));
    if (r.refused + r.unanswered > 0)
        throw CliError(std::to_string(r.refused + r.unanswered) +
                       " write(s) failed: " + names(s, r.failedPositions));
    return 0;
}

std::string hexWord(uint16_t w) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", w);
    return text;
}

std::string joined(const std::vector<std::string>& names) {
    std::string out;
    for (const auto& n : names) {
        if (!out.empty())
            out += ", ";
        out += n.empty() ? "(unnamed)" : n;
    }
    return out;
}

int statusCommand(const Args& args, const GlobalOptions& options) {
    if (!args.empty())
        throw CliError("usage: --port DEV status");
    Session s(options, {});
    s.connect(options);
    session::StatusPoll poll(*s.link, s.model(), s.db->messages);
    const std::string& language = s.model().language();
    struct Row {
        int word;
        int frame;
        int column;
        const char* label;
    };
    int silent = 0;
    int missing = 0;
    for (const Row& row : {Row{240, 0, 0, "state"}, Row{241, 0, 1, "errors"},
                           Row{242, 0, 2, "warnings"}, Row{243, 1, 0, "application"},
                           Row{244, 1, 1, "inputs"}, Row{246, 1, 2, "appendix errors"}}) {
        if (!s.model().statusWordPosition(row.word)) {
            std::printf("%d %-16s not in the database\n", row.word, row.label);
            ++missing;
            continue;
        }
        const auto value = poll.readWord(row.word);
        if (!value) {
            s.checkLink();
            std::printf("%d %-16s no answer\n", row.word, row.label);
            ++silent;
            continue;
        }
        mon::FrameBits& frame = poll.frame(row.frame);
        frame.decode(row.column, static_cast<uint8_t>(*value & 0xFF),
                     static_cast<uint8_t>(*value >> 8));
        const auto& names = row.frame == 0 ? s.model().stateBits() : s.model().applicationBits();
        std::printf("%d %-16s %s  %s\n", row.word, row.label, hexWord(*value).c_str(),
                    joined(mon::setBitNames(frame, row.column, names, language)).c_str());
    }
    if (silent > 0)
        throw CliError("no answer for " + std::to_string(silent) + " status word(s) on " +
                       s.device);
    if (missing > 0)
        throw CliError(s.db->path + " lacks " + std::to_string(missing) + " status word(s)");
    return 0;
}

int monitorCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const int count = parseInt(takeOption(args, "--count").value_or("10"), "--count", 1, 1'000'000);
    const int interval =
        parseInt(takeOption(args, "--interval").value_or("300"), "--interval", 0, 60'000);
    if (!args.empty())
        throw CliError("usage: --port DEV monitor [--count N] [--interval MS]");
    Session s(options, {});
    s.connect(options);
    std::printf("%10s %10s %8s %8s %8s %8s %12s %12s %8s %8s %3s %8s\n", "VSET", "VACT", "ISET",
                "IACT", "TSET", "TACT", "POS_CMD", "POS_ACT", "AIN", "PIN", "DIR", "PERR");
    int unanswered = 0;
    for (int tick = 0; tick < count; ++tick) {
        // The pace of the output, not a wait for a result.
        if (tick > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(interval));
        const session::MonitorSample v = session::readMonitorSample(*s.access, s.model());
        // A dash for a value not read: 0 would pass for a reading.
        const auto t = [](const std::optional<double>& x) {
            return x ? pm::valueText(*x) : std::string("-");
        };
        const std::string direction = v.pulseIn ? mon::directionText(*v.pulseIn) : "-";
        std::printf(
            "%10s %10s %8s %8s %8s %8s %12s %12s %8s %8s %3s %8s\n", t(v.speedCommand).c_str(),
            t(v.speedActual).c_str(), t(v.currentCommand).c_str(), t(v.currentActual).c_str(),
            t(v.torqueCommand).c_str(), t(v.torqueActual).c_str(), t(v.positionCommand).c_str(),
            t(v.positionActual).c_str(), t(v.analogIn).c_str(), t(v.pulseIn).c_str(),
            direction.c_str(), t(v.followError).c_str());
        std::fflush(stdout);
        s.checkLink();
        if (v.requested > 0 && v.answered == 0)
            throw CliError("the drive on " + s.device + " does not answer");
        unanswered += v.requested - v.answered;
    }
    if (unanswered > 0)
        throw CliError(std::to_string(unanswered) + " read(s) without an answer on " + s.device);
    return 0;
}

}  // namespace

void addSessionCommands(CommandList& list) {
    list.push_back(
        {"read-all", "--port DEV read-all [-o FILE]  read every parameter", readAllCommand});
    list.push_back({"write-all", "--port DEV write-all FILE  write a parameter file to the drive",
                    writeAllCommand});
    list.push_back(
        {"status", "--port DEV status  the six status words and their set bits", statusCommand});
    list.push_back({"monitor", "--port DEV monitor [--count N] [--interval MS]  process values",
                    monitorCommand});
}

}  // namespace zrd::cli
