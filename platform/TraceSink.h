#pragma once
#include <string>

namespace platform {
// Hands one finished trace message to the trace channel.
void EmitTrace(const char* message);
// Where the trace goes, chosen before the first message: "" keeps no trace, "-" is standard
// error, "syslog" the system's log (the debugger output on Windows), anything else a file that
// each message is appended to. False, with the system's reason, when the file cannot be opened.
// Without a choice the first message follows CXP_FWUPDATE_TRACE: a file, "-", or when unset
// or empty the system's log.
bool SetTraceDestination(const std::string& destination, std::string& error);
// Closes what the trace holds open, so that the next message chooses afresh. For tests.
void ResetTraceSink();
} // namespace platform
