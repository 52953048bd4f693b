#include "CommandLine.h"

#include "Actions.h"
#include "Options.h"

#include <QCoreApplication>

namespace cli {

bool hasAction(int argc, char **argv)
{
    return namesAnAction(argc, argv);
}

int run(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(kProgram);
    QCoreApplication::setApplicationName(kProgram);
    QCoreApplication::setApplicationVersion(QStringLiteral(SLIDESHOW_VERSION));
    QString error;
    const std::optional<Command> command = parseCommand(QCoreApplication::arguments(), &error);
    return command ? runCommand(*command) : usageError(error);
}

} // namespace cli
