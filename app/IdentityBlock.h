#pragma once
#include "gentl/IdentityRecords.h"

// A camera's identity as the camera listing and the chosen-camera printout show it.
void PrintIdentityBlock(const RemoteDeviceInfo& info);
