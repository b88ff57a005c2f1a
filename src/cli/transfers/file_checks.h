// What a command checks of its file before any port is opened: usage first
// (the extension of the kind, exit 2), then the file itself (exit 3).
#pragma once
#include <string>

#include "cli/console/exit_codes.h"
#include "protocol/regions.h"

// The kind's own extension, as every start of the core asks.
ExitCode CheckExtension(DataKind kind, const std::string& path);
// The file to send or compare: there, a regular file (never opened to find
// out, so a pipe cannot hold the command), and for a write neither empty nor
// longer than the region.
ExitCode CheckSourceFile(DataKind kind, const std::string& path, bool writing);
