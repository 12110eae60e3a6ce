// zrdctl subcommands of the message table.
#include "cli.h"
#include "params/message_table.h"

namespace zrd::cli {
namespace {

int messagesCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    std::string lang = takeOption(args, "--lang").value_or(options.lang);
    if (lang.empty())
        lang = zrd::params::kEnglish;
    if (args.size() != 2)
        throw UsageError("usage: messages FILE N [--lang Eng|Rus]");
    const int n = parseInt(args[1], "N", 0, zrd::params::kMessageCount - 1);
    StderrUserInterface ui;
    zrd::params::MessageTable table;
    table.load(args[0], ui);
    std::printf("%s\n", table.text(n, lang).c_str());
    return 0;
}

}  // namespace

void addMessageCommands(CommandList& list) {
    list.push_back({"messages", "messages FILE N [--lang Eng|Rus]", messagesCommand,
                    "Prints message N of a message file (mess.dic) in the language given."});
}

}  // namespace zrd::cli
