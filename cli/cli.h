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
    int fastGapBytes = 0;  // the fast link's gap; 0 for the safe timing
    std::string dataDir;   // empty: TORVANTA_DATA or the shipped set
    std::string lang;      // empty: the database's setting
};

// Exit statuses of every command, so that a script can tell the cases apart.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // the drive refused, values differ, a file is unusable
inline constexpr int kExitUsage = 2;   // the command line is wrong
inline constexpr int kExitLink = 3;    // the port does not open, the drive does not answer

// A failure that ends the command with a one-line reason on stderr and exit status 1.
struct CliError : std::runtime_error {
    using std::runtime_error::runtime_error;
};
// A command line that cannot be run: exit status 2.
struct UsageError : CliError {
    using CliError::CliError;
};
// The port does not open, the drive does not answer or the link was lost: exit status 3.
struct LinkError : CliError {
    using CliError::CliError;
};

using Args = std::vector<std::string>;

struct Command {
    // One word, or two for a subcommand of its own ("scope convert"): the longer name wins.
    std::string name;
    std::string usage;  // the synopsis after "zrdctl", e.g. "--port DEV get [--json] NAME..."
    std::function<int(const Args&, const GlobalOptions&)> run;
    // What it does and its options; "help COMMAND", "COMMAND --help" and the manual page show
    // it. The first line is the summary in the list of commands.
    std::string help = {};
};

using CommandList = std::vector<Command>;

// Each module adds its subcommands here.
void addLinkCommands(CommandList& list);
void addMessageCommands(CommandList& list);
void addFormulaCommands(CommandList& list);    // commands_formula.cpp
void addParameterCommands(CommandList& list);  // commands_params.cpp
void addSessionCommands(CommandList& list);    // commands_session.cpp
void addSimCommands(CommandList& list);        // commands_sim.cpp
void addPortCommands(CommandList& list);       // commands_ports.cpp
void addScopeCommands(CommandList& list);      // commands_scope.cpp
void addGeneratorCommands(CommandList& list);  // commands_fg.cpp
void addAnalysisCommands(CommandList& list);   // commands_analysis.cpp
void addServiceCommands(CommandList& list);    // commands_service.cpp
void addConfigCommands(CommandList& list);     // commands_config.cpp
void addMonitorCommands(CommandList& list);    // commands_cmdmon.cpp
void addStepCommands(CommandList& list);       // commands_step.cpp
void addTuneCommands(CommandList& list);       // commands_tune.cpp

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

// Parsers that throw UsageError naming the bad text. Numbers are decimal and finite.
int parseInt(const std::string& text, const std::string& what, int min, int max);
double parseDouble(const std::string& text, const std::string& what);

// Pulls "--name VALUE" out of args; nullopt when absent.
std::optional<std::string> takeOption(Args& args, const std::string& name);
// Pulls a "--flag" out of args.
bool takeFlag(Args& args, const std::string& name);

// The data folder: --data-dir, else TORVANTA_DATA, else the folder of zrdctl itself when the
// data set lies there, else share/torvanta of the installation.
std::string dataDirectory(const GlobalOptions& options);

// JSON texts for --json output: a string quoted and escaped, a finite number.
std::string jsonString(const std::string& text);
std::string jsonNumber(double value);

}  // namespace zrd::cli
