// The window's preview on a big slideshow: how soon Play shows a frame, how
// many frames come late while it plays, how soon a seek shows its frame, and
// the longest the GUI thread is blocked meanwhile (the longest gap between
// two ticks of a 10 ms timer, less the 10 ms).
//
//   QT_QPA_PLATFORM=offscreen bench_preview HOME [ROUNDS] [SECONDS]
//
// HOME holds the library (Pictures/iPhoto Library/AlbumData.xml) with one
// album. Each round builds a fresh window, sets 1920x1080 at 30 fps with pan
// and zoom and captions, and opens the Preview tab (timed to its first frame,
// the photos' small copies made first: the first opening of an album). Once
// melt has stopped after the pause, Play (timed to the next frame on screen:
// melt started and its first frame read), then SECONDS (default 20) of
// playing at 480x270 (late frames: those shown more than a frame's time after
// their moment, or never), then eight seeks while paused (each timed to its
// frame on screen). The GUI blocks count from Play on. The last line, the
// medians over the rounds:
//   preview: first frame N ms, late frames P%, seek N ms, longest GUI block N ms
#include "MainWindowAssembly.h"
#include "PreviewPanel.h"
#include "SystemLog.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMainWindow>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

int fail(const QString &message)
{
    std::fprintf(stderr, "bench_preview: %s\n", qPrintable(message));
    return 1;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[(values.size() - 1) / 2];
}

} // namespace

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 2 || arguments.size() > 4)
        return fail(QStringLiteral("usage: bench_preview HOME [ROUNDS] [SECONDS]"));
    qputenv("HOME", QFile::encodeName(arguments[1]));
    const int rounds = arguments.size() > 2 ? std::max(1, arguments[2].toInt()) : 3;
    const int seconds = arguments.size() > 3 ? std::max(1, arguments[3].toInt()) : 20;
    QTemporaryDir settingsFolder;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsFolder.path());
    setLogSink([](const QString &) {}, false);

    std::vector<double> opens, firsts, lates, seeks, blocks, openBlocks;
    for (int round = 0; round < rounds; ++round) {
        gui::MainWindowAssembly assembly;
        QMainWindow *window = assembly.mainWindow();
        const auto find = [window](const char *name) { return window->findChild<QWidget *>(name); };
        assembly.awake();
        if (!QTest::qWaitFor([&] { return !assembly.albumLoader().isLoading(); }, 60000))
            return fail(QStringLiteral("the album file did not load"));
        static_cast<QLineEdit *>(find("widthField"))->setText(QStringLiteral("1920"));
        static_cast<QLineEdit *>(find("heightField"))->setText(QStringLiteral("1080"));
        static_cast<QComboBox *>(find("frameRatePopup"))->setCurrentText(QStringLiteral("30"));
        static_cast<QComboBox *>(find("motionPopup"))->setCurrentIndex(1);
        static_cast<QCheckBox *>(find("captionsCheckBox"))->setChecked(true);
        gui::PreviewPanel &preview = *assembly.previewPanel();
        preview.setLargestFrameWidth(480);
        window->resize(1400, 900);
        window->show();

        // The GUI thread's longest block, from here to the round's end.
        QElapsedTimer sinceTick;
        double longest = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            longest = std::max(longest, sinceTick.nsecsElapsed() / 1e6 - 10);
            sinceTick.start();
        });
        ticker.start(10);
        sinceTick.start();

        int64_t shown = -1;
        QObject::connect(&preview, &gui::PreviewPanel::frameShown, [&shown](qint64 frame) { shown = frame; });
        QElapsedTimer clock;
        clock.start();
        assembly.showPreview(true);
        if (!QTest::qWaitFor([&] { return shown == 0; }, 60000))
            return fail(QStringLiteral("no first frame"));
        opens.push_back(clock.nsecsElapsed() / 1e6);
        if (preview.shownFrame().width() != 480)
            return fail(QStringLiteral("the preview is %1 pixels wide").arg(preview.shownFrame().width()));
        // Play after a pause long enough for melt to have stopped.
        if (!QTest::qWaitFor([&] { return !preview.stream().isRunning(); }, 10000))
            return fail(QStringLiteral("melt did not stop after the pause"));
        const double openBlock = longest;
        longest = 0;
        clock.start();
        preview.resetCounts();
        preview.play();
        if (!QTest::qWaitFor([&] { return shown == 1; }, 10000))
            return fail(QStringLiteral("Play showed nothing"));
        firsts.push_back(clock.nsecsElapsed() / 1e6);
        QTest::qWait(seconds * 1000);
        preview.pause();
        const gui::PreviewPanel::Counts counts = preview.counts();
        lates.push_back(counts.due > 0 ? 100.0 * counts.late / counts.due : 100);

        std::vector<double> seekTimes;
        for (int k = 0; k < 8; ++k) {
            const int64_t target = (preview.length() - 1) * ((k * 5 + 3) % 8) / 8 + k;
            clock.start();
            shown = -1;
            preview.seek(target);
            if (!QTest::qWaitFor([&] { return shown == target; }, 10000))
                return fail(QStringLiteral("the seek to %1 showed nothing").arg(target));
            seekTimes.push_back(clock.nsecsElapsed() / 1e6);
            QTest::qWait(200);
        }
        seeks.push_back(median(seekTimes));
        blocks.push_back(longest);
        openBlocks.push_back(openBlock);
        std::fprintf(stderr,
                     "round %d: tab opened to its first frame %.0f ms (longest GUI block meanwhile %.0f ms, the "
                     "window's first show included); Play to a frame %.0f ms, late frames %.2f%% (%lld of %lld), "
                     "seeks %.0f ms (slowest %.0f ms), longest GUI block %.0f ms\n",
                     round + 1, opens.back(), openBlock, firsts.back(), lates.back(), static_cast<long long>(counts.late),
                     static_cast<long long>(counts.due), seeks.back(), *std::max_element(seekTimes.begin(), seekTimes.end()),
                     blocks.back());
    }
    std::printf("tab opened to its first frame (the photos copied small first): %.0f ms, longest GUI block %.0f ms\n",
                median(opens), median(openBlocks));
    std::printf("preview: first frame %.0f ms, late frames %.2f%%, seek %.0f ms, longest GUI block %.0f ms\n",
                median(firsts), median(lates), median(seeks), median(blocks));
    return 0;
}
