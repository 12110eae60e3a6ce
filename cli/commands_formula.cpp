// zrdctl formula: converts and evaluates a text of the formula language, as the formula test
// dialog does, with parameter values from the command line or a parameter database.
#include <iostream>
#include <map>

#include "cli.h"
#include "core/number_text.h"
#include "formula/configuration.h"
#include "formula/formula.h"
#include "params/database_loader.h"
#include "params/parameter_table.h"

namespace zrd::cli {
namespace {

namespace fm = zrd::formula;

constexpr const char* kSynopsis =
    "formula [--postfix] [--ask] [--test] [--db FILE] [--set pN=VALUE ...] TEXT";
constexpr const char* kHelp =
    "Converts and evaluates a text of the formula language, as the formula test dialog does.\n"
    "--postfix  also prints the postfix items\n"
    "--test     prepares the text as the test dialog does (implies --ask)\n"
    "--ask      reads parameter values from stdin (an empty line keeps the preset 0; --set "
    "answers too)\n"
    "--db FILE  takes parameter values from a parameter database\n"
    "--set pN=VALUE  the value of a parameter reference";

// --set values first, then the database when one is given.
class CombinedSource : public fm::ParameterSource {
public:
    CombinedSource(const fm::ParameterSource& first, const fm::ParameterSource* second)
        : m_first(first), m_second(second) {}

    std::optional<fm::ParameterRef> findByNumpar(std::string_view numpar) const override {
        if (auto ref = m_first.findByNumpar(numpar))
            return ref;
        return m_second ? m_second->findByNumpar(numpar) : std::nullopt;
    }

private:
    const fm::ParameterSource& m_first;
    const fm::ParameterSource* m_second;
};

// Answers the questions for parameter values: --set texts as if typed, else a line of stdin.
class AnsweringUserInterface : public StderrUserInterface {
public:
    explicit AnsweringUserInterface(std::map<std::string, std::string> answers)
        : m_answers(std::move(answers)) {}

    std::optional<std::string> askText(const std::string& title, const std::string& prompt,
                                       const std::string& preset) override {
        const std::string name = title.starts_with(fm::kAskTitlePrefix)
                                     ? title.substr(fm::kAskTitlePrefix.size())
                                     : title;
        if (const auto it = m_answers.find(name); it != m_answers.end())
            return it->second;
        std::fflush(stdout);
        std::fprintf(stderr, "%s. %s [%s]: ", title.c_str(), prompt.c_str(), preset.c_str());
        std::string line;
        // End of input is a cancelled question.
        if (!std::getline(std::cin, line))
            return std::nullopt;
        return line.empty() ? preset : line;
    }

private:
    std::map<std::string, std::string> m_answers;
};

struct Assignment {
    std::string name;
    std::string value;
};

Assignment splitAssignment(const std::string& text) {
    const size_t eq = text.find('=');
    if (eq == std::string::npos || eq == 0)
        throw UsageError("--set needs NAME=VALUE, not \"" + text + "\"");
    return {text.substr(0, eq), text.substr(eq + 1)};
}

void printPostfix(const fm::PostfixList& list) {
    for (const auto& item : list)
        std::printf("%s ", item.c_str());
    std::printf("\n");
}

int formulaCommand(const Args& given, const GlobalOptions& options) {
    Args args = given;
    const bool showPostfix = takeFlag(args, "--postfix");
    const bool test = takeFlag(args, "--test");
    const bool ask = takeFlag(args, "--ask") || test;
    const std::optional<std::string> db = takeOption(args, "--db");
    std::vector<Assignment> assignments;
    while (const auto set = takeOption(args, "--set"))
        assignments.push_back(splitAssignment(*set));
    if (args.size() != 1)
        throw UsageError(std::string("usage: zrdctl ") + kSynopsis);
    if (ask && db)
        throw UsageError("--db gives values to references; with --ask they are asked");

    std::string text = args[0];
    if (test) {
        const fm::PreparedFormula prepared = fm::PrepareTestFormula(text);
        std::printf("%s\n", prepared.info.c_str());
        text = prepared.converted;
    }

    fm::PostfixList list;
    if (ask) {
        std::map<std::string, std::string> answers;
        for (const auto& a : assignments)
            answers.emplace(a.name, a.value);
        AnsweringUserInterface ui(std::move(answers));
        fm::ParseStringAsk(text, list, ui);
    } else {
        fm::ParameterList set;
        for (const auto& a : assignments)
            set.add(a.name, parseDouble(a.value, "the value of " + a.name));
        params::ParameterModel model;
        std::optional<fm::ModelParameters> database;
        if (db) {
            StderrUserInterface ui;
            params::MessageTable messages;
            messages.load(dataDirectory(options) + "/" + params::kMessageFileName, ui);
            const params::LoadResult loaded = params::loadDatabase(*db, model, messages, ui, false);
            if (loaded.status == params::LoadStatus::Missing ||
                loaded.status == params::LoadStatus::Unreadable)
                throw CliError("cannot read the parameter database " + *db);
            if (loaded.status == params::LoadStatus::Stopped)
                throw CliError("the parameter database stops at line " +
                               std::to_string(loaded.stoppedAtLine) + ": " + loaded.badLine);
            database.emplace(model);
        }
        fm::ParseString(text, list, CombinedSource(set, database ? &*database : nullptr));
    }
    if (showPostfix)
        printPostfix(list);
    std::printf("%s\n", zrd::formatGeneral(fm::EvaluatePostfix(list)).c_str());
    return 0;
}

}  // namespace

void addFormulaCommands(CommandList& list) {
    list.push_back({"formula", kSynopsis, formulaCommand, kHelp});
}

}  // namespace zrd::cli
