// Loading the album file, the album popup and the album choice, and the
// photos of the chosen album.

#include "AlbumFile.h"
#include "HeadlessWindow.h"
#include "LogCapture.h"
#include "PropertyList.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

using fixtures::AlbumFile;

namespace {

// One album per name; album "X" lists the photo keys "X1" and "X2".
QByteArray albums(const QStringList &names)
{
    AlbumFile file;
    for (const QString &name : names)
        file.album(name, {name + "1", name + "2"});
    return file.xml();
}

class AlbumData : public ::testing::Test {
protected:
    // Writes the file and loads it as the application does on activation.
    void load(const QByteArray &bytes)
    {
        ASSERT_TRUE(home.isValid() && home.writeAlbumFile(bytes));
        window.applicationWillBecomeActive();
    }
    void expectEmptyCache()
    {
        for (const Value *v : {&window.gPlist, &window.gAlbumsArray, &window.gMasterImageDictList,
                               &window.gKeysForAlbum})
            EXPECT_TRUE(v->isNone());
        EXPECT_EQ(window.gSelectedAlbumIndex, 0);
    }

    // "%" in the home folder's name: a log line naming a path must keep it.
    fixtures::TemporaryHome home{"100% %s %@ %n"};
    fixtures::LogCapture log;
    fixtures::HeadlessWindow ui;
    rvWindow &window = ui.window;
};

} // namespace

TEST_F(AlbumData, LoadsAndReloads)
{
    window.awakeFromNib(); // no album file: nothing loaded, nothing said
    expectEmptyCache();
    EXPECT_EQ(ui.albums.itemTitles(), QStringList{"Album"});

    const QStringList names = {"Holidays 2005", "Caf\u00e9 & Friends", "Family"};
    load(albums(names));
    EXPECT_EQ(ui.albums.itemTitles(), names);

    // One album without a name: no names at all, so item i stays album i.
    load(AlbumFile().album("First", {"1"}).album(QString(), {"2"}).xml());
    EXPECT_EQ(ui.albums.numberOfItems(), 0);
    EXPECT_EQ(window.gSelectedAlbumIndex, -1);
    EXPECT_TRUE(window.gKeysForAlbum.isNone());
    EXPECT_EQ(ui.title.stringValue(), names[0]); // no album, no new title
    EXPECT_TRUE(log.lines().isEmpty());
}

// A file that cannot be read or parsed, even after a good load: one log line,
// the platform's own description word for word, and an empty cache. (The
// parser's own tests cover entity bombs and deep nesting.)
TEST_F(AlbumData, HostileFileEndsInOneLogLineAndAnEmptyCache)
{
    const QByteArray good = albums({"Alps", "Beach"});
    const QByteArray cases[] = {
        good.left(good.size() / 2),                                      // truncated
        QByteArray("bplist00\xd1\x01\x02\x00\xff\x80", 14),              // binary
        "<plist><dict><key>A\xff\xfe\xc3</key><string/></dict></plist>", // invalid UTF-8
        QByteArray(), // unreadable: a folder where the file was (last, as the folder stays)
    };
    for (const QByteArray &bytes : cases) {
        SCOPED_TRACE(bytes.left(40).toStdString());
        load(good);
        ui.albums.chooseItemAtIndex(1);
        log.clear();
        const QString path = home.albumFilePath();
        ASSERT_TRUE(bytes.isNull() ? QFile::remove(path) && QDir().mkpath(path) : home.writeAlbumFile(bytes));
        window.applicationWillBecomeActive();
        expectEmptyCache();
        QString description;
        EXPECT_TRUE(propertyListFromFile(path, &description, "AlbumData.xml").isNone());
        EXPECT_TRUE(description.startsWith(bytes.isNull() ? path : "AlbumData.xml could not be read"));
        EXPECT_EQ(log.lines(), QStringList{description});
        window.applicationWillBecomeActive(); // unchanged: the same failure again, not parsed again
        expectEmptyCache();
        EXPECT_EQ(log.lines(), QStringList(2, description));
    }
}

// What a worker thread does: a read told to stop gives neither tree nor
// failure, and applying it leaves the cache empty and the log silent. A home
// folder whose path is not valid UTF-8 cannot be searched for the library: one
// log line says so, rather than nothing at all. The popup is left alone.
TEST_F(AlbumData, CancelledReadAndHomeFolderWithoutTextForm)
{
    load(albums({"Alps"}));
    const std::atomic<bool> cancel{true};
    rvWindow::AlbumFileRead read = rvWindow::readAlbumFile(home.albumFilePath(), nullptr, &cancel);
    EXPECT_TRUE(read.cancelled && read.tree.isNone() && read.failure.isNull());
    window.finishIPhotoDataLoad(std::move(read));
    expectEmptyCache();
    EXPECT_TRUE(log.lines().isEmpty());

    load(albums({"Alps"}));
    qputenv("HOME", QFile::encodeName(home.path()) + "/caf\xe9");
    window.applicationWillBecomeActive();
    expectEmptyCache();
    EXPECT_EQ(ui.albums.itemTitles(), QStringList{"Alps"});
    ASSERT_EQ(log.count(), 1);
    EXPECT_TRUE(log.lines()[0].endsWith("/caf\\xE9 cannot be represented; the photo library cannot be found"))
        << log.lines()[0].toStdString();
}

