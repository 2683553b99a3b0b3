#include "platform/TraceSink.h"

#include <syslog.h>

#include "platform/TraceSink_common.h"

namespace platform {

void EmitTrace(const char* message) {
    auto& override = trace_detail::Override();
    override.Check();
    if (override.active) {
        override.Write(message);
        return;
    }
    static bool opened = false;
    if (!opened) {
        openlog("cxp-fwupdate", LOG_PID, LOG_USER);
        opened = true;
    }
    syslog(LOG_DEBUG, "%s", message);
}

void ResetTraceSink() {
    trace_detail::Override().Reset();
}

} // namespace platform
