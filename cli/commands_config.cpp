// zrdctl config and calcpara: a drive and a motor fitted to the drive in one step, and the
// drive told to recalculate its internal values.
#include <chrono>
#include <thread>

#include "drive_session.h"
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

bool servoIsOn(Session& s) {
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
    readAll(s, "config");
    const ss::ConfigurationResult r =
        ss::applyConfiguration(*s.link, *s.access, s.model(), s.db->messages, tables, request);
    for (const ss::ParameterChange& change : r.changes)
        std::printf("%s\n", ss::changeText(change).c_str());
    if (!r.driveChanged && !r.motorChanged)
        std::printf("config: nothing to change\n");
    if (r.calcPara.outcome != ServiceOutcome::NotRun)
        checkCalcPara(s, r.calcPara);
    s.checkLink();
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
         "Reads every parameter, writes \"DT\" and the motor's line when they differ from what "
         "the drive holds, evaluates the configuration formulas, sends CALCPARA (0x69) unless "
         "--no-calcpara, and writes the defaults the formulas changed. Prints each change as "
         "\"MNEMONIC old -> new\" (limits and defaults as \"MNEMONIC max old -> new\").\n"
         "Exit status 1 when the drive refuses CALCPARA or the servo is on, 2 for a name not in "
         "the tables, 3 when the drive does not answer."});
    list.push_back({"calcpara", "--port DEV calcpara", calcparaCommand,
                    "Tells the drive to recalculate its internal values (CALCPARA, 0x69), then "
                    "reads every parameter.\n"
                    "Exit status 1 when the servo is on or the drive refuses, 3 when it does "
                    "not answer."});
}

}  // namespace zrd::cli