// An unchanged album file is not parsed again, yet the load ends as a full one
// does; any change of the file's identity, or another path, parses afresh.
TEST_F(AlbumData, UnchangedFileIsReusedAndAnyChangeParsesAfresh)
{
    const QString path = home.albumFilePath(), copy = home.filePath("Copy.xml");
    // Same size, same modification time, same inode: only the status-change
    // time tells the rewrite.
    const auto rewriteInPlace = [&] {
        struct stat before {}, after {};
        if (::stat(QFile::encodeName(path), &before) != 0 || !home.writeAlbumFile(albums({"Alpz", "Beach", "City"})))
            return false;
        const timespec times[2] = {before.st_atim, before.st_mtim};
        do // the status-change time ticks coarsely: touch until it has moved
            ::utimensat(AT_FDCWD, QFile::encodeName(path), times, 0);
        while (::stat(QFile::encodeName(path), &after) == 0 && after.st_ctim.tv_sec == before.st_ctim.tv_sec
               && after.st_ctim.tv_nsec == before.st_ctim.tv_nsec);
        return after.st_size == before.st_size && after.st_mtim.tv_nsec == before.st_mtim.tv_nsec
               && after.st_mtim.tv_sec == before.st_mtim.tv_sec && after.st_ino == before.st_ino;
    };
    const struct { const char *name; std::function<bool()> change; QString firstAlbum; } cases[] = {
        {"unchanged", [] { return true; }, QString()},
        {"rewritten in place", rewriteInPlace, "Alpz"},
        {"another path", [&] { window.setLibraryLocation(copy); return QFile::copy(path, copy); }, "Alps"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        window.setLibraryLocation(QString());
        QFile::remove(copy);
        load(albums({"Alps", "Beach", "City"}));
        ui.albums.chooseItemAtIndex(2);
        ui.title.setStringValue("typed");
        const Value before = window.gPlist;
        window.gKeysForAlbum = Value();
        ASSERT_TRUE(c.change());
        window.applicationWillBecomeActive();
        EXPECT_EQ(window.gPlist.isSameNode(before), c.firstAlbum.isNull());
        // Popup refilled, album kept by name, title and photo keys set again.
        EXPECT_EQ(ui.albums.itemTitles(), QStringList({c.firstAlbum.isNull() ? "Alps" : c.firstAlbum, "Beach", "City"}));
        EXPECT_EQ(window.gSelectedAlbumIndex, 2);
        EXPECT_EQ(ui.title.stringValue(), "City");
        EXPECT_EQ(window.gKeysForAlbum.at(1).toString(), "City2");
    }
    EXPECT_TRUE(log.lines().isEmpty());
}

// A refill of the album popup keeps the user's album, found again by name.
TEST_F(AlbumData, RefillKeepsTheChosenAlbumByName)
{
    // before empty: the layout's placeholder "Album"; chosen -1: no choice.
    const struct { QStringList before; int32_t chosen; QStringList after; int32_t kept; } cases[] = {
        {{}, -1, {"Alps", "Album"}, 0},                               // placeholder
        {{"Alps", "Beach", "City"}, 2, {"Alps", "City", "Beach"}, 1}, // moved
        {{"Alps", "Beach", "City"}, 1, {"Alps", "City", "Dunes"}, 0}, // deleted
        {{"Beach"}, -1, {"Alps", "Beach"}, 0},                        // single item
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.after.join(',').toStdString());
        ui.albums.setItems({"Album"});
        if (!c.before.isEmpty())
            load(albums(c.before));
        if (c.chosen >= 0)
            ui.albums.chooseItemAtIndex(c.chosen);
        ui.title.setStringValue("typed");
        load(albums(c.after));
        // Popup, window index, title and photo keys all stand for the kept album.
        EXPECT_EQ(ui.albums.indexOfSelectedItem(), c.kept);
        EXPECT_EQ(window.gSelectedAlbumIndex, c.kept);
        EXPECT_EQ(ui.title.stringValue(), c.after[c.kept]);
        EXPECT_EQ(window.gKeysForAlbum.at(0).toString(), c.after[c.kept] + "1");
    }
}

TEST_F(AlbumData, SlidesOfTheChosenAlbum)
{
    load(AlbumFile().album("Empty", {}).album("Trip", {"1", "2", "3", "no path", "no record"})
             .image("1", "/p/Summer Trip/IMG 1.jpg", "At the lake & 100%").image("2", "/p/IMG 2.jpg")
             .image("3", "/p/c.jpg", "").image("no path", std::nullopt, "No file").xml());
    EXPECT_EQ(window.getFilesCount(), 0);
    ui.albums.chooseItemAtIndex(1);
    EXPECT_EQ(window.getFilesCount(), 5);
    // No URL: no file, and the name is left alone.
    const struct { int32_t index; const char *url, *name; } cases[] = {
        {0, "file:///p/Summer%20Trip/IMG%201.jpg", "At the lake & 100%"}, {1, "file:///p/IMG%202.jpg", "IMG 2.jpg"},
        {2, "file:///p/c.jpg", ""}, {3, nullptr, "untouched"}, {4, nullptr, "untouched"},
        {5, nullptr, "untouched"}, {-1, nullptr, "untouched"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.index);
        QString name = "untouched";
        const QString url = window.getClipFileURL(c.index, name);
        EXPECT_EQ(url.isNull(), !c.url);
        EXPECT_EQ(url, QString::fromUtf8(c.url));
        EXPECT_EQ(name, QString::fromUtf8(c.name));
    }
    EXPECT_TRUE(log.lines().isEmpty());
}
