// zrdctl's service commands: the filter calculator, EEPROM, reset, initialisation, servo,
// operating mode and command source, and parameter files by the menu's names.
#include <chrono>
#include <thread>

#include "drive_session.h"
#include "monitor/status.h"
#include "params/parameter_file.h"
#include "session/service_commands.h"
#include "session/status_poll.h"
#include "session/sweeps.h"
#include "tuning/filter_design.h"

namespace zrd::cli {

// The shared part of read-all -o and write-all (commands_session.cpp).
int saveParametersFromDrive(Session& s, const std::string& file);
int writeParameterFile(Session& s, const GlobalOptions& options, const std::string& file);

namespace {

namespace pm = zrd::params;
namespace ss = zrd::session;
namespace tn = zrd::tuning;
using ss::ServiceOutcome;

// The coefficient scale of the drive's filter parameters, for a design without a database.
constexpr double kDefaultCoefficientScale = 0.0001;

tn::FilterType filterType(const std::string& text, bool offAllowed) {
    if (text == "lpf")
        return tn::FilterType::LowPass;
    if (text == "bsf")
        return tn::FilterType::BandStop;
    if (text == "efc")
        return tn::FilterType::EqualiserCut;
    if (text == "efb")
        return tn::FilterType::EqualiserBoost;
    if (offAllowed && text == "off")
        return tn::FilterType::Off;
    throw UsageError("--type must be lpf, bsf, efc or efb" +
                     std::string(offAllowed ? " or off" : "") + ", not \"" + text + "\"");
}

std::string coefficients(const tn::Biquad& q) {
    return "b0 " + pm::valueText(q.b0) + " b1 " + pm::valueText(q.b1) + " b2 " +
           pm::valueText(q.b2) + " a1 " + pm::valueText(q.a1) + " a2 " + pm::valueText(q.a2);
}

// The design inputs from the options; those not given keep the preset.
tn::FilterFields designOptions(Args& args, tn::FilterFields preset, bool offAllowed) {
    const auto type = takeOption(args, "--type");
    if (!type)
        throw UsageError("needs --type");
    preset.type = filterType(*type, offAllowed);
    const auto freq = takeOption(args, "--freq");
    if (!freq && preset.type != tn::FilterType::Off)
        throw UsageError("needs --freq F");
    if (freq)
        preset.frequency = parseDouble(*freq, "--freq");
    if (const auto q = takeOption(args, "--q"))
        preset.quality = parseDouble(*q, "--q");
    if (const auto g = takeOption(args, "--gain"))
        preset.gainDb = parseDouble(*g, "--gain");
    return preset;
}

const char* kNothingComputed =
    "nothing computed: the quality is 0 or the normaliser is 0 for these inputs";

int filterDesign(Args& args) {
    tn::FilterFields fields = designOptions(args, {}, false);
    const double scale = parseDouble(
        takeOption(args, "--scale").value_or(pm::valueText(kDefaultCoefficientScale)), "--scale");
    if (!args.empty())
        throw UsageError("unexpected " + args[0]);
    tn::CoefficientFactors factors{};
    factors.fill(tn::quantisationFactor(scale));
    const auto c = tn::calculateFilter(tn::inputsOf(fields), factors);
    if (!c) {
        std::printf("%s\n", kNothingComputed);
        return kExitFailed;
    }
    std::printf("computed:  %s\n", coefficients(c->designed).c_str());
    std::printf("quantised: %s\n", coefficients(c->quantised).c_str());
    if (c->dcCorrected)
        std::fprintf(stderr, "zrdctl: a1 corrected for unit gain at zero frequency\n");
    if (!c->stable)
        std::fprintf(stderr,
                     "zrdctl: the quantised filter is unstable (a pole on or outside the "
                     "unit circle)\n");
    return kExitOk;
}

ss::DriveControls readControls(Session& s);

int filterWrite(Args& args, const GlobalOptions& options) {
    const int slot =
        parseInt(takeOption(args, "--slot").value_or(""), "--slot", 1, tn::kFilterSlots);
    const bool force = takeFlag(args, "--force");
    Session s(options, {});
    // The fields start from what the drive holds, as the window loads them.
    const auto parameters = tn::slotParameters(s.model(), slot);
    for (size_t r = 0; r < tn::kFilterRoleSuffixes.size(); ++r) {
        const std::string name = tn::filterMnemonic(slot, static_cast<tn::FilterRole>(r));
        if (!s.model().find(name))
            s.lacks(name);
    }
    tn::FilterFields fields = designOptions(args, tn::loadFilterSlot(s.model(), slot), true);
    if (!args.empty())
        throw UsageError("unexpected " + args[0]);
    s.connect(options);
    for (const tn::SlotParameter& p : parameters) {
        if (!s.read(p.position)) {
            s.checkLink();
            throw LinkError("no answer for " + s.model().parameter(p.position).Pname);
        }
    }
    const tn::FilterFields drive = tn::loadFilterSlot(s.model(), slot);
    fields.coefficients = drive.coefficients;
    if (fields.type == tn::FilterType::Off) {
        fields.coefficients = tn::Biquad{};
    } else {
        const auto c =
            tn::calculateFilter(tn::inputsOf(fields), tn::coefficientFactors(s.model(), slot));
        if (!c)
            throw CliError(std::string(kNothingComputed) + "; nothing written");
        if (!c->stable && !force)
            throw CliError(
                "the quantised filter is unstable (a pole on or outside the unit "
                "circle); nothing written (--force writes it)");
        fields.coefficients = c->quantised;
    }
    // The slot runs mixed old and new coefficients between the writes.
    if (readControls(s).servoOn)
        std::fprintf(stderr,
                     "zrdctl: the servo is on: while the nine parameters go out one by "
                     "one, the drive runs a mix of the old and new filter\n");
    const tn::FilterWriteResult r =
        tn::writeFilterSlot(*s.link, *s.access, s.model(), slot, fields);
    int refused = 0;
    int unanswered = 0;
    for (const auto& w : r.writes) {
        const char* verdict = w.verdict == link::kReplyAccepted  ? "accepted"
                              : w.verdict == link::kReplyRefused ? "refused"
                                                                 : "no answer";
        refused += w.verdict == link::kReplyRefused;
        unanswered += w.verdict != link::kReplyAccepted && w.verdict != link::kReplyRefused;
        std::printf("%-8s %-12s %s\n", s.model().parameter(w.position).Pname.c_str(),
                    pm::valueText(s.model().value(w.position)).c_str(), verdict);
    }
    s.checkLink();
    if (unanswered > 0 || r.writes.size() < parameters.size())
        throw LinkError(std::to_string(unanswered) + " write(s) without an answer");
    if (refused > 0)
        throw CliError(std::to_string(refused) + " write(s) refused");
    return kExitOk;
}

int filterCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    if (args.empty())
        throw UsageError("usage: filter design ... | --port DEV filter write ...");
    const std::string sub = args[0];
    args.erase(args.begin());
    if (sub == "design")
        return filterDesign(args);
    if (sub == "write")
        return filterWrite(args, options);
    throw UsageError("filter knows design and write, not " + sub);
}

// Ends the command unless the sequence was done; the drive's reply is named.
int finish(const Session& s, const ss::ServiceResult& r, const std::string& what) {
    s.checkLink();
    switch (r.outcome) {
        case ServiceOutcome::Done:
            std::printf("%s: done\n", what.c_str());
            return kExitOk;
        case ServiceOutcome::NotRun:
            throw CliError(what + ": nothing was sent");
        case ServiceOutcome::Refused:
            throw CliError(what + ": refused" +
                           (r.enmodRefused ? " (\"ENMOD\" is 0: the PC may not switch the servo)"
                            : r.status     ? " by the drive"
                                           : ""));
        case ServiceOutcome::NotWritten:
            throw LinkError(what + ": the command could not be written to " + s.device);
        case ServiceOutcome::NoAnswer:
            throw LinkError(what + ": no answer from the drive on " + s.device);
        case ServiceOutcome::Foreign:
            throw LinkError(what +
                            ": the drive answered with something that is neither acknowledgement "
                            "nor refusal");
        case ServiceOutcome::HungUp:
            throw LinkError(what + ": the link to the drive on " + s.device + " was lost");
    }
    return kExitFailed;
}

// The buttons' state as the drive reports it: servo and generator from the state word, the
// mode, source and enable parameters read.
ss::DriveControls readControls(Session& s) {
    ss::DriveControls c;
    (void)s.statusWord(params::kStateBitWords[0]);
    ss::StatusPoll poll(*s.link, s.model(), s.db->messages);
    const auto word = poll.readWord(params::kStateBitWords[0]);
    if (!word) {
        s.checkLink();
        throw LinkError("no answer for the state word on " + s.device);
    }
    c.servoOn = (*word >> monitor::kBitServoOn) & 1;
    c.generatorRunning = (*word >> monitor::kBitGeneratorRunning) & 1;
    const auto readValue = [&](std::string_view name) -> std::optional<double> {
        const auto position = s.model().find(name);
        if (!position)
            return std::nullopt;
        if (!s.read(*position)) {
            s.checkLink();
            throw LinkError("no answer for " + std::string(name) + " on " + s.device);
        }
        return s.model().value(*position);
    };
    (void)readValue("ENMOD");
    if (const auto mode = readValue("OPMOD"))
        c.operatingMode = static_cast<int>(*mode);
    c.displayFactor =
        c.operatingMode == ss::kModeCurrent ? ss::kCurrentDisplayFactor : ss::kDefaultDisplayFactor;
    if (const auto source = readValue("INST"))
        c.internalSource = *source <= ss::kSourceInternal;
    return c;
}

// The drive starts again after a reset; zrdctl may wait for it, then checks that it answers.
int afterReset(Session& s, ss::ServiceCommands& svc, const ss::ServiceResult& r,
               const std::string& what) {
    if (r.readAllDueMs < 0)
        return finish(s, r, what);
    std::this_thread::sleep_for(std::chrono::milliseconds(r.readAllDueMs));
    svc.abandonReset();
    const auto hver = s.model().knownPosition(pm::KnownParameter::HVER);
    if (hver && !s.read(*hver)) {
        s.checkLink();
        throw LinkError(what + ": the drive does not answer after the reset");
    }
    return finish(s, r, what);
}

int eepromCommand(const Args& args, const GlobalOptions& options) {
    const std::string usage = "usage: --port DEV eeprom save | save-da 0|1 | load-da";
    if (args.empty())
        throw UsageError(usage);
    const std::string& sub = args[0];
    if (!((sub == "save" || sub == "load-da") && args.size() == 1) &&
        !(sub == "save-da" && args.size() == 2))
        throw UsageError(usage);
    const int area = sub == "save-da" ? parseInt(args[1], "save-da", 0, 1) : 0;
    Session s(options, {});
    s.connect(options);
    ss::ServiceCommands svc(*s.link, *s.access, s.model(), s.db->messages);
    if (sub == "save-da")
        return finish(s, svc.saveDataArea(static_cast<uint8_t>(area)), "eeprom save-da");
    if (sub == "load-da")
        return finish(s, svc.loadDataArea(), "eeprom load-da");
    // The values written are the drive's own, read first.
    session::Sweeps sweeps(*s.link, s.model(), s.db->messages);
    const session::ReadAllResult read = sweeps.ReadParamAll();
    for (size_t i = 0; i < read.read.size(); ++i)
        if (read.read[i])
            s.model().setKnownValue(static_cast<int>(i), *read.read[i]);
    s.checkLink();
    if (read.linkLost || !read.gaveUp.empty())
        throw LinkError("eeprom save: not every parameter answered; nothing was stored");
    const ss::ServiceResult r = svc.storeInEeprom();
    if (r.writeAll && !r.ok() && r.outcome == ServiceOutcome::Done) {
        // What the EEPROM now holds for those is what the drive held, not what was read.
        const ss::WriteAllResult& w = *r.writeAll;
        std::string why;
        for (const auto& [count, text] :
             {std::pair{w.refused, " refused by the drive"},
              std::pair{w.unanswered, " without an answer"},
              std::pair{static_cast<int>(w.skipped.size()), " not known"}})
            if (count > 0)
                why += (why.empty() ? "" : ", ") + std::to_string(count) + text;
        throw CliError("eeprom save: stored, but not every parameter was written first (" + why +
                       ")");
    }
    return finish(s, r, "eeprom save");
}

int resetCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const bool force = takeFlag(args, "--force");
    if (!args.empty())
        throw UsageError("usage: --port DEV reset [--force]");
    Session s(options, {});
    s.connect(options);
    ss::ServiceCommands svc(*s.link, *s.access, s.model(), s.db->messages);
    ss::DriveControls controls = readControls(s);
    const ss::ServiceResult r =
        svc.reset(controls, force ? ss::ResetKind::Forced : ss::ResetKind::Checked);
    if (r.outcome == ServiceOutcome::Refused)
        throw CliError("reset: the servo is on; switch it off first or give --force");
    return afterReset(s, svc, r, "reset");
}

