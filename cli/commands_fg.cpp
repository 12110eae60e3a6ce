// zrdctl's function generator commands: the signal written as the "Wave forms" window writes
// it, and the generator started and stopped as the main window's buttons do.
#include <cmath>

#include "cli.h"
#include "drive_session.h"
#include "monitor/status.h"
#include "params/message_numbers.h"
#include "session/status_poll.h"
#include "tuning/function_generator.h"

namespace zrd::cli {
namespace {

namespace pm = zrd::params;
namespace tn = zrd::tuning;

constexpr const char* kOperatingMode = "OPMOD";
constexpr const char* kCommandSource = "INST";
// "INST" values of an external command source (pulse, analog); the others are internal.
constexpr int kSourcePulse = 2;
constexpr int kSourceAnalog = 3;
constexpr int kStateWord = 240;

constexpr const char* kSetUsage =
    "usage: --port DEV fg set --type const|square|sine|chirp --amp A [--offset O] [--period T] "
    "[--width Q] [--repeat N] [--amp-unit rev-min|counts-s] [--time-unit ms|s|min]";

tn::WaveType waveType(const std::string& text) {
    if (text == "const")
        return tn::WaveType::Constant;
    if (text == "square")
        return tn::WaveType::Square;
    if (text == "sine")
        return tn::WaveType::Sine;
    if (text == "chirp")
        return tn::WaveType::Chirp;
    throw UsageError("--type must be const, square, sine or chirp: \"" + text + "\"");
}

int amplitudeUnit(const std::string& text) {
    if (text == "rev-min")
        return 0;
    if (text == "counts-s")
        return 1;
    throw UsageError("--amp-unit must be rev-min or counts-s: \"" + text + "\"");
}

int timeUnit(const std::string& text) {
    if (text == "ms")
        return 0;
    if (text == "s")
        return 1;
    if (text == "min")
        return 2;
    throw UsageError("--time-unit must be ms, s or min: \"" + text + "\"");
}

// The option that fills a field of the window.
std::string optionOf(const std::string& field) {
    if (field == "amplitude")
        return "--amp";
    return "--" + field;
}

tn::GeneratorMode readMode(Session& s) {
    tn::GeneratorMode mode;
    mode.operatingMode = static_cast<int>(std::lround(readParameter(s, kOperatingMode)));
    mode.commandSourceFlag = std::lround(readParameter(s, kCommandSource)) == 0;
    return mode;
}

// How a generator command ended, as the command's end: nothing for an accepted one.
void endOfCommand(const Session& s, tn::CommandOutcome outcome, const std::string& what) {
    s.checkLink();
    switch (outcome) {
        case tn::CommandOutcome::Accepted:
            return;
        case tn::CommandOutcome::NotWritten:
            throw LinkError(what + " could not be sent on " + s.device);
        case tn::CommandOutcome::NoAnswer:
            throw LinkError("no answer to " + what + " on " + s.device);
        case tn::CommandOutcome::Refused:
            throw CliError("the drive refused " + what);
        case tn::CommandOutcome::Busy:
            throw CliError("the link is busy");
        case tn::CommandOutcome::HungUp:
            throw LinkError("the link to the drive on " + s.device + " was lost");
    }
}

int setCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const auto type = takeOption(args, "--type");
    const auto amplitude = takeOption(args, "--amp");
    const auto offset = takeOption(args, "--offset");
    const auto period = takeOption(args, "--period");
    const auto width = takeOption(args, "--width");
    const auto repeat = takeOption(args, "--repeat");
    const auto ampUnit = takeOption(args, "--amp-unit");
    const auto time = takeOption(args, "--time-unit");
    if (!args.empty() || !type || !amplitude)
        throw UsageError(kSetUsage);
    tn::WaveFields fields;
    fields.type = waveType(*type);
    // Unset time fields take the window's presets of the type: Period 2 and width 0, for the
    // chirp 0 and 2.
    const bool chirp = fields.type == tn::WaveType::Chirp;
    fields.amplitude = *amplitude;
    fields.offset = offset.value_or("0");
    fields.period = period.value_or(chirp ? "0" : "2");
    fields.width = width.value_or(chirp ? "2" : "0");
    fields.repeat = repeat.value_or("0");
    fields.units.amplitude = amplitudeUnit(ampUnit.value_or("rev-min"));
    fields.units.time = timeUnit(time.value_or("ms"));

