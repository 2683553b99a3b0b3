#pragma once
#include <chrono>
#include <string>

// Facts for the update record.
namespace platform {
// The name of this computer as the network knows it; empty when the system cannot tell.
std::string HostName();
// ISO 8601 in UTC to the second, fractions cut off: 2026-12-07T04:55:01Z.
std::string UtcTimestamp(std::chrono::system_clock::time_point when);
} // namespace platform
