// The whole road of one save, headless: a temporary home folder with an album
// file and image files, the window started as the layout starts it, an album
// chosen, the save panel answering from a script, and the written bytes checked.

#include "OutputFormat.h"
#include "SaveRoad.h"

#include <cstdlib>

namespace {

const QString kLogLead = QStringLiteral("jsonString =  ");

// A document's text up to its slides, every setting at the layout's default.
QString sequenceText(const QString &title, const QString &slideCount)
{
    return QString("{\n \"sequence\" : {\n\t \"projectName\" : \"%1\",\n\t \"slideCount\" : %2,\n"
                   "\t \"ntsc\" : \"TRUE\",\n\t \"timebase\" : 30,\n\t \"compHeight\" : 480,\n"
                   "\t \"compWidth\" : 720,\n\t \"transDuration\" : 30,\n\t \"photoDuration\" : 270,\n"
                   "\t \"showStyle\" : \"Cross Dissolve\"},\n \"slides\" : [").arg(title, slideCount);
}

using fixtures::readBytes;
using fixtures::SaveRoad;
using fixtures::writeBytes;

TEST_F(SaveRoad, WritesTheDocumentByteForByteLeavingOutPhotosWithoutAFile)
{
    // "~" stands for the home folder and below only: a sibling folder whose
    // name begins with the home folder's stays absolute.
    const QString lookalike = home.path() + "ly/shore.jpg";
    const QString originals = home.libraryFolder() + "/Originals/";
    images << originals + "harbour at dusk.jpg" << lookalike << originals + "100% sure #1.jpg";
    // Photo "3" has no caption: its file's name stands in.
    library.album("Coast", {"1", "missing", "2", "3", "4", "noimage"}).album("Empty", {})
        .image("2", images[1], "Harbour").image("3", images[2]).image("4", images[3], "Sure")
        .image("noimage", std::nullopt, "No file");
    ASSERT_TRUE(writeBytes(desktop("Trip.json"), QByteArray(100000, 'x'))); // a longer file to overwrite
    start("Coast");
    ui.title.setStringValue("Trip");
    ui.compWidth.setStringValue("720 px"); // sizes are the integers the texts begin with
    ui.compHeight.setStringValue("480.9");
    saveTo(desktop("Trip.json"));
    for (const QString album : {"Empty", "Holiday"}) {
        ui.albums.chooseItemAtIndex(ui.albums.indexOfItemWithTitle(album));
        saveTo(desktop(album + ".json")); // the album's name becomes the title
    }
    QDir(home.path() + "ly").removeRecursively();

    const QString slides = QString("{\n\t \"name\" : \"Beach\",\n\t \"path\" : \"~/Pictures/beach.jpg\"}, {\n"
                                   "\t \"name\" : \"Harbour\",\n\t \"path\" : \"~/Pictures/iPhoto Library/"
                                   "Originals/harbour at dusk.jpg\"}, {\n\t \"name\" : \"shore.jpg\",\n\t \"path\" : "
                                   "\"%1\"}, {\n\t \"name\" : \"Sure\",\n\t \"path\" : \"~/Pictures/iPhoto Library/"
                                   "Originals/100% sure #1.jpg\"}]}")
                               .arg(lookalike);
    const QString expected = sequenceText("Trip", "6") + slides;
    EXPECT_EQ(QString::fromLatin1(readBytes(desktop("Trip.json"))), expected); // no BOM, no final line feed
    EXPECT_EQ(log.lines().value(0), kLogLead + expected);
    EXPECT_EQ(QString::fromLatin1(readBytes(desktop("Empty.json"))), sequenceText("Empty", "0") + "]}");
    EXPECT_EQ(QString::fromLatin1(readBytes(desktop("Holiday.json"))),
              sequenceText("Holiday", "1") + slides.section(", {", 0, 0) + "]}");
    EXPECT_EQ(QDir(desktop("")).entryList(QDir::Files | QDir::Hidden),
              (QStringList{"Empty.json", "Holiday.json", "Trip.json"}));
    const auto &panel = backend.savePanelRuns().at(0); // opened on the Desktop, proposing the title
    EXPECT_EQ(QStringList({panel.directory, panel.proposedFile, panel.requiredFileType}),
              QStringList({home.path() + "/Desktop", "Trip", "json"}));
}

// A title outside ASCII cannot be written; nor can a path below a regular
// file, as a document or as an MLT project (which is not logged), nor an MLT
// project over a folder.
TEST_F(SaveRoad, AFailedWriteBeepsTwiceLogsOnceAndDamagesNothing)
{
    const QString blocker = desktop("blocker"), accented = desktop(QStringLiteral("Caf\u00e9.json"));
    ASSERT_TRUE(writeBytes(blocker, "a plain file") && writeBytes(accented, "old content")
                && writeBytes(desktop("Folder.mlt/inside"), "kept"));
    start("Holiday");
    const struct { QString title, target, type, untouched; QByteArray bytes; } cases[] = {
        {QStringLiteral("Caf\u00e9"), accented, {}, accented, "old content"},
        {"Trip", blocker + "/Trip.json", {}, blocker, "a plain file"},
        {"Trip", blocker + "/Trip.mlt", "mlt", blocker, "a plain file"},
        {"Trip", desktop("Folder.mlt"), "mlt", desktop("Folder.mlt/inside"), "kept"}, // a folder is not replaced
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.target.toStdString());
        log.clear();
        const int beepsBefore = backend.beepCount();
        ui.title.setStringValue(c.title);
        saveTo(c.target, c.type);
        EXPECT_EQ(backend.beepCount() - beepsBefore, 2);
        EXPECT_TRUE(!c.type.isNull() || log.lines().value(0).startsWith(kLogLead + sequenceText(c.title, "1")));
        EXPECT_EQ(log.lines().mid(c.type.isNull()), QStringList{"Could not write document out..."}); // and nothing more
        EXPECT_EQ(readBytes(c.untouched), c.bytes);
    }
    QStringList left = QDir(desktop("")).entryList(QDir::Files | QDir::Hidden); // no temporary file stays
    left.sort();
    EXPECT_EQ(left, (QStringList{"Caf\u00e9.json", "blocker"}));
    rvController unwired; // no window: nothing to export
    EXPECT_FALSE(unwired.writeMLTTo(desktop("none.mlt")));
    EXPECT_EQ(backend.beepCount(), 9);
}

