#pragma once

namespace platform {
enum class Stream { Output, Error };

// True when the stream is a terminal that takes \r and ANSI cursor sequences, so a progress
// display may redraw its line. On Windows this switches the console to virtual terminal
// processing; a console that refuses it counts as no terminal.
bool IsTerminal(Stream stream);
} // namespace platform
