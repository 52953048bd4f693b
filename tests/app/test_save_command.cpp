// The whole road of one save, headless: a temporary home folder with an album
// file and image files, the window started as the layout starts it, an album
// chosen, settings typed in, the save panel answering from a script, and the
// written file's bytes compared with the expected text.

#include "AlbumFile.h"
#include "HeadlessBackend.h"
#include "HeadlessWindow.h"
#include "LogCapture.h"
#include "TemporaryHome.h"
#include "rvController.h"
#include "rvWindow.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <ostream>
#include <vector>

// Readable failure messages for texts.
QT_BEGIN_NAMESPACE
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }
QT_END_NAMESPACE

namespace {

using toolkit::headless::Backend;
using toolkit::headless::ScopedBackend;
namespace headless = toolkit::headless;

const QString kLogLead = QStringLiteral("jsonString =  ");
const QString kWriteFailed = QStringLiteral("Could not write document out...");

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

std::optional<QByteArray> readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// The window, its controls and the controller as the layout wires them, in a
// temporary home folder, with the headless backend installed and the log
// captured.
class SaveRoad : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ASSERT_TRUE(QDir().mkpath(home.filePath("Desktop")));
        controller.gWindow = &ui.window;
    }

    QString libraryFolder() const { return home.libraryFolder(); }

    // Writes the album file and an image file for every photo that names one.
    void makeLibrary(const fixtures::AlbumFile &albumFile, const QStringList &imagePaths)
    {
        ASSERT_TRUE(home.writeAlbumFile(albumFile.xml()));
        for (const QString &path : imagePaths)
            ASSERT_TRUE(writeBytes(path, QByteArrayLiteral("\xff\xd8\xff\xd9")));
    }

    // One album "Holiday" of one photo, "Beach" at ~/Pictures/beach.jpg.
    void makeHolidayLibrary()
    {
        const QString beach = home.filePath("Pictures/beach.jpg");
        makeLibrary(fixtures::AlbumFile().album("Holiday", {"1"}).image("1", beach, "Beach"),
                    {beach});
    }

    // The layout has set every reference; now the window starts.
    void startWindow() { ui.window.awakeFromNib(); }

    // Picks the album by name as a user would, in the album popup.
    void chooseAlbum(const QString &name)
    {
        const int32_t index = ui.albums.indexOfItemWithTitle(name);
        ASSERT_GE(index, 0) << name.toStdString();
        ui.albums.chooseItemAtIndex(index);
    }

    // One save command with the panel confirming the path.
    void saveTo(const QString &path)
    {
        backend.confirmNextRunWith(path);
        controller.saveSlideshow();
    }

    QString desktopFile(const QString &name) const { return home.filePath("Desktop/" + name); }

    // The text of the "jsonString =  " line, which must be the first line.
    QString loggedDocument() const
    {
        if (log.lines().isEmpty() || !log.lines().front().startsWith(kLogLead))
            return QString();
        return log.lines().front().mid(kLogLead.size());
    }

    fixtures::TemporaryHome home;
    fixtures::LogCapture log;
    Backend backend;
    ScopedBackend installed{backend};
    fixtures::HeadlessWindow ui;
    rvController controller;
};

const char kWorkedExample[] =
    "{\n"
    " \"sequence\" : {\n"
    "\t \"projectName\" : \"Trip\",\n"
    "\t \"slideCount\" : 1,\n"
    "\t \"ntsc\" : \"TRUE\",\n"
    "\t \"timebase\" : 30,\n"
    "\t \"compHeight\" : 480,\n"
    "\t \"compWidth\" : 720,\n"
    "\t \"transDuration\" : 30,\n"
    "\t \"photoDuration\" : 270,\n"
    "\t \"showStyle\" : \"Cross Dissolve\"},\n"
    " \"slides\" : [{\n"
    "\t \"name\" : \"Beach\",\n"
    "\t \"path\" : \"~/Pictures/beach.jpg\"}]}";

