#pragma once

#include <chrono>

namespace zrd::test {

// How long a test waits for an event another thread, a pty or a timer brings: generous for a
// busy 2-core machine and short beside the test's own time limit. It bounds a wait that would
// otherwise hang; it never measures how fast something was.
inline constexpr std::chrono::seconds kEventBound{60};
inline constexpr int kEventBoundMs = 60'000;

}  // namespace zrd::test
