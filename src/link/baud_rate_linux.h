#pragma once

namespace zrd::link {

// Sets a baud rate that has no B-constant (any rate the device takes), through termios2.
// Kept in its own file: the kernel's termios header clashes with the C library's.
bool setCustomBaudRate(int fd, int baudRate);

}  // namespace zrd::link
