#include "platform/Interrupt.h"

#include "platform/InterruptState.h"

namespace platform {

int InterruptCount() {
    return interrupts::counted.load();
}

InterruptDeferral::InterruptDeferral() {
    interrupts::armed.fetch_add(1);
}

InterruptDeferral::~InterruptDeferral() {
    interrupts::armed.fetch_sub(1);
}
} // namespace platform
