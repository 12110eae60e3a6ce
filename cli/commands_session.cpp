// zrdctl subcommands of a drive session: read-all and write-all, comparing with a file, status
// words, monitor values.
#include <chrono>
#include <thread>

#include "drive_session.h"
#include "link/device_watch.h"
#include "params/parameter_comparison.h"
#include "params/parameter_file.h"
#include "reconnect.h"
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

std::string jsonNames(const Session& s, const std::vector<int>& positions) {
    std::string out;
    for (const int position : positions)
        out += (out.empty() ? "" : ", ") + jsonString(s.db->model->parameter(position).Pname);
    return "[" + out + "]";
}

std::string jsonValue(const std::optional<double>& value) {
    return value ? jsonNumber(*value) : "null";
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
        throw LinkError("the drive on " + s.device + " stopped answering at " +
                        s.model().parameter(r.stoppedAt).Pname);
    return r;
}

// A backup with defaults in place of the values that never came would restore them.
void saveReadValues(const Session& s, const session::ReadAllResult& r, const std::string& file) {
    if (!r.gaveUp.empty())
        throw LinkError("no answer for " + names(s, r.gaveUp) + "; " + file + " not written");
    if (!pm::saveParameterFile(file, *s.db->model))
        throw CliError(pm::fileFailureText(file, true, *s.db->model));
}

int readAllCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const auto file = takeOption(args, "-o");
    const bool json = takeFlag(args, "--json");
    if (!args.empty())
        throw UsageError("usage: --port DEV read-all [-o FILE] [--json]");
    Session s(options, {});
    s.connect(options);
    const auto start = Clock::now();
    const session::ReadAllResult r = readEverything(s);
    const double seconds = secondsSince(start);
    if (file)
        saveReadValues(s, r, *file);
    if (json) {
        std::string values;
        for (int i = 0; i < r.positions; ++i)
            values += std::string(i == 0 ? "" : ", ") + jsonString(s.model().parameter(i).Pname) +
                      ": " + jsonValue(r.read[static_cast<size_t>(i)]);
        std::printf(
            "{\"values\": {%s}, \"unanswered\": %s, \"parameters\": %d, \"seconds\": %.3f}\n",
            values.c_str(), jsonNames(s, r.gaveUp).c_str(), r.positions, seconds);
        return r.gaveUp.empty() ? kExitOk : kExitLink;
    }
    if (!file) {
        for (int i = 0; i < r.positions; ++i) {
            const auto& v = r.read[static_cast<size_t>(i)];
            std::printf("%-10s %s\n", s.model().parameter(i).Pname.c_str(),
                        v ? pm::valueText(*v).c_str() : "-");
        }
    }
    std::printf("read-all: %d parameters, %zu failures, %.2f s\n", r.positions, r.gaveUp.size(),
                seconds);
    return r.gaveUp.empty() ? kExitOk : kExitLink;
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
        throw CliError(pm::fileFailureText(path, false, *s.db->model));
    for (const pm::ParameterFileIssue& issue : load.issues)
        std::fprintf(stderr, "zrdctl: %s%s\n", pm::issueText(issue, path, *s.db->model).c_str(),
                     issue.fault == pm::FileLineFault::UnknownName ? "; line skipped" : "");
    if (load.faults() > 0)
        throw CliError(path + ": " + std::to_string(load.faults()) + " bad line(s)");
    if (load.values.empty())
        throw CliError(path + " holds no value of a parameter of the database");
    return load;
}

int writeAllCommand(const Args& args, const GlobalOptions& options) {
    if (args.size() != 1)
        throw UsageError("usage: --port DEV write-all FILE");
    Session s(options, {});
    return writeParameterFile(s, options, args[0]);
}

}  // namespace

int writeParameterFile(Session& s, const GlobalOptions& options, const std::string& file) {
    pm::ParameterFileLoad load = checkedFile(file, s);
    s.connect(options);
    const auto start = Clock::now();
    // Parameters the file does not name keep the drive's own values.
    const session::ReadAllResult before = readEverything(s);
    if (!before.gaveUp.empty())
        throw LinkError("no answer for " + names(s, before.gaveUp) + "; nothing was written");
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
        throw LinkError("the drive on " + s.device + " stopped answering; not written from " +
                        s.model().parameter(r.stoppedAt).Pname + " on");
    if (!r.skipped.empty())
        throw CliError("not written, as never read: " + names(s, r.skipped));
    if (r.unanswered > 0)
        throw LinkError(std::to_string(r.unanswered) +
                        " write(s) without an answer: " + names(s, r.failedPositions));
    if (r.refused > 0)
        throw CliError(std::to_string(r.refused) +
                       " write(s) refused: " + names(s, r.failedPositions));
    return kExitOk;
}

