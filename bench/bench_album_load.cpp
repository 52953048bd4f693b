// Loads an album file exactly as the window does at start-up and on every
// return to the application: a home folder whose photo library holds the file,
// a window with an album popup, applicationWillBecomeActive(). Checks that the first
// album ends up selected and prints the load's wall time in milliseconds.
//
//   bench_album_load PATH [REPEATS] [--reloads N]
//
// With --reloads N, N returns to the application follow, the file unchanged,
// and their median time goes on a line of its own:
//   reload of an unchanged file: median X.XXX ms of N
//
// Exit status 0 on success; otherwise a message on standard error.
#include "HeadlessControls.h"
#include "SystemLog.h"
#include "rvWindow.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "bench_album_load: %s\n", qPrintable(message));
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    int reloads = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--reloads") == 0 && i + 1 < argc)
            reloads = std::max(1, std::atoi(argv[++i]));
        else
            arguments << QFile::decodeName(argv[i]);
    }
    if (arguments.isEmpty() || arguments.size() > 2)
        return fail(QStringLiteral("usage: bench_album_load PATH [REPEATS] [--reloads N]"));
    const QString source = QFileInfo(arguments[0]).absoluteFilePath();
    if (!QFileInfo(source).isFile())
        return fail(source + QStringLiteral(": no such file"));
    const int repeats = arguments.size() == 2 ? std::max(1, arguments[1].toInt()) : 1;

    // The window reads $HOME/Pictures/iPhoto Library/AlbumData.xml: a
    // throwaway home folder whose album file is a link to the one to load.
    QTemporaryDir home;
    const QString library = home.path() + QStringLiteral("/Pictures/iPhoto Library");
    if (!home.isValid() || !QDir().mkpath(library)
        || !QFile::link(source, library + QStringLiteral("/AlbumData.xml")))
        return fail(QStringLiteral("could not set up a home folder in ") + home.path());
    qputenv("HOME", QFile::encodeName(home.path()));

    // A parse failure reaches only the log: keep it for the message below.
    QStringList log;
    setLogSink([&log](const QString &line) { log.append(line); }, false);

    toolkit::headless::PopUpButton albumPopup;
    toolkit::headless::TextField titleField;
    rvWindow window;
    window.gAlbumPopup = &albumPopup;
    window.gSlideshowTitleField = &titleField;

    // Another path makes the window parse afresh: the timed full loads go in
    // turns through the library's link and a second link beside it.
    const QString otherLink = home.path() + QStringLiteral("/AlbumData.xml");
    if (!QFile::link(source, otherLink))
        return fail(QStringLiteral("could not link ") + otherLink);
    std::vector<qint64> times, reloadTimes; // nanoseconds
    for (int i = 0; i < repeats + reloads; ++i) {
        const bool reload = i >= repeats;
        if (!reload)
            window.setLibraryLocation(i % 2 ? otherLink : QString());
        QElapsedTimer timer;
        timer.start();
        window.applicationWillBecomeActive();
        (reload ? reloadTimes : times).push_back(timer.nsecsElapsed());

        if (!log.isEmpty())
            return fail(QStringLiteral("the load failed: ") + log.join(QStringLiteral(" / ")));
        if (window.gPlist.isNone())
            return fail(QStringLiteral("the load produced no album data"));
        if (albumPopup.numberOfItems() < 1)
            return fail(QStringLiteral("the album popup has no albums"));
        if (albumPopup.indexOfSelectedItem() != 0 || window.gSelectedAlbumIndex != 0)
            return fail(QStringLiteral("the first album is not selected"));
        if (window.gKeysForAlbum.isNone())
            return fail(QStringLiteral("the first album has no photo keys"));
        if (titleField.stringValue() != albumPopup.itemTitleAtIndex(0))
            return fail(QStringLiteral("the title is not the first album's name"));
    }
    std::sort(times.begin(), times.end());
    std::printf("albums %d, photos in first album %lld, photos in library %lld, load %lld ms (median of %d)\n",
                albumPopup.numberOfItems(), static_cast<long long>(window.gKeysForAlbum.count()),
                static_cast<long long>(window.gMasterImageDictList.count()),
                static_cast<long long>(times[times.size() / 2] / 1000000), repeats);
    if (reloads > 0) {
        std::sort(reloadTimes.begin(), reloadTimes.end());
        std::printf("reload of an unchanged file: median %.3f ms of %d\n",
                    double(reloadTimes[reloadTimes.size() / 2]) / 1e6, reloads);
    }
    std::fflush(stdout);
    setLogSink(nullptr);
    return 0;
}
