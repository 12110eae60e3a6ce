#include "tuning/function_generator.h"

#include <cmath>

#include "core/number_text.h"
#include "params/message_numbers.h"
#include "session/link_busy_guard.h"

namespace zrd::tuning {

namespace lk = zrd::link;
namespace pm = zrd::params;

namespace {

constexpr double kShownDecimals = 1000.0;
// A stored value that is a whole number of thousandths up to the rounding of the division
// must not lose one in the truncation.
constexpr double kTruncationSlack = 1e-6;
// Operating modes in which the amplitude/offset and time unit flags are always 0.
constexpr int kCurrentMode = 1;
constexpr int kSpeedMode = 2;
constexpr int kPositionMode = 3;
// Unit flag value that stands for the second button (counts/s, second).
constexpr int kSecondUnit = 1;

// Truncated toward zero to three decimals, as the window shows a stored amplitude.
double truncatedToThousandths(double value) {
    double scaled = value * kShownDecimals;
    if (const double nearest = std::round(scaled); std::abs(scaled - nearest) < kTruncationSlack)
        scaled = nearest;
    return std::trunc(scaled) / kShownDecimals;
}

std::optional<double> storedValue(const pm::ParameterModel& model, std::string_view mnemonic) {
    const auto position = model.find(mnemonic);
    if (!position)
        return std::nullopt;
    return model.value(*position);
}

std::string storedText(const pm::ParameterModel& model, std::string_view mnemonic) {
    const auto v = storedValue(model, mnemonic);
    return v ? pm::valueText(*v) : std::string();
}

// A finite decimal number, or nullopt: "nan" and "inf" are no values a drive holds.
std::optional<double> fieldNumber(const std::string& text) {
    const auto v = parseNumber(text);
    if (!v || !std::isfinite(*v))
        return std::nullopt;
    return v;
}

// What planWave needs of the fields past the amplitude, all converted before anything goes out.
struct TimeFields {
    double offset = 0.0;
    double period = 0.0;
    double width = 0.0;
    double repeat = 0.0;
};

bool usesOffset(WaveType t) {
    return t != WaveType::Constant;
}
bool usesWidth(WaveType t) {
    return t == WaveType::Square || t == WaveType::Chirp;
}

CommandOutcome awaitCommandAck(lk::DriveLink& link, const pm::MessageTable& messages,
                               std::string_view language, int noAnswerMessage, int refusedMessage) {
    const std::optional<uint8_t> status = link.awaitAck(false);
    if (link.state().hungUp)
        return CommandOutcome::HungUp;
    if (!status) {
        if (noAnswerMessage != 0)
            messages.show(link.ui(), noAnswerMessage, language);
        return CommandOutcome::NoAnswer;
    }
    if (*status == lk::kAckStatusRefused) {
        if (refusedMessage != 0)
            messages.show(link.ui(), refusedMessage, language);
        return CommandOutcome::Refused;
    }
    return CommandOutcome::Accepted;
}

// Sends one generator command and waits for its acknowledge; the link is held by the caller.
CommandOutcome runCommand(lk::DriveLink& link, const pm::MessageTable& messages,
                          std::string_view language, uint8_t code, int noAnswerMessage,
                          int refusedMessage) {
    if (link.sendCommand(code) < 0) {
        // A line that hung up has told the user already.
        if (link.state().hungUp)
            return CommandOutcome::HungUp;
        messages.show(link.ui(), pm::kMsgFrameNotWritten, language);
        return CommandOutcome::NotWritten;
    }
    return awaitCommandAck(link, messages, language, noAnswerMessage, refusedMessage);
}

}  // namespace

WaveType waveTypeOfStored(double iit) {
    switch (static_cast<int>(std::lround(iit))) {
        case static_cast<int>(WaveType::Square):
            return WaveType::Square;
        case static_cast<int>(WaveType::Sine):
            return WaveType::Sine;
        case static_cast<int>(WaveType::Chirp):
            return WaveType::Chirp;
        default:
            return WaveType::Constant;
    }
}

WaveFields loadWave(const pm::ParameterModel& model, WaveType type, const GeneratorMode& mode) {
    WaveFields f;
    f.type = type;
    const bool current = mode.currentUnits();
    if (const auto a = storedValue(model, "IIP1V"))
        f.amplitude =
            pm::valueText(current ? truncatedToThousandths(*a / kRmsFactor) * kCurrentFactor : *a);
    if (const auto o = storedValue(model, "IIP2V"))
        f.offset = pm::valueText(current ? *o * kCurrentFactor : *o);
    const bool chirp = type == WaveType::Chirp;
    f.period = storedText(model, chirp ? "IIP4V" : "IIP3V");
    f.width = storedText(model, chirp ? "IIP3V" : "IIP4V");
    f.repeat = storedText(model, "PCRT");
    if (mode.operatingMode == kPositionMode) {
        const auto flag = [&](std::string_view mnemonic) {
            const auto v = storedValue(model, mnemonic);
            return v && std::lround(*v) == kSecondUnit ? kSecondUnit : 0;
        };
        f.units.amplitude = flag("IIP1U");
        f.units.time = flag("IIP3U");
    }
    return f;
}

std::variant<WavePlan, WaveRefusal> planWave(const WaveFields& fields, const GeneratorMode& mode) {
    const auto amplitude = fieldNumber(fields.amplitude);
    if (!amplitude)
        return WaveRefusal{0, std::nullopt, "amplitude"};
    if (mode.operatingMode != kCurrentMode && std::trunc(*amplitude) != *amplitude) {
        // "+ 0.0" keeps a truncated -0.5 from showing as "-0".
        return WaveRefusal{pm::kMsgAmplitudeWhole, formatGeneral(std::trunc(*amplitude) + 0.0),
                           std::string()};
    }
    WaveUnits units = fields.units;
    if (mode.operatingMode == kCurrentMode || mode.operatingMode == kSpeedMode)
        units = {};
    const double limit = kAmplitudeLimit * mode.amplitudeFactor();
    if (*amplitude < -limit || *amplitude > limit)
        return WaveRefusal{pm::kMsgAmplitudeLimit, std::nullopt, std::string()};

    const WaveType type = fields.type;
    TimeFields t;
    const auto take = [](const std::string& text, double& out) {
        const auto v = fieldNumber(text);
        if (v)
            out = *v;
        return v.has_value();
    };
    if (usesOffset(type)) {
        if (!take(fields.offset, t.offset))
            return WaveRefusal{0, std::nullopt, "offset"};
        if (!take(fields.period, t.period))
            return WaveRefusal{0, std::nullopt, "period"};
        if (usesWidth(type) && !take(fields.width, t.width))
            return WaveRefusal{0, std::nullopt, "width"};
        if (!take(fields.repeat, t.repeat))
            return WaveRefusal{0, std::nullopt, "repeat"};
    }

    const bool current = mode.currentUnits();
    // Current units: the amplitude goes as an RMS-scaled value, the offset as hundredths.
    const double amp = current ? *amplitude / kCurrentFactor * kRmsFactor : *amplitude;
    const double offset = current ? t.offset / kCurrentFactor : t.offset;
    const auto ampUnit = static_cast<double>(units.amplitude);
    const auto timeUnit = static_cast<double>(units.time);

    WavePlan plan;
    auto& w = plan.writes;
    w.push_back({"IIT", static_cast<double>(type)});
    w.push_back({"IIP1V", amp});
    switch (type) {
        case WaveType::Constant:
            w.push_back({"IIP1U", ampUnit});
            break;
        case WaveType::Square:
            w.insert(w.end(), {{"IIP4V", t.width},
                               {"IIP2V", offset},
                               {"IIP3V", t.period},
                               {"IIP1U", ampUnit},
                               {"IIP2U", ampUnit},
                               {"IIP3U", timeUnit},
                               {"IIP4U", timeUnit},
                               {"PCRT", t.repeat}});
            break;
        case WaveType::Sine:
            w.insert(w.end(), {{"IIP2V", offset},
                               {"IIP3V", t.period},
                               {"IIP1U", ampUnit},
                               {"IIP2U", ampUnit},
                               {"IIP3U", timeUnit},
                               {"IIP4U", timeUnit},
                               {"PCRT", t.repeat}});
            break;
        case WaveType::Chirp:
            // The chirp's first time field (its start frequency) goes to "IIP4V", the second
            // (its end frequency) to "IIP3V"; its units are fixed.
            w.insert(
                w.end(),
                {{"IIP4V", t.period}, {"IIP2V", offset}, {"IIP3V", t.width}, {"PCRT", t.repeat}});
            plan.chirpCommand = true;
            break;
    }
    return plan;
}

CommandOutcome writeWave(lk::DriveLink& link, session::ParameterAccess& access,
                         pm::ParameterModel& model, const pm::MessageTable& messages,
                         const WavePlan& plan, std::vector<std::string>* failed) {
    session::LinkBusyGuard guard(link);
    if (!guard)
        return CommandOutcome::Busy;
    const auto fail = [failed](const std::string& mnemonic) {
        if (failed)
            failed->push_back(mnemonic);
    };
    for (const WaveWrite& write : plan.writes) {
        const auto position = model.find(write.mnemonic);
        if (!position) {
            fail(write.mnemonic);
            continue;
        }
        model.setCurrentParameter(*position);
        model.setPreviousValue(*position, model.value(*position));
        model.setValue(*position, write.value);
        access.SetParam();
        if (link.state().hungUp)
            return CommandOutcome::HungUp;
        if (access.lastReply() != lk::kReplyAccepted)
            fail(write.mnemonic);
    }
    if (!plan.chirpCommand)
        return CommandOutcome::Accepted;
    return runCommand(link, messages, model.language(), lk::kCmdChirp, pm::kMsgChirpNoAnswer,
                      pm::kMsgChirpRefused);
}

CommandOutcome startGenerator(lk::DriveLink& link, const pm::ParameterModel& model,
                              const pm::MessageTable& messages, bool linkHeld) {
    if (linkHeld)
        return runCommand(link, messages, model.language(), lk::kCmdStartGenerator, 0,
                          pm::kMsgGeneratorRefused);
    session::LinkBusyGuard guard(link);
    if (!guard)
        return CommandOutcome::Busy;
    return runCommand(link, messages, model.language(), lk::kCmdStartGenerator, 0,
                      pm::kMsgGeneratorRefused);
}

CommandOutcome stopGenerator(lk::DriveLink& link, const pm::ParameterModel& model,
                             const pm::MessageTable& messages) {
    session::LinkBusyGuard guard(link);
    if (!guard)
        return CommandOutcome::Busy;
    return runCommand(link, messages, model.language(), lk::kCmdStopGenerator, 0, 0);
}

std::optional<int> generatorStartRefusal(bool servoEnabled, bool internalSource) {
    if (!servoEnabled)
        return pm::kMsgGeneratorServoOff;
    if (!internalSource)
        return pm::kMsgGeneratorNotInternal;
    return std::nullopt;
}

}  // namespace zrd::tuning
