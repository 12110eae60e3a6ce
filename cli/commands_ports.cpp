// zrdctl ports: the serial devices of this machine, with what the system tells about them.
#include "drive_session.h"
#include "link/port_info.h"
#include "link/port_lock.h"
#include "session/port_advice.h"

namespace zrd::cli {
namespace {

namespace lk = zrd::link;
namespace pm = zrd::params;

int portsCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const bool json = takeFlag(args, "--json");
    if (!args.empty())
        throw UsageError("usage: ports [--json]");
    StderrUserInterface ui;
    pm::MessageTable messages;
    messages.load(inDataFolder(options, pm::kMessageFileName), ui);
    const std::string language = options.lang.empty() ? pm::kEnglish : options.lang;
    const std::string rules = inDataFolder(options, session::kSerialRulesFile);
    std::vector<lk::PortInfo> ports = lk::listSerialPorts();
    // A port named with --port is described too, even when the listing does not show it.
    if (!options.port.empty() &&
        std::none_of(ports.begin(), ports.end(),
                     [&](const lk::PortInfo& p) { return p.device == options.port; }))
        ports.insert(ports.begin(), lk::describePort(options.port));
    if (!options.port.empty() && ports.front().device == options.port)
        ports.front().holders = lk::findLockHolders(options.port);
    std::string entries;
    for (const lk::PortInfo& p : ports) {
        const std::string advice = session::latencyAdvice(p, rules, messages, language);
        const std::string inUse = session::portInUseMark(p, messages, language);
        const std::string simulated = session::simulatorMark(p, messages, language);
        if (json) {
            std::string holders;
            for (const lk::PortHolder& h : p.holders)
                holders += std::string(holders.empty() ? "" : ", ") +
                           "{\"pid\": " + std::to_string(h.pid) +
                           ", \"name\": " + jsonString(h.name) + "}";
            entries +=
                std::string(entries.empty() ? "" : ", ") + "{\"device\": " + jsonString(p.device) +
                ", \"description\": " + jsonString(lk::portSummary(p)) +
                ", \"driver\": " + jsonString(p.driver) +
                ", \"vendor_id\": " + jsonString(p.vendorId) +
                ", \"product_id\": " + jsonString(p.productId) +
                ", \"serial\": " + jsonString(p.serial) + ", \"by_id\": " + jsonString(p.byId) +
                ", \"latency_ms\": " + (p.latencyMs ? std::to_string(*p.latencyMs) : "null") +
                ", \"advice\": " + jsonString(advice) + ", \"holders\": [" + holders + "]" +
                ", \"simulator\": " +
                (p.simulator ? "{\"control\": " + jsonString(p.simulator->control) +
                                   ", \"pid\": " + std::to_string(p.simulator->pid) + "}"
                             : std::string("null")) +
                "}";
            continue;
        }
        std::printf("%s%s%s\n", p.device.c_str(), lk::portSummary(p).empty() ? "" : "  ",
                    lk::portSummary(p).c_str());
        if (!simulated.empty())
            std::printf("    %s, control socket %s\n", simulated.c_str(),
                        p.simulator->control.c_str());
        if (!inUse.empty())
            std::printf("    %s\n", inUse.c_str());
        if (p.latencyMs)
            std::printf("    latency timer %d ms\n", *p.latencyMs);
        if (!advice.empty())
            std::printf("    %s\n", advice.c_str());
    }
    if (json)
        std::printf("{\"ports\": [%s]}\n", entries.c_str());
    return kExitOk;
}

}  // namespace

void addPortCommands(CommandList& list) {
    list.push_back({"ports", "ports [--json]", portsCommand,
                    "Lists the serial devices of this machine with what the system tells about "
                    "them.\n"
                    "For each: USB vendor and product, ids, serial number, the /dev/serial/by-id "
                    "name and the adapter's latency timer, with the commands that lower a timer "
                    "above 1 ms, and the programs that hold it (by a lock file in /var/lock, an "
                    "flock or the exclusive mode). The pseudo-terminals of the simulated drives "
                    "(zrd-sim) running here follow, found by their control sockets. A device "
                    "given with --port is described too.\n"
                    "--json  one object: {\"ports\": [{\"device\", \"description\", \"driver\", "
                    "\"vendor_id\", \"product_id\", \"serial\", \"by_id\", \"latency_ms\" (null "
                    "when unknown), \"advice\", \"holders\": [{\"pid\", \"name\"}, ...] (empty "
                    "when free), \"simulator\": {\"control\", \"pid\"} (null for a real "
                    "port)}, ...]}"});
}

}  // namespace zrd::cli
