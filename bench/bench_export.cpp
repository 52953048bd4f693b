// Export benchmark: the time from the save panel's confirmed choice to the
// slideshow file on disk (document built from the window, rendered, logged to
// a discarding sink, converted to ASCII and written atomically), for one
// album of many photos.
//
//   bench_export [--photos N] [--rounds R] [--no-images] [--home DIR] [--mlt]
//   bench/export.sh [PHOTOS] [ROUNDS] [json|mlt]   (library made by make_album.py)
//
// Without --home it makes a throwaway home folder holding a synthetic library
// (one big album "Bench" of N photos, default 50000, plus two small ones) and
// image files for the photos unless --no-images. With --home it exports the
// first album of the library already in DIR (e.g. one made by make_album.py).
// Prints each phase's median over R rounds (default 9). With --mlt it times
// the MLT project instead (document built, rendered as MLT XML, written
// atomically; nothing logged).

#include "Files.h"
#include "HeadlessBackend.h"
#include "MltWriter.h"
#include "Paths.h"
#include "HeadlessControls.h"
#include "SystemLog.h"
#include "rvController.h"
#include "rvWindow.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <functional>
#include <vector>

namespace {

struct Options {
    int photos = 50000;
    int rounds = 9;
    bool images = true;
    bool mlt = false;
    QString home;
};

[[noreturn]] void usage()
{
    std::fprintf(stderr, "usage: bench_export [--photos N] [--rounds R] [--no-images] [--home DIR] [--mlt]\n");
    std::exit(2);
}

Options parseOptions(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const char *arg = argv[i];
        auto next = [&]() -> const char * {
            if (i + 1 >= argc)
                usage();
            return argv[++i];
        };
        if (!std::strcmp(arg, "--photos"))
            options.photos = std::atoi(next());
        else if (!std::strcmp(arg, "--rounds"))
            options.rounds = std::atoi(next());
        else if (!std::strcmp(arg, "--no-images"))
            options.images = false;
        else if (!std::strcmp(arg, "--home"))
            options.home = QString::fromLocal8Bit(next());
        else if (!std::strcmp(arg, "--mlt"))
            options.mlt = true;
        else
            usage();
    }
    if (options.photos < 0 || options.rounds < 1)
        usage();
    return options;
}

