// How responsive the window stays while it loads a big album file at
// start-up: a 10 ms timer ticks on the GUI thread from before the start-up
// until the load is applied, and the longest gap between two ticks is printed
// with the load's wall time.
//
//   QT_QPA_PLATFORM=offscreen bench_gui_load PATH [ROUNDS]
//
// Each round builds a fresh window in a throwaway home folder whose album
// file is a link to PATH. Exit status 0 on success; otherwise a message on
// standard error.
#include "MainWindowAssembly.h"
#include "SystemLog.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QSignalSpy>
#include <QTest>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "bench_gui_load: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 3)
        return fail(QStringLiteral("usage: bench_gui_load PATH [ROUNDS]"));
    const QString source = QFileInfo(arguments[1]).absoluteFilePath();
    if (!QFileInfo(source).isFile())
        return fail(source + QStringLiteral(": no such file"));
    const int rounds = arguments.size() == 3 ? std::max(1, arguments[2].toInt()) : 1;

    QTemporaryDir home;
    const QString library = home.path() + QStringLiteral("/Pictures/iPhoto Library");
    if (!home.isValid() || !QDir().mkpath(library) || !QFile::link(source, library + QStringLiteral("/AlbumData.xml")))
        return fail(QStringLiteral("could not set up a home folder in ") + home.path());
    qputenv("HOME", QFile::encodeName(home.path()));
    QStringList log;
    setLogSink([&log](const QString &line) { log.append(line); }, false);

    std::vector<double> gaps, loads;
    for (int round = 0; round < rounds; ++round) {
        gui::MainWindowAssembly assembly;
        QElapsedTimer clock;
        qint64 lastTick = 0, longestGap = 0;
        QTimer ticker;
        ticker.setTimerType(Qt::PreciseTimer);
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            const qint64 now = clock.nsecsElapsed();
            longestGap = std::max(longestGap, now - lastTick);
            lastTick = now;
        });
        QSignalSpy finished(&assembly.albumLoader(), &gui::AlbumLoader::finished);
        ticker.start(10);
        clock.start();
        // What the application's main does: start up, show the window, run.
        assembly.awake();
        assembly.mainWindow()->show();
        if (!finished.wait(600000))
            return fail(QStringLiteral("the load did not end"));
        // Then the album is counted for the overview and listed for the grid.
        if (!QTest::qWaitFor([&] { return !assembly.overviewPanel().counting(); }, 600000))
            return fail(QStringLiteral("the album was not shown"));
        const qint64 loaded = clock.nsecsElapsed();
        longestGap = std::max(longestGap, loaded - lastTick); // the wait for the last tick
        if (!log.isEmpty())
            return fail(QStringLiteral("the load failed: ") + log.join(QStringLiteral(" / ")));
        if (assembly.window().gKeysForAlbum.isNone())
            return fail(QStringLiteral("the first album has no photo keys"));
        gaps.push_back(double(longestGap) / 1e6);
        loads.push_back(double(loaded) / 1e6);
    }
    std::sort(gaps.begin(), gaps.end());
    std::sort(loads.begin(), loads.end());
    std::printf("longest gap between ticks of a 10 ms timer during the start-up load and the album's overview and grid: median %.1f ms of %d "
                "(worst %.1f ms); load %.0f ms\n",
                gaps[gaps.size() / 2], rounds, gaps.back(), loads[loads.size() / 2]);
    setLogSink(nullptr);
    return 0;
}
