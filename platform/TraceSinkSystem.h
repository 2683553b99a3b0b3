#pragma once
#include <cstddef>
#include <string>

// What each system gives the trace sink: a file opened for appending, standard error, and the
// system's own log. Only the trace sink (TraceSink.cpp and its TraceWriter.cpp) uses these.
namespace platform::trace {
using FileHandle = void*;
// Null on failure, with the system's reason.
FileHandle OpenFile(const std::string& path, std::string& error);
void WriteFile(FileHandle file, const char* data, size_t size);
void CloseFile(FileHandle file);
void WriteStandardError(const char* data, size_t size);
// The log is opened once and its connection kept, not once per message.
void OpenSystemLog();
void WriteSystemLog(const char* message);
void CloseSystemLog();
} // namespace platform::trace
