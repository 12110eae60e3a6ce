// The simulated drive on a given tty (zrd-sim --tty): the line runs at the simulated baud rate.
// termios2 from the kernel's header: the C library's <termios.h> must stay out of this file.
#include <asm/termbits.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "sim_server.h"

namespace zrd::sim {
namespace {

TEST(SimOnATty, LineRunsAtTheSimulatedBaudRate) {
    // A new pseudo-terminal starts at 38400 baud; none of these is that.
    for (const int baud : {9600, 115200, 250000}) {
        const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        ASSERT_GE(master, 0);
        char name[128];
        ASSERT_EQ(::grantpt(master), 0);
        ASSERT_EQ(::unlockpt(master), 0);
        ASSERT_EQ(::ptsname_r(master, name, sizeof name), 0);

        SimServer sim(baud);
        ASSERT_TRUE(sim.openTty(name)) << sim.error();
        // The master side reports the settings of the tty the simulator opened.
        struct termios2 tio {};
        ASSERT_EQ(::ioctl(master, TCGETS2, &tio), 0);
        EXPECT_EQ(tio.c_ospeed, static_cast<speed_t>(baud)) << baud;
        EXPECT_EQ(tio.c_ispeed, static_cast<speed_t>(baud)) << baud;
        sim.stop();
        ::close(master);
    }
}

}  // namespace
}  // namespace zrd::sim