    Session s(options, {kOperatingMode, kCommandSource});
    s.connect(options);
    const tn::GeneratorMode mode = readMode(s);
    const auto planned = tn::planWave(fields, mode);
    if (const auto* refusal = std::get_if<tn::WaveRefusal>(&planned)) {
        if (!refusal->badField.empty()) {
            const std::string field = refusal->badField;
            const std::string& text = field == "amplitude" ? fields.amplitude
                                      : field == "offset"  ? fields.offset
                                      : field == "period"  ? fields.period
                                      : field == "width"   ? fields.width
                                                           : fields.repeat;
            throw UsageError(optionOf(field) + " is not a number: \"" + text +
                             "\"; nothing was written");
        }
        s.db->messages.show(s.ui, refusal->message, s.model().language());
        if (refusal->correctedAmplitude)
            throw CliError("the amplitude would be " + *refusal->correctedAmplitude +
                           "; nothing was written");
        throw CliError("nothing was written");
    }
    const auto& plan = std::get<tn::WavePlan>(planned);
    std::vector<std::string> failed;
    const tn::CommandOutcome outcome =
        tn::writeWave(*s.link, *s.access, s.model(), s.db->messages, plan, &failed);
    s.checkLink();
    for (const tn::WaveWrite& w : plan.writes)
        std::printf("%-6s %s\n", w.mnemonic.c_str(), pm::valueText(w.value).c_str());
    if (!failed.empty()) {
        std::string names;
        for (const std::string& n : failed)
            names += (names.empty() ? "" : ", ") + n;
        throw CliError("not written: " + names);
    }
    endOfCommand(s, outcome, "the chirp command");
    std::printf("fg set: %zu parameters written%s\n", plan.writes.size(),
                plan.chirpCommand ? ", chirp prepared" : "");
    return kExitOk;
}

int startCommand(const Args& args, const GlobalOptions& options) {
    if (!args.empty())
        throw UsageError("usage: --port DEV fg start");
    Session s(options, {kCommandSource});
    s.connect(options);
    requireGeneratorMayStart(s);
    endOfCommand(s, tn::startGenerator(*s.link, s.model(), s.db->messages),
                 "the generator's start");
    std::printf("fg start: the generator runs\n");
    return kExitOk;
}

int stopCommand(const Args& args, const GlobalOptions& options) {
    if (!args.empty())
        throw UsageError("usage: --port DEV fg stop");
    Session s(options, {});
    s.connect(options);
    endOfCommand(s, tn::stopGenerator(*s.link, s.model(), s.db->messages), "the generator's stop");
    std::printf("fg stop: the generator stopped\n");
    return kExitOk;
}

int fgCommand(const Args& argsIn, const GlobalOptions& options) {
    if (argsIn.empty())
        throw UsageError("usage: --port DEV fg set|start|stop ...");
    const Args rest(argsIn.begin() + 1, argsIn.end());
    if (argsIn[0] == "set")
        return setCommand(rest, options);
    if (argsIn[0] == "start")
        return startCommand(rest, options);
    if (argsIn[0] == "stop")
        return stopCommand(rest, options);
    throw UsageError("usage: --port DEV fg set|start|stop ...");
}

}  // namespace

double readParameter(Session& s, const char* mnemonic) {
    const std::optional<int> position = s.model().find(mnemonic);
    if (!position)
        s.lacks(mnemonic);
    if (!s.read(*position)) {
        s.checkLink();
        throw LinkError("no answer for " + std::string(mnemonic) + " on " + s.device);
    }
    return s.model().value(*position);
}

void requireGeneratorMayStart(Session& s) {
    const int source = static_cast<int>(std::lround(readParameter(s, kCommandSource)));
    (void)s.statusWord(kStateWord);
    session::StatusPoll poll(*s.link, s.model(), s.db->messages);
    const auto state = poll.readWord(kStateWord);
    if (!state) {
        s.checkLink();
        throw LinkError("no answer for status word " + std::to_string(kStateWord) + " on " +
                        s.device);
    }
    const bool servoOn = (*state >> monitor::kBitServoOn) & 1;
    const bool internal = source != kSourcePulse && source != kSourceAnalog;
    if (const auto message = tn::generatorStartRefusal(servoOn, internal)) {
        s.db->messages.show(s.ui, *message, s.model().language());
        throw CliError(servoOn ? "the command source is not internal" : "the servo is off");
    }
}

void addGeneratorCommands(CommandList& list) {
    list.push_back(
        {"fg",
         "--port DEV fg set --type const|square|sine|chirp --amp A [--offset O] [--period T] "
         "[--width Q] [--repeat N] [--amp-unit rev-min|counts-s] [--time-unit ms|s|min] | "
         "--port DEV fg start | --port DEV fg stop",
         fgCommand,
         "Writes the function generator's signal, or starts and stops the generator.\n"
         "set: reads \"OPMOD\" and \"INST\" from the drive and writes the signal as the \"Wave "
         "forms\" window does. In current mode (or with \"INST\" 0) amplitude and offset are in "
         "amperes (-60..60; the amplitude goes RMS-scaled), otherwise in rpm or counts "
         "(-6000..6000, a whole amplitude). --period and --width are the window's two time "
         "fields (for the chirp its start and end frequency in Hz); unset they take the window's "
         "presets (2 and 0, for the chirp 0 and 2). --offset and --repeat default to 0, the "
         "units to rev-min and ms (always so in current and speed mode). The chirp is then "
         "prepared with the command \"h\". A fraction outside current mode (message 84) or an "
         "amplitude beyond the limit (46) writes nothing and exits 1.\n"
         "start: needs the servo on (else message 77) and an internal command source (else 76); "
         "a refusal of the drive shows message 78. stop: stops the generator.\n"
         "Exit status 1 when the drive refused, 2 for a field that is not a number, 3 when it "
         "did not answer."});
}

}  // namespace zrd::cli
