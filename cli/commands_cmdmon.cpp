// zrdctl sniff: every frame heard on a port, in hex with its rows, until interrupted.
#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <memory>

#include "cmdmon/frame_display.h"
#include "cmdmon/port_reader.h"
#include "cmdmon/traffic_record.h"
#include "core/os_error.h"
#include "drive_session.h"
#include "params/message_numbers.h"
#include "reconnect.h"

namespace zrd::cli {
namespace {

namespace cm = zrd::cmdmon;
namespace lk = zrd::link;
namespace pm = zrd::params;

std::string joined(const auto& cells) {
    std::string text;
    for (const std::string& c : cells) {
        if (c.empty())
            break;
        text += (text.empty() ? "" : " ") + c;
    }
    return text;
}

void printLine(const cm::ReceivedLine& line, const cm::IndexNamer& names) {
    const cm::Direction from = cm::senderOf(line.bytes);
    std::printf("%c %s; %s\n", from == cm::Direction::Sent ? '>' : '<',
                cm::lineText(line.bytes).c_str(),
                cm::describeFrame(from, line.bytes, names).c_str());
    if (!line.complete)
        return;
    std::array<uint8_t, cm::kFrameArrayBytes> frame{};
    const size_t count = std::min(line.bytes.size(), frame.size());
    std::copy_n(line.bytes.begin(), count, frame.begin());
    const cm::FrameGrid grid = cm::gridOf(frame, count);
    std::printf("    hex      %s\n", joined(grid.hex).c_str());
    std::printf("    dec      %s\n", joined(grid.decimal).c_str());
    std::printf("    decoded  %s\n", joined(grid.decoded).c_str());
    std::printf("    pairs    %s\n", joined(grid.pairs).c_str());
}

int sniffCommand(const Args& argsIn, const GlobalOptions& options) {
    Args args = argsIn;
    const std::optional<std::string> recordFile = takeOption(args, "--record");
    const bool reconnect = takeFlag(args, "--reconnect");
    if (!args.empty() || options.port.empty())
        throw UsageError("usage: --port DEV sniff [--record FILE] [--reconnect]");
    StderrUserInterface ui;
    const std::unique_ptr<Database> db = loadDatabase("", options.lang, options, ui);
    const cm::IndexNamer names = cm::namesFrom(*db->model);
    cm::TrafficRecorder recorder(names);
    if (recordFile && !recorder.open(*recordFile))
        throw CliError(recorder.error());
    const StopSignals stop;

    const std::unique_ptr<lk::SerialPort> port = lk::makeSystemSerialPort();
    lk::LineSettings line;
    line.baudRate = options.baud;
    if (const lk::OpenResult opened = port->open(options.port, line); opened != lk::OpenResult::Ok)
        portDidNotOpen(options, *port, opened, ui);
    const lk::DeviceIdentity device = lk::identifyDevice(options.port);
    std::string listening = options.port;
    std::fprintf(stderr, "zrdctl: listening on %s; Ctrl+C ends\n", listening.c_str());

    const std::string language = db->model->language();
    const auto say = [&](int message, const std::vector<std::string>& arguments) {
        db->messages.showText(
            ui, pm::withArguments(db->messages.text(message, language), arguments), language);
    };
    cm::FrameDisplay display;
    std::array<uint8_t, cm::kChunkBytes> chunk{};
    for (;;) {
        pollfd waits[2] = {{port->nativeHandle(), POLLIN, 0}, {stop.fd(), POLLIN, 0}};
        if (::poll(waits, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            throw CliError("cannot wait for the port: " + lastOsErrorText());
        }
        if (waits[1].revents & POLLIN)
            break;
        const short events = waits[0].revents;
        int n = 0;
        if ((events & POLLIN) && !(events & (POLLHUP | POLLERR)))
            n = port->readAvailable(chunk.data(), chunk.size());
        if (n < 0 || (events & (POLLHUP | POLLERR)) || ((events & POLLIN) && n == 0)) {
            const std::string lost =
                "link lost: " + listening + " hung up (" + port->lastError() + ")";
            if (!reconnect)
                throw LinkError(lost);
            std::fprintf(stderr, "%s\n", lost.c_str());
            port->close();
            say(pm::kMsgReconnectWaiting, {listening});
            const bool back =
                waitForDevice(device, stop, [&](const std::string& path, bool returned) {
                    if (port->open(path, line) == lk::OpenResult::Ok) {
                        listening = path;
                        return true;
                    }
                    if (returned)
                        say(pm::kMsgReconnectNotOpened, {path, port->lastError()});
                    return false;
                });
            if (!back)
                break;
            // A frame heard in part before the pull is no part of what comes now.
            if (!display.runningText().empty())
                std::printf("  %s(incomplete)\n", display.runningText().c_str());
            display = cm::FrameDisplay();
            // Nothing asks the drive: that the line is back is all there is to tell.
            std::fprintf(stderr, "zrdctl: listening on %s again\n", listening.c_str());
            continue;
        }
        for (const cm::ReceivedLine& l : display.feed(chunk.data(), static_cast<size_t>(n)).lines) {
            printLine(l, names);
            if (recorder.isOpen() && !recorder.record(cm::senderOf(l.bytes), l.bytes))
                throw CliError(recorder.error());
        }
        std::fflush(stdout);
    }
    if (!display.runningText().empty())
        std::printf("  %s(incomplete)\n", display.runningText().c_str());
    std::fprintf(stderr, "zrdctl: sniff ended\n");
    return kExitOk;
}

}  // namespace

void addMonitorCommands(CommandList& list) {
    list.push_back(
        {"sniff", "--port DEV sniff [--record FILE] [--reconnect]", sniffCommand,
         "Prints every frame heard on the port until interrupted (Ctrl+C, SIGTERM).\n"
         "Each frame: a line with \">\" for a request of the program or \"<\" for the drive's "
         "answer, its bytes in hex and what it means; a complete frame is followed by its rows: "
         "hex, decimal, decimal with the escapes undone, and adjacent bytes paired into 16-bit "
         "numbers (the command monitor's grid). The port is opened raw at --baud, 8N1, "
         "exclusively; a port that hangs up ends the command with status 3.\n"
         "--reconnect  keeps listening across a pulled cable or adapter: the lost line is told "
         "on stderr, the same device (its /dev/serial/by-id name, else its USB serial number, "
         "else the path) is waited for and opened again, and the frames go on; sniff never "
         "sends, so nothing reaches the drive. Ctrl+C still ends it.\n"
         "--record FILE  also writes the frames as a traffic recording (time, direction, hex, "
         "meaning), which zrd-sim --replay answers from"});
}

}  // namespace zrd::cli