// (That the generator is never seeded is checked with the transition choice.)
TEST_F(SaveRoad, RandomTransitionIsOneDrawPerDocumentAndNoneOnCancel)
{
    start("Holiday");
    ui.selectTransition("(random)");
    srandom(1);
    const long first = random(), second = random(), third = random();
    srandom(1);
    backend.cancelNextRun(); // a cancelled save builds nothing, so draws nothing
    controller.saveSlideshow();
    for (const long draw : {first, second}) {
        saveTo(desktop("random.json"));
        const QByteArray style = "\"showStyle\" : \"" + ui.transitionTitles()[int(draw % 3)].toLatin1() + "\"}";
        EXPECT_TRUE(readBytes(desktop("random.json")).contains(style)) << style.constData();
    }
    EXPECT_EQ(random(), third); // two documents, exactly two draws
    EXPECT_EQ(log.count(), 2); // nothing logged for the cancel
    EXPECT_EQ(backend.beepCount(), 0);
}

// What names a format: its file type in any case, or a file name's extension.
TEST(OutputFormats, NamedByTypeOrExtension)
{
    EXPECT_EQ(outputFormatOfType("MLT"), OutputFormat::MLT);
    EXPECT_EQ(outputFormatOfType("xml"), std::nullopt);
    const struct { const char *name; std::optional<OutputFormat> format; } files[] = {
        {"a.json", OutputFormat::JSON}, {"/d/Trip.MLT", OutputFormat::MLT}, {".mlt", std::nullopt},
        {"x.mlt/y", std::nullopt}, {"y.txt", std::nullopt}, {"mlt", std::nullopt},
    };
    for (const auto &f : files)
        EXPECT_EQ(outputFormatOfFileName(f.name), f.format) << f.name;
    for (const OutputFormat format : outputFormats())
        EXPECT_EQ(filterTextOf(format).section("(*.", 1), fileTypeOf(format) + ")");
}

} // namespace
