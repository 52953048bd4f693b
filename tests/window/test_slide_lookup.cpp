// The photos of the selected album: how many, and the file URL and slide name
// of each.

#include "AlbumFile.h"
#include "HeadlessWindow.h"
#include "LogCapture.h"
#include "Paths.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <limits>

using fixtures::AlbumFile;

namespace {

class SlideLookup : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    // Loads a one-album library whose album lists `keys`.
    void load(const QStringList &keys, AlbumFile images)
    {
        images.album(QStringLiteral("Album"), keys);
        ASSERT_TRUE(home.writeAlbumFile(images.xml()));
        ui.window.awakeFromNib();
        ASSERT_EQ(ui.window.gSelectedAlbumIndex, 0);
    }

    QString photoPath(const QString &name) const { return home.filePath(QStringLiteral("Pictures/") + name); }

    fixtures::TemporaryHome home;
    fixtures::LogCapture log;
    fixtures::HeadlessWindow ui;
    rvWindow &window = ui.window;
};

} // namespace

TEST_F(SlideLookup, NoPhotosBeforeAnyLoad)
{
    EXPECT_EQ(window.getFilesCount(), 0);
    QString name = QStringLiteral("kept");
    EXPECT_TRUE(window.getClipFileURL(0, name).isNull());
    EXPECT_EQ(name, QStringLiteral("kept"));
}

TEST_F(SlideLookup, CountIsTheAlbumsKeyCount)
{
    AlbumFile file;
    file.album(QStringLiteral("Empty"), {})
        .album(AlbumFile::Album{QStringLiteral("No key list"), std::nullopt})
        .album(QStringLiteral("Three"), {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("missing")});
    ASSERT_TRUE(home.writeAlbumFile(file.xml()));
    window.awakeFromNib();

    EXPECT_EQ(window.getFilesCount(), 0);
    ui.albums.chooseItemAtIndex(1);
    EXPECT_EQ(window.getFilesCount(), 0);
    ui.albums.chooseItemAtIndex(2);
    EXPECT_EQ(window.getFilesCount(), 3); // keys without a record count too
}

TEST_F(SlideLookup, CaptionNamesTheSlideAndTheURLEscapesSpaces)
{
    const QString path = photoPath(QStringLiteral("Summer Trip/IMG 0001.jpg"));
    AlbumFile file;
    file.image(QStringLiteral("7"), path, QStringLiteral("At the lake & more"));
    load({QStringLiteral("7")}, file);

    QString name;
    const QString url = window.getClipFileURL(0, name);
    EXPECT_EQ(name, QStringLiteral("At the lake & more"));
    EXPECT_EQ(url, QStringLiteral("file://") + home.path() + QStringLiteral("/Pictures/Summer%20Trip/IMG%200001.jpg"));
    EXPECT_EQ(pathForFileURLString(url), path);
}

TEST_F(SlideLookup, WithoutCaptionTheFilesNameNamesTheSlide)
{
    AlbumFile file;
    file.image(QStringLiteral("7"), photoPath(QStringLiteral("IMG 0001.jpg")));
    load({QStringLiteral("7")}, file);

    QString name;
    EXPECT_FALSE(window.getClipFileURL(0, name).isNull());
    EXPECT_EQ(name, QStringLiteral("IMG 0001.jpg"));
}

TEST_F(SlideLookup, EmptyCaptionGivesAnEmptyName)
{
    AlbumFile file;
    file.image(QStringLiteral("7"), photoPath(QStringLiteral("a.jpg")), QStringLiteral(""));
    load({QStringLiteral("7")}, file);

    QString name = QStringLiteral("before");
    EXPECT_FALSE(window.getClipFileURL(0, name).isNull());
    EXPECT_TRUE(name.isEmpty());
    EXPECT_FALSE(name.isNull());
}

TEST_F(SlideLookup, PhotosWithoutAnImageFileGiveNothingAndLeaveTheNameAlone)
{
    AlbumFile file;
    file.image(QStringLiteral("1"), photoPath(QStringLiteral("first.jpg")), QStringLiteral("First"))
        .image(QStringLiteral("2"), std::nullopt, QStringLiteral("No path"))
        .image(QStringLiteral("4"), photoPath(QStringLiteral("last.jpg")));
    load({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")}, file);
    ASSERT_EQ(window.getFilesCount(), 4);

    QString name;
    EXPECT_FALSE(window.getClipFileURL(0, name).isNull());
    EXPECT_EQ(name, QStringLiteral("First"));
    for (int32_t index : {1, 2, -1, 4, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
        EXPECT_TRUE(window.getClipFileURL(index, name).isNull()) << index;
        EXPECT_EQ(name, QStringLiteral("First")) << index;
    }
    EXPECT_FALSE(window.getClipFileURL(3, name).isNull());
    EXPECT_EQ(name, QStringLiteral("last.jpg"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(SlideLookup, NoImageListMeansNoFiles)
{
    AlbumFile file;
    file.image(QStringLiteral("1"), photoPath(QStringLiteral("a.jpg"))).withoutMasterImageList();
    load({QStringLiteral("1")}, file);
    ASSERT_EQ(window.getFilesCount(), 1);
    QString name = QStringLiteral("kept");
    EXPECT_TRUE(window.getClipFileURL(0, name).isNull());
    EXPECT_EQ(name, QStringLiteral("kept"));
}

// Values of unexpected kinds in memory: a key that is not a string, a record
// that is not a dictionary, a path that is not a string name no file; a
// caption that is not a string counts as none.
TEST(SlideLookupKinds, ValuesOfOtherKindsCountAsAbsent)
{
    rvWindow window;
    Value keys = Value::array();
    keys.append(Value::integer(1));          // 0: key not a string
    keys.append(Value::string(QStringLiteral("list")));   // 1: record is an array
    keys.append(Value::string(QStringLiteral("numeric"))); // 2: path is a number
    keys.append(Value::string(QStringLiteral("odd caption"))); // 3: caption is a number
    window.gKeysForAlbum = keys;

    Value images = Value::dictionary();
    Value good = Value::dictionary();
    good.insert(QStringLiteral("ImagePath"), Value::string(QStringLiteral("/p/x.jpg")));
    images.insert(QStringLiteral("1"), good);
    images.insert(QStringLiteral("list"), Value::array());
    Value numeric = Value::dictionary();
    numeric.insert(QStringLiteral("ImagePath"), Value::integer(5));
    images.insert(QStringLiteral("numeric"), numeric);
    Value oddCaption = Value::dictionary();
    oddCaption.insert(QStringLiteral("ImagePath"), Value::string(QStringLiteral("/p/y.jpg")));
    oddCaption.insert(QStringLiteral("Caption"), Value::integer(3));
    images.insert(QStringLiteral("odd caption"), oddCaption);
    window.gMasterImageDictList = images;

    QString name = QStringLiteral("kept");
    for (int32_t index : {0, 1, 2}) {
        EXPECT_TRUE(window.getClipFileURL(index, name).isNull()) << index;
        EXPECT_EQ(name, QStringLiteral("kept")) << index;
    }
    EXPECT_EQ(window.getClipFileURL(3, name), QStringLiteral("file:///p/y.jpg"));
    EXPECT_EQ(name, QStringLiteral("y.jpg"));

    // Keys that are not an array: no photos.
    window.gKeysForAlbum = Value::string(QStringLiteral("1"));
    EXPECT_EQ(window.getFilesCount(), 0);
    EXPECT_TRUE(window.getClipFileURL(0, name).isNull());
}
