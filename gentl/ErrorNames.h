#pragma once
#include <string>

#include "gentl/GenTL.h"

// The one table of the standard's error names, read both ways: the tool names a producer's
// error, the simulated producer reads fault codes by name.

// The GenTL name of a producer's error code ("GC_ERR_IO"); codes outside the standard's list
// (a producer's own) read "unknown error".
std::string GenTLErrorName(GC_ERROR code);
// The code of a GenTL error name (GC_ERR_SUCCESS too); false for any other text.
bool GenTLErrorCode(const std::string& name, GC_ERROR& code);
