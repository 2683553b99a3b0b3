#pragma once
#include <memory>
#include <string>
#include <vector>

#include "gentl/GenTLObjects.h"
#include "gentl/IdentityRecords.h"

// The interactive run's listings and printouts; each numbers its entries from 0, as the
// prompts that follow them take them.

// The producer files found, or that there is none.
void ListCtiFiles(const std::vector<std::string>& files);
// The opened producer's cameras with their identities. False, said so, when there is none.
bool ListCameras(const std::vector<std::unique_ptr<TQRemoteDevice>>& cameras);
// Reads the chosen camera's identity into `info` and shows it.
void ShowSelectedCamera(TQRemoteDevice& camera, RemoteDeviceInfo& info);

// The firmware files of the working folder, on the console and in the trace, or that there is
// none.
void ListFirmwareFiles(const std::vector<std::string>& names);
void ShowSelectedFirmware(const std::string& name);
