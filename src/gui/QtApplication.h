#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace gui {

// The window's own command-line options, read after QApplication has taken
// its own (-platform, -style, ...).
struct WindowOptions {
    QString library; // --library PATH: a library folder or album file for this run; null without
};
// The options of the arguments (the program name first), or nothing with a
// one-line reason for an unknown option or a missing value.
std::optional<WindowOptions> parseWindowOptions(const QStringList &arguments, QString *error);

// Creates the application, loads the window layout, wires it and runs the
// event loop until the application quits; its result is the exit status.
int applicationMain(int argc, char **argv);

} // namespace gui
