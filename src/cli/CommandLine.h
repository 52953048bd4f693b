#pragma once

#include <QString>

// The command-line actions: listing the albums of a photo library and
// exporting one album or all of them, with no window and no display.
namespace cli {

// True when the arguments (argv[0] first) hold an action option (--list-albums,
// --export, --export-all, --help, --version) before any "--": the command line
// runs then, and the window starts otherwise.
bool hasAction(int argc, char **argv);

// Creates the core application, runs the action the arguments ask for and
// gives the exit status: 0 success, 1 a failed export, 2 a usage error.
int run(int argc, char **argv);

} // namespace cli
