#include "QtApplication.h"

#include "MainWindowAssembly.h"
#include "QtBackend.h"

#include <QApplication>
#include <QCommandLineParser>
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
    // As a window manager would on start-up: the window is active, so the
    // picture shows where the focus is (bare Xvfb activates nothing).
    window->activateWindow();
    QTimer::singleShot(kScreenshotDelayMs, window, [window, path] {
        const bool written = window->grab().save(path, "PNG");
        if (!written)
            std::fprintf(stderr, "Could not write the screenshot to %s\n", qPrintable(path));
        QApplication::exit(written ? 0 : 1);
    });
}

} // namespace

std::optional<WindowOptions> parseWindowOptions(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    const QCommandLineOption library(
        QStringLiteral("library"),
        QStringLiteral("Read the albums of the iPhoto library at PATH (its folder or its AlbumData.xml) for this run."),
        QStringLiteral("PATH"));
    parser.addOption(library);
    if (!parser.parse(arguments)) {
        if (error)
            *error = parser.errorText();
        return std::nullopt;
    }
    WindowOptions options;
    if (parser.isSet(library)) {
        options.library = parser.value(library);
        if (options.library.isEmpty()) {
            if (error)
                *error = QStringLiteral("--library needs the path of a library folder or album file.");
            return std::nullopt;
        }
    }
    return options;
}

int applicationMain(int argc, char **argv)
{
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Slideshow Exporter"));
    QApplication::setDesktopFileName(QStringLiteral("io.github.slideshow_exporter.SlideshowExporter"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/slideshow-exporter.png")));

    QString error;
    const std::optional<WindowOptions> options = parseWindowOptions(QApplication::arguments(), &error);
    if (!options) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 2;
    }

    toolkit::QtBackend qtBackend;
    toolkit::setBackend(&qtBackend);

    int status = 0;
    {
        MainWindowAssembly assembly;
        qtBackend.setDialogParent(assembly.mainWindow());
        assembly.libraryChooser().chooseStartLibrary(options->library);
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