int initCommand(const Args& args, const GlobalOptions& options) {
    if (!args.empty())
        throw UsageError("usage: --port DEV init");
    Session s(options, {});
    s.connect(options);
    ss::ServiceCommands svc(*s.link, *s.access, s.model(), s.db->messages);
    ss::DriveControls controls;
    const ss::ServiceResult r = svc.initialise(controls);
    if (r.readAllDueMs < 0)
        return finish(s, r, "init");
    // As the window does: the drive starts again, its parameters are read, and message 72 says
    // that the initialisation is complete.
    std::this_thread::sleep_for(std::chrono::milliseconds(r.readAllDueMs));
    const session::ReadAllResult after = svc.completeReset();
    s.checkLink();
    if (!after.ran || after.linkLost || !after.gaveUp.empty())
        throw LinkError("init: the drive does not answer after the reset");
    return finish(s, r, "init");
}

int servoCommand(const Args& args, const GlobalOptions& options) {
    if (args.size() != 1 || (args[0] != "on" && args[0] != "off"))
        throw UsageError("usage: --port DEV servo on|off");
    Session s(options, {});
    s.connect(options);
    ss::ServiceCommands svc(*s.link, *s.access, s.model(), s.db->messages);
    ss::DriveControls controls = readControls(s);
    const bool on = args[0] == "on";
    return finish(s, on ? svc.servoOn(controls) : svc.servoOff(controls), "servo " + args[0]);
}