TEST_F(SaveRoad, WritesTheDocumentByteForByte)
{
    makeHolidayLibrary();
    startWindow();
    chooseAlbum("Holiday");
    EXPECT_EQ(ui.title.stringValue(), "Holiday"); // the album's name became the title
    ui.title.setStringValue("Trip");
    ui.selectFrameRate("29.97");
    ui.selectTransition("Cross Dissolve");

    saveTo(desktopFile("Trip.json"));

    const std::optional<QByteArray> written = readBytes(desktopFile("Trip.json"));
    ASSERT_TRUE(written);
    EXPECT_EQ(*written, QByteArray(kWorkedExample)); // no BOM, no final line feed
    ASSERT_EQ(log.count(), 1);
    EXPECT_EQ(log.lines()[0], kLogLead + QString::fromLatin1(kWorkedExample));
    EXPECT_EQ(backend.beepCount(), 0);

    // The panel opened on the Desktop, proposed the title and required json.
    ASSERT_EQ(backend.savePanelRuns().size(), 1u);
    const auto &run = backend.savePanelRuns()[0];
    EXPECT_EQ(run.directory, home.path() + "/Desktop");
    EXPECT_EQ(run.proposedFile, "Trip");
    EXPECT_EQ(run.requiredFileType, "json");
}

TEST_F(SaveRoad, SlidesFollowAlbumOrderAndLeaveOutPhotosWithoutAFile)
{
    // Paths under the home folder are written with "~"; a folder whose name
    // merely begins with the home folder's, and any other folder, stay absolute.
    const QString lookalikeFolder = home.path() + "ly";
    QTemporaryDir elsewhereFolder;
    ASSERT_TRUE(elsewhereFolder.isValid());
    const QString lookalike = lookalikeFolder + "/shore.jpg";
    const QString elsewhere = elsewhereFolder.path() + "/Volumes/Photos/Beach Day.jpg";
    const QString originals = libraryFolder() + "/Originals/";
    const QStringList images = {originals + "harbour at dusk.jpg", originals + "lighthouse.jpg",
                                originals + "quote\"and\\slash.jpg", lookalike, elsewhere,
                                originals + "100% sure #1.jpg"};
    fixtures::AlbumFile albumFile;
    albumFile.album("Coast", {"1", "missing", "2", "3", "4", "5", "6", "noimage"})
        .image("1", images[0], "Boats in the harbour")
        .image("2", images[1]) // no caption: the file's name
        .image("3", images[2], "")
        .image("4", images[3], "Look-alike")
        .image("5", images[4], "Away")
        .image("6", images[5], "Odd %s %@")
        .image("noimage", std::nullopt, "No file");
    makeLibrary(albumFile, images);
    startWindow();
    chooseAlbum("Coast");
    ui.selectFrameRate("25");
    ui.selectTransition("Edge Wipe");
    ui.compWidth.setStringValue("1280 px");
    ui.compHeight.setStringValue("  720");

    saveTo(desktopFile("Coast.json"));
    QDir(lookalikeFolder).removeRecursively();

    const QString expected = QStringLiteral(
        "{\n"
        " \"sequence\" : {\n"
        "\t \"projectName\" : \"Coast\",\n"
        "\t \"slideCount\" : 8,\n"
        "\t \"ntsc\" : \"FALSE\",\n"
        "\t \"timebase\" : 25,\n"
        "\t \"compHeight\" : 720,\n"
        "\t \"compWidth\" : 1280,\n"
        "\t \"transDuration\" : 25,\n"
        "\t \"photoDuration\" : 225,\n"
        "\t \"showStyle\" : \"Edge Wipe\"},\n"
        " \"slides\" : [{\n"
        "\t \"name\" : \"Boats in the harbour\",\n"
        "\t \"path\" : \"~/Pictures/iPhoto Library/Originals/harbour at dusk.jpg\"}, {\n"
        "\t \"name\" : \"lighthouse.jpg\",\n"
        "\t \"path\" : \"~/Pictures/iPhoto Library/Originals/lighthouse.jpg\"}, {\n"
        "\t \"name\" : \"\",\n"
        "\t \"path\" : \"~/Pictures/iPhoto Library/Originals/quote\\\"and\\\\slash.jpg\"}, {\n"
        "\t \"name\" : \"Look-alike\",\n"
        "\t \"path\" : \"%1\"}, {\n"
        "\t \"name\" : \"Away\",\n"
        "\t \"path\" : \"%2\"}, {\n"
        "\t \"name\" : \"Odd %s %@\",\n"
        "\t \"path\" : \"~/Pictures/iPhoto Library/Originals/100% sure #1.jpg\"}]}")
                                 .arg(lookalike, elsewhere);
    const std::optional<QByteArray> written = readBytes(desktopFile("Coast.json"));
    ASSERT_TRUE(written);
    EXPECT_EQ(QString::fromLatin1(*written), expected);
    EXPECT_EQ(loggedDocument(), expected);
    EXPECT_EQ(backend.beepCount(), 0);
}

