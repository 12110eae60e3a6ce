// zrdctl subcommands of the parameter model: database check and listing, single reads and
// writes on a drive.
#include <filesystem>
#include <memory>

#include "cli.h"
#include "drive_session.h"
#include "link/drive_link.h"
#include "params/database_loader.h"
#include "params/message_table.h"
#include "params/page_layout.h"
#include "params/parameter_table.h"
#include "session/parameter_access.h"

namespace zrd::cli {
namespace {

namespace pm = zrd::params;
namespace lk = zrd::link;

std::string languageOption(Args& args, const GlobalOptions& options) {
    return takeOption(args, "--lang").value_or(options.lang);
}

int dbCheck(Args& args, const GlobalOptions& options) {
    const std::string language = languageOption(args, options);
    if (args.size() > 1)
        throw UsageError("usage: db check [FILE] [--lang Eng|Rus]");
    StderrUserInterface ui;
    const auto db = loadDatabase(args.empty() ? "" : args[0], language, options, ui);
    const pm::LoadResult& r = db->result;
    std::printf("database %s\n", db->path.c_str());
    std::printf("language %s\n", db->model->language().c_str());
    std::printf("parameters %d\n", r.parameters);
    std::printf("calculated %d\n", r.calculated);
    std::printf("state bits %d\n", r.stateBits);
    std::printf("application bits %d\n", r.applicationBits);
    std::printf("scope bits %d\n", r.scopeBits);
    std::printf("scope signals %d\n", r.scopeSignals - 1);
    std::printf("groups %d\n", r.groups);
    std::printf("subgroups %d\n", r.subgroups);
    if (r.calculatedWithoutKey > 0)
        std::printf("calculated lines without a P key %d\n", r.calculatedWithoutKey);
    if (r.endLine >= 0)
        std::printf("scan ended at line %d\n", r.endLine);
    if (!r.refused.empty())
        throw CliError(db->path + ": " + std::to_string(r.refused.size()) +
                       " line(s) refused, the first is line " +
                       std::to_string(r.refused.front().line));
    return 0;
}

// Pads to a width counted in characters, so that Cyrillic columns line up too.
std::string padded(const std::string& text, size_t width) {
    size_t chars = 0;
    for (const char c : text)
        chars += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return chars >= width ? text + " " : text + std::string(width - chars, ' ');
}

// The pages as the program lays them out; page N of the commands is plan.pages[N − 1].
const pm::PagePlan& pageOf(const pm::PagesPlan& plan, const std::string& text) {
    const int count = static_cast<int>(plan.pages.size());
    if (count == 0)
        throw CliError("the database has no parameter pages");
    const int page = parseInt(text, "--page", 1, count);
    return plan.pages[static_cast<size_t>(page - 1)];
}

int dbList(Args& args, const GlobalOptions& options) {
    const std::string language = languageOption(args, options);
    const std::optional<std::string> page = takeOption(args, "--page");
    if (args.size() > 1)
        throw UsageError("usage: db list [FILE] [--page N] [--lang Eng|Rus]");
    StderrUserInterface ui;
    const auto db = loadDatabase(args.empty() ? "" : args[0], language, options, ui);
    const pm::ParameterModel& model = *db->model;
    std::vector<int> positions;
    if (page) {
        positions = pageOf(pm::planPages(model), *page).rows;
    } else {
        for (int i = 0; i <= model.lastParameter(); ++i)
            positions.push_back(i);
    }
    std::printf("%s%s%s%s%s%s%s%s%s\n", padded("NAME", 10).c_str(), padded("INDEX", 6).c_str(),
                padded("TYPE", 6).c_str(), padded("ACCESS", 7).c_str(), padded("MIN", 12).c_str(),
                padded("MAX", 12).c_str(), padded("DEFAULT", 12).c_str(),
                padded("UNIT", 10).c_str(), "DESCRIPTION");
    for (const int i : positions) {
        const pm::TPar& p = model.parameter(i);
        std::printf("%s%s%s%s%s%s%s%s%s\n", padded(p.Pname, 10).c_str(),
                    padded(std::to_string(p.Index), 6).c_str(), padded(p.vType, 6).c_str(),
                    padded(p.pType, 7).c_str(),
                    padded(pm::valueText(pm::minDisplay(p)), 12).c_str(),
                    padded(pm::valueText(pm::maxDisplay(p)), 12).c_str(),
                    padded(pm::valueText(pm::defaultDisplay(p)), 12).c_str(),
                    padded(pm::units(p, model.language()), 10).c_str(),
                    pm::description(p, model.language()).c_str());
    }
    return 0;
}

// Every page of groups 1..5: number, group, name and how many rows it holds.
int pagesCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const std::string language = languageOption(args, options);
    if (args.size() > 1)
        throw UsageError("usage: pages [FILE] [--lang Eng|Rus]");
    StderrUserInterface ui;
    const auto db = loadDatabase(args.empty() ? "" : args[0], language, options, ui);
    const pm::PagesPlan plan = pm::planPages(*db->model);
    std::printf("%s%s%s%s\n", padded("PAGE", 6).c_str(), padded("ROWS", 6).c_str(),
                padded("GROUP", 30).c_str(), "NAME");
    for (size_t k = 0; k < plan.pages.size(); ++k) {
        const pm::PagePlan& page = plan.pages[k];
        const std::string& group = plan.captions.at(static_cast<size_t>(page.group - 1));
        std::printf("%s%s%s%s\n", padded(std::to_string(k + 1), 6).c_str(),
                    padded(std::to_string(page.rows.size()), 6).c_str(),
                    padded(std::to_string(page.group) + " " + group, 30).c_str(),
                    page.name.c_str());
    }
    // Parameters of a page group that found no row are neither shown nor edited in the window.
    for (const int position : plan.withoutRow)
        std::fprintf(stderr, "zrdctl: %s has no row on the pages\n",
                     db->model->parameter(position).Pname.c_str());
    return 0;
}

int dbCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    if (args.empty())
        throw UsageError("usage: db check [FILE] | db list [FILE] [--page N] [--lang Eng|Rus]");
    const std::string sub = args[0];
    args.erase(args.begin());
    if (sub == "check")
        return dbCheck(args, options);
    if (sub == "list")
        return dbList(args, options);
    throw UsageError("db knows check and list, not " + sub);
}

int getCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const bool json = takeFlag(args, "--json");
    if (args.empty())
        throw UsageError("usage: --port DEV get [--json] MNEMONIC...");
    Session s(options, args, Names::Given);
    s.connect(options);
    int neverRead = 0;
    int unanswered = 0;
    std::string values;
    std::string failures;
    const auto fail = [&](const std::string& name, const std::string& reason) {
        std::fprintf(stderr, "zrdctl: %s %s\n", name.c_str(), reason.c_str());
        failures += std::string(failures.empty() ? "" : ", ") + "{\"name\": " + jsonString(name) +
                    ", \"reason\": " + jsonString(reason) + "}";
    };
    for (const auto& name : args) {
        const int position = *s.model().find(name);
        const pm::TPar& p = s.model().parameter(position);
        if (p.pType.empty() || p.pType == pm::kNeverRead) {
            fail(name, "is never read (access \"" + p.pType + "\")");
            ++neverRead;
            continue;
        }
        if (!s.read(position)) {
            s.checkLink();
            fail(name, "got no answer on " + options.port);
            ++unanswered;
            continue;
        }
        const double value = s.model().value(position);
        if (json)
            values += std::string(values.empty() ? "" : ", ") + jsonString(name) + ": " +
                      jsonNumber(value);
        else
            std::printf("%s %s\n", name.c_str(), pm::valueText(value).c_str());
    }
    if (json)
        std::printf("{\"values\": {%s}, \"failures\": [%s]}\n", values.c_str(), failures.c_str());
    if (unanswered > 0)
        return kExitLink;
    return neverRead == 0 ? kExitOk : kExitFailed;
}

int setCommand(const Args& args, const GlobalOptions& options) {
    if (args.size() != 2)
        throw UsageError("usage: --port DEV set MNEMONIC VALUE");
    const std::string& name = args[0];
    const double wanted = parseDouble(args[1], "VALUE");
    Session s(options, {name}, Names::Given);
    pm::ParameterModel& model = s.model();
    const int position = *model.find(name);
    const pm::TPar& p = model.parameter(position);
    // Checked before the drive is touched: a value outside the limits is never written.
    model.setCurrentParameter(position);
    if (!s.access->acceptsEntered(wanted))
        throw CliError(args[1] + " is outside the limits of " + name + "; nothing written");
    s.connect(options);
    // What the drive holds now is what a refusal puts back.
    const bool readable = !p.pType.empty() && p.pType != pm::kNeverRead;
    if (readable && !s.read(position)) {
        s.checkLink();
        throw LinkError("no answer for " + name + " on " + options.port);
    }
    model.setPreviousValue(position, model.value(position));
    model.setCurrentParameter(position);
    model.setValue(position, wanted);
    s.access->SetParam();
    s.checkLink();
    const bool accepted = s.access->lastReply() == lk::kReplyAccepted;
    double stands = model.value(position);
    if (accepted) {
        // The drive keeps the rounded raw value; show that rather than the text typed.
        stands = pm::rawToDisplay(p, *pm::displayToRaw(p, stands));
        if (readable && s.read(position))
            stands = model.value(position);
    }
    std::printf("%s %s\n", name.c_str(), pm::valueText(stands).c_str());
    return accepted ? 0 : 1;
}

}  // namespace

void addParameterCommands(CommandList& list) {
    list.push_back({"db", "db check [FILE] | db list [FILE] [--page N] [--lang Eng|Rus]", dbCommand,
                    "Checks or lists a parameter database (the data set's by default).\n"
                    "check: loads it and prints its counts, or the faulty line.\n"
                    "list: every parameter (with --page, those of page N in row order) with its "
                    "limits and default in display units."});
    list.push_back({"pages", "pages [FILE] [--lang Eng|Rus]", pagesCommand,
                    "Lists the parameter pages as the window lays them out: number (for db list "
                    "--page), rows, group and name."});
    list.push_back({"get", "--port DEV get [--json] MNEMONIC...", getCommand,
                    "Reads parameters from the drive and prints them in display units, one "
                    "\"NAME VALUE\" a line.\n"
                    "--json  one object: {\"values\": {NAME: VALUE, ...}, \"failures\": "
                    "[{\"name\", \"reason\"}, ...]}\n"
                    "Exit status 1 when a parameter is never read, 3 when one got no answer."});
    list.push_back({"set", "--port DEV set MNEMONIC VALUE", setCommand,
                    "Writes one parameter and prints the value that stands.\n"
                    "A value outside the limits is refused before anything is written. Exit "
                    "status 1 when the value is refused, by the limits or by the drive."});
}

}  // namespace zrd::cli