// Ends the command unless the parameter write (and for "external" the stops) went through.
int finishControl(const Session& s, const ss::ControlResult& r, const std::string& what) {
    s.checkLink();
    if (r.outcome == ServiceOutcome::NotRun && !r.undone) {
        std::printf("%s: nothing to do\n", what.c_str());
        return kExitOk;
    }
    ss::ServiceResult summary = r.commands;
    summary.outcome = r.outcome;
    return finish(s, summary, what);
}

int modeCommand(const Args& args, const GlobalOptions& options) {
    const std::vector<std::string> modes = {"current", "speed", "position"};
    const auto it = args.size() == 1 ? std::find(modes.begin(), modes.end(), args[0]) : modes.end();
    if (it == modes.end())
        throw UsageError("usage: --port DEV mode current|speed|position");
    Session s(options, {"OPMOD"});
    s.connect(options);
    ss::ServiceCommands svc(*s.link, *s.access, s.model(), s.db->messages);
    ss::DriveControls controls = readControls(s);
    const int mode = static_cast<int>(it - modes.begin()) + ss::kModeCurrent;
    return finishControl(s, svc.selectOperatingMode(controls, mode), "mode " + args[0]);
}

int sourceCommand(const Args& args, const GlobalOptions& options) {
    if (args.size() != 1 || (args[0] != "internal" && args[0] != "external"))
        throw UsageError("usage: --port DEV source internal|external");
    Session s(options, {"INST"});
    s.connect(options);
    ss::ServiceCommands svc(*s.link, *s.access, s.model(), s.db->messages);
    ss::DriveControls controls = readControls(s);
    const auto source = args[0] == "internal" ? ss::ServiceCommands::Source::Internal
                                              : ss::ServiceCommands::Source::External;
    return finishControl(s, svc.selectCommandSource(controls, source), "source " + args[0]);
}

