#pragma once
// Calling convention of every GenTL producer function.
#ifdef _WIN32
#define GC_CALLTYPE __stdcall
#else
#define GC_CALLTYPE
#endif
