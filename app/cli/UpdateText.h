#pragma once
#include <string>
#include <vector>

#include "app/cli/Records.h"
#include "app/cli/Selection.h"
#include "firmware/UploadProtocol.h"

namespace cli {

// How a camera's turn ended, as one line of text.
std::string ResultLine(const Camera& camera, const Attempt& attempt);
// One aligned line per identified camera: what the update will do with it.
std::string Plan(const std::vector<Camera>& cameras, const Selection& selection);
// The producer's side of a failed write: its error, or how much of the write it took.
std::string WriteError(const PortAccess& write);

} // namespace cli
