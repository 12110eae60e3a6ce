#include "cmdmon/port_reader.h"

#include <poll.h>
#include <unistd.h>

#include <array>
#include <cerrno>

#include "core/os_error.h"

namespace zrd::cmdmon {

PortReader::PortReader() : m_port(link::makeSystemSerialPort()) {}

PortReader::~PortReader() {
    stop();
}

link::OpenResult PortReader::open(const std::string& device, const link::LineSettings& line) {
    stop();
    return m_port->open(device, line);
}

bool PortReader::start(ChunkHandler onChunk, EndHandler onEnd) {
    const int fd = m_port->nativeHandle();
    if (fd < 0 || m_thread.joinable())
        return false;
    m_stop.store(false);
    // The thread gets its own copies: nothing it touches is touched by anyone else.
    m_thread = std::thread([fd, this, chunk = std::move(onChunk), end = std::move(onEnd)] {
        run(fd, m_stop, chunk, end);
    });
    return true;
}

void PortReader::stop() {
    m_stop.store(true);
    if (m_thread.joinable())
        m_thread.join();
    m_port->close();
}

int PortReader::write(const uint8_t* data, size_t count) {
    return m_port->write(data, count);
}

void PortReader::run(int fd, const std::atomic<bool>& stop, const ChunkHandler& onChunk,
                     const EndHandler& onEnd) {
    std::array<uint8_t, kChunkBytes> chunk{};
    while (!stop.load()) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, kReaderPollMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0) {
            onEnd(ReaderEnd::Failed, osErrorText(errno));
            return;
        }
        if (r == 0)
            continue;
        // A line that hung up also reports itself readable, and then reads nothing for ever.
        if (p.revents & (POLLHUP | POLLERR)) {
            onEnd(ReaderEnd::HungUp, osErrorText(EIO));
            return;
        }
        if (p.revents & POLLNVAL) {
            onEnd(ReaderEnd::Failed, osErrorText(EBADF));
            return;
        }
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n < 0 && (errno == EIO || errno == ENXIO || errno == ENODEV)) {
            onEnd(ReaderEnd::HungUp, osErrorText(errno));
            return;
        }
        if (n < 0) {
            onEnd(ReaderEnd::Failed, osErrorText(errno));
            return;
        }
        // Readable yet nothing to read: the other end is gone.
        if (n == 0) {
            onEnd(ReaderEnd::HungUp, osErrorText(EIO));
            return;
        }
        if (stop.load())
            break;
        onChunk(std::vector<uint8_t>(chunk.begin(), chunk.begin() + n));
    }
    onEnd(ReaderEnd::Stopped, {});
}

}  // namespace zrd::cmdmon
