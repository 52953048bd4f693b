#include "CommandLine.h"
#include "QtApplication.h"

// The program's start. Arguments holding a command-line action (--export,
// --list-albums, ...) run that action without a window or a display;
// otherwise they go unchanged to the application main, which loads the
// window and runs until the application quits.
int main(int argc, char **argv)
{
    if (cli::hasAction(argc, argv))
        return cli::run(argc, argv);
    return gui::applicationMain(argc, argv);
}
