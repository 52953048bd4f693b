#pragma once

namespace gui {

// Creates the application, loads the window layout, wires it and runs the
// event loop until the application quits; its result is the exit status.
int applicationMain(int argc, char **argv);

} // namespace gui