TEST_F(SaveRoad, EmptyAlbumGivesNoSlides)
{
    const QString one = home.filePath("Pictures/one.jpg");
    makeLibrary(fixtures::AlbumFile().album("Empty", {}).album("Other", {"1"}).image("1", one, "One"),
                {one});
    startWindow();
    chooseAlbum("Empty");

    saveTo(desktopFile("Empty.json"));

    const char expected[] = "{\n"
                            " \"sequence\" : {\n"
                            "\t \"projectName\" : \"Empty\",\n"
                            "\t \"slideCount\" : 0,\n"
                            "\t \"ntsc\" : \"TRUE\",\n"
                            "\t \"timebase\" : 30,\n"
                            "\t \"compHeight\" : 480,\n"
                            "\t \"compWidth\" : 720,\n"
                            "\t \"transDuration\" : 30,\n"
                            "\t \"photoDuration\" : 270,\n"
                            "\t \"showStyle\" : \"Cross Dissolve\"},\n"
                            " \"slides\" : []}";
    EXPECT_EQ(readBytes(desktopFile("Empty.json")), QByteArray(expected));
}

TEST_F(SaveRoad, ALayoutWithoutControlsStillSavesACompleteSequence)
{
    // No album file, and a layout that left the title field and the
    // transition popup out: every sequence member is still there, strings
    // where strings belong.
    ui.window.gSlideshowTitleField = nullptr;
    ui.window.gTransitionSelectionField = nullptr;
    startWindow();
    backend.confirmNextRunWith(desktopFile("Untitled.json"));
    controller.saveSlideshow();

    EXPECT_EQ(backend.savePanelRuns().at(0).proposedFile, "");
    const std::optional<QByteArray> written = readBytes(desktopFile("Untitled.json"));
    ASSERT_TRUE(written);
    for (const char *member : {"\t \"projectName\" : \"\",\n", "\t \"slideCount\" : 0,\n",
                               "\t \"ntsc\" : \"TRUE\",\n", "\t \"timebase\" : 30,\n",
                               "\t \"compHeight\" : 480,\n", "\t \"compWidth\" : 720,\n",
                               "\t \"transDuration\" : 30,\n", "\t \"photoDuration\" : 270,\n",
                               "\t \"showStyle\" : \""})
        EXPECT_TRUE(written->contains(member)) << member;
    EXPECT_FALSE(written->contains("null"));
    EXPECT_TRUE(written->endsWith(" \"slides\" : []}"));
}

