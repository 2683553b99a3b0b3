#pragma once
#include <string_view>

// printf-style text for the operator on standard output; every message carries its own line
// ends and reaches the console or pipe when it is printed. Text from outside is always an
// argument, never the format.
void ConsolePrint(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// A progress line rewritten before every chunk, formatted by the caller: it is handed on at
// most every 50 ms, so the upload does not pay a system call per chunk. The next ConsolePrint
// hands on whatever is pending.
void ConsoleProgress(std::string_view line);
