// zrdctl: the command-line front end of the core.
#include <cstring>
#include <exception>

#include "cli.h"

namespace {

using namespace zrd::cli;

CommandList allCommands() {
    CommandList list;
    addLinkCommands(list);
    addMessageCommands(list);
    addFormulaCommands(list);
    addParameterCommands(list);
    addSessionCommands(list);
    addSimCommands(list);
    addScopeCommands(list);
    return list;
}

void printHelp(const CommandList& list) {
    std::printf(
        "usage: zrdctl [--port DEV] [--baud N] [--timeout MS] [--data-dir DIR] [--lang L] "
        "COMMAND ...\n\ncommands:\n");
    for (const auto& c : list)
        std::printf("  %s\n", c.usage.c_str());
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
            if (opt == "--help") {
                printHelp(commands);
                return 0;
            }
            if (i + 1 >= args.size())
                throw CliError(opt + " needs a value");
            const std::string& value = args[++i];
            if (opt == "--port")
                options.port = value;
            else if (opt == "--baud")
                options.baud = parseInt(value, "--baud", 1, 100'000'000);
            else if (opt == "--timeout")
                options.timeoutMs = parseInt(value, "--timeout", 0, 600'000);
            else if (opt == "--data-dir")
                options.dataDir = value;
            else if (opt == "--lang")
                options.lang = value;
            else
                throw CliError("unknown option " + opt);
        }
        if (i >= args.size()) {
            printHelp(commands);
            return 2;
        }
        const std::string name = args[i];
        const Args rest(args.begin() + static_cast<long>(i) + 1, args.end());
        for (const auto& c : commands)
            if (c.name == name)
                return c.run(rest, options);
        throw CliError("unknown command " + name + " (see zrdctl --help)");
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zrdctl: %s\n", e.what());
        return 1;
    }
}
