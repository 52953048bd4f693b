#include "QtApplication.h"

#include "MainWindowAssembly.h"
#include "QtBackend.h"

#include <QApplication>
#include <QIcon>
#include <QMainWindow>
#include <QPixmap>
#include <QTimer>

#include <cstdio>

namespace gui {

namespace {

// Testing hook: with SLIDESHOW_SCREENSHOT set to a file path, the application
// starts as usual, saves a picture of its window there once the window is up,
// and quits (exit status 0 when the picture was written).
constexpr const char *kScreenshotVariable = "SLIDESHOW_SCREENSHOT";
constexpr int kScreenshotDelayMs = 500;

void scheduleScreenshot(QMainWindow *window, const QString &path)
{
    QTimer::singleShot(kScreenshotDelayMs, window, [window, path] {
        const bool written = window->grab().save(path, "PNG");
        if (!written)
            std::fprintf(stderr, "Could not write the screenshot to %s\n", qPrintable(path));
        QApplication::exit(written ? 0 : 1);
    });
}

} // namespace

int applicationMain(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Slideshow Exporter"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.slideshow_exporter.SlideshowExporter"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/slideshow-exporter.png")));

    toolkit::QtBackend qtBackend;
    toolkit::setBackend(&qtBackend);

    int status = 0;
    {
        MainWindowAssembly assembly;
        qtBackend.setDialogParent(assembly.mainWindow());
        assembly.awake();
        assembly.mainWindow()->show();

        const QString screenshot = qEnvironmentVariable(kScreenshotVariable);
        if (!screenshot.isEmpty())
            scheduleScreenshot(assembly.mainWindow(), screenshot);

        status = QApplication::exec();
    }

    toolkit::setBackend(nullptr);
    return status;
}

} // namespace gui