TEST_F(SaveRoad, SavingOverAnExistingFileReplacesAllOfIt)
{
    makeHolidayLibrary();
    const QString target = desktopFile("Trip.json");
    ASSERT_TRUE(writeBytes(target, QByteArray(100000, 'x'))); // longer than the document
    startWindow();
    chooseAlbum("Holiday");
    ui.title.setStringValue("Trip");

    saveTo(target);

    EXPECT_EQ(readBytes(target), QByteArray(kWorkedExample));
    EXPECT_EQ(QDir(home.filePath("Desktop")).entryList(QDir::Files | QDir::Hidden),
              QStringList{"Trip.json"}); // no temporary file left behind
}

TEST_F(SaveRoad, TextOutsideAsciiWritesNothing)
{
    makeHolidayLibrary();
    const QString target = desktopFile(QStringLiteral("Caf\u00e9.json"));
    const QByteArray old = QByteArrayLiteral("old content\n");
    ASSERT_TRUE(writeBytes(target, old));
    startWindow();
    chooseAlbum("Holiday");
    ui.title.setStringValue(QStringLiteral("Caf\u00e9"));

    saveTo(target);

    EXPECT_EQ(backend.savePanelRuns().at(0).proposedFile, QStringLiteral("Caf\u00e9"));
    EXPECT_EQ(readBytes(target), old);
    EXPECT_EQ(backend.beepCount(), 2);
    ASSERT_EQ(log.count(), 2);
    EXPECT_TRUE(log.lines()[0].startsWith(kLogLead));
    EXPECT_TRUE(log.lines()[0].contains(QStringLiteral("\"projectName\" : \"Caf\u00e9\"")));
    EXPECT_EQ(log.lines()[1], kWriteFailed);
}

TEST_F(SaveRoad, AFailedWriteIsReportedAndDamagesNothing)
{
    makeHolidayLibrary();
    const QString blocker = home.filePath("blocker");
    ASSERT_TRUE(writeBytes(blocker, "a plain file"));
    const QString folder = desktopFile("taken.json");
    ASSERT_TRUE(QDir().mkpath(folder));
    startWindow();
    chooseAlbum("Holiday");

    // Below a regular file, and a path that is a folder: neither can be written.
    for (const QString &path : {blocker + "/Trip.json", folder}) {
        SCOPED_TRACE(path.toStdString());
        log.clear();
        const int beepsBefore = backend.beepCount();
        saveTo(path);
        EXPECT_EQ(backend.beepCount() - beepsBefore, 2);
        ASSERT_EQ(log.count(), 2);
        EXPECT_TRUE(log.lines()[0].startsWith(kLogLead));
        EXPECT_EQ(log.lines()[1], kWriteFailed);
    }
    EXPECT_EQ(readBytes(blocker), QByteArray("a plain file"));
    EXPECT_TRUE(QFileInfo(folder).isDir());
    EXPECT_TRUE(QDir(folder).isEmpty());
}

TEST_F(SaveRoad, CancelDoesNothingAtAll)
{
    makeHolidayLibrary();
    startWindow();
    chooseAlbum("Holiday");
    ui.selectTransition("(random)");
    srandom(1);
    const long firstDraw = random();
    srandom(1);

    backend.cancelNextRun();
    controller.saveSlideshow();

    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(backend.beepCount(), 0);
    EXPECT_TRUE(QDir(home.filePath("Desktop")).isEmpty());
    EXPECT_EQ(random(), firstDraw); // nothing was built, so nothing was drawn
    ASSERT_EQ(backend.savePanelRuns().size(), 1u);
    EXPECT_EQ(backend.savePanelRuns()[0].proposedFile, "Holiday");
    EXPECT_EQ(backend.savePanelRuns()[0].directory, home.path() + "/Desktop");
}

TEST_F(SaveRoad, WithoutAToolkitPanelTheCommandIsACancel)
{
    makeHolidayLibrary();
    startWindow();
    chooseAlbum("Holiday");
    {
        toolkit::setBackend(nullptr);
        controller.saveSlideshow();
        toolkit::setBackend(&backend);
    }
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_TRUE(QDir(home.filePath("Desktop")).isEmpty());
}