int saveParametersFromDrive(Session& s, const std::string& file) {
    const session::ReadAllResult r = readEverything(s);
    saveReadValues(s, r, file);
    std::printf("%d parameters saved to %s\n", r.positions, file.c_str());
    return kExitOk;
}

namespace {

// What a comparison side names: "drive", or a parameter file.
constexpr const char* kDriveSide = "drive";

// The drive's values: of the positions the file on the other side names, else of all.
pm::ValueSource driveSource(Session& s, const pm::ValueSource* other, const GlobalOptions& options,
                            std::vector<int>& unanswered) {
    pm::ValueSource d;
    d.label = kDriveSide;
    if (!s.link->state().connected)
        s.connect(options);
    for (int position = 0; position < session::sweepLength(s.model()); ++position) {
        const pm::TPar& p = s.model().parameter(position);
        if (p.pType.empty() || p.pType == pm::kNeverRead || p.pType == pm::kReadOnly)
            continue;
        if (other && other->kind == pm::ValueSource::Kind::File &&
            !other->values[static_cast<size_t>(position)])
            continue;
        if (!s.read(position)) {
            s.checkLink();
            unanswered.push_back(position);
            continue;
        }
        d.values[static_cast<size_t>(position)] = s.model().value(position);
    }
    return d;
}

std::string cell(const std::optional<double>& v, bool outside) {
    return (v ? pm::valueText(*v) : std::string("-")) + (outside ? " !" : "");
}

// Two sets of values side by side, A and B each a parameter file or the drive: the differing
// parameters, with the limits and, where a value lies outside them, the formula that sets the
// limit.
int diffCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const bool json = takeFlag(args, "--json");
    const bool defaults = takeFlag(args, "--defaults");
    // One name alone compares that file with the drive.
    if (args.size() == 1)
        args.push_back(kDriveSide);
    if (args.size() != 2)
        throw UsageError("usage: [--port DEV] diff [--json] [--defaults] A B");
    const bool anyDrive = args[0] == kDriveSide || args[1] == kDriveSide;
    if (anyDrive && options.port.empty())
        throw UsageError("diff with \"drive\" needs --port DEV");
    std::unique_ptr<Session> session;
    std::unique_ptr<Database> offline;
    StderrUserInterface ui;
    if (anyDrive)
        session = std::make_unique<Session>(options, std::vector<std::string>{});
    else
        offline = loadDatabase("", options.lang, options, ui);
    pm::ParameterModel& model = session ? session->model() : *offline->model;
    std::array<pm::ValueSource, 2> sides;
    for (size_t i = 0; i < 2; ++i) {
        if (args[i] == kDriveSide)
            continue;
        pm::ParameterFileLoad load = pm::readParameterFile(args[i], model);
        if (!load.opened)
            throw CliError(pm::fileFailureText(args[i], false, model));
        for (const pm::ParameterFileIssue& issue : load.issues)
            std::fprintf(stderr, "zrdctl: %s\n", pm::issueText(issue, args[i], model).c_str());
        if (load.faults() > 0)
            throw CliError(args[i] + ": " + std::to_string(load.faults()) + " bad line(s)");
        sides[i] = pm::fileSource(load, args[i]);
    }
    std::vector<int> unanswered;
    for (size_t i = 0; i < 2; ++i)
        if (args[i] == kDriveSide)
            sides[i] = driveSource(*session, args[1 - i] == kDriveSide ? nullptr : &sides[1 - i],
                                   options, unanswered);
    const pm::Comparison c = pm::compareValues(model, sides[0], sides[1], true);
    std::string differences;
    if (!json)
        std::printf("%-10s %-14s %-14s %s%-24s %s\n", "NAME", "A", "B",
                    defaults ? "DEFAULT        " : "", "LIMITS", "UNIT");
    for (const pm::ComparisonRow& row : c.rows) {
        // A value outside its limits is shown even where both sides agree on it.
        if (!row.differs && !row.aOutside && !row.bOutside)
            continue;
        if (json) {
            const auto number = [](const std::optional<double>& v) {
                return v ? jsonNumber(*v) : std::string("null");
            };
            differences +=
                std::string(differences.empty() ? "" : ", ") +
                "{\"name\": " + jsonString(row.mnemonic) + ", \"a\": " + number(row.a) +
                ", \"b\": " + number(row.b) +
                (defaults ? ", \"default\": " + jsonNumber(row.defaultValue) : "") +
                (row.limitNote.empty() ? "" : ", \"limits\": " + jsonString(row.limitNote)) + "}";
            continue;
        }
        const std::string limits =
            pm::valueText(row.minValue) + " .. " + pm::valueText(row.maxValue);
        std::printf(
            "%-10s %-14s %-14s %s%-24s %s\n", row.mnemonic.c_str(),
            cell(row.a, row.aOutside).c_str(), cell(row.b, row.bOutside).c_str(),
            defaults ? (pm::valueText(row.defaultValue) +
                        std::string(
                            15 - std::min<size_t>(15, pm::valueText(row.defaultValue).size()), ' '))
                           .c_str()
                     : "",
            limits.c_str(), row.unit.c_str());
        if (!row.limitNote.empty())
            std::printf("           %s\n", row.limitNote.c_str());
    }
    std::string unansweredNames;
    for (const int position : unanswered)
        unansweredNames += (unansweredNames.empty() ? "" : ", ") + model.parameter(position).Pname;
    if (json) {
        std::string list;
        for (const int position : unanswered)
            list += (list.empty() ? "" : ", ") + jsonString(model.parameter(position).Pname);
        std::printf(
            "{\"a\": %s, \"b\": %s, \"compared\": %zu, \"differences\": [%s], "
            "\"unanswered\": [%s]}\n",
            jsonString(args[0]).c_str(), jsonString(args[1]).c_str(), c.rows.size(),
            differences.c_str(), list.c_str());
    } else {
        std::printf("diff: %zu compared, %d differ, %d outside their limits, %zu unanswered\n",
                    c.rows.size(), c.differing, c.outside, unanswered.size());
    }
    if (!unanswered.empty())
        throw LinkError("no answer for " + unansweredNames);
    return c.differing == 0 ? kExitOk : kExitFailed;
}

