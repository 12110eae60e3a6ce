// zrdctl config and calcpara: a drive and a motor fitted to the drive in one step, and the
// drive told to recalculate its internal values.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <thread>

#include "drive_session.h"
#include "formula/configuration.h"
#include "monitor/status.h"
#include "params/message_numbers.h"
#include "params/type_tables.h"
#include "session/calc_para.h"
#include "session/configuration_setting.h"
#include "session/status_poll.h"
#include "session/sweeps.h"

namespace zrd::cli {
namespace {

namespace pm = zrd::params;
namespace ss = zrd::session;
using ss::ServiceOutcome;

// Reads every parameter as the program does before "Set": the formulas then see the drive's
// values. Ends the command when the drive stops answering.
void readAll(Session& s, const char* what) {
    ss::Sweeps sweeps(*s.link, s.model(), s.db->messages);
    const ss::ReadAllResult read = sweeps.ReadParamAll();
    for (size_t i = 0; i < read.read.size(); ++i)
        if (read.read[i])
            s.model().setKnownValue(static_cast<int>(i), *read.read[i]);
    s.checkLink();
    if (!read.ran || read.linkLost || !read.gaveUp.empty())
        throw LinkError(std::string(what) + ": not every parameter answered");
}

// The parameters "Set" reads or may change: the drive and motor types, those of the motor
// line, those the configuration formulas set and those they refer to.
std::vector<int> configurationParameters(const pm::ParameterModel& model,
                                         const pm::TypeTables& tables) {
    std::vector<int> positions;
    const auto add = [&](std::optional<int> position) {
        if (position && std::find(positions.begin(), positions.end(), *position) == positions.end())
            positions.push_back(*position);
    };
    add(model.knownPosition(pm::KnownParameter::DT));
    add(model.knownPosition(pm::KnownParameter::MT));
    for (const std::string& mnemonic : tables.motorMnemonics())
        add(model.find(mnemonic));
    const auto byNumpar = [&](const std::string& numpar) -> std::optional<int> {
        for (int position = 0; position < pm::kParameterCount; ++position) {
            if (model.parameter(position).Pname.empty())
                break;
            if (model.parameter(position).Numpar == numpar)
                return position;
        }
        return std::nullopt;
    };
    for (const pm::TParR& entry : model.calculated()) {
        if (entry.typeD != "f")
            break;
        add(entry.num);
        // References are "p" and up to three digits.
        for (const std::string* text : {&entry.MinVal, &entry.MaxVal, &entry.DefValue}) {
            for (size_t i = 0; i < text->size(); ++i) {
                size_t n = 0;
                while (n < 3 && i + 1 + n < text->size() &&
                       std::isdigit(static_cast<unsigned char>((*text)[i + 1 + n])))
                    ++n;
                if ((*text)[i] == 'p' && n > 0)
                    add(byNumpar(text->substr(i, n + 1)));
            }
        }
    }
    return positions;
}

// Reads what "Set" works with, then evaluates the formulas for the types read, as read-all
// does: the changes printed start from what the drive holds.
void readConfiguration(Session& s, const pm::TypeTables& tables) {
    std::vector<std::pair<int, double>> read;
    for (const int position : configurationParameters(s.model(), tables)) {
        if (s.read(position)) {
            read.emplace_back(position, s.model().value(position));
        } else {
            s.checkLink();
            throw LinkError("config: no answer for " + s.model().parameter(position).Pname +
                            " on " + s.device);
        }
    }
    const auto value = [&](pm::KnownParameter which) -> std::optional<double> {
        const auto position = s.model().knownPosition(which);
        return position ? std::optional<double>(s.model().value(*position)) : std::nullopt;
    };
    const pm::ParameterModel::TypeBasis& basis = s.model().formulaBasis();
    if (basis.motorType != value(pm::KnownParameter::MT) ||
        basis.driveType != value(pm::KnownParameter::DT))
        (void)formula::reevaluateFormulas(s.model(), formula::kReadAllFormulaPasses, s.ui);
    // The limits stand for the types read; the values stay the drive's.
    for (const auto& [position, v] : read)
        s.model().setKnownValue(position, v);
}

bool servoIsOn(Session& s) {
    (void)s.statusWord(pm::kStateBitWords[0]);
    ss::StatusPoll poll(*s.link, s.model(), s.db->messages);
    const auto word = poll.readWord(pm::kStateBitWords[0]);
    if (!word) {
        s.checkLink();
        throw LinkError("no answer for the state word on " + s.device);
    }
    return (*word >> monitor::kBitServoOn) & 1;
}

// Ends the command unless CALCPARA was acknowledged.
void checkCalcPara(const Session& s, const ss::CalcParaResult& r) {
    s.checkLink();
    switch (r.outcome) {
        case ServiceOutcome::Done:
            return;
        case ServiceOutcome::Refused:
            throw CliError(r.message == pm::kMsgServoIsOn
                               ? "calcpara: the servo is on; nothing was sent"
                               : "calcpara: refused by the drive");
        case ServiceOutcome::NotRun:
            throw CliError("calcpara: nothing was sent");
        case ServiceOutcome::NotWritten:
            throw LinkError("calcpara: the command could not be written to " + s.device);
        case ServiceOutcome::NoAnswer:
            throw LinkError("calcpara: no answer from the drive on " + s.device);
        case ServiceOutcome::Foreign:
            throw LinkError(
                "calcpara: the drive answered with something that is no "
                "acknowledgement");
        case ServiceOutcome::HungUp:
            throw LinkError("calcpara: the link to the drive on " + s.device + " was lost");
    }
}

int configCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    constexpr const char* kUsage =
        "usage: --port DEV config --drive NAME --motor NAME "
        "[--no-calcpara]";
    ss::ConfigurationRequest request;
    const auto drive = takeOption(args, "--drive");
    const auto motor = takeOption(args, "--motor");
    request.sendCalcPara = !takeFlag(args, "--no-calcpara");
    if (!args.empty() || (!drive && !motor))
        throw UsageError(kUsage);
    Session s(options, {"DT", "MT"});
    pm::TypeTables tables;
    (void)tables.load(inDataFolder(options, pm::kMotorTypeFileName),
                      inDataFolder(options, pm::kDriveTypeFileName), s.db->messages, s.ui,
                      s.model().language());
    // A name that is not in the tables would make "Set" do nothing without a word.
    if (drive && !ss::driveTypeValue(tables, *drive))
        throw UsageError("no drive type \"" + *drive + "\" in " + pm::kDriveTypeFileName);
    if (motor && !ss::motorTypeLine(tables, *motor))
        throw UsageError("no motor type \"" + *motor + "\" in " + pm::kMotorTypeFileName);
    request.drive = drive.value_or("");
    request.motor = motor.value_or("");
    s.connect(options);
    readConfiguration(s, tables);
    const ss::ConfigurationResult r =
        ss::applyConfiguration(*s.link, *s.access, s.model(), s.db->messages, tables, request);
    for (const ss::ParameterChange& change : r.changes)
        std::printf("%s\n", ss::changeText(change).c_str());
    if (!r.driveChanged && !r.motorChanged)
        std::printf("config: nothing to change\n");
    if (r.calcPara.outcome != ServiceOutcome::NotRun)
        checkCalcPara(s, r.calcPara);
    s.checkLink();
    // A change the drive did not take leaves it configured otherwise than printed.
    if (!r.notTaken.empty()) {
        std::string names;
        for (const int position : r.notTaken)
            names += (names.empty() ? "" : ", ") + s.model().parameter(position).Pname;
        throw CliError("config: the drive did not take " + names);
    }
    return kExitOk;
}

int calcparaCommand(const Args& args, const GlobalOptions& options) {
    if (!args.empty())
        throw UsageError("usage: --port DEV calcpara");
    Session s(options, {});
    s.connect(options);
    const ss::CalcParaResult r = ss::sendCalcPara(*s.link, s.model(), s.db->messages, servoIsOn(s));
    checkCalcPara(s, r);
    std::this_thread::sleep_for(std::chrono::milliseconds(r.readAllDueMs));
    readAll(s, "calcpara");
    std::printf("calcpara: done\n");
    return kExitOk;
}

}  // namespace

void addConfigCommands(CommandList& list) {
    list.push_back(
        {"config", "--port DEV config --drive NAME --motor NAME [--no-calcpara]", configCommand,
         "Fits a drive and a motor from Drive_type.mod and Motor_type.mod, as \"Set\" of the "
         "configuration dialog does.\n"
         "Reads the drive and motor types, the motor's parameters and those of the formulas, "
         "writes \"DT\" and the motor's line when they differ from what "
         "the drive holds, evaluates the configuration formulas, sends CALCPARA (0x69) unless "
         "--no-calcpara, and writes the defaults the formulas changed. Prints each change as "
         "\"MNEMONIC old -> new\" (limits and defaults as \"MNEMONIC max old -> new\").\n"
         "Exit status 1 when the drive refuses CALCPARA or a value, or the servo is on, 2 for a "
         "name not in the tables, 3 when the drive does not answer."});
    list.push_back({"calcpara", "--port DEV calcpara", calcparaCommand,
                    "Tells the drive to recalculate its internal values (CALCPARA, 0x69), then "
                    "reads every parameter.\n"
                    "Exit status 1 when the servo is on or the drive refuses, 3 when it does "
                    "not answer."});
}

}  // namespace zrd::cli
