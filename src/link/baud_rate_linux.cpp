#include "link/baud_rate_linux.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace zrd::link {

bool setCustomBaudRate(int fd, int baudRate) {
    struct termios2 tio {};
    if (::ioctl(fd, TCGETS2, &tio) != 0)
        return false;
    tio.c_cflag &= ~CBAUD;
    tio.c_cflag |= BOTHER;
    tio.c_ispeed = static_cast<speed_t>(baudRate);
    tio.c_ospeed = static_cast<speed_t>(baudRate);
    return ::ioctl(fd, TCSETS2, &tio) == 0;
}

}  // namespace zrd::link
