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

    // Loads the file with one more album, listing `keys`, chosen.
    void loadAlbum(AlbumFile file, const QStringList &keys)
    {
        file.album(QStringLiteral("Chosen"), keys);
        ASSERT_TRUE(home.writeAlbumFile(file.xml()));
        ui.window.awakeFromNib();
        ui.albums.chooseItemAtIndex(ui.albums.numberOfItems() - 1);
    }

    QString photoPath(const QString &name) const { return home.filePath(QStringLiteral("Pictures/") + name); }

    fixtures::TemporaryHome home;
    fixtures::LogCapture log;
    fixtures::HeadlessWindow ui;
    rvWindow &window = ui.window;
};

} // namespace

TEST_F(SlideLookup, CountIsTheSelectedAlbumsKeyCount)
{
    EXPECT_EQ(window.getFilesCount(), 0); // before any load
    AlbumFile file;
    file.album(QStringLiteral("Empty"), {}).album(AlbumFile::Album{QStringLiteral("No key list"), std::nullopt});
    loadAlbum(file, {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("without record")});
    EXPECT_EQ(window.getFilesCount(), 3);
    ui.albums.chooseItemAtIndex(0);
    EXPECT_EQ(window.getFilesCount(), 0);
    ui.albums.chooseItemAtIndex(1);
    EXPECT_EQ(window.getFilesCount(), 0);
}

TEST_F(SlideLookup, NameIsTheCaptionElseTheFilesNameAndTheURLEscapesSpaces)
{
    const QString captioned = photoPath(QStringLiteral("Summer Trip/IMG 0001.jpg"));
    AlbumFile file;
    file.image(QStringLiteral("1"), captioned, QStringLiteral("At the lake & more"))
        .image(QStringLiteral("2"), photoPath(QStringLiteral("IMG 0002.jpg")))
        .image(QStringLiteral("3"), photoPath(QStringLiteral("c.jpg")), QStringLiteral(""));
    loadAlbum(file, {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});

    QString name;
    const QString url = window.getClipFileURL(0, name);
    EXPECT_EQ(name, QStringLiteral("At the lake & more"));
    EXPECT_EQ(url, QStringLiteral("file://") + home.path() + QStringLiteral("/Pictures/Summer%20Trip/IMG%200001.jpg"));
    EXPECT_EQ(pathForFileURLString(url), captioned);

    EXPECT_FALSE(window.getClipFileURL(1, name).isNull());
    EXPECT_EQ(name, QStringLiteral("IMG 0002.jpg"));

    EXPECT_FALSE(window.getClipFileURL(2, name).isNull());
    EXPECT_TRUE(name.isEmpty());
    EXPECT_FALSE(name.isNull()); // an empty caption is still a name
}

TEST_F(SlideLookup, PhotosWithoutAnImageFileGiveNothingAndLeaveTheNameAlone)
{
    AlbumFile file;
    file.image(QStringLiteral("1"), photoPath(QStringLiteral("first.jpg")), QStringLiteral("First"))
        .image(QStringLiteral("2"), std::nullopt, QStringLiteral("No path"));
    loadAlbum(file, {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});

    QString name;
    EXPECT_FALSE(window.getClipFileURL(0, name).isNull());
    for (int32_t index : {1, 2, -1, 3, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()}) {
        EXPECT_TRUE(window.getClipFileURL(index, name).isNull()) << index;
        EXPECT_EQ(name, QStringLiteral("First")) << index;
    }
    EXPECT_TRUE(log.lines().isEmpty());

    file.withoutMasterImageList();
    loadAlbum(file, {QStringLiteral("1")});
    EXPECT_TRUE(window.getClipFileURL(0, name).isNull());
}

// A key that is not a string, a record that is not a dictionary, a path that
// is not a string name no file; a caption that is not a string counts as none.
TEST(SlideLookupKinds, ValuesOfOtherKindsCountAsAbsent)
{
    auto record = [](const Value &path, const Value &caption) {
        Value image = Value::dictionary();
        image.insert(QStringLiteral("ImagePath"), path);
        image.insert(QStringLiteral("Caption"), caption);
        return image;
    };
    Value images = Value::dictionary();
    images.insert(QStringLiteral("1"), record(Value::string(QStringLiteral("/p/x.jpg")), Value()));
    images.insert(QStringLiteral("list"), Value::array());
    images.insert(QStringLiteral("numeric path"), record(Value::integer(5), Value()));
    images.insert(QStringLiteral("numeric caption"), record(Value::string(QStringLiteral("/p/y.jpg")), Value::integer(3)));
    Value keys = Value::array();
    keys.append(Value::integer(1));
    for (const char *key : {"list", "numeric path", "numeric caption"})
        keys.append(Value::string(QString::fromLatin1(key)));

    rvWindow window;
    window.gKeysForAlbum = keys;
    window.gMasterImageDictList = images;
    QString name = QStringLiteral("kept");
    for (int32_t index : {0, 1, 2})
        EXPECT_TRUE(window.getClipFileURL(index, name).isNull()) << index;
    EXPECT_EQ(name, QStringLiteral("kept"));
    EXPECT_EQ(window.getClipFileURL(3, name), QStringLiteral("file:///p/y.jpg"));
    EXPECT_EQ(name, QStringLiteral("y.jpg"));

    window.gKeysForAlbum = Value::string(QStringLiteral("1")); // keys that are not an array
    EXPECT_EQ(window.getFilesCount(), 0);
    EXPECT_TRUE(window.getClipFileURL(0, name).isNull());
}
