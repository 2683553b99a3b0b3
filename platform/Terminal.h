#pragma once

namespace platform {
enum class Stream { Output, Error };

// True when the stream is a terminal that takes \r and ANSI cursor sequences, so a progress
// display may redraw its line. On Windows this switches the console to virtual terminal
// processing; a console that refuses it counts as no terminal.
bool IsTerminal(Stream stream);
// Standard output passes "\n" as it is, as files and JSON readers expect (Windows otherwise
// writes "\r\n"); nothing to do elsewhere.
void UseBinaryOutput();
} // namespace platform
