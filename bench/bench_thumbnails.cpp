// The window's thumbnail grid on a large generated library: how soon the
// first screenful of pictures is there after an album choice, how long the
// GUI thread is ever kept busy (the longest gap between the ticks of a 10 ms
// timer on it) while albums are chosen and the grid is scrolled, and the peak
// memory while doing so.
//
//   bench_thumbnails IMAGE_FOLDER [PHOTOS] [ALBUMS]
//
// IMAGE_FOLDER keeps the generated photos (3000x2000 JPEGs) between runs; the
// missing ones are made first. The album file holds ALBUMS albums (default
// 5) of all PHOTOS photos (default 2000), each starting at another photo, so
// the first screenful of each album is a set of photos not decoded before.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise.
#include "MainWindowAssembly.h"
#include "QtBackend.h"
#include "ThumbnailGrid.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QImage>
#include <QMainWindow>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QtConcurrent/QtConcurrentMap>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <numeric>
#include <vector>

namespace {

constexpr QSize kPhotoSize{3000, 2000};

QString photoPath(const QString &folder, int i)
{
    return QStringLiteral("%1/photo-%2.jpg").arg(folder).arg(i, 5, 10, QLatin1Char('0'));
}

// A photo-like picture: smooth colour gradients that differ per photo, with
// fine noise so the JPEG holds about as much data as a camera's.
void makePhoto(const QString &path, int seed)
{
    QImage image(kPhotoSize, QImage::Format_RGB32);
    quint32 noise = 2463534242u + quint32(seed);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            noise ^= noise << 13;
            noise ^= noise >> 17;
            noise ^= noise << 5;
            const int n = int(noise & 31);
            line[x] = qRgb((x / 12 + seed * 37 + n) & 255, (y / 8 + seed * 11 + n) & 255, ((x + y) / 20 + n) & 255);
        }
    }
    const QString temporary = path + QStringLiteral(".part");
    if (image.save(temporary, "JPEG", 85))
        QFile::rename(temporary, path);
}

QString albumFile(const QString &folder, int photos, int albums)
{
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n<key>List of Albums</key>\n<array>\n");
    for (int a = 0; a < albums; ++a) {
        xml += QStringLiteral("<dict><key>AlbumName</key><string>Album %1</string><key>KeyList</key><array>\n").arg(a);
        for (int i = 0; i < photos; ++i)
            xml += QStringLiteral("<string>%1</string>\n").arg((i + a * photos / albums) % photos);
        xml += QStringLiteral("</array></dict>\n");
    }
    xml += QStringLiteral("</array>\n<key>Master Image List</key>\n<dict>\n");
    for (int i = 0; i < photos; ++i)
        xml += QStringLiteral("<key>%1</key><dict><key>Caption</key><string>Photo %1</string>"
                              "<key>ImagePath</key><string>%2</string></dict>\n")
                   .arg(i)
                   .arg(photoPath(folder, i).toHtmlEscaped());
    return xml + QStringLiteral("</dict>\n</dict>\n</plist>\n");
}

long statusKilobytes(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    return -1;
}

double cpuMs(clockid_t clock)
{
    timespec time{};
    clock_gettime(clock, &time);
    return time.tv_sec * 1e3 + time.tv_nsec / 1e6;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The longest time between two ticks of a 10 ms timer on the GUI thread,
// since the last reset.
class Probe {
public:
    Probe()
    {
        m_clock.start();
        m_timer.setInterval(10);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            const qint64 cpu = threadCpuNs();
            m_longest = std::max(m_longest, now - m_last);
            m_longestCpu = std::max(m_longestCpu, cpu - m_lastCpu);
            m_last = now;
            m_lastCpu = cpu;
        });
        reset();
        m_timer.start();
    }
    void reset()
    {
        m_last = m_clock.nsecsElapsed();
        m_lastCpu = threadCpuNs();
        m_longest = 0;
        m_longestCpu = 0;
    }
    double longestMs() const { return std::max(m_longest, m_clock.nsecsElapsed() - m_last) / 1e6; }
    // The most CPU time the GUI thread spent between two ticks: the block a
    // machine with a core to spare would see.
    double longestCpuMs() const { return std::max(m_longestCpu, threadCpuNs() - m_lastCpu) / 1e6; }
    double nowMs() const { return m_clock.nsecsElapsed() / 1e6; }

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
    static qint64 threadCpuNs()
    {
        timespec time{};
        clock_gettime(CLOCK_THREAD_CPUTIME_ID, &time);
        return qint64(time.tv_sec) * 1000000000 + time.tv_nsec;
    }
    qint64 m_last = 0;
    qint64 m_lastCpu = 0;
    qint64 m_longest = 0;
    qint64 m_longestCpu = 0;
};

