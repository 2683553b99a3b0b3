#include "platform/Wait.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

namespace platform {

void SleepMilliseconds(unsigned milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void WaitForKey() {
    std::fflush(stdout);
    std::system("pause");
}

} // namespace platform
