#pragma once

// printf-style text for the operator on standard output; every message carries its own line
// ends. Text from outside is always an argument, never the format.
void ConsolePrint(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;
