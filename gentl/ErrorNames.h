#pragma once
#include <string>

#include "gentl/GenTL.h"

// The GenTL name of a producer's error code ("GC_ERR_IO"); codes outside the standard's list
// (a producer's own) read "unknown error".
std::string GenTLErrorName(GC_ERROR code);
