// The main of the Qt widget tests: widgets need a QApplication, created once
// here before any test runs. Without a QT_QPA_PLATFORM of the caller's the
// tests draw off screen, so listing and running them needs no display.
#include <QApplication>

#include <gtest/gtest.h>

// Qt's D-Bus and X11 libraries keep a few allocations until the process ends;
// they are not ours to free.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libdbus-1.so\nleak:libfontconfig.so\nleak:libX11.so\nleak:libxcb.so\n";
}

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
