#pragma once
#include <cstdint>
#include <string>

namespace cli {

std::string ToolVersion(); // "1.0.0.546"

// Text from a camera or a producer, safe to print: control characters become '?'.
std::string Printable(const std::string& text);
// The last component of a path: the compatibility rule and the secondary test read only it.
std::string BaseName(const std::string& path);
std::string Hex32(uint32_t value);       // 8 lower-case digits
std::string Rate(double bytesPerSecond); // "812 KiB/s", "2.4 MiB/s"
std::string Clock(double seconds);       // "0:07", "12:40", "1:02:03"
std::string Seconds(double seconds);     // "2.0 s"
double Rounded(double seconds);          // to the millisecond

} // namespace cli
