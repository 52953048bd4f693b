// The command-line actions, run as a user runs them: the real executable in a
// temporary home folder, with no display and no usable Qt platform plugin (any
// attempt to load one would abort the run). Its documents are compared byte for
// byte with those the window's save road writes for the same choices.

#include "AlbumFile.h"
#include "CommandLine.h"
#include "HeadlessBackend.h"
#include "HeadlessWindow.h"
#include "LogCapture.h"
#include "OutputFormat.h"
#include <QWidget> // QtBackend.h needs the complete type
#include "QtBackend.h"
#include "TemporaryHome.h"
#include "WindowRoad.h"
#include "rvController.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>

namespace {

struct Outcome {
    int status = -1;
    QByteArray out, err;
};

using fixtures::readBytes;
using fixtures::writeBytes;

// A library in a temporary home folder; the executable runs there, in a
// working folder of its own, with the album file at the default place.
class CommandLine : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid() && QDir().mkpath(work()));
        for (const QString &path : {beach, harbour})
            ASSERT_TRUE(writeBytes(path, QByteArrayLiteral("\xff\xd8\xff\xd9")));
    }
    QString work() const { return home.filePath("work"); }
    QString inWork(const QString &name) const { return work() + '/' + name; }
    void writeLibrary() { ASSERT_TRUE(home.writeAlbumFile(library.xml())); }

    Outcome run(const QStringList &arguments, const QString &standardOutputFile = QString(),
                const QString &program = QStringLiteral(PROGRAM_PATH))
    {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        environment.insert("QT_QPA_PLATFORM", "no-such-platform");
        environment.insert("HOME", home.path());
        process.setProcessEnvironment(environment);
        process.setWorkingDirectory(work());
        if (!standardOutputFile.isEmpty())
            process.setStandardOutputFile(standardOutputFile);
        process.start(program, arguments);
        Outcome result;
        if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
            return result;
        result.status = process.exitCode();
        result.out = process.readAllStandardOutput();
        result.err = process.readAllStandardError();
        return result;
    }

    fixtures::TemporaryHome home;
    QString beach = home.filePath("Pictures/beach.jpg");
    QString harbour = home.libraryFolder() + "/Originals/harbour at dusk.jpg";
    fixtures::AlbumFile library = fixtures::AlbumFile()
        .album("Coast", {"1", "missing", "2", "gone", "noimage"}).album("Empty", {}).album("Coast", {"2"})
        .image("1", beach, "Beach").image("2", harbour).image("gone", home.filePath("gone.jpg"), "Gone")
        .image("noimage", std::nullopt, "No file");
};

