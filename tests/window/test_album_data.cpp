// Loading the album file into the window's album cache, and the album names
// and photo keys taken from it.

#include "AlbumFile.h"
#include "HeadlessWindow.h"
#include "LogCapture.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

using fixtures::AlbumFile;
using fixtures::HeadlessWindow;

namespace {

QStringList stringsOf(const Value &array)
{
    QStringList strings;
    for (qsizetype i = 0; i < array.count(); ++i)
        strings.append(array.at(i).toString());
    return strings;
}

const QStringList kNames = {QStringLiteral("Holidays 2005"), QStringLiteral("Family"),
                            QStringLiteral("Caf\u00e9 & Friends")};

AlbumFile threeAlbums()
{
    AlbumFile file;
    file.album(kNames[0], {QStringLiteral("11"), QStringLiteral("12")})
        .album(kNames[1], {QStringLiteral("21")})
        .album(kNames[2], {})
        .image(QStringLiteral("11"), QStringLiteral("/photos/a.jpg"))
        .image(QStringLiteral("21"), QStringLiteral("/photos/c.jpg"));
    return file;
}

class AlbumDataLoading : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(home.isValid());
        ui.title.setStringValue(QStringLiteral("typed"));
    }

    // Fills the cache with values a load must drop.
    void dirtyTheCache()
    {
        window.gPlist = window.gMasterImageDictList = Value::dictionary();
        window.gAlbumsArray = window.gKeysForAlbum = Value::array();
        window.gSelectedAlbumIndex = 7;
    }

    // A load that ends early: cache empty, popup and title untouched.
    void expectEmptyCacheAndUntouchedControls(const QStringList &popupItems)
    {
        EXPECT_TRUE(window.gPlist.isNone());
        EXPECT_TRUE(window.gAlbumsArray.isNone());
        EXPECT_TRUE(window.gMasterImageDictList.isNone());
        EXPECT_TRUE(window.gKeysForAlbum.isNone());
        EXPECT_EQ(window.gSelectedAlbumIndex, 0);
        EXPECT_EQ(ui.albums.itemTitles(), popupItems);
    }

    fixtures::TemporaryHome home;
    fixtures::LogCapture log;
    HeadlessWindow ui;
    rvWindow &window = ui.window;
};

const QStringList kPlaceholder = {HeadlessWindow::placeholderAlbum()};

} // namespace

