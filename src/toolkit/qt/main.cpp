#include "Application.h"

// The program's start: the arguments go unchanged to the toolkit, whose
// application main loads the window and runs until the application quits.
int main(int argc, char **argv)
{
    return toolkit::applicationMain(argc, argv);
}
