#pragma once

namespace platform {
// Hands one finished trace message to the trace channel: the file named by CXP_FWUPDATE_TRACE
// when that is set and not empty ("-" is standard error), otherwise the debugger output on
// Windows and syslog elsewhere.
void EmitTrace(const char* message);
} // namespace platform

namespace platform {
// Forgets the trace target chosen so far; the next message reads CXP_FWUPDATE_TRACE again.
void ResetTraceSink();
} // namespace platform