std::string hexWord(uint16_t w) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", w);
    return text;
}

std::string joined(const std::vector<mon::SetBit>& bits) {
    std::string out;
    for (const mon::SetBit& b : bits)
        out += (out.empty() ? "" : ", ") + b.text;
    return out;
}

// Each set bit by number, mnemonic (null for a bit the data set does not name) and text.
std::string jsonBits(const std::vector<mon::SetBit>& bits) {
    std::string out;
    for (const mon::SetBit& b : bits)
        out += std::string(out.empty() ? "" : ", ") + "{\"bit\": " + std::to_string(b.bit) +
               ", \"mnemonic\": " + (b.mnemonic.empty() ? "null" : jsonString(b.mnemonic)) +
               ", \"text\": " + jsonString(b.text) + "}";
    return "[" + out + "]";
}

int statusCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const bool json = takeFlag(args, "--json");
    if (!args.empty())
        throw UsageError("usage: --port DEV status [--json]");
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
    std::string missing;  // the numbers of the words the data set lacks
    std::string words;
    const auto jsonRow = [&](const Row& row, const std::string& rest) {
        words += std::string(words.empty() ? "" : ", ") + "{\"word\": " + std::to_string(row.word) +
                 ", \"label\": " + jsonString(row.label) + ", " + rest + "}";
    };
    for (const Row& row : {Row{240, 0, 0, "state"}, Row{241, 0, 1, "errors"},
                           Row{242, 0, 2, "warnings"}, Row{243, 1, 0, "application"},
                           Row{244, 1, 1, "inputs"}, Row{246, 1, 2, "appendix errors"}}) {
        if (!s.model().statusWordPosition(row.word)) {
            if (json)
                jsonRow(row, "\"value\": null, \"reason\": \"not in the database\"");
            else
                std::printf("%d %-16s not in the database\n", row.word, row.label);
            missing += (missing.empty() ? "" : ", ") + std::to_string(row.word);
            continue;
        }
        const auto value = poll.readWord(row.word);
        if (!value) {
            s.checkLink();
            if (json)
                jsonRow(row, "\"value\": null, \"reason\": \"no answer\"");
            else
                std::printf("%d %-16s no answer\n", row.word, row.label);
            ++silent;
            continue;
        }
        mon::FrameBits& frame = poll.frame(row.frame);
        frame.decode(row.column, static_cast<uint8_t>(*value & 0xFF),
                     static_cast<uint8_t>(*value >> 8));
        const auto& names = row.frame == 0 ? s.model().stateBits() : s.model().applicationBits();
        const std::vector<mon::SetBit> set = mon::setBits(frame, row.column, names, language);
        if (json)
            jsonRow(row, "\"value\": " + std::to_string(*value) + ", \"bits\": " + jsonBits(set));
        else
            std::printf("%d %-16s %s  %s\n", row.word, row.label, hexWord(*value).c_str(),
                        joined(set).c_str());
    }
    if (json)
        std::printf("{\"words\": [%s]}\n", words.c_str());
    if (silent > 0)
        throw LinkError("no answer for " + std::to_string(silent) + " status word(s) on " +
                        s.device);
    if (!missing.empty())
        throw CliError(pm::withArguments(s.db->messages.text(pm::kMsgDataSetLacksWord, language),
                                         {s.db->path, missing}));
    return kExitOk;
}

int monitorCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const int count = parseInt(takeOption(args, "--count").value_or("10"), "--count", 1, 1'000'000);
    const int interval =
        parseInt(takeOption(args, "--interval").value_or("300"), "--interval", 0, 60'000);
    const bool json = takeFlag(args, "--json");
    const bool reconnect = takeFlag(args, "--reconnect");
    if (!args.empty())
        throw UsageError(
            "usage: --port DEV monitor [--count N] [--interval MS] [--json] [--reconnect]");
    Session s(options, {});
    s.connect(options);
    // Across a pull the run ends by Ctrl+C alone, and it ends as a finished run does.
    std::optional<StopSignals> stop;
    if (reconnect)
        stop.emplace();
    const link::DeviceIdentity device = link::identifyDevice(options.port);
    constexpr const char* kColumns[] = {"VSET",    "VACT",    "ISET", "IACT", "TSET", "TACT",
                                        "POS_CMD", "POS_ACT", "AIN",  "PIN",  "DIR",  "PERR"};
    if (!json)
        std::printf("%10s %10s %8s %8s %8s %8s %12s %12s %8s %8s %3s %8s\n", kColumns[0],
                    kColumns[1], kColumns[2], kColumns[3], kColumns[4], kColumns[5], kColumns[6],
                    kColumns[7], kColumns[8], kColumns[9], kColumns[10], kColumns[11]);
    int unanswered = 0;
    for (int tick = 0; tick < count; ++tick) {
        // The pace of the output, not a wait for a result.
        if (tick > 0 && stop) {
            if (stop->within(interval))
                return kExitOk;
        } else if (tick > 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(interval));
        }
        const session::MonitorSample v = session::readMonitorSample(*s.access, s.model());
        if (stop && s.link->state().hungUp) {
            // The tick the line went with shows nothing: its values are not all of one moment.
            std::fflush(stdout);
            if (!reconnectSession(s, options, device, *stop))
                return kExitOk;
            --tick;
            continue;
        }
        // A dash for a value not read: 0 would pass for a reading.
        const auto t = [](const std::optional<double>& x) {
            return x ? pm::valueText(*x) : std::string("-");
        };
        const std::string direction = v.pulseIn ? mon::directionText(*v.pulseIn) : "-";
        if (json) {
            // One object a line, so that a reader can take each tick as it comes.
            const std::optional<double> values[] = {
                v.speedCommand,  v.speedActual,  v.currentCommand,  v.currentActual,
                v.torqueCommand, v.torqueActual, v.positionCommand, v.positionActual,
                v.analogIn,      v.pulseIn};
            std::string line = "{\"tick\": " + std::to_string(tick);
            for (size_t i = 0; i < std::size(values); ++i)
                line += std::string(", ") + jsonString(kColumns[i]) + ": " + jsonValue(values[i]);
            // The sign alone: the column's padding is no part of the value.
            const std::string sign = direction.substr(direction.find_first_not_of(' '));
            line += ", \"DIR\": " + (v.pulseIn ? jsonString(sign) : std::string("null"));
            line += ", \"PERR\": " + jsonValue(v.followError) + "}";
            std::printf("%s\n", line.c_str());
        } else {
            std::printf(
                "%10s %10s %8s %8s %8s %8s %12s %12s %8s %8s %3s %8s\n", t(v.speedCommand).c_str(),
                t(v.speedActual).c_str(), t(v.currentCommand).c_str(), t(v.currentActual).c_str(),
                t(v.torqueCommand).c_str(), t(v.torqueActual).c_str(), t(v.positionCommand).c_str(),
                t(v.positionActual).c_str(), t(v.analogIn).c_str(), t(v.pulseIn).c_str(),
                direction.c_str(), t(v.followError).c_str());
        }
        std::fflush(stdout);
        s.checkLink();
        if (v.requested > 0 && v.answered == 0)
            throw LinkError("the drive on " + s.device + " does not answer");
        unanswered += v.requested - v.answered;
    }
    if (unanswered > 0)
        throw LinkError(std::to_string(unanswered) + " read(s) without an answer on " + s.device);
    return kExitOk;
}

}  // namespace

