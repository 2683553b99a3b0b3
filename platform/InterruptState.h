#pragma once
#include <atomic>

// What the interrupt handlers of both platforms share with the program: how many deferrals
// are armed, and how many interrupts they counted. Lock-free, so a signal handler may use it.
namespace platform::interrupts {
inline std::atomic<int> armed{0};
inline std::atomic<int> counted{0};
} // namespace platform::interrupts
