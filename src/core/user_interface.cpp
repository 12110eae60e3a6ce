#include "core/user_interface.h"

#include <chrono>
#include <thread>

namespace zrd {

void UserInterface::waitMs(int ms) {
    if (ms > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace zrd
