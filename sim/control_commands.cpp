#include "control_commands.h"

#include <array>
#include <charconv>
#include <cstdio>
#include <functional>
#include <optional>
#include <vector>

#include "core/parse_int.h"
#include "params/parameter_table.h"

namespace zrd::sim {
namespace {

using Tokens = std::vector<std::string_view>;

ControlReply ok(std::string text = {}) {
    return {text.empty() ? "ok" : "ok " + text, false, std::nullopt};
}
ControlReply fail(const std::string& text) {
    return {"error " + text, false, std::nullopt};
}

Tokens split(std::string_view line) {
    Tokens out;
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
            ++i;
        const size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t')
            ++i;
        if (i > start)
            out.push_back(line.substr(start, i - start));
    }
    return out;
}

std::optional<long> parseLong(std::string_view text, long min, long max) {
    const auto v = zrd::parseInteger(text, zrd::IntegerBase::Decimal, min, max);
    if (!v)
        return std::nullopt;
    return static_cast<long>(*v);
}

std::optional<double> parseDouble(std::string_view text, double min, double max) {
    double v = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc() || end != text.data() + text.size() || !(v >= min && v <= max))
        return std::nullopt;
    return v;
}

std::string hexWord(uint16_t w) {
    char text[8];
    std::snprintf(text, sizeof text, "0x%04X", w);
    return text;
}

// Each command: its word, the argument counts it takes and its usage.
struct Command {
    std::string_view name;
    size_t minArgs;
    size_t maxArgs;
    std::string_view usage;
    ControlReply (*run)(const Tokens& args, SimDrive& drive);
};

ControlReply bitList(BitList list, std::string_view name, const Tokens& a, SimDrive& d) {
    const std::string usage =
        std::string(name) + " raise N | " + std::string(name) + " clear N|all";
    if (a[0] == "clear" && a[1] == "all") {
        d.clearAll(list);
        return ok();
    }
    if (a[0] != "raise" && a[0] != "clear")
        return fail("usage: " + usage);
    const auto b = parseLong(a[1], 0, 15);
    if (!b)
        return fail("bit must be 0..15: " + std::string(a[1]));
    const bool done =
        a[0] == "raise" ? d.raise(list, static_cast<int>(*b)) : d.clear(list, static_cast<int>(*b));
    return done ? ok() : fail("bit must be 0..15: " + std::string(a[1]));
}

std::optional<uint8_t> indexArg(std::string_view text, const SimDrive& d, ControlReply& error) {
    const auto index = d.indexOf(text);
    if (!index)
        error = fail(d.live() ? "no drive index or mnemonic: " + std::string(text)
                              : "no drive index (mnemonics need a database): " + std::string(text));
    return index;
}

std::optional<uint16_t> rawArg(std::string_view text, ControlReply& error) {
    const auto v = parseLong(text, -32768, 65535);
    if (!v) {
        error = fail("raw value must be -32768..65535: " + std::string(text));
        return std::nullopt;
    }
    return static_cast<uint16_t>(*v & 0xFFFF);
}

// "INDEX|MNEMONIC RAW": runs apply on both when they parse, else answers the reason.
ControlReply withIndexAndRaw(const Tokens& a, SimDrive& d,
                             const std::function<void(uint8_t, uint16_t)>& apply) {
    ControlReply error;
    const auto index = indexArg(a[0], d, error);
    if (!index)
        return error;
    const auto raw = rawArg(a[1], error);
    if (!raw)
        return error;
    apply(*index, *raw);
    return ok();
}

ControlReply stateReply(SimDrive& d) {
    std::string text;
    for (const int word : params::kStatusWords)
        text += std::to_string(word) + "=" + hexWord(d.raw(static_cast<uint8_t>(word))) + " ";
    text += std::string("servo=") + (d.servoOn() ? "on" : "off");
    text += std::string(" pc-enable=") + (d.pcEnabled() ? "on" : "off");
    text += std::string(" generator=") + (d.generatorRunning() ? "on" : "off");
    return ok(text);
}

std::optional<bool> onOff(std::string_view text) {
    if (text == "on")
        return true;
    if (text == "off")
        return false;
    return std::nullopt;
}

