#include "scope/scope_settings.h"

#include <algorithm>
#include <cctype>

#include "core/parse_int.h"
#include "session/link_busy_guard.h"

namespace zrd::scope {

namespace pm = zrd::params;

namespace {

// Position of the "-" that the selector list puts before the signal number: the last one that
// only digits follow.
std::optional<size_t> numberDash(std::string_view line) {
    const size_t dash = line.rfind('-');
    if (dash == std::string_view::npos || dash + 1 == line.size())
        return std::nullopt;
    const std::string_view digits = line.substr(dash + 1);
    if (!std::all_of(digits.begin(), digits.end(),
                     [](char ch) { return std::isdigit(static_cast<unsigned char>(ch)); }))
        return std::nullopt;
    return dash;
}

// The number at the end of a line: after the list's "-", or the digits it ends with (the
// list's style after a language switch has no "-").
std::optional<int> lineSignal(std::string_view line) {
    size_t first = line.size();
    if (const auto dash = numberDash(line)) {
        first = *dash + 1;
    } else {
        while (first > 0 && std::isdigit(static_cast<unsigned char>(line[first - 1])))
            --first;
    }
    const auto n = parseInteger(line.substr(first), IntegerBase::Decimal, 0, pm::kScopeSignalCount);
    return n ? std::optional<int>(static_cast<int>(*n)) : std::nullopt;
}

bool validSignal(const pm::ParameterModel& model, int signal) {
    return signal > 0 && signal < model.scopeSignalCount();
}

// The text between "(" and ")", left-trimmed; empty when there is no such pair.
std::string mnemonicOf(std::string_view description) {
    const size_t open = description.find('(');
    const size_t close = description.find(')', open == std::string_view::npos ? 0 : open);
    if (open == std::string_view::npos || close == std::string_view::npos)
        return {};
    std::string_view name = description.substr(open + 1, close - open - 1);
    while (!name.empty() && name.front() == ' ')
        name.remove_prefix(1);
    return std::string(name);
}

}  // namespace

bool writeScopeParameter(link::DriveLink& link, session::ParameterAccess& access,
                         pm::ParameterModel& model, std::string_view mnemonic, double value,
                         WriteRule rule) {
    session::LinkBusyGuard busy(link);
    if (!busy)
        return false;
    const std::optional<int> position = model.find(mnemonic);
    if (!position)
        return false;
    const bool differs = !model.isKnown(*position) || model.value(*position) != value;
    // A refused or unanswered write puts back what stood before.
    model.setPreviousValue(*position, model.value(*position));
    model.setValue(*position, value);
    if (!differs && rule == WriteRule::IfChanged)
        return true;
    model.setCurrentParameter(*position);
    access.SetParam();
    return access.lastReply() == link::kReplyAccepted;
}

ChannelSelection channelOfSignal(const pm::ParameterModel& model, int signal) {
    if (!validSignal(model, signal))
        return {};
    const pm::TPar& s = model.scopeSignal(signal);
    ChannelSelection channel;
    channel.signal = signal;
    channel.scale = s.scale;
    channel.unit = pm::units(s, model.language());
    channel.name = mnemonicOf(pm::description(s, model.language()));
    if (channel.name.empty())
        channel.name = s.Pname;
    return channel;
}

ChannelSelection channelFromSelectorLine(const pm::ParameterModel& model, std::string_view line,
                                         int lineIndex) {
    if (lineIndex <= 0 || line.empty())
        return {};
    return channelOfSignal(model, lineSignal(line).value_or(0));
}

std::string selectorLineName(std::string_view line) {
    const auto dash = numberDash(line);
    return std::string(dash ? line.substr(0, *dash) : line);
}

std::optional<int> findScopeSignal(const pm::ParameterModel& model, std::string_view text) {
    if (const auto n = parseInteger(text, IntegerBase::Decimal, 0, model.scopeSignalCount() - 1)) {
        return static_cast<int>(*n);
    }
    for (int signal = 1; signal < model.scopeSignalCount(); ++signal) {
        if (channelOfSignal(model, signal).name == text || model.scopeSignal(signal).Pname == text)
            return signal;
    }
    return std::nullopt;
}

std::optional<std::array<std::string, 16>> channelBitHints(const pm::ParameterModel& model,
                                                           std::string_view channelName) {
    std::array<std::string, 16> hints;
    const auto fill = [&](const auto& table, size_t first) {
        for (size_t k = 0; k < hints.size(); ++k)
            hints[k] = "bit" + std::to_string(k) + " " +
                       pm::description(table.at(first + k), model.language());
        return hints;
    };
    // The state bits of word 240, the application bits of word 244, and for "APXSTA" the scope
    // bit table, which the database keeps for exactly that signal.
    if (channelName == "STA")
        return fill(model.stateBits(), 0);
    if (channelName == "DINSTA")
        return fill(model.applicationBits(), pm::kBitsPerWord);
    if (channelName == "APXSTA")
        return fill(model.scopeBits(), 0);
    return std::nullopt;
}

bool signalIsSigned(const pm::ParameterModel& model, int signal) {
    return validSignal(model, signal) && pm::isSigned(model.scopeSignal(signal));
}

}  // namespace zrd::scope
