#pragma once

namespace platform {
// Hands one finished trace message to the trace channel: the file named by CXP_FWUPDATE_TRACE
// when that is set and not empty ("-" is standard error), otherwise the debugger output on
// Windows and syslog elsewhere.
void EmitTrace(const char* message);
// Closes the trace file, if one is open, so that the next message reads CXP_FWUPDATE_TRACE
// afresh. For tests that point the trace at files of their own.
void ResetTraceSink();
} // namespace platform