// Runs the event loop until done() holds, checking it whenever the model's
// pictures change and every 20 ms, so the check itself costs the GUI thread
// next to nothing.
QAbstractItemModel *watchedModel = nullptr;

bool waitFor(const std::function<bool()> &done, int timeoutMs = 60000)
{
    if (done())
        return true;
    QEventLoop loop;
    bool finished = false;
    const auto check = [&] {
        if (!finished && done()) {
            finished = true;
            loop.quit();
        }
    };
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, check);
    poll.start(20);
    QMetaObject::Connection changes;
    if (watchedModel)
        changes = QObject::connect(watchedModel, &QAbstractItemModel::dataChanged, check);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    loop.exec();
    QObject::disconnect(changes);
    return finished;
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    if (argc < 2 || argc > 4) {
        std::fprintf(stderr, "usage: bench_thumbnails IMAGE_FOLDER [PHOTOS] [ALBUMS]\n");
        return 2;
    }
    const QString folder = QDir(QFile::decodeName(argv[1])).absolutePath();
    const int photos = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2000;
    const int albums = argc > 3 ? std::max(2, std::atoi(argv[3])) : 5;

    // The photos, made once and kept.
    std::vector<int> missing;
    for (int i = 0; i < photos; ++i)
        if (!QFile::exists(photoPath(folder, i)))
            missing.push_back(i);
    if (!missing.empty()) {
        QDir().mkpath(folder);
        QElapsedTimer clock;
        clock.start();
        QtConcurrent::blockingMap(missing, [&](int i) { makePhoto(photoPath(folder, i), i); });
        std::printf("made %zu photos of %dx%d in %.1f s\n", missing.size(), kPhotoSize.width(),
                    kPhotoSize.height(), clock.elapsed() / 1e3);
    }
    qint64 bytes = 0;
    for (int i = 0; i < photos; ++i)
        bytes += QFileInfo(photoPath(folder, i)).size();
    std::printf("%d photos of %dx%d, %.0f KB each on average; %d albums of all of them\n", photos,
                kPhotoSize.width(), kPhotoSize.height(), bytes / 1024.0 / photos, albums);

    // A home folder whose photo library lists them.
    QTemporaryDir home;
    const QString library = home.path() + QStringLiteral("/Pictures/iPhoto Library");
    QDir().mkpath(library);
    QFile album(library + QStringLiteral("/AlbumData.xml"));
    if (!album.open(QIODevice::WriteOnly) || album.write(albumFile(folder, photos, albums).toUtf8()) < 0)
        return 1;
    album.close();
    qputenv("HOME", QFile::encodeName(home.path()));

    toolkit::QtBackend backend;
    toolkit::setBackend(&backend);
    gui::MainWindowAssembly assembly;
    assembly.awake();
    // The size the figures were first taken at (four columns, three rows),
    // whatever the off-screen screen's size.
    assembly.mainWindow()->resize(1296, 556);
    assembly.mainWindow()->show();
    gui::ThumbnailGrid *grid = assembly.thumbnailGrid();
    gui::ThumbnailModel *model = grid->thumbnailModel();
    auto *albumPopup = assembly.mainWindow()->findChild<QComboBox *>(QStringLiteral("albumPopup"));
    watchedModel = model;

    const auto inSightReady = [&] {
        const auto [first, last] = grid->rowsInSight();
        for (int row = first; row >= 0 && row <= last; ++row)
            if (model->stateAt(row) == gui::ThumbnailModel::State::Loading)
                return false;
        return first >= 0;
    };
    const auto allSettled = [&] { return inSightReady() && model->decodesRunning() == 0; };
    if (!waitFor(allSettled))
        return 1;
    const auto [first, last] = grid->rowsInSight();
    std::printf("window %dx%d, grid %dx%d: %d pictures in sight\n", assembly.mainWindow()->width(),
                assembly.mainWindow()->height(), grid->viewport()->width(), grid->viewport()->height(), last - first + 1);

    // Memory from here on: the peak is measured again from the current use.
    QFile clearRefs(QStringLiteral("/proc/self/clear_refs"));
    if (clearRefs.open(QIODevice::WriteOnly))
        clearRefs.write("5");
    clearRefs.close();
    const long baseKb = statusKilobytes("VmRSS:");

    Probe probe;
    // What the machine alone does to the probe: the longest gap while idle.
    waitFor([] { return false; }, 2000);
    const double idleGap = probe.longestMs();
    std::fflush(stdout);

    // Album choices: each album but the first, whose pictures start-up made.
    std::vector<double> firstScreenful;
    std::vector<double> firstScreenfulCpu; // of all threads
    std::vector<double> firstScreenfulGuiCpu;
    std::vector<double> choiceMs; // the album choice itself, before the event loop runs again
    double longestChoiceGap = 0;
    double longestChoiceCpu = 0;
    for (int a = 1; a < albums; ++a) {
        waitFor([] { return false; }, 100); // a quiet moment between choices
        probe.reset();
        const double start = probe.nowMs();
        const double cpuStart = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
        const double guiCpuStart = cpuMs(CLOCK_THREAD_CPUTIME_ID);
        QTimer::singleShot(0, [&] {
            const double choiceStart = probe.nowMs();
            albumPopup->setCurrentIndex(a);
            emit albumPopup->activated(a);
            choiceMs.push_back(probe.nowMs() - choiceStart);
        });
        waitFor([&] { return albumPopup->currentIndex() == a && inSightReady(); });
        firstScreenful.push_back(probe.nowMs() - start);
        firstScreenfulCpu.push_back(cpuMs(CLOCK_PROCESS_CPUTIME_ID) - cpuStart);
        firstScreenfulGuiCpu.push_back(cpuMs(CLOCK_THREAD_CPUTIME_ID) - guiCpuStart);
        waitFor(allSettled);
        longestChoiceGap = std::max(longestChoiceGap, probe.longestMs());
        longestChoiceCpu = std::max(longestChoiceCpu, probe.longestCpuMs());
    }

    // A fling through the last album: a page every 20 ms to the end.
    QScrollBar *scrollBar = grid->verticalScrollBar();
    probe.reset();
    const double flingStart = probe.nowMs();
    double lastStep = 0;
    waitFor([&] {
        if (probe.nowMs() - lastStep >= 20) {
            lastStep = probe.nowMs();
            scrollBar->setValue(scrollBar->value() + scrollBar->pageStep());
        }
        return scrollBar->value() == scrollBar->maximum();
    });
    waitFor(allSettled);
    const double flingMs = probe.nowMs() - flingStart;
    const double flingGap = probe.longestMs();
    const double flingCpu = probe.longestCpuMs();

    // Then page by page back to the top, each page waited for: every picture
    // of the album is decoded, far more than the cache holds.
    probe.reset();
    std::vector<double> pageTimes;
    while (scrollBar->value() > 0) {
        const double start = probe.nowMs();
        scrollBar->setValue(scrollBar->value() - scrollBar->pageStep());
        waitFor(inSightReady);
        pageTimes.push_back(probe.nowMs() - start);
    }
    waitFor(allSettled);
    const double pagingGap = probe.longestMs();
    const double pagingCpu = probe.longestCpuMs();

    const long peakKb = statusKilobytes("VmHWM:");
    std::printf("first screenful after an album choice: median %.0f ms, slowest %.0f ms (%zu choices); "
                "CPU of all threads: median %.0f ms, of the GUI thread %.0f ms\n",
                median(firstScreenful), *std::max_element(firstScreenful.begin(), firstScreenful.end()),
                firstScreenful.size(), median(firstScreenfulCpu), median(firstScreenfulGuiCpu));
    std::printf("longest GUI thread block while choosing albums: %.1f ms wall (%.1f ms while idle), %.1f ms CPU; "
                "the choice call itself: median %.1f ms\n",
                longestChoiceGap, idleGap, longestChoiceCpu, median(choiceMs));
    std::printf("fling to the end (a page every 20 ms) and its last screenful: %.0f ms, longest block %.1f ms wall, "
                "%.1f ms CPU\n",
                flingMs, flingGap, flingCpu);
    std::printf("paging back to the top: %zu pages, median %.0f ms a page, longest block %.1f ms wall, %.1f ms CPU\n",
                pageTimes.size(), median(pageTimes), pagingGap, pagingCpu);
    std::printf("memory: %.1f MB after start-up, peak %.1f MB (+%.1f MB); cache %.1f MB of %.0f MB\n",
                baseKb / 1024.0, peakKb / 1024.0, (peakKb - baseKb) / 1024.0, model->cacheBytes() / 1048576.0,
                gui::ThumbnailModel::kDefaultCacheBytes / 1048576.0);
    // One line for the script to gather medians from.
    std::printf("RESULT first_ms=%.1f first_cpu_ms=%.1f choice_gap_ms=%.1f idle_gap_ms=%.1f fling_gap_ms=%.1f paging_gap_ms=%.1f "
                "cpu_block_ms=%.1f page_ms=%.1f peak_mb=%.1f growth_mb=%.1f\n",
                median(firstScreenful), median(firstScreenfulCpu), longestChoiceGap, idleGap, flingGap, pagingGap,
                std::max({longestChoiceCpu, flingCpu, pagingCpu}), median(pageTimes), peakKb / 1024.0,
                (peakKb - baseKb) / 1024.0);
    toolkit::setBackend(nullptr);
    return 0;
}
