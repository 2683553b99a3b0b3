#include "gentl/ErrorNames.h"

std::string GenTLErrorName(GC_ERROR code) {
    static const char* const kNames[] = {"GC_ERR_ERROR",
                                         "GC_ERR_NOT_INITIALIZED",
                                         "GC_ERR_NOT_IMPLEMENTED",
                                         "GC_ERR_RESOURCE_IN_USE",
                                         "GC_ERR_ACCESS_DENIED",
                                         "GC_ERR_INVALID_HANDLE",
                                         "GC_ERR_INVALID_ID",
                                         "GC_ERR_NO_DATA",
                                         "GC_ERR_INVALID_PARAMETER",
                                         "GC_ERR_IO",
                                         "GC_ERR_TIMEOUT",
                                         "GC_ERR_ABORT",
                                         "GC_ERR_INVALID_BUFFER",
                                         "GC_ERR_NOT_AVAILABLE",
                                         "GC_ERR_INVALID_ADDRESS",
                                         "GC_ERR_BUFFER_TOO_SMALL",
                                         "GC_ERR_INVALID_INDEX",
                                         "GC_ERR_PARSING_CHUNK_DATA",
                                         "GC_ERR_INVALID_VALUE",
                                         "GC_ERR_RESOURCE_EXHAUSTED",
                                         "GC_ERR_OUT_OF_MEMORY",
                                         "GC_ERR_BUSY",
                                         "GC_ERR_AMBIGUOUS"};
    if (code == GC_ERR_SUCCESS)
        return "GC_ERR_SUCCESS";
    // The standard numbers its errors from -1001 down without gaps.
    const long index = -1001L - code;
    if (index >= 0 && index < static_cast<long>(sizeof kNames / sizeof kNames[0]))
        return kNames[index];
    return "unknown error";
}