ControlReply scopeCommand(const Tokens& a, SimDrive& d) {
    constexpr std::string_view kUsage =
        "usage: scope status | scope refuse on|off | scope mute on|off | scope badend N";
    ScopeFaults& faults = d.scopeFaults();
    if (a[0] == "status" && a.size() == 1) {
        const ScopeStream& s = d.scope();
        const auto word = [](bool on) { return on ? "on" : "off"; };
        return ok(std::string("streaming=") + (s.streaming ? "yes" : "no") +
                  " rate=" + std::to_string(s.rate) + " ch1=" + std::to_string(s.ch1) +
                  " ch2=" + std::to_string(s.ch2) + " samples=" + std::to_string(s.samples) +
                  " frames=" + std::to_string(s.frames) + " refuse=" + word(faults.refuse) +
                  " mute=" + word(faults.mute) + " badend=" + std::to_string(faults.badEndEvery));
    }
    if (a.size() != 2)
        return fail(std::string(kUsage));
    if (a[0] == "badend") {
        const auto every = parseLong(a[1], 0, 1'000'000'000);
        if (!every)
            return fail("badend needs a frame count, 0 for none: " + std::string(a[1]));
        faults.badEndEvery = static_cast<int>(*every);
        return ok();
    }
    const auto on = onOff(a[1]);
    if (!on || (a[0] != "refuse" && a[0] != "mute"))
        return fail(std::string(kUsage));
    (a[0] == "refuse" ? faults.refuse : faults.mute) = *on;
    return ok();
}

std::string number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", v);
    return text;
}

ControlReply plantCommand(const Tokens& a, SimDrive& d) {
    constexpr std::string_view kUsage = "usage: plant status | plant resonance HZ [DAMPING]";
    if (a[0] == "status" && a.size() == 1) {
        const PlantSettings& s = d.plant().settings();
        std::string filters;
        for (size_t n = 0; n < kFilterSlots; ++n)
            if (s.filters[n])
                filters += (filters.empty() ? "" : ",") + std::to_string(n + 1);
        const FunctionGenerator& g = d.functionGenerator();
        const PlantState& st = d.plant().state();
        return ok("resonance=" + number(d.resonanceHz()) +
                  " damping=" + number(d.resonanceDamping()) +
                  " filters=" + (filters.empty() ? "none" : filters) +
                  " generator=" + (g.running() ? "on" : "off") +
                  " type=" + std::to_string(static_cast<int>(g.settings().type)) +
                  " speed=" + number(st.speedRpm) + " current=" + number(st.currentCommandA));
    }
    if (a[0] != "resonance" || a.size() < 2)
        return fail(std::string(kUsage));
    const auto hz = parseDouble(a[1], 0.0, kMaxResonanceHz);
    if (!hz)
        return fail("resonance must be 0..1000 Hz (0: rigid): " + std::string(a[1]));
    double damping = d.resonanceDamping();
    if (a.size() == 3) {
        const auto zeta = parseDouble(a[2], 0.0, kMaxResonanceDamping);
        if (!zeta)
            return fail("damping ratio must be 0..1: " + std::string(a[2]));
        damping = *zeta;
    }
    d.setResonance(*hz, damping);
    return ok();
}

ControlReply offlineCommand(const Tokens& a, SimDrive& d) {
    constexpr std::string_view kUsage = "usage: offline status | offline refuse on|off";
    OfflineRecorder& recorder = d.offline();
    if (a[0] == "status" && a.size() == 1)
        return ok("phase=" + std::string(phaseName(recorder.phase())) +
                  " tick=" + std::to_string(recorder.tickCode()) +
                  " samples=" + std::to_string(recorder.samples()) +
                  " frames=" + std::to_string(recorder.framesSent()) +
                  " refuse=" + (recorder.refuse ? "on" : "off"));
    const auto on = a.size() == 2 ? onOff(a[1]) : std::nullopt;
    if (a[0] != "refuse" || !on)
        return fail(std::string(kUsage));
    recorder.refuse = *on;
    return ok();
}

