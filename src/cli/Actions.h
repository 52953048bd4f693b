#pragma once

#include "Options.h"

namespace cli {

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsage = 2 };

// Runs the command's action and gives the exit status.
int runCommand(const Command &command);

// Writes "slideshow-exporter: MESSAGE" and the hint to --help to standard
// error; the usage error's exit status.
int usageError(const QString &message);

} // namespace cli