// A synthetic library: one big album first, then two small ones; captions on
// most photos, spaces in file names, image files spread over folders.
bool makeLibrary(const QString &home, int photos, bool images)
{
    const QString library = home + QStringLiteral("/Pictures/iPhoto Library");
    if (!QDir().mkpath(library) || !QDir().mkpath(home + QStringLiteral("/Desktop")))
        return false;

    QByteArray xml;
    xml.reserve(qsizetype(photos) * 420 + 4096);
    xml += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n\t<key>List of Albums</key>\n\t<array>\n";
    auto album = [&](const char *name, int first, int count) {
        xml += "\t\t<dict>\n\t\t\t<key>AlbumName</key>\n\t\t\t<string>";
        xml += name;
        xml += "</string>\n\t\t\t<key>KeyList</key>\n\t\t\t<array>\n";
        for (int key = first; key < first + count; ++key)
            xml += "\t\t\t\t<string>" + QByteArray::number(key) + "</string>\n";
        xml += "\t\t\t</array>\n\t\t</dict>\n";
    };
    album("Bench", 1, photos);
    album("Small", 1, std::min(photos, 10));
    album("Empty", 1, 0);
    xml += "\t</array>\n\t<key>Master Image List</key>\n\t<dict>\n";

    const QByteArray originals = QFile::encodeName(library) + "/Originals";
    for (int key = 1; key <= photos; ++key) {
        const int roll = key / 1000; // a thousand photos per folder
        const QByteArray folder = originals + "/" + QByteArray::number(2000 + roll % 20) + "/roll "
            + QByteArray::number(roll);
        const QByteArray path = folder + "/IMG " + QByteArray::number(key) + ".jpg";
        if (images) {
            if (key == 1 || key % 1000 == 0)
                QDir().mkpath(QFile::decodeName(folder));
            QFile image(QFile::decodeName(path));
            if (!image.open(QIODevice::WriteOnly))
                return false;
        }
        xml += "\t\t<key>" + QByteArray::number(key) + "</key>\n\t\t<dict>\n";
        if (key % 4 != 0)
            xml += "\t\t\t<key>Caption</key>\n\t\t\t<string>Photo number " + QByteArray::number(key)
                + "</string>\n";
        xml += "\t\t\t<key>DateAsTimerInterval</key>\n\t\t\t<real>300086400.000000</real>\n"
               "\t\t\t<key>ImagePath</key>\n\t\t\t<string>"
            + path + "</string>\n\t\t\t<key>MediaType</key>\n\t\t\t<string>Image</string>\n\t\t</dict>\n";
    }
    xml += "\t</dict>\n</dict>\n</plist>\n";

    QFile file(library + QStringLiteral("/AlbumData.xml"));
    return file.open(QIODevice::WriteOnly) && file.write(xml) == xml.size();
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// Wall and CPU seconds of each round. On a shared machine the CPU time is the
// steadier figure; both are reported.
struct Rounds {
    std::vector<double> wall, cpu;
};

Rounds timeRounds(int rounds, const std::function<void()> &step)
{
    Rounds times;
    for (int round = 0; round < rounds; ++round) {
        const double cpuStart = cpuSeconds();
        QElapsedTimer timer;
        timer.start();
        step();
        times.wall.push_back(double(timer.nsecsElapsed()) / 1e9);
        times.cpu.push_back(cpuSeconds() - cpuStart);
    }
    return times;
}

void report(const char *what, const Rounds &times)
{
    std::printf("%-44s wall median %7.4f s (min %7.4f)   CPU median %7.4f s\n", what,
                median(times.wall), *std::min_element(times.wall.begin(), times.wall.end()),
                median(times.cpu));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const Options options = parseOptions(argc, argv);

    QTemporaryDir scratch;
    QString home = options.home;
    if (home.isEmpty()) {
        if (!scratch.isValid())
            return 1;
        home = scratch.path() + QStringLiteral("/home");
        QElapsedTimer timer;
        timer.start();
        if (!makeLibrary(home, options.photos, options.images)) {
            std::fprintf(stderr, "could not make the library\n");
            return 1;
        }
        std::printf("library: %d photos%s, made in %.1f s\n", options.photos,
                    options.images ? " with image files" : "", double(timer.elapsed()) / 1000);
    }
    qputenv("HOME", QFile::encodeName(home));
    QDir().mkpath(home + QStringLiteral("/Desktop"));

    toolkit::headless::Backend backend;
    toolkit::headless::ScopedBackend installed(backend);
    setLogSink([](const QString &) {}, false); // the log line is built, then dropped

    // The window as the layout wires it.
    toolkit::headless::TextField title, clip(QStringLiteral("5")), transition(QStringLiteral("1")),
        height(QStringLiteral("480")), width(QStringLiteral("720"));
    toolkit::headless::PopUpButton transitions({QStringLiteral("Cross Dissolve"),
                                                QStringLiteral("Edge Wipe"),
                                                QStringLiteral("Iris Box"),
                                                QStringLiteral("(random)")});
    toolkit::headless::PopUpButton rates({QStringLiteral("29.97"), QStringLiteral("25")});
    toolkit::headless::PopUpButton albums({QStringLiteral("Album")});
    toolkit::headless::Button newProject(1);
    rvWindow window;
    window.gSlideshowTitleField = &title;
    window.gClipDurationField = &clip;
    window.gTransitionDurationField = &transition;
    window.gCompHeight = &height;
    window.gCompWidth = &width;
    window.gTransitionSelectionField = &transitions;
    window.gFramerateSelectionField = &rates;
    window.gCreateNewProjectButton = &newProject;
    window.gAlbumPopup = &albums;
    albums.setAction([&] { window.setSelectedAlbum(); });
    rvController controller;
    controller.gWindow = &window;

    QElapsedTimer loadTimer;
    loadTimer.start();
    window.awakeFromNib();
    const double loadSeconds = double(loadTimer.elapsed()) / 1000;
    albums.chooseItemAtIndex(0);
    transitions.selectItemAtIndex(3); // "(random)": one draw per document
    title.setStringValue(QStringLiteral("Bench"));
    std::printf("album \"%s\": %d photos (window start-up %.2f s)\n",
                qPrintable(albums.titleOfSelectedItem()), window.getFilesCount(), loadSeconds);

    if (options.mlt) {
        const QString path = home + QStringLiteral("/Desktop/Bench.mlt");
        bool allWritten = controller.writeMLTTo(path); // warm-up round
        const Rounds write = timeRounds(options.rounds, [&] {
            allWritten &= controller.writeMLTTo(path);
        });
        const Rounds save = timeRounds(options.rounds, [&] {
            backend.confirmNextRunWith(path, QStringLiteral("mlt"));
            controller.saveSlideshow();
        });
        Value document;
        const Rounds build = timeRounds(options.rounds, [&] {
            document = controller.createSlideshowDocument();
        });
        QByteArray bytes;
        const Rounds render = timeRounds(options.rounds, [&] {
            bytes = mltXmlFromDocument(document, homeFolder());
        });
        const Rounds atomic = timeRounds(options.rounds, [&] {
            allWritten &= writeFileAtomically(path, bytes);
        });
        if (!allWritten || backend.beepCount() != 0) {
            std::fprintf(stderr, "a write failed (%d beeps)\n", backend.beepCount());
            return 1;
        }
        std::printf("MLT project: %lld bytes, %d rounds\n",
                    static_cast<long long>(QFileInfo(path).size()), options.rounds);
        report("confirmed choice -> file (writeMLTTo)", write);
        report("save command, scripted confirm", save);
        report("  build (createSlideshowDocument)", build);
        report("  render (mltXmlFromDocument)", render);
        report("  atomic write", atomic);
        return 0;
    }

    const QString path = home + QStringLiteral("/Desktop/Bench.json");
    bool allWritten = true;

    // Warm-up round, then the measured ones.
    allWritten &= controller.writeJSONTo(path);
    const Rounds write = timeRounds(options.rounds, [&] {
        allWritten &= controller.writeJSONTo(path);
    });
    const Rounds save = timeRounds(options.rounds, [&] {
        backend.confirmNextRunWith(path);
        controller.saveSlideshow();
    });
    QString text;
    const Rounds build = timeRounds(options.rounds, [&] {
        text = controller.createJSONDocument();
    });
    std::optional<QByteArray> bytes;
    const Rounds ascii = timeRounds(options.rounds, [&] { bytes = asciiBytes(text); });
    const Rounds atomic = timeRounds(options.rounds, [&] {
        allWritten &= bytes && writeFileAtomically(path, *bytes);
    });

    if (!allWritten || backend.beepCount() != 0) {
        std::fprintf(stderr, "a write failed (%d beeps)\n", backend.beepCount());
        return 1;
    }
    std::printf("document: %lld characters, file %lld bytes, %d rounds\n",
                static_cast<long long>(text.size()),
                static_cast<long long>(QFileInfo(path).size()), options.rounds);
    report("confirmed choice -> file (writeJSONTo)", write);
    report("save command, scripted confirm", save);
    report("  build + render + log (createJSONDocument)", build);
    report("  ASCII conversion", ascii);
    report("  atomic write", atomic);
    return 0;
}