ControlReply calcparaCommand(const Tokens& a, SimDrive& d) {
    constexpr std::string_view kUsage = "usage: calcpara status | calcpara refuse on|off";
    Recalculation& r = d.recalculation();
    if (a[0] == "status" && a.size() == 1)
        return ok("runs=" + std::to_string(r.runs) + " refuse=" + (r.refuse ? "on" : "off"));
    const auto on = a.size() == 2 ? onOff(a[1]) : std::nullopt;
    if (a[0] != "refuse" || !on)
        return fail(std::string(kUsage));
    r.refuse = *on;
    return ok();
}

// "KIND [COUNT]" of a fault, handed to `add` when it parses.
ControlReply addFault(const Tokens& a, const std::function<void(const Fault&)>& add) {
    auto fault = parseFault(std::string(a[0]));
    if (!fault)
        return fail("unknown fault: " + std::string(a[0]) +
                    " (silent, delay=MS, drop=N, corrupt=N, refuse, busy, split=MS[@K], "
                    "hangup[=N], cut=N, late=MS, duplicate=MS, noise=HEX)");
    if (a.size() == 2) {
        const auto count = parseLong(a[1], 1, 1'000'000'000);
        if (!count)
            return fail("count must be a positive number: " + std::string(a[1]));
        fault->count = static_cast<int>(*count);
    }
    add(*fault);
    return ok();
}

ControlReply helpReply(const Tokens&, SimDrive&) {
    return ok(controlHelp());
}

const std::array<Command, 25>& commands() {
    static constexpr std::array<Command, 25> kCommands{{
        {"error", 2, 2, "error raise N | error clear N|all",
         [](const Tokens& a, SimDrive& d) { return bitList(BitList::Errors, "error", a, d); }},
        {"warning", 2, 2, "warning raise N | warning clear N|all",
         [](const Tokens& a, SimDrive& d) { return bitList(BitList::Warnings, "warning", a, d); }},
        {"apxerr", 2, 2, "apxerr raise N | apxerr clear N|all",
         [](const Tokens& a, SimDrive& d) {
             return bitList(BitList::AppendixErrors, "apxerr", a, d);
         }},
        {"silent", 1, 1, "silent INDEX|MNEMONIC",
         [](const Tokens& a, SimDrive& d) {
             ControlReply error;
             const auto index = indexArg(a[0], d, error);
             if (!index)
                 return error;
             d.setSilent(*index);
             return ok();
         }},
        {"answer", 2, 2, "answer INDEX|MNEMONIC RAW",
         [](const Tokens& a, SimDrive& d) {
             return withIndexAndRaw(a, d, [&d](uint8_t i, uint16_t raw) { d.setAnswer(i, raw); });
         }},
        {"normal", 1, 1, "normal INDEX|MNEMONIC|all",
         [](const Tokens& a, SimDrive& d) {
             if (a[0] == "all") {
                 for (size_t i = 0; i < SimDrive::kIndexCount; ++i)
                     d.setNormal(static_cast<uint8_t>(i));
                 return ok();
             }
             ControlReply error;
             const auto index = indexArg(a[0], d, error);
             if (!index)
                 return error;
             d.setNormal(*index);
             return ok();
         }},
        {"fault", 1, 2, "fault KIND [COUNT]",
         [](const Tokens& a, SimDrive& d) {
             return addFault(a, [&](const Fault& f) { d.addFault(f); });
         }},
        {"faults", 1, 1, "faults clear",
         [](const Tokens& a, SimDrive& d) {
             if (a[0] != "clear")
                 return fail("usage: faults clear");
             d.clearFaults();
             return ok();
         }},
        {"stream-fault", 1, 2, "stream-fault KIND [COUNT]",
         [](const Tokens& a, SimDrive& d) {
             return addFault(a, [&](const Fault& f) { d.addStreamFault(f); });
         }},
        {"stream-faults", 1, 1, "stream-faults clear",
         [](const Tokens& a, SimDrive& d) {
             if (a[0] != "clear")
                 return fail("usage: stream-faults clear");
             d.clearStreamFaults();
             return ok();
         }},
        {"input", 2, 2, "input N 0|1",
         [](const Tokens& a, SimDrive& d) {
             const auto n = parseLong(a[0], 1, kInputCount);
             if (!n)
                 return fail("input must be 1.." + std::to_string(kInputCount) + ": " +
                             std::string(a[0]));
             if (a[1] != "0" && a[1] != "1")
                 return fail("input level must be 0 or 1: " + std::string(a[1]));
             if (!d.setInput(static_cast<int>(*n), a[1] == "1"))
                 return fail("input must be 1.." + std::to_string(kInputCount));
             return ok();
         }},
        {"analog", 1, 1, "analog MV",
         [](const Tokens& a, SimDrive& d) {
             const auto mv = parseDouble(a[0], -10000.0, 10000.0);
             if (!mv)
                 return fail("analog input must be -10000..10000 mV: " + std::string(a[0]));
             d.setAnalogInput(*mv);
             return ok();
         }},
        {"pulse", 1, 1, "pulse KHZ",
         [](const Tokens& a, SimDrive& d) {
             const auto khz = parseDouble(a[0], -1000.0, 1000.0);
             if (!khz)
                 return fail("pulse frequency must be -1000..1000 kHz: " + std::string(a[0]));
             d.setPulseInput(*khz);
             return ok();
         }},
        {"load", 1, 1, "load NCM",
         [](const Tokens& a, SimDrive& d) {
             const auto ncm = parseDouble(a[0], 0.0, 100000.0);
             if (!ncm)
                 return fail("load must be 0..100000 N-cm: " + std::string(a[0]));
             d.setLoad(*ncm);
             return ok();
         }},
        {"set", 2, 2, "set INDEX|MNEMONIC RAW",
         [](const Tokens& a, SimDrive& d) {
             return withIndexAndRaw(a, d, [&d](uint8_t i, uint16_t raw) { d.setRaw(i, raw); });
         }},
        {"get", 1, 1, "get INDEX|MNEMONIC",
         [](const Tokens& a, SimDrive& d) {
             ControlReply error;
             const auto index = indexArg(a[0], d, error);
             if (!index)
                 return error;
             const uint16_t raw = d.raw(*index);
             return ok(d.isSigned(*index) ? std::to_string(static_cast<int16_t>(raw))
                                          : std::to_string(raw));
         }},
        {"state", 0, 0, "state", [](const Tokens&, SimDrive& d) { return stateReply(d); }},
        {"scope", 1, 2, "scope status | scope refuse on|off | scope mute on|off | scope badend N",
         scopeCommand},
        {"plant", 1, 3, "plant status | plant resonance HZ [DAMPING]", plantCommand},
        {"offline", 1, 2, "offline status | offline refuse on|off", offlineCommand},
        {"calcpara", 1, 2, "calcpara status | calcpara refuse on|off", calcparaCommand},
        {"unplug", 0, 1, "unplug [MS]",
         [](const Tokens& a, SimDrive&) {
             LineChange change{.unplug = true, .backAfterMs = std::nullopt};
             if (!a.empty()) {
                 const auto ms = parseLong(a[0], 0, 3'600'000);
                 if (!ms)
                     return fail("the time until the line is back must be 0..3600000 ms: " +
                                 std::string(a[0]));
                 change.backAfterMs = static_cast<int>(*ms);
             }
             ControlReply reply = ok();
             reply.line = change;
             return reply;
         }},
        {"plug", 0, 0, "plug",
         [](const Tokens&, SimDrive&) {
             ControlReply reply = ok();
             reply.line = LineChange{};
             return reply;
         }},
        {"help", 0, 0, "help", helpReply},
        {"quit", 0, 0, "quit",
         [](const Tokens&, SimDrive&) {
             return ControlReply{"ok bye", true, std::nullopt};
         }},
    }};
    return kCommands;
}

}  // namespace

std::string controlHelp() {
    std::string text;
    for (const Command& c : commands())
        text += (text.empty() ? "" : "; ") + std::string(c.usage);
    return text;
}

ControlReply runControlCommand(std::string_view line, SimDrive& drive) {
    const Tokens tokens = split(line);
    if (tokens.empty())
        return fail("empty command (try help)");
    for (const Command& c : commands()) {
        if (c.name != tokens[0])
            continue;
        const Tokens args(tokens.begin() + 1, tokens.end());
        if (args.size() < c.minArgs || args.size() > c.maxArgs)
            return fail("usage: " + std::string(c.usage));
        return c.run(args, drive);
    }
    return fail("unknown command: " + std::string(tokens[0]) + " (try help)");
}

}  // namespace zrd::sim
