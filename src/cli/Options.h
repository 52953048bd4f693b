#pragma once

#include "OutputFormat.h"
#include "VideoSettings.h"
#include "WindowRoad.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace cli {

inline const QString kProgram = QStringLiteral("slideshow-exporter");

enum class Action { ListAlbums, Export, ExportAll, Help, Version };

// What one run of the command line is asked to do: the action and everything
// the options say for it.
struct Command {
    Action action = Action::Help;
    QString album;                 // the album --export names
    std::optional<QString> output; // --output as given
    QString library;               // empty: the default library
    bool longListing = false;
    bool force = false;
    bool verbose = false;
    OutputFormat format = OutputFormat::JSON;
    ExportSettings settings;
    VideoSettings video;
};

// Parses the arguments (the program's name first) into a command; on a usage
// error gives nothing and the message. An option that does not apply to the
// action is a usage error, not ignored.
std::optional<Command> parseCommand(const QStringList &arguments, QString *error);

// The text of --help.
QString helpText();

// True when an argument before any "--" is an action's option (--list-albums,
// --export, --export-all, --help or -h, --version).
bool namesAnAction(int argc, char **argv);

} // namespace cli
