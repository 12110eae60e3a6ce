// zrdctl ports: the serial devices of this machine, with what the system tells about them.
#include "drive_session.h"
#include "link/port_info.h"
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
    std::string entries;
    for (const lk::PortInfo& p : ports) {
        const std::string advice = session::latencyAdvice(p, rules, messages, language);
        if (json) {
            entries +=
                std::string(entries.empty() ? "" : ", ") + "{\"device\": " + jsonString(p.device) +
                ", \"description\": " + jsonString(lk::portSummary(p)) +
                ", \"driver\": " + jsonString(p.driver) +
                ", \"vendor_id\": " + jsonString(p.vendorId) +
                ", \"product_id\": " + jsonString(p.productId) +
                ", \"serial\": " + jsonString(p.serial) + ", \"by_id\": " + jsonString(p.byId) +
                ", \"latency_ms\": " + (p.latencyMs ? std::to_string(*p.latencyMs) : "null") +
                ", \"advice\": " + jsonString(advice) + "}";
            continue;
        }
        std::printf("%s%s%s\n", p.device.c_str(), lk::portSummary(p).empty() ? "" : "  ",
                    lk::portSummary(p).c_str());
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
                    "above 1 ms. A device given with --port is described too.\n"
                    "--json  one object: {\"ports\": [{\"device\", \"description\", \"driver\", "
                    "\"vendor_id\", \"product_id\", \"serial\", \"by_id\", \"latency_ms\" (null "
                    "when unknown), \"advice\"}, ...]}"});
}

}  // namespace zrd::cli
