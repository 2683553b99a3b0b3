#pragma once

// The tool's version, 1.0.0.546: the interactive banner and `--version` show it.
constexpr unsigned kVersion[4] = {1, 0, 0, 546};
