// zrdctl: the command-line front end of the core.
#include <algorithm>
#include <cctype>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>

#include "cli.h"
#include "core/help_text.h"
#include "core/version.h"
#include "link/drive_link.h"

namespace {

using namespace zrd::cli;

// One line per module: each adds its own commands.
CommandList allCommands() {
    CommandList list;
    addLinkCommands(list);
    addMessageCommands(list);
    addFormulaCommands(list);
    addParameterCommands(list);
    addSessionCommands(list);
    addPortCommands(list);
    addSimCommands(list);
    addScopeCommands(list);
    addGeneratorCommands(list);
    addAnalysisCommands(list);
    addStepCommands(list);
    addTuneCommands(list);
    addServiceCommands(list);
    addConfigCommands(list);
    addMonitorCommands(list);
    return list;
}

constexpr const char* kHelpUsage = "help [COMMAND]";

std::string firstLine(const std::string& text) {
    return text.substr(0, text.find('\n'));
}

// The commands with the first line of their help (--help), or with all of it (the manual page).
zrd::ProgramHelp programHelp(const CommandList& list, bool wholeHelp) {
    zrd::ProgramHelp help;
    help.name = "zrdctl";
    help.summary = "command-line front end of QX Torvanta for ZRD servo drives";
    help.synopsis = {
        "[--port DEV] [--baud N] [--timeout MS] [--fast | --fast-gap N] [--data-dir DIR] [--lang "
        "L] "
        "COMMAND "
        "[ARGS]",
        "help [COMMAND]", "--version"};
    help.description =
        "zrdctl does from the command line what the windows of torvanta do: it reads and writes "
        "the parameters of a ZRD drive on a serial port, backs them up and restores them, shows "
        "the status words and the process values, and works with the data set, formulas and "
        "frames offline. The commands that talk to a drive connect as the window does: the port "
        "is opened with its preamble and the parameter HVER must answer.\n\n"
        "The commands get, read-all, status, monitor, diff and ports print JSON with --json, so "
        "that scripts need no text parsing.";
    zrd::HelpSection options{"Options", "Given before the command.", {}};
    options.items = {
        {"--port DEV",
         "the serial device of the drive (/dev/ttyUSB0, /dev/serial/by-id/..., a "
         "simulated drive's /dev/pts/N)"},
        {"--baud N", "the line speed (115200)"},
        {"--timeout MS", "the port's read time-out in milliseconds (30)"},
        {"--fast",
         "the fast link: a gap of 3 byte times between requests in place of the two 10 ms "
         "pauses, for a drive that answers at once (off: the safe timing)"},
        {"--fast-gap N", "the fast link with a gap of N byte times"},
        {"--data-dir DIR", "the folder of the data set (Param_base.mod, mess.dic, ...)"},
        {"--lang L", "Eng or Rus: the language of names and messages (the database's setting)"},
        {"--help", "this text; after a command, the help of that command"},
        {"--version", "the version, and the commit it was built from"},
        {"--man-page", "this help as a manual page (the build installs it)"},
        {"--bash-completion", "the bash completion script (the build installs it)"}};
    zrd::HelpSection commands{"Commands", "", {}};
    for (const Command& c : list)
        commands.items.push_back({c.usage, wholeHelp ? c.help : firstLine(c.help)});
    commands.items.push_back({kHelpUsage, "The help of a command, or of zrdctl without one."});
    zrd::HelpSection exits{"Exit status", "", {}};
    exits.items = {{"0", "success"},
                   {"1",
                    "the drive refused a value, the values differ (diff), or a file or the "
                    "data set cannot be used"},
                   {"2",
                    "the command line is wrong: unknown command or option, a value that is "
                    "no number or out of range"},
                   {"3",
                    "link failure: the port does not open, no drive answers, a request got "
                    "no answer, or the port hung up"}};
    zrd::HelpSection environment{"Environment", "", {}};
    environment.items = {
        {"TORVANTA_DATA", "the data folder, when --data-dir is not given"},
        {"ZRD_SIM_CONTROL", "the control socket of a simulated drive, for the sim command"}};
    zrd::HelpSection files{"Files", "", {}};
    files.items = {{"share/torvanta/",
                    "the data set of an installed program, found from the "
                    "program's folder (../share/torvanta)"}};
    help.sections = {options, commands, exits, environment, files};
    return help;
}

const Command* findCommand(const CommandList& list, const std::string& name) {
    for (const auto& c : list)
        if (c.name == name)
            return &c;
    return nullptr;
}

void printCommandHelp(const Command& c) {
    std::printf("usage: zrdctl %s\n", c.usage.c_str());
    if (!c.help.empty())
        std::printf("\n%s\n", zrd::wrappedText(c.help).c_str());
}

// The command the words name: two words of a two-word command, else the first word's.
const Command* findCommand(const CommandList& list, const Args& words, size_t& used) {
    if (words.size() >= 2) {
        if (const Command* c = findCommand(list, words[0] + " " + words[1])) {
            used = 2;
            return c;
        }
    }
    used = 1;
    return words.empty() ? nullptr : findCommand(list, words[0]);
}

int helpCommand(const CommandList& list, const Args& args) {
    if (args.empty()) {
        std::printf("%s", zrd::plainHelp(programHelp(list, false)).c_str());
        return kExitOk;
    }
    size_t used = 0;
    const Command* c = findCommand(list, args, used);
    if (args.size() > used)
        throw UsageError(std::string("usage: zrdctl ") + kHelpUsage);
    if (!c)
        throw UsageError("unknown command " + args[0] + " (see zrdctl help)");
    printCommandHelp(*c);
    return kExitOk;
}

// Words a command knows, for the completion: its options as its synopsis and help name them.
std::string optionWords(const Command& c) {
    std::string words;
    const std::string text = c.usage + " " + c.help;
    for (size_t i = 0; i < text.size(); ++i) {
        const bool start = (i == 0 || text[i - 1] == ' ' || text[i - 1] == '[' ||
                            text[i - 1] == '|' || text[i - 1] == '\n');
        if (!start || text[i] != '-')
            continue;
        size_t end = i;
        while (end < text.size() &&
               (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-'))
            ++end;
        const std::string word = text.substr(i, end - i);
        // "--port" and its like belong before the command, not to it.
        const bool global = word == "--port" || word == "--baud" || word == "--timeout" ||
                            word == "--fast" || word == "--fast-gap" || word == "--data-dir" ||
                            word == "--lang";
        if (word.size() > 1 && word != "--" && !global &&
            (" " + words + " ").find(" " + word + " ") == std::string::npos)
            words += (words.empty() ? "" : " ") + word;
    }
    return words + (words.empty() ? "" : " ") + "--help";
}

std::string bashCompletion(const CommandList& list) {
    // A two-word command completes under its first word: its second word and options join
    // those of the first.
    std::vector<std::pair<std::string, std::string>> words;
    for (const Command& c : list) {
        const size_t space = c.name.find(' ');
        const std::string first = c.name.substr(0, space);
        std::string own = optionWords(c);
        if (space != std::string::npos)
            own = c.name.substr(space + 1) + " " + own;
        const auto at = std::find_if(words.begin(), words.end(),
                                     [&](const auto& w) { return w.first == first; });
        if (at == words.end())
            words.emplace_back(first, own);
        else
            at->second += " " + own;
    }
    std::string names = "help";
    std::string cases;
    for (const auto& [first, own] : words) {
        names += " " + first;
        cases += "        " + first + ") words=\"" + own + "\" ;;\n";
    }
    return "# bash completion of zrdctl (written by zrdctl --bash-completion)\n"
           "_zrdctl() {\n"
           "    local cur prev words command i\n"
           "    cur=${COMP_WORDS[COMP_CWORD]}\n"
           "    prev=${COMP_WORDS[COMP_CWORD-1]}\n"
           "    case $prev in\n"
           "        --port) COMPREPLY=($(compgen -f -- \"${cur:-/dev/tty}\")); return ;;\n"
           "        --data-dir) COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n"
           "        --lang) COMPREPLY=($(compgen -W \"Eng Rus\" -- \"$cur\")); return ;;\n"
           "        --baud|--timeout|--fast-gap) return ;;\n"
           "    esac\n"
           "    command=\"\"\n"
           "    for ((i = 1; i < COMP_CWORD; i++)); do\n"
           "        case ${COMP_WORDS[i]} in\n"
           "            --port|--baud|--timeout|--fast-gap|--data-dir|--lang) ((i++)) ;;\n"
           "            -*) ;;\n"
           "            *) command=${COMP_WORDS[i]}; break ;;\n"
           "        esac\n"
           "    done\n"
           "    if [[ -z $command ]]; then\n"
           "        COMPREPLY=($(compgen -W \"" +
           names +
           " --port --baud --timeout --fast --fast-gap --data-dir --lang --help --version\" -- "
           "\"$cur\"))\n"
           "        return\n"
           "    fi\n"
           "    case $command in\n"
           "        help) words=\"" +
           names.substr(5) + "\" ;;\n" + cases +
           "        *) words=\"\" ;;\n"
           "    esac\n"
           "    if [[ $cur == -* || $command == help ]]; then\n"
           "        COMPREPLY=($(compgen -W \"$words\" -- \"$cur\"))\n"
           "    else\n"
           "        COMPREPLY=($(compgen -f -- \"$cur\"))\n"
           "    fi\n"
           "}\n"
           "complete -F _zrdctl zrdctl\n";
}

}  // namespace

int main(int argc, char** argv) {
    const CommandList commands = allCommands();
    try {
        Args args(argv + 1, argv + argc);
        GlobalOptions options;
        size_t i = 0;
        for (; i < args.size() && args[i].starts_with("--"); ++i) {
            const std::string& opt = args[i];
            if (opt == "--help")
                return helpCommand(commands, {});
            if (opt == "--version") {
                std::printf("zrdctl %s\n", zrd::versionText().c_str());
                return kExitOk;
            }
            if (opt == "--man-page") {
                std::printf("%s",
                            zrd::manPage(programHelp(commands, true), zrd::versionText()).c_str());
                return kExitOk;
            }
            if (opt == "--bash-completion") {
                std::printf("%s", bashCompletion(commands).c_str());
                return kExitOk;
            }
            if (opt == "--fast") {
                options.fastGapBytes = zrd::link::kDefaultFastGapBytes;
                continue;
            }
            if (i + 1 >= args.size())
                throw UsageError(opt + " needs a value");
            const std::string& value = args[++i];
            if (opt == "--port")
                options.port = value;
            else if (opt == "--baud")
                options.baud = parseInt(value, "--baud", 1, 100'000'000);
            else if (opt == "--timeout")
                options.timeoutMs = parseInt(value, "--timeout", 0, 600'000);
            else if (opt == "--fast-gap")
                options.fastGapBytes =
                    parseInt(value, "--fast-gap", 1, zrd::link::kLongestFastGapBytes);
            else if (opt == "--data-dir")
                options.dataDir = value;
            else if (opt == "--lang")
                options.lang = value;
            else
                throw UsageError("unknown option " + opt + " (see zrdctl --help)");
        }
        if (i >= args.size()) {
            std::fprintf(stderr, "%s", zrd::plainHelp(programHelp(commands, false)).c_str());
            return kExitUsage;
        }
        const std::string name = args[i];
        if (name == "help")
            return helpCommand(commands, Args(args.begin() + static_cast<long>(i) + 1, args.end()));
        size_t used = 0;
        const Command* c =
            findCommand(commands, Args(args.begin() + static_cast<long>(i), args.end()), used);
        const Args rest(args.begin() + static_cast<long>(i + used), args.end());
        if (!c)
            throw UsageError("unknown command " + name + " (see zrdctl --help)");
        if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
            printCommandHelp(*c);
            return kExitOk;
        }
        return c->run(rest, options);
    } catch (const UsageError& e) {
        std::fprintf(stderr, "zrdctl: %s\n", e.what());
        return kExitUsage;
    } catch (const LinkError& e) {
        std::fprintf(stderr, "zrdctl: %s\n", e.what());
        return kExitLink;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zrdctl: %s\n", e.what());
        return kExitFailed;
    }
}