// The window's save road and the command line, for the same album and the same
// choices, write the same bytes; "(random)" draws the same transition in a
// fresh process as in a fresh window.
TEST_F(CommandLine, ExportWritesTheBytesTheWindowWrites)
{
    library.album("Road/Trip", {"2", "1"});
    writeLibrary();
    struct Case {
        QString album;
        QStringList options;
        QString frameRate, transition, clip, transitionLength, width, height, title; // as set in the window
    };
    const Case cases[] = {
        {"Coast", {}, "29.97", "Cross Dissolve", "5", "1", "720", "480", {}},
        {"Coast", {"--frame-rate", "25", "--transition", "edge wipe", "--clip-duration", "2.5",
                   "--transition-duration", "0", "--width", "1280 px", "--height", "720", "--title", "Shore"},
         "25 (PAL)", "Edge Wipe", "2.5", "0", "1280 px", "720", "Shore"},
        {"Road/Trip", {"--frame-rate", "24 (Film)", "--transition", "Iris Round", "--width", "", "--height", "-5"},
         "24 (Film)", "Iris Round", "5", "1", "", "-5", {}},
        {"Coast", {"--frame-rate", "60", "--transition", "random"}, "60", "(random)", "5", "1", "720", "480", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.album.toStdString() + " " + c.options.join(' ').toStdString());
        // The window: a fresh start, the album chosen, the choices made, saved
        // as the file type given.
        QString proposed;
        const auto saveInWindow = [&](const QString &file, const QString &type) {
            toolkit::headless::Backend backend;
            toolkit::headless::ScopedBackend installed(backend);
            fixtures::LogCapture log;
            fixtures::HeadlessWindow ui;
            ui.frameRates.setItems(cli::Layout::frameRateTitles()); // the layout's, as the GUI tests check
            rvController controller;
            controller.gWindow = &ui.window;
            srandom(1); // where an unseeded process starts
            ui.window.awakeFromNib();
            ui.albums.chooseItemAtIndex(ui.albums.indexOfItemWithTitle(c.album));
            if (!c.title.isEmpty())
                ui.title.setStringValue(c.title);
            ui.selectFrameRate(c.frameRate);
            ui.selectTransition(c.transition);
            ui.clipDuration.setStringValue(c.clip);
            ui.transitionDuration.setStringValue(c.transitionLength);
            ui.compWidth.setStringValue(c.width);
            ui.compHeight.setStringValue(c.height);
            backend.confirmNextRunWith(file, type);
            controller.saveSlideshow();
            proposed = backend.savePanelRuns().at(0).proposedFile;
            return readBytes(file);
        };
        const QString windowFile = home.filePath("window.json");
        const QByteArray windowBytes = saveInWindow(windowFile, "json");
        ASSERT_TRUE(windowBytes.startsWith("{")) << windowBytes.constData();

        // The command line, to standard output and to the title's file name.
        const Outcome toOutput = run(QStringList{"--export", c.album, "-o", "-"} + c.options);
        EXPECT_EQ(toOutput.status, 0) << toOutput.err.constData();
        EXPECT_EQ(toOutput.out, windowBytes);
        EXPECT_EQ(toOutput.err, ""); // the document reaches the log only with --verbose
        const QString defaultName = fileNameForTitle(proposed, OutputFormat::JSON);
        EXPECT_EQ(run(QStringList{"--export", c.album, "--force"} + c.options).status, 0);
        EXPECT_EQ(readBytes(inWork(defaultName)), windowBytes) << defaultName.toStdString();

        // The projects: the save panel's other types, an --output ending in
        // .mlt or .kdenlive.
        for (const QString type : {"mlt", "kdenlive"}) {
            const QByteArray windowProject = saveInWindow(home.filePath("window." + type), type);
            ASSERT_TRUE(windowProject.startsWith("<?xml")) << windowProject.constData();
            EXPECT_EQ(run(QStringList{"--export", c.album, "-o", "cli." + type, "--force"} + c.options).status, 0);
            EXPECT_EQ(readBytes(inWork("cli." + type)), windowProject);
        }
    }
    const Outcome verbose = run({"--export", "Empty", "-o", "-", "--verbose"});
    EXPECT_EQ(verbose.err, "jsonString =  " + verbose.out + "\n");
}

