#include "QtApplication.h"

// The program's start: the arguments go unchanged to the application
// main, which loads the window and runs until the application quits.
int main(int argc, char **argv)
{
    return gui::applicationMain(argc, argv);
}
