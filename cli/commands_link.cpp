// zrdctl subcommands of the drive link: frames, reply decoding, one raw exchange.
#include <cinttypes>

#include "cli.h"
#include "drive_session.h"
#include "link/drive_link.h"
#include "link/frame_codec.h"

namespace zrd::cli {
namespace {

namespace lk = zrd::link;

uint8_t byteArg(const std::string& text, const std::string& what) {
    return static_cast<uint8_t>(parseInt(text, what, 0, 255));
}

void printHex(const uint8_t* bytes, size_t n) {
    std::printf("%s\n", lk::toHex(bytes, n).c_str());
}

int frameCommand(const Args& args, const GlobalOptions&) {
    if (args.empty())
        throw UsageError("frame needs read, write or cmd");
    lk::TransmitBuffer tx{};
    lk::RequestRecord request{};
    const std::string& kind = args[0];
    if (kind == "read" && args.size() == 2) {
        request[0] = lk::kRequestRead;
        request[1] = byteArg(args[1], "INDEX");
        printHex(tx.data(), lk::encodeRequest(request, tx));
    } else if (kind == "write" && args.size() == 3) {
        request[0] = lk::kRequestWrite;
        request[1] = byteArg(args[1], "INDEX");
        const int raw = parseInt(args[2], "RAW", -32768, 65535);
        request[2] = static_cast<uint8_t>((raw >> 8) & 0xFF);
        request[3] = static_cast<uint8_t>(raw & 0xFF);
        printHex(tx.data(), lk::encodeRequest(request, tx));
    } else if (kind == "cmd" && args.size() == 5) {
        const size_t n = lk::encodeCommand(tx, byteArg(args[1], "CODE"), byteArg(args[2], "A1"),
                                           byteArg(args[3], "A2"), byteArg(args[4], "A3"));
        printHex(tx.data(), n);
    } else {
        throw UsageError(
            "usage: frame read INDEX | frame write INDEX RAW | frame cmd CODE A1 A2 A3");
    }
    return 0;
}

std::vector<uint8_t> hexArgs(const Args& args) {
    std::string joined;
    for (const auto& a : args)
        joined += a + " ";
    std::vector<uint8_t> bytes;
    if (args.empty() || !lk::parseHex(joined, bytes))
        throw UsageError("not hex bytes: " + joined);
    return bytes;
}

int decodeCommand(const Args& args, const GlobalOptions&) {
    const std::vector<uint8_t> bytes = hexArgs(args);
    lk::ReceiveBuffer b{};
    if (bytes.size() > b.size())
        throw UsageError("a reply has at most 20 bytes");
    std::copy(bytes.begin(), bytes.end(), b.begin());
    if (b[1] != lk::kReplyRead)
        throw CliError("not a read reply (byte 1 is not 30)");
    lk::decodeReadReply(b);
    const uint16_t raw = lk::replyRaw(b);
    std::printf("index %u raw %u signed %d\n", b[2], raw, lk::rawToNumber(raw, true));
    return 0;
}

int rawCommand(const Args& args, const GlobalOptions& options) {
    if (options.port.empty())
        throw UsageError("raw needs --port DEV");
    const std::vector<uint8_t> bytes = hexArgs(args);
    if (bytes.size() > lk::kTransmitBufferSize)
        throw UsageError("a frame has at most 24 bytes");
    StderrUserInterface ui;
    auto port = lk::makeSystemSerialPort();
    lk::DriveLink link(*port, ui);
    link.state().fastGapBytes = options.fastGapBytes;
    if (const auto r = link.openPort(options.port, options.baud, options.timeoutMs);
        r != lk::OpenResult::Ok)
        portDidNotOpen(options, *port, r, ui);
    auto& tx = link.buffers().transmit;
    lk::clearBuffer(tx);
    std::copy(bytes.begin(), bytes.end(), tx.begin());
    lk::clearBuffer(link.buffers().receive);
    if (link.prepareAndWrite(bytes.size()) < 0)
        throw LinkError("cannot write to " + options.port + ": " + port->lastError());
    if (!link.waitForInput(lk::kShortReplyThreshold, bytes.size()))
        throw LinkError(
            "no reply within " +
            std::to_string(link.replyWaitBoundMs(bytes.size(), lk::kShortReplyThreshold)) + " ms");
    auto& rx = link.buffers().receive;
    const int n = link.PortRead(rx);
    if (n <= 0)
        throw LinkError("reading the reply failed");
    printHex(rx.data(), static_cast<size_t>(n));
    return 0;
}

}  // namespace

void addLinkCommands(CommandList& list) {
    list.push_back({"frame", "frame read INDEX | write INDEX RAW | cmd CODE A1 A2 A3", frameCommand,
                    "Prints a request or command frame as hex bytes, escapes applied.\n"
                    "INDEX, RAW, CODE and A1..A3 are decimal or 0x hex; RAW is -32768..65535."});
    list.push_back({"decode", "decode HEX...", decodeCommand,
                    "Decodes a read reply (E1 30 ...): the drive index and the raw value, "
                    "unsigned and signed."});
    list.push_back({"raw", "--port DEV raw HEX...", rawCommand,
                    "Sends one frame of hex bytes with the request preparation and prints the "
                    "bytes of the reply.\nExit status 3 when no reply comes."});
}

}  // namespace zrd::cli