int saveParamsCommand(const Args& args, const GlobalOptions& options) {
    if (args.size() != 1)
        throw UsageError("usage: --port DEV save-params FILE");
    Session s(options, {});
    s.connect(options);
    return saveParametersFromDrive(s, args[0]);
}

int loadParamsCommand(const Args& args, const GlobalOptions& options) {
    if (args.size() != 1)
        throw UsageError("usage: --port DEV load-params FILE");
    Session s(options, {});
    return writeParameterFile(s, options, args[0]);
}

}  // namespace

void addServiceCommands(CommandList& list) {
    list.push_back(
        {"filter",
         "filter design --type lpf|bsf|efc|efb --freq F [--q Q] [--gain G] [--scale S] | --port "
         "DEV filter write --slot N --type lpf|bsf|efc|efb|off [--freq F] [--q Q] [--gain G] "
         "[--force]",
         filterCommand,
         "Designs a drive filter (bilinear transform at 8000 Hz) and writes it to a slot.\n"
         "design: prints the coefficients b0 b1 b2 a1 a2 as computed and after quantisation to "
         "the scale S (0.0001) and the correction for unit gain at zero frequency. Exit status 1 "
         "when nothing is computed (quality 0, a normaliser of 0).\n"
         "write: reads the slot's nine parameters, designs with the inputs given (the others "
         "as the drive holds them), quantises with the scales of the slot's coefficient "
         "parameters and writes the nine in table order. off writes type 0 with 1 0 0 0 0. An "
         "unstable quantised filter is written only with --force."});
    list.push_back({"eeprom", "--port DEV eeprom save | save-da 0|1 | load-da", eepromCommand,
                    "EEPROM commands.\n"
                    "save: reads every parameter, writes them all back and stores them in the "
                    "EEPROM (0x6F), as \"Save parameters to EEPROM\" does.\n"
                    "save-da 0|1: stores the data area (0x65 0 or 1); load-da: loads it (0x66).\n"
                    "Exit status 1 when the drive refuses, 3 when it does not answer or answers "
                    "something that is neither acknowledgement nor refusal."});
    list.push_back({"reset", "--port DEV reset [--force]", resetCommand,
                    "Resets the drive (0x67), waits 1.5 s and checks that it answers again.\n"
                    "Refused (exit status 1) while the servo is on, unless --force (as \"RESET "
                    "(67)\")."});
    list.push_back({"init", "--port DEV init", initCommand,
                    "Drive initialisation: stores the data area (0x65 1) and the parameters "
                    "(0x6F) in the EEPROM, resets the drive, waits 1.5 s and reads every "
                    "parameter; message 72 then says that the data area is saved."});
    list.push_back({"servo", "--port DEV servo on|off", servoCommand,
                    "Switches the servo on (0x6D) or off (0x61 generator stop, then 0x6E) from "
                    "the PC. Refused (exit status 1) while \"ENMOD\" is 0."});
    list.push_back({"mode", "--port DEV mode current|speed|position", modeCommand,
                    "Writes the operating mode \"OPMOD\" (1, 2, 3)."});
    list.push_back({"source", "--port DEV source internal|external", sourceCommand,
                    "Writes the command source \"INST\": 1 internal; external 2 in position "
                    "mode, 3 otherwise, then stops a running generator and switches a running "
                    "servo off."});
    list.push_back({"save-params", "--port DEV save-params FILE", saveParamsCommand,
                    "Reads every parameter and writes a parameter file (as read-all -o)."});
    list.push_back({"load-params", "--port DEV load-params FILE", loadParamsCommand,
                    "Writes a parameter file to the drive (as write-all): a file with a bad line "
                    "is named with its line and nothing is written."});
}

}  // namespace zrd::cli