TEST_F(AlbumDataLoading, MissingFileEndsSilently)
{
    dirtyTheCache();
    window.awakeFromNib();
    expectEmptyCacheAndUntouchedControls(kPlaceholder);
    EXPECT_EQ(ui.title.stringValue(), QStringLiteral("typed"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(AlbumDataLoading, ThreeAlbumsFillThePopupAndTheCacheSharesTheTree)
{
    ASSERT_TRUE(home.writeAlbumFile(threeAlbums().xml()));
    window.awakeFromNib();

    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(ui.albums.itemTitles(), kNames);
    EXPECT_EQ(window.gSelectedAlbumIndex, 0);
    EXPECT_EQ(ui.title.stringValue(), kNames[0]);
    EXPECT_EQ(stringsOf(window.gKeysForAlbum), (QStringList{QStringLiteral("11"), QStringLiteral("12")}));

    ASSERT_TRUE(window.gPlist.isDictionary());
    EXPECT_TRUE(window.gAlbumsArray.isSameNode(window.gPlist.value(QStringLiteral("List of Albums"))));
    EXPECT_TRUE(window.gMasterImageDictList.isSameNode(window.gPlist.value(QStringLiteral("Master Image List"))));
    EXPECT_TRUE(window.gKeysForAlbum.isSameNode(window.gAlbumsArray.at(0).value(QStringLiteral("KeyList"))));
}

TEST_F(AlbumDataLoading, AlbumWithoutNameEmptiesThePopupButKeepsTheAlbums)
{
    AlbumFile file;
    file.album(QStringLiteral("First"), {QStringLiteral("1")})
        .album(AlbumFile::Album{std::nullopt, QStringList{QStringLiteral("2")}})
        .album(QStringLiteral("Third"), {QStringLiteral("3")});
    ASSERT_TRUE(home.writeAlbumFile(file.xml()));
    window.awakeFromNib();

    EXPECT_EQ(window.gAlbumsArray.count(), 3);
    EXPECT_EQ(ui.albums.numberOfItems(), 0);
    EXPECT_EQ(window.gSelectedAlbumIndex, -1);
    EXPECT_TRUE(window.gKeysForAlbum.isNone());
    EXPECT_EQ(ui.title.stringValue(), QStringLiteral("typed"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(AlbumDataLoading, FailedReloadDropsEverythingOfTheGoodLoad)
{
    ASSERT_TRUE(home.writeAlbumFile(threeAlbums().xml()));
    window.awakeFromNib();
    ui.albums.chooseItemAtIndex(1);
    ASSERT_FALSE(window.gKeysForAlbum.isNone());

    ASSERT_TRUE(home.writeAlbumFile("<plist><dict><key>List of Albums</key><array>"));
    window.applicationWillBecomeActive();
    expectEmptyCacheAndUntouchedControls(kNames);
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), 1);
    EXPECT_EQ(ui.title.stringValue(), kNames[1]);
    EXPECT_EQ(log.count(), 1);

    // The albums left in the popup now have no photos.
    ui.albums.chooseItemAtIndex(0);
    EXPECT_EQ(window.gSelectedAlbumIndex, 0);
    EXPECT_EQ(window.getFilesCount(), 0);

    // A file gone since the last load: empty again, silently.
    ASSERT_TRUE(home.writeAlbumFile(threeAlbums().xml()));
    window.refreshIPhotoData();
    ASSERT_TRUE(home.removeAlbumFile());
    window.refreshIPhotoData();
    expectEmptyCacheAndUntouchedControls(kNames);
    EXPECT_EQ(log.count(), 1);
}

TEST(AlbumDataLoadingLog, UnreadableFileLogsItsReasonWithPercentSignsVerbatim)
{
    // The description names the path, and with it a home folder whose name
    // looks like format directives.
    const QString folderName = QStringLiteral("100% %s %@ %n %d");
    fixtures::TemporaryHome home(folderName);
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(home.makeAlbumFileAFolder());
    fixtures::LogCapture log;
    HeadlessWindow ui;
    ui.window.awakeFromNib();

    ASSERT_EQ(log.count(), 1);
    EXPECT_TRUE(log.lines()[0].contains(home.albumFilePath())) << log.lines()[0].toStdString();
    EXPECT_TRUE(ui.window.gPlist.isNone());
    EXPECT_EQ(ui.albums.itemTitles(), kPlaceholder);
}

// Files the parser refuses: each ends in one log line and an empty cache.
namespace {

QByteArray nestedArrays()
{
    return "<plist version=\"1.0\">" + QByteArray("<array>").repeated(100000) +
           QByteArray("</array>").repeated(100000) + "</plist>";
}

QByteArray entityBomb()
{
    QByteArray bytes = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [\n<!ENTITY a0 \"lol\">\n";
    for (int i = 1; i < 10; ++i)
        bytes += "<!ENTITY a" + QByteArray::number(i) + " \"" +
                 ("&a" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
    return bytes + "]>\n<plist version=\"1.0\"><string>&a9;</string></plist>";
}

struct HostileFile {
    const char *name;
    QByteArray bytes;
};

class HostileAlbumFile : public AlbumDataLoading, public ::testing::WithParamInterface<HostileFile> {};

} // namespace

TEST_P(HostileAlbumFile, EndsInOneLogLineAndAnEmptyCache)
{
    ASSERT_TRUE(home.writeAlbumFile(GetParam().bytes));
    dirtyTheCache();
    window.awakeFromNib();

    expectEmptyCacheAndUntouchedControls(kPlaceholder);
    ASSERT_EQ(log.count(), 1);
    EXPECT_FALSE(log.lines()[0].isEmpty());
    EXPECT_FALSE(log.lines()[0].contains(QLatin1Char('\n')));
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileAlbumFile,
    ::testing::Values(
        HostileFile{"NestedArrays", nestedArrays()}, HostileFile{"EntityBomb", entityBomb()},
        HostileFile{"ExternalEntity", "<!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>"
                                      "<plist><string>&x;</string></plist>"},
        HostileFile{"Truncated", threeAlbums().xml().left(700)},
        HostileFile{"Binary", QByteArray("bplist00\xd1\x01\x02\x00\xff\x80", 14)},
        HostileFile{"InvalidUtf8", "<plist><dict><key>List of Albums</key><array><dict><key>AlbumName</key>"
                                   "<string>\xff\xfe\xc3</string></dict></array></dict></plist>"},
        HostileFile{"NotAPlist", "<html><body>Not an album file</body></html>"},
        HostileFile{"Empty", QByteArray()}),
    [](const auto &info) { return std::string(info.param.name); });

// Well-formed files whose values are of other kinds than expected load as far
// as they make sense, silently: a value of the wrong kind counts as absent.
namespace {

struct OddShape {
    const char *name;
    QByteArray root;        // the plist's root element
    QStringList popupItems; // after the load
    qsizetype albumsKept;   // gAlbumsArray.count(); -1 for unset
    qsizetype selectedKeys; // gKeysForAlbum.count(); -1 for unset
};

class OddAlbumFile : public AlbumDataLoading, public ::testing::WithParamInterface<OddShape> {};

const char kOneAlbum[] = "<key>List of Albums</key><array><dict><key>AlbumName</key><string>A</string>"
                         "<key>KeyList</key><array><string>1</string></array></dict></array>";

} // namespace

TEST_P(OddAlbumFile, LoadsWhatMakesSenseWithoutALogLine)
{
    const OddShape &shape = GetParam();
    ASSERT_TRUE(home.writeAlbumFile(QByteArray("<plist version=\"1.0\">") + shape.root + "</plist>"));
    window.awakeFromNib();

    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_FALSE(window.gPlist.isNone());
    EXPECT_EQ(ui.albums.itemTitles(), shape.popupItems);
    EXPECT_EQ(window.gAlbumsArray.isNone() ? -1 : window.gAlbumsArray.count(), shape.albumsKept);
    EXPECT_EQ(window.gKeysForAlbum.isNone() ? -1 : window.gKeysForAlbum.count(), shape.selectedKeys);
    EXPECT_TRUE(window.gMasterImageDictList.isNone());
    QString name = QStringLiteral("untouched");
    EXPECT_TRUE(window.getClipFileURL(0, name).isNull());
    EXPECT_EQ(name, QStringLiteral("untouched"));
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, OddAlbumFile,
    ::testing::Values(
        OddShape{"RootIsAnArray", "<array><string>List of Albums</string></array>", {}, -1, -1},
        OddShape{"ListOfAlbumsIsADictionary", "<dict><key>List of Albums</key><dict/></dict>", {}, -1, -1},
        OddShape{"EmptyListOfAlbums", "<dict><key>List of Albums</key><array/></dict>", {}, 0, -1},
        OddShape{"AlbumIsAString", "<dict><key>List of Albums</key><array><string>A</string></array></dict>",
                 {}, 1, -1},
        OddShape{"AlbumNameIsAnInteger",
                 "<dict><key>List of Albums</key><array><dict><key>AlbumName</key><integer>5</integer>"
                 "</dict></array></dict>",
                 {}, 1, -1},
        OddShape{"KeyListIsAString",
                 "<dict><key>List of Albums</key><array><dict><key>AlbumName</key><string>A</string>"
                 "<key>KeyList</key><string>1</string></dict></array></dict>",
                 {QStringLiteral("A")}, 1, -1},
        OddShape{"MasterImageListIsAnArray",
                 QByteArray("<dict>") + kOneAlbum + "<key>Master Image List</key><array/></dict>",
                 {QStringLiteral("A")}, 1, 1}),
    [](const auto &info) { return std::string(info.param.name); });

// The album-data operations on trees built in memory.
TEST(AlbumDataOperations, NamesAndKeysComeFromTheKeptAlbums)
{
    auto album = [](const QString &name, const QString &key) {
        Value record = Value::dictionary();
        record.insert(QStringLiteral("AlbumName"), Value::string(name));
        Value keys = Value::array();
        keys.append(Value::string(key));
        record.insert(QStringLiteral("KeyList"), keys);
        return record;
    };
    Value albums = Value::array();
    albums.append(album(QStringLiteral("B"), QStringLiteral("1")));
    albums.append(album(QStringLiteral("A"), QStringLiteral("2")));
    albums.append(album(QStringLiteral("B"), QStringLiteral("3")));
    Value tree = Value::dictionary();
    tree.insert(QStringLiteral("List of Albums"), albums);

    rvWindow window;
    EXPECT_EQ(window.collectAlbumNames(Value()), std::nullopt);
    EXPECT_EQ(window.collectAlbumNames(Value::dictionary()), std::nullopt);
    EXPECT_TRUE(window.getItemKeysForAlbum(tree, 0).isNone()); // no albums kept yet

    EXPECT_EQ(window.collectAlbumNames(tree),
              (QStringList{QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("B")}));
    EXPECT_TRUE(window.gAlbumsArray.isSameNode(albums));
    // A tree without albums leaves the kept ones in place.
    EXPECT_EQ(window.collectAlbumNames(Value::dictionary()), std::nullopt);
    EXPECT_TRUE(window.gAlbumsArray.isSameNode(albums));

    EXPECT_EQ(stringsOf(window.getItemKeysForAlbum(tree, 2)), QStringList{QStringLiteral("3")});
    // Any tree will do (the albums come from the kept list); no tree, no keys.
    EXPECT_EQ(stringsOf(window.getItemKeysForAlbum(Value::dictionary(), 1)), QStringList{QStringLiteral("2")});
    EXPECT_TRUE(window.getItemKeysForAlbum(Value(), 0).isNone());
    for (int32_t index : {-1, 3, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()})
        EXPECT_TRUE(window.getItemKeysForAlbum(tree, index).isNone()) << index;

    EXPECT_TRUE(window.getMasterImageDict(tree).isNone());
    const Value images = Value::dictionary();
    tree.insert(QStringLiteral("Master Image List"), images);
    EXPECT_TRUE(window.getMasterImageDict(tree).isSameNode(images));
}