TEST_F(CommandLine, EveryFailureHasItsStatusAndAMessageAndDamagesNothing)
{
    library.album(QStringLiteral("Caf\u00e9"), {"1"}).album("Accents", {"1", "accent"})
        .image("accent", home.filePath(QStringLiteral("Pictures/cr\u00eape.jpg")), "Crepe");
    writeLibrary();
    ASSERT_TRUE(writeBytes(inWork("Coast.json"), "old") && writeBytes(home.filePath("broken.xml"), "<plist><dict>"));
    const struct { QStringList arguments; int status; const char *message; } cases[] = {
        {{"--export", "Coast"}, 1, "Coast.json exists already; --force replaces it"},
        {{"--export", "Coast", "-o", "Coast.json/x.json"}, 1, "Coast.json/x.json could not be written: "},
        {{"--export", QStringLiteral("Caf\u00e9"), "-o", "Coast.json", "--force"}, 1, "the title \"Caf\u00e9\""},
        {{"--export", "Accents", "-o", "Coast.json", "--force"}, 1, "the path of the photo \"Crepe\""},
        {{"--export-all", "-o", "all"}, 1, "nothing was written"},
        {{"--list-albums", "--library", home.filePath("nowhere")}, 1, "no album file at "},
        {{"--list-albums", "--library", home.filePath("broken.xml")}, 1, "broken.xml"},
        {{"--export", "Nowhere"}, 2, "(it has 5 albums; --list-albums lists them)"},
        {{"--export", "Coast", "--frame-rate", "23.976"}, 2, "\"29.97\", \"30\", \"25 (PAL)\", \"24 (Film)\", \"60\""},
        {{"--export", "Coast", "--transition", "Fade"}, 2, "\"Cross Dissolve\", \"Edge Wipe\", \"Iris Round\", \"(random)\""},
        {{"--export", "Coast", "--format", "xml"}, 2, "use json, mlt, kdenlive, mp4 or webm"},
        {{"--export", "Coast", "--quality", "high"}, 2, "\"draft\", \"good\", \"best\""},
        {{"--export", "Coast", "-o", "-", "--format", "webm"}, 2, "a video cannot go to standard output"},
        {{"--export"}, 2, "missing value"},
        {{"--list-albums", "--no-such-option"}, 2, "unknown option"},
        {{"--list-albums", "--title", "X"}, 2, "--title does not apply to --list-albums"},
        {{"--export-all"}, 2, "--output DIR"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const Outcome result = run(c.arguments);
        EXPECT_EQ(result.status, c.status);
        const QString err = QString::fromLocal8Bit(result.err);
        EXPECT_TRUE(err.startsWith("slideshow-exporter: ") && err.contains(QString::fromUtf8(c.message))) << err.toStdString();
        EXPECT_EQ(result.out, "");
    }
    EXPECT_EQ(readBytes(inWork("Coast.json")), "old");
    EXPECT_EQ(QDir(work()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"Coast.json"});

    const Outcome full = run({"--export", "Coast", "-o", "-"}, "/dev/full");
    EXPECT_EQ(full.status, 1);
    EXPECT_TRUE(full.err.startsWith("slideshow-exporter: standard output could not be written: ")) << full.err.constData();
}

// The albums listed in file order; all of them exported, colliding file names
// numbered in album order.
TEST_F(CommandLine, ListsAlbumsAndExportsAllNamingCollidingFilesInAlbumOrder)
{
    library.album("a/b", {"1"}).album("a-b", {"1", "2"}).album("Coast 2", {});
    writeLibrary();
    const Outcome plain = run({"--list-albums"});
    EXPECT_EQ(plain.status, 0);
    EXPECT_EQ(plain.out, "Coast\nEmpty\nCoast\na/b\na-b\nCoast 2\n");
    EXPECT_EQ(plain.err, "");
    // Without an image file: no record, a file not on disk, no image path.
    EXPECT_EQ(run({"--list-albums", "--long"}).out, "5\t3\tCoast\n0\t0\tEmpty\n1\t0\tCoast\n1\t0\ta/b\n2\t0\ta-b\n0\t0\tCoast 2\n");
    EXPECT_EQ(run({"--version"}).out, "slideshow-exporter " PROJECT_VERSION_TEXT "\n");
    EXPECT_TRUE(run({"--help"}).out.startsWith("Usage: slideshow-exporter "));

    const Outcome result = run({"--export-all", "--output", "out/slideshows"});
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, ""); // progress only on a terminal
    const QDir out(inWork("out/slideshows"));
    EXPECT_EQ(out.entryList(QDir::Files | QDir::Hidden, QDir::Name),
              QStringList({"Coast 2 2.json", "Coast 2.json", "Coast.json", "Empty.json", "a-b 2.json", "a-b.json"}));
    const struct { const char *file; const char *title, *count; } expected[] = {
        {"Coast.json", "Coast", "5"}, {"Coast 2.json", "Coast", "1"}, {"a-b.json", "a/b", "1"},
        {"a-b 2.json", "a-b", "2"},   {"Coast 2 2.json", "Coast 2", "0"},
    };
    for (const auto &e : expected) {
        const QByteArray bytes = readBytes(out.filePath(e.file));
        EXPECT_TRUE(bytes.contains(QByteArray("\"projectName\" : \"") + e.title + "\",\n\t \"slideCount\" : " + e.count + ","))
            << e.file;
    }
    // On a terminal (a pseudo-terminal made by script), progress on standard error.
    const QString command = QString("'%1' --export-all -o tty --title T 2>&1 >/dev/null").arg(PROGRAM_PATH);
    const Outcome onTerminal = run({"-c", "script -qec \"" + command + "\" /dev/null"}, {}, "/bin/sh");
    EXPECT_TRUE(onTerminal.out.contains("[1/6] Coast\r\n[2/6] Empty\r\n[3/6] Coast\r\n[4/6] a/b\r\n"))
        << onTerminal.out.constData();
    EXPECT_EQ(run({"--export-all", "-o", "out/slideshows"}).status, 1); // they exist now
    EXPECT_EQ(run({"--export-all", "-o", "out/slideshows", "--force", "--title", "Same"}).status, 0);
    EXPECT_TRUE(readBytes(out.filePath("Coast 2.json")).contains("\"projectName\" : \"Same\""));
    // --export into a folder names the file after the title.
    EXPECT_EQ(run({"--export", "Empty", "-o", "out/slideshows", "--title", "Into"}).status, 0);
    EXPECT_TRUE(readBytes(out.filePath("Into.json")).contains("\"projectName\" : \"Into\""));
}

