#include "session/port_advice.h"

#include <cstdio>

#include "params/message_numbers.h"

namespace zrd::session {

namespace lk = zrd::link;
namespace pm = zrd::params;

namespace {

// Commands to type stand on lines of their own, indented, so that they can be copied whole.
const std::string kCommandIndent = "\n    ";

std::string octal(unsigned mode) {
    char text[8];
    std::snprintf(text, sizeof text, "%04o", mode & 07777);
    return text;
}

}  // namespace

std::string holderList(const std::vector<lk::PortHolder>& holders) {
    std::string out;
    for (const lk::PortHolder& h : holders)
        out += (out.empty() ? "" : ", ") + h.name + " (PID " + std::to_string(h.pid) + ")";
    return out;
}

std::string portInUseMark(const lk::PortInfo& info, const pm::MessageTable& messages,
                          std::string_view language) {
    if (info.holders.empty())
        return {};
    return pm::withArguments(messages.text(pm::kMsgPortInUseMark, language),
                             {holderList(info.holders)});
}

std::string simulatorMark(const lk::PortInfo& info, const pm::MessageTable& messages,
                          std::string_view language) {
    if (!info.simulator)
        return {};
    return pm::withArguments(messages.text(pm::kMsgPortSimulatorMark, language),
                             {std::to_string(info.simulator->pid)});
}

std::string portListMark(const lk::PortInfo& info, const pm::MessageTable& messages,
                         std::string_view language) {
    std::string mark = simulatorMark(info, messages, language);
    if (const std::string inUse = portInUseMark(info, messages, language); !inUse.empty())
        mark += (mark.empty() ? "" : ", ") + inUse;
    return mark;
}

std::string portBusyText(const std::string& device, const std::vector<lk::PortHolder>& holders,
                         const pm::MessageTable& messages, std::string_view language) {
    if (holders.empty())
        return pm::withArguments(messages.text(pm::kMsgPortBusyUnknown, language), {device});
    return pm::withArguments(messages.text(pm::kMsgPortBusy, language),
                             {device, holderList(holders)});
}

std::string openFailureAdvice(const lk::OpenDiagnosis& d, const pm::MessageTable& messages,
                              std::string_view language) {
    const auto text = [&](int n, const std::vector<std::string>& arguments) {
        return pm::withArguments(messages.text(n, language), arguments);
    };
    switch (d.problem) {
        case lk::OpenDiagnosis::Problem::Busy:
            return portBusyText(d.device, d.holders, messages, language);
        case lk::OpenDiagnosis::Problem::NoPermission:
            if (d.group.empty())
                return {};
            // A group that grants access helps once the user belongs to it in this session.
            if (d.groupGrants && !d.inGroup && !d.listedInGroup)
                return text(pm::kMsgPortJoinGroup, {d.device, d.group, d.user}) + kCommandIndent +
                       "sudo usermod -aG " + d.group + " " + d.user;
            if (d.groupGrants && !d.inGroup)
                return text(pm::kMsgPortLogInAgain, {d.device, d.group, d.user}) + kCommandIndent +
                       "newgrp " + d.group;
            return text(pm::kMsgPortNoAccess, {d.device, d.owner, d.group, octal(d.mode), d.user});
        case lk::OpenDiagnosis::Problem::Other:
            break;
    }
    return {};
}

std::string latencyAdvice(const lk::PortInfo& info, const std::string& rulesFile,
                          const pm::MessageTable& messages, std::string_view language) {
    if (!lk::latencyWorthLowering(info))
        return {};
    std::string out = pm::withArguments(messages.text(pm::kMsgPortLatency, language),
                                        {info.device, std::to_string(*info.latencyMs)});
    out += kCommandIndent + "echo 1 | sudo tee " + info.latencyFile;
    out += kCommandIndent + "sudo cp " + rulesFile + " /etc/udev/rules.d/";
    out += kCommandIndent +
           "sudo udevadm control --reload && sudo udevadm trigger --subsystem-match=usb-serial";
    return out;
}

}  // namespace zrd::session
