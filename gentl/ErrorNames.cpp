#include "gentl/ErrorNames.h"

namespace {
struct ErrorName {
    const char* name;
    GC_ERROR code;
};
// Each name spelt once, beside the code of the same name.
#define CXP_ERROR_NAME(code)                                                                       \
    { #code, code }
constexpr ErrorName kErrorNames[] = {
    CXP_ERROR_NAME(GC_ERR_SUCCESS),
    CXP_ERROR_NAME(GC_ERR_ERROR),
    CXP_ERROR_NAME(GC_ERR_NOT_INITIALIZED),
    CXP_ERROR_NAME(GC_ERR_NOT_IMPLEMENTED),
    CXP_ERROR_NAME(GC_ERR_RESOURCE_IN_USE),
    CXP_ERROR_NAME(GC_ERR_ACCESS_DENIED),
    CXP_ERROR_NAME(GC_ERR_INVALID_HANDLE),
    CXP_ERROR_NAME(GC_ERR_INVALID_ID),
    CXP_ERROR_NAME(GC_ERR_NO_DATA),
    CXP_ERROR_NAME(GC_ERR_INVALID_PARAMETER),
    CXP_ERROR_NAME(GC_ERR_IO),
    CXP_ERROR_NAME(GC_ERR_TIMEOUT),
    CXP_ERROR_NAME(GC_ERR_ABORT),
    CXP_ERROR_NAME(GC_ERR_INVALID_BUFFER),
    CXP_ERROR_NAME(GC_ERR_NOT_AVAILABLE),
    CXP_ERROR_NAME(GC_ERR_INVALID_ADDRESS),
    CXP_ERROR_NAME(GC_ERR_BUFFER_TOO_SMALL),
    CXP_ERROR_NAME(GC_ERR_INVALID_INDEX),
    CXP_ERROR_NAME(GC_ERR_PARSING_CHUNK_DATA),
    CXP_ERROR_NAME(GC_ERR_INVALID_VALUE),
    CXP_ERROR_NAME(GC_ERR_RESOURCE_EXHAUSTED),
    CXP_ERROR_NAME(GC_ERR_OUT_OF_MEMORY),
    CXP_ERROR_NAME(GC_ERR_BUSY),
    CXP_ERROR_NAME(GC_ERR_AMBIGUOUS),
};
#undef CXP_ERROR_NAME
} // namespace

std::string GenTLErrorName(GC_ERROR code) {
    for (const ErrorName& entry : kErrorNames)
        if (entry.code == code)
            return entry.name;
    return "unknown error";
}

bool GenTLErrorCode(const std::string& name, GC_ERROR& code) {
    for (const ErrorName& entry : kErrorNames) {
        if (name == entry.name) {
            code = entry.code;
            return true;
        }
    }
    return false;
}