// A write that fails part way (the fourth file's name is too long for the
// file system) takes back the files and folders the run made, and only those.
TEST_F(CommandLine, ExportAllTakesBackWhatItMadeWhenAWriteFails)
{
    library.album(QString(300, 'x'), {"1"});
    writeLibrary();
    ASSERT_TRUE(writeBytes(inWork("kept/old.txt"), "old"));
    for (const char *folder : {"new/deep", "kept"}) {
        SCOPED_TRACE(folder);
        const Outcome result = run({"--export-all", "-o", folder});
        EXPECT_EQ(result.status, 1);
        EXPECT_TRUE(result.err.contains("could not be written")) << result.err.constData();
    }
    EXPECT_FALSE(QFileInfo::exists(inWork("new")));
    EXPECT_EQ(QDir(inWork("kept")).entryList(QDir::Files | QDir::Hidden), QStringList{"old.txt"});
}

// A video export: without melt a clear failure; the same frames with a
// display and without; a termination stops melt and leaves the folder as it
// was; and a command line killed outright takes melt with it.
TEST_F(CommandLine, VideosRenderAlikeAndStopCleanly)
{
    for (const QString tool : {"melt", "ffmpeg", "xvfb-run"}) {
        if (QStandardPaths::findExecutable(tool).isEmpty())
            GTEST_SKIP() << tool.toStdString() << " is not installed";
    }
    QStringList keys;
    library = fixtures::AlbumFile();
    // Patterns larger than the frame, so that how they are scaled shows.
    for (const int tint : {0, 80, 160}) {
        QImage image(320, 240, QImage::Format_RGB32);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                image.setPixel(x, y, qRgb((x * 7 + tint) & 255, (y * 5) & 255, (x ^ y) & 255));
        const QString path = home.filePath(QString("pattern %1.png").arg(tint));
        ASSERT_TRUE(image.save(path));
        library.image(keys.emplace_back(QString::number(tint)), path);
    }
    const QStringList small{"--export", "Show", "--width", "64", "--height", "48", "--frame-rate", "25"};
    library.album("Show", keys);
    writeLibrary();

    const Outcome noMelt = [&] {
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", "/nonexistent");
        Outcome outcome = run(small + QStringList{"-o", "none.mp4"});
        qputenv("PATH", path);
        return outcome;
    }();
    EXPECT_EQ(noMelt.status, 1);
    EXPECT_TRUE(noMelt.err.contains("melt, which is not installed")) << noMelt.err.constData();

    // A melt that never starts rendering (melt 7.12 now and then waits idle
    // for a consumer that never started): started again, then given up on,
    // not waited for forever.
    const Outcome idle = [&] {
        const QString folder = inWork("idle-melt");
        EXPECT_TRUE(QDir().mkpath(folder) && fixtures::writeBytes(folder + "/melt", "#!/bin/sh\nexec sleep 300\n"));
        QFile(folder + "/melt").setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(folder) + ":" + path);
        Outcome outcome = run(small + QStringList{"-o", "idle.mp4"});
        qputenv("PATH", path);
        return outcome;
    }();
    EXPECT_EQ(idle.status, 1);
    EXPECT_TRUE(idle.err.contains("melt did not start rendering")) << idle.err.constData();
    EXPECT_FALSE(QFileInfo::exists(inWork("idle.mp4")));

    // The decoded frames of a render made without a display and of one made
    // on an X server.
    EXPECT_EQ(run(small + QStringList{"-o", "plain.mp4"}).status, 0);
    EXPECT_EQ(run(QStringList{"-a", PROGRAM_PATH} + small + QStringList{"-o", "x11.mp4"}, {}, "xvfb-run").status, 0);
    const auto frames = [&](const QString &file) {
        QProcess ffmpeg;
        ffmpeg.start("ffmpeg", {"-v", "error", "-i", inWork(file), "-f", "framemd5", "-"});
        return ffmpeg.waitForFinished(60000) ? ffmpeg.readAllStandardOutput() : QByteArray();
    };
    EXPECT_TRUE(frames("plain.mp4").contains("0,        199,")); // 3 x 50 + 2 x 25 frames
    EXPECT_TRUE(frames("plain.mp4") == frames("x11.mp4")) << "the frames differ with a display";

    // A longer render, stopped once melt has begun writing.
    const QStringList big{"--export", "Show", "--width", "1280", "--height", "720", "--clip-duration", "20",
                          "-o", "big.mp4"};
    const QStringList before = QDir(work()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    for (const int signal : {SIGTERM, SIGKILL}) {
        SCOPED_TRACE(signal);
        QProcess cli;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("HOME", home.path());
        cli.setProcessEnvironment(environment);
        cli.setWorkingDirectory(work());
        cli.start(PROGRAM_PATH, big);
        // melt's process, once it runs: the one whose arguments name the
        // hidden folder of the render.
        QString meltProcess;
        ASSERT_TRUE(QTest::qWaitFor([&] {
            for (const QString &pid : QDir("/proc").entryList(QDir::Dirs)) {
                if (fixtures::readBytes("/proc/" + pid + "/cmdline").contains(QFile::encodeName(work() + "/.slideshow-render-")))
                    meltProcess = "/proc/" + pid;
            }
            return !meltProcess.isEmpty() && QFileInfo::exists(meltProcess + "/status");
        }, 20000));
        ::kill(pid_t(cli.processId()), signal);
        ASSERT_TRUE(cli.waitForFinished(20000));
        if (signal == SIGTERM) {
            EXPECT_EQ(cli.exitCode(), 128 + SIGTERM) << cli.readAllStandardError().constData();
            EXPECT_EQ(QDir(work()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
        }
        // melt is gone (or a zombie no one reaps here) within two seconds.
        EXPECT_TRUE(QTest::qWaitFor([&] {
            const QByteArray status = fixtures::readBytes(meltProcess + "/status");
            return status == "(unreadable)" || status.contains("State:\tZ");
        }, 2000));
    }
}

} // namespace
