#pragma once

namespace cli {
// The command-line mode (`list`, `update`, `--help`, `--version`); returns the exit status.
// It never reads standard input.
int Main(int argc, char** argv);
} // namespace cli
