#pragma once

#include <cstdio>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/user_interface.h"

namespace zrd::cli {

// Options given before the subcommand.
struct GlobalOptions {
    std::string port;
    int baud = 115200;
    int timeoutMs = 30;
    std::string dataDir;  // empty: TORVANTA_DATA or the shipped set
    std::string lang;     // empty: the database's setting
};

// A failure that ends the command with a one-line reason on stderr and exit status 1.
struct CliError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

using Args = std::vector<std::string>;

struct Command {
    std::string name;
    std::string usage;  // shown by --help
    std::function<int(const Args&, const GlobalOptions&)> run;
};

using CommandList = std::vector<Command>;

// Each module adds its subcommands here.
void addLinkCommands(CommandList& list);
void addMessageCommands(CommandList& list);
void addFormulaCommands(CommandList& list);    // commands_formula.cpp
void addParameterCommands(CommandList& list);  // commands_params.cpp
void addSessionCommands(CommandList& list);    // commands_session.cpp
void addSimCommands(CommandList& list);        // commands_sim.cpp
void addScopeCommands(CommandList& list);      // commands_scope.cpp

// Messages of the core go to stderr; nothing waits for a person.
class StderrUserInterface : public UserInterface {
public:
    void showMessage(const std::string& caption, const std::string& text) override;
    void processEvents() override {}
    // Says "link lost: <reason>" on stderr and remembers it.
    void linkLost(const std::string& reason) override;

    // Set once the port hung up: the command then ends with a non-zero status.
    bool lostLink = false;
};

// Parsers that throw CliError naming the bad text. Numbers are decimal and finite.
int parseInt(const std::string& text, const std::string& what, int min, int max);
double parseDouble(const std::string& text, const std::string& what);

// Pulls "--name VALUE" out of args; nullopt when absent.
std::optional<std::string> takeOption(Args& args, const std::string& name);
// Pulls a "--flag" out of args.
bool takeFlag(Args& args, const std::string& name);

// The data folder: --data-dir, else TORVANTA_DATA, else the folder of zrdctl itself.
std::string dataDirectory(const GlobalOptions& options);

}  // namespace zrd::cli