void addSessionCommands(CommandList& list) {
    list.push_back({"read-all", "--port DEV read-all [-o FILE] [--json]", readAllCommand,
                    "Reads every parameter and prints \"NAME VALUE\" lines (\"-\" for one that "
                    "did not answer) and a summary.\n"
                    "-o FILE  writes a parameter file instead (not when a parameter did not "
                    "answer)\n"
                    "--json  one object: {\"values\": {NAME: VALUE or null, ...}, \"unanswered\": "
                    "[NAME, ...], \"parameters\": N, \"seconds\": S}\n"
                    "Exit status 3 when a parameter did not answer."});
    list.push_back({"write-all", "--port DEV write-all FILE", writeAllCommand,
                    "Writes a parameter file to the drive and names each verdict.\n"
                    "The whole file is checked first: any bad line and nothing is written. Exit "
                    "status 1 when the drive refused a value, 3 when a write got no answer."});
    list.push_back({"diff", "[--port DEV] diff [--json] [--defaults] A B", diffCommand,
                    "Compares two sets of parameter values; A and B are each a parameter file or "
                    "\"drive\" (read from the drive on --port; one name alone is compared with "
                    "the drive). Read-only parameters (ratings, process values, status words) "
                    "are left out: no load writes them.\n"
                    "Against a file, the parameters the file names are compared; two files, every "
                    "parameter either names. Each differing parameter is printed with both "
                    "values (\"-\" where a side lacks it), the limits and the unit; a value "
                    "outside the limits is marked \"!\" and explained below the row, with the "
                    "formula that sets the limit where one does. Values count as equal when they "
                    "give the same raw value.\n"
                    "--defaults  adds the database default as a column\n"
                    "--json  one object: {\"a\", \"b\", \"compared\": N, \"differences\": "
                    "[{\"name\", \"a\", \"b\", \"default\" (with --defaults), \"limits\" (when "
                    "outside)}, ...], \"unanswered\": [NAME, ...]}; a value outside its limits "
                    "is listed even where A and B agree\n"
                    "Exit status 0 when they agree, 1 when they differ, 3 when a read got no "
                    "answer."});
    list.push_back({"status", "--port DEV status [--json]", statusCommand,
                    "Reads the six status words and prints each in hex with the names of its set "
                    "bits.\n"
                    "--json  one object: {\"words\": [{\"word\", \"label\", \"value\" (null when "
                    "not read), \"bits\": [{\"bit\": N, \"mnemonic\": \"SRVON\", \"text\": "
                    "\"Servo enabled\"}, ...]}, ...]}; a set bit that the data set does not name "
                    "is {\"bit\": N, \"mnemonic\": null, \"text\": \"bit N\"}"});
    list.push_back({"monitor",
                    "--port DEV monitor [--count N] [--interval MS] [--json] [--reconnect]",
                    monitorCommand,
                    "Reads the twelve monitor values N times (10), MS apart (300).\n"
                    "A value not read shows as \"-\".\n"
                    "--reconnect  keeps running across a pulled cable or adapter: the lost link "
                    "is told on stderr, the same device (its /dev/serial/by-id name, else its USB "
                    "serial number, else the path) is waited for, connected to again as the "
                    "window's Reconnect does (HVER read, nothing written) and told back, and the "
                    "ticks go on; the tick the line went with is not printed. Ctrl+C (SIGINT, "
                    "SIGTERM) ends the run with status 0, also while it waits.\n"
                    "--json  one object per line and tick: {\"tick\": N, \"VSET\": V, ..., "
                    "\"PERR\": V}, null for a value not read"});
}

}  // namespace zrd::cli
