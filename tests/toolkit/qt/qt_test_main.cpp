// The main of the Qt tests. Widgets need a QApplication, made here before any
// test runs, unless the tests start the application themselves
// (TESTS_RUN_THE_APPLICATION). Without a QT_QPA_PLATFORM of the caller's the
// tests draw off screen.
#include <QApplication>

#include <gtest/gtest.h>

// Qt's D-Bus, fontconfig and X11 libraries keep a few allocations until the
// process ends; they are not ours to free.
extern "C" const char *__lsan_default_suppressions()
{
    return "leak:libdbus-1.so\nleak:libfontconfig.so\nleak:libX11.so\nleak:libxcb.so\n";
}

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
#ifndef TESTS_RUN_THE_APPLICATION
    QApplication application(argc, argv);
#endif
    return RUN_ALL_TESTS();
}
