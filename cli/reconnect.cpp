#include "reconnect.h"

#include "params/message_numbers.h"
#include "session/connection.h"

namespace zrd::cli {

namespace pm = zrd::params;

bool waitForDevice(const link::DeviceIdentity& device, const StopSignals& stop,
                   const std::function<bool(const std::string& path, bool returned)>& attempt) {
    link::DeviceWatch watch(device);
    for (;;) {
        const bool returned = watch.look() == link::DeviceWatch::Change::Returned;
        if (watch.where() && attempt(*watch.where(), returned))
            return true;
        if (stop.within(kDeviceLookMs))
            return false;
    }
}

bool reconnectSession(Session& s, const GlobalOptions& options, const link::DeviceIdentity& device,
                      const StopSignals& stop) {
    const pm::MessageTable& messages = s.db->messages;
    const std::string language = s.model().language();
    const auto say = [&](int message, const std::vector<std::string>& arguments) {
        messages.showText(s.ui, pm::withArguments(messages.text(message, language), arguments),
                          language);
    };
    say(pm::kMsgReconnectWaiting, {s.device});
    session::ConnectionSettings settings;
    settings.BaudRate = options.baud;
    settings.PortTimeOut = options.timeoutMs;
    settings.FastGapBytes = options.fastGapBytes;
    return waitForDevice(device, stop, [&](const std::string& path, bool returned) {
        settings.device = path;
        switch (session::reconnectDrive(*s.link, *s.access, s.model(), settings, path)) {
            case session::ReconnectOutcome::Back:
                s.device = path;
                s.ui.lostLink = false;
                say(pm::kMsgReconnectBack, {path});
                return true;
            case session::ReconnectOutcome::NotOpened:
                if (returned)
                    say(pm::kMsgReconnectNotOpened, {path, s.port->lastError()});
                return false;
            case session::ReconnectOutcome::NoAnswer:
                if (returned)
                    say(pm::kMsgReconnectNoDrive, {path});
                return false;
        }
        return false;
    });
}

}  // namespace zrd::cli