TEST_F(SaveRoad, WithoutAWindowThereIsNothingToExport)
{
    rvController orphan; // gWindow never set
    backend.confirmNextRunWith(desktopFile("nothing.json"));

    orphan.saveSlideshow();
    EXPECT_EQ(backend.savePanelsMade(), 0);
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(backend.beepCount(), 0);

    EXPECT_TRUE(orphan.createJSONDocument().isNull());
    EXPECT_TRUE(log.lines().isEmpty());

    // Asked directly to write, it reports the failure and creates no file.
    EXPECT_FALSE(orphan.writeJSONTo(desktopFile("nothing.json")));
    EXPECT_EQ(backend.beepCount(), 1);
    EXPECT_EQ(log.lines(), QStringList{kWriteFailed});
    EXPECT_FALSE(QFileInfo::exists(desktopFile("nothing.json")));
}

TEST_F(SaveRoad, RandomTransitionIsDrawnOncePerDocument)
{
    makeHolidayLibrary();
    startWindow();
    chooseAlbum("Holiday");
    ui.selectTransition("(random)");
    const QStringList transitions = fixtures::HeadlessWindow::transitionTitles().mid(0, 3);

    // srandom(1) puts the generator where an unseeded process starts.
    srandom(1);
    const long first = random(), second = random(), third = random();
    srandom(1);

    saveTo(desktopFile("one.json"));
    saveTo(desktopFile("two.json"));

    const QByteArray pickedFirst = ("\"showStyle\" : \"" + transitions[int(first % 3)] + "\"}").toLatin1();
    const QByteArray pickedSecond = ("\"showStyle\" : \"" + transitions[int(second % 3)] + "\"}").toLatin1();
    EXPECT_TRUE(readBytes(desktopFile("one.json")).value_or("").contains(pickedFirst));
    EXPECT_TRUE(readBytes(desktopFile("two.json")).value_or("").contains(pickedSecond));
    EXPECT_EQ(random(), third); // two documents, exactly two draws
}

TEST_F(SaveRoad, RandomTransitionIsTheSameAtEveryFreshStart)
{
    makeHolidayLibrary();
    QStringList picks;
    for (int start = 0; start < 2; ++start) {
        // A fresh window and controller each time, as at each launch.
        fixtures::HeadlessWindow freshUi;
        rvController freshController;
        freshController.gWindow = &freshUi.window;
        srandom(1);
        freshUi.window.awakeFromNib();
        freshUi.selectTransition("(random)");

        log.clear();
        backend.confirmNextRunWith(desktopFile(QString::number(start)));
        freshController.saveSlideshow();
        const QString text = loggedDocument();
        const qsizetype at = text.indexOf("\"showStyle\" : \"");
        ASSERT_GE(at, 0);
        picks << text.mid(at).section('"', 3, 3);
    }
    EXPECT_EQ(picks[0], picks[1]);
    EXPECT_TRUE(fixtures::HeadlessWindow::transitionTitles().mid(0, 3).contains(picks[0]));
}

TEST_F(SaveRoad, CompositionSizeIsTheIntegerTheTextBeginsWith)
{
    startWindow();
    struct Case {
        const char *text;
        const char *written;
    };
    const Case cases[] = {
        {"720 px", "720"}, {"", "0"},       {"-5", "-5"}, {"  64", "64"},
        {"+12", "12"},     {"px 720", "0"}, {"2.5", "2"}, {"99999999999", "2147483647"},
        {"-99999999999", "-2147483648"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.text);
        ui.compWidth.setStringValue(QString::fromUtf8(c.text));
        ui.compHeight.setStringValue(QString::fromUtf8(c.text));
        const QString text = controller.createJSONDocument();
        EXPECT_TRUE(text.contains(QStringLiteral("\t \"compWidth\" : %1,\n").arg(c.written)));
        EXPECT_TRUE(text.contains(QStringLiteral("\t \"compHeight\" : %1,\n").arg(c.written)));
    }
}

} // namespace
