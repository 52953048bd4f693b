// Loading the album file into the window's album cache, and the album names
// and photo keys taken from it.

#include "AlbumFile.h"
#include "HeadlessWindow.h"
#include "LogCapture.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <algorithm>
#include <limits>
#include <vector>

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

AlbumFile threeAlbums()
{
    AlbumFile file;
    file.album(QStringLiteral("Holidays 2005"), {QStringLiteral("11"), QStringLiteral("12")})
        .album(QStringLiteral("Family"), {QStringLiteral("21")})
        .album(QStringLiteral("Caf\u00e9 & Friends"), {})
        .image(QStringLiteral("11"), QStringLiteral("/photos/a.jpg"))
        .image(QStringLiteral("12"), QStringLiteral("/photos/b.jpg"))
        .image(QStringLiteral("21"), QStringLiteral("/photos/c.jpg"));
    return file;
}

class AlbumDataLoading : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    // The cache of no load at all: all four containers unset, index 0.
    void expectEmptyCache()
    {
        EXPECT_TRUE(window.gPlist.isNone());
        EXPECT_TRUE(window.gAlbumsArray.isNone());
        EXPECT_TRUE(window.gMasterImageDictList.isNone());
        EXPECT_TRUE(window.gKeysForAlbum.isNone());
        EXPECT_EQ(window.gSelectedAlbumIndex, 0);
    }

    // Fills the cache with something a load must drop.
    void dirtyTheCache()
    {
        window.gPlist = Value::dictionary();
        window.gAlbumsArray = Value::array();
        window.gMasterImageDictList = Value::dictionary();
        window.gKeysForAlbum = Value::array();
        window.gSelectedAlbumIndex = 7;
    }

    fixtures::TemporaryHome home;
    fixtures::LogCapture log;
    HeadlessWindow ui;
    rvWindow &window = ui.window;
};

} // namespace

TEST_F(AlbumDataLoading, MissingFileEndsSilentlyWithAnEmptyCache)
{
    dirtyTheCache();
    ui.title.setStringValue(QStringLiteral("typed"));
    window.awakeFromNib();

    expectEmptyCache();
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(ui.albums.itemTitles(), QStringList{HeadlessWindow::placeholderAlbum()});
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), 0);
    EXPECT_EQ(ui.title.stringValue(), QStringLiteral("typed"));
}

TEST_F(AlbumDataLoading, ThreeAlbumsFillThePopupAndSelectTheFirst)
{
    ASSERT_TRUE(home.writeAlbumFile(threeAlbums().xml()));
    window.awakeFromNib();

    EXPECT_TRUE(log.lines().isEmpty());
    const QStringList names = {QStringLiteral("Holidays 2005"), QStringLiteral("Family"),
                               QStringLiteral("Caf\u00e9 & Friends")};
    EXPECT_EQ(ui.albums.itemTitles(), names);
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), 0);
    EXPECT_EQ(window.gSelectedAlbumIndex, 0);
    EXPECT_EQ(ui.title.stringValue(), names[0]);
    EXPECT_EQ(stringsOf(window.gKeysForAlbum), (QStringList{QStringLiteral("11"), QStringLiteral("12")}));

    // The cache shares the nodes of the parsed tree; nothing is copied.
    ASSERT_TRUE(window.gPlist.isDictionary());
    EXPECT_TRUE(window.gAlbumsArray.isSameNode(window.gPlist.value(QStringLiteral("List of Albums"))));
    EXPECT_TRUE(window.gMasterImageDictList.isSameNode(
        window.gPlist.value(QStringLiteral("Master Image List"))));
    EXPECT_TRUE(window.gKeysForAlbum.isSameNode(window.gAlbumsArray.at(0).value(QStringLiteral("KeyList"))));
    EXPECT_EQ(window.gMasterImageDictList.count(), 3);
}

TEST_F(AlbumDataLoading, AlbumWithoutNameEmptiesThePopup)
{
    AlbumFile file;
    file.album(QStringLiteral("First"), {QStringLiteral("1")})
        .album(AlbumFile::Album{std::nullopt, QStringList{QStringLiteral("2")}})
        .album(QStringLiteral("Third"), {QStringLiteral("3")});
    ASSERT_TRUE(home.writeAlbumFile(file.xml()));
    ui.title.setStringValue(QStringLiteral("typed"));
    window.awakeFromNib();

    EXPECT_EQ(window.collectAlbumNames(window.gPlist), std::nullopt);
    EXPECT_EQ(window.gAlbumsArray.count(), 3); // every album stays in the cache
    EXPECT_EQ(ui.albums.numberOfItems(), 0);
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), -1);
    EXPECT_EQ(window.gSelectedAlbumIndex, -1);
    EXPECT_TRUE(window.gKeysForAlbum.isNone());
    EXPECT_EQ(ui.title.stringValue(), QStringLiteral("typed"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST_F(AlbumDataLoading, ParseFailureLogsTheParsersOneLine)
{
    ASSERT_TRUE(home.writeAlbumFile("this is not a property list"));
    dirtyTheCache();
    window.awakeFromNib();

    expectEmptyCache();
    ASSERT_EQ(log.count(), 1);
    EXPECT_FALSE(log.lines()[0].isEmpty());
    EXPECT_FALSE(log.lines()[0].contains(QLatin1Char('\n')));
    EXPECT_EQ(ui.albums.itemTitles(), QStringList{HeadlessWindow::placeholderAlbum()});
}

TEST(AlbumDataLoadingLog, PercentSignsInTheDescriptionAreKeptVerbatim)
{
    // The unreadable file's description names its path, and with it a home
    // folder whose name looks like format directives.
    const QString folderName = QStringLiteral("100% %s %@ %n %d");
    fixtures::TemporaryHome home(folderName);
    ASSERT_TRUE(home.isValid());
    ASSERT_TRUE(home.makeAlbumFileAFolder());
    fixtures::LogCapture log;
    HeadlessWindow ui;
    ui.window.awakeFromNib();

    ASSERT_EQ(log.count(), 1);
    EXPECT_TRUE(log.lines()[0].contains(folderName)) << log.lines()[0].toStdString();
    EXPECT_TRUE(ui.window.gPlist.isNone());
}

TEST_F(AlbumDataLoading, FailedReloadDropsEverythingOfTheGoodLoad)
{
    ASSERT_TRUE(home.writeAlbumFile(threeAlbums().xml()));
    window.awakeFromNib();
    ui.albums.chooseItemAtIndex(1);
    ASSERT_EQ(window.gSelectedAlbumIndex, 1);
    ASSERT_FALSE(window.gKeysForAlbum.isNone());

    ASSERT_TRUE(home.writeAlbumFile("<plist><dict><key>List of Albums</key><array>"));
    window.applicationWillBecomeActive();

    expectEmptyCache();
    EXPECT_EQ(log.count(), 1);
    // The popup keeps the albums of the good load and the title its name.
    EXPECT_EQ(ui.albums.numberOfItems(), 3);
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), 1);
    EXPECT_EQ(ui.title.stringValue(), QStringLiteral("Family"));

    // Choosing one of those albums now finds no photos.
    ui.albums.chooseItemAtIndex(0);
    EXPECT_EQ(window.gSelectedAlbumIndex, 0);
    EXPECT_TRUE(window.gKeysForAlbum.isNone());
    EXPECT_EQ(window.getFilesCount(), 0);
}

TEST_F(AlbumDataLoading, RemovedFileAfterGoodLoadEmptiesTheCacheSilently)
{
    ASSERT_TRUE(home.writeAlbumFile(threeAlbums().xml()));
    window.awakeFromNib();
    ASSERT_TRUE(home.removeAlbumFile());
    window.refreshIPhotoData();

    expectEmptyCache();
    EXPECT_TRUE(log.lines().isEmpty());
    EXPECT_EQ(ui.albums.numberOfItems(), 3);
}

TEST_F(AlbumDataLoading, EachLoadReadsTheFileAgain)
{
    ASSERT_TRUE(home.writeAlbumFile(threeAlbums().xml()));
    window.awakeFromNib();
    const Value first = window.gPlist;

    AlbumFile other;
    other.album(QStringLiteral("Only"), {QStringLiteral("9")});
    ASSERT_TRUE(home.writeAlbumFile(other.xml()));
    window.applicationWillBecomeActive();

    EXPECT_FALSE(window.gPlist.isSameNode(first));
    EXPECT_EQ(ui.albums.itemTitles(), QStringList{QStringLiteral("Only")});
    EXPECT_EQ(stringsOf(window.gKeysForAlbum), QStringList{QStringLiteral("9")});
}

// ---------------------------------------------------------------------------
// Files the parser must refuse: each ends in one log line and an empty cache.

namespace {

struct HostileFile {
    const char *name;
    QByteArray (*bytes)();
};

QByteArray nestedArrays()
{
    const int depth = 100000;
    QByteArray bytes = "<?xml version=\"1.0\"?><plist version=\"1.0\">";
    bytes.reserve(depth * 15 + 100);
    for (int i = 0; i < depth; ++i)
        bytes += "<array>";
    for (int i = 0; i < depth; ++i)
        bytes += "</array>";
    bytes += "</plist>";
    return bytes;
}

QByteArray entityBomb()
{
    QByteArray bytes = "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [\n<!ENTITY a0 \"lol\">\n";
    for (int i = 1; i < 10; ++i)
        bytes += QByteArray("<!ENTITY a") + QByteArray::number(i) + " \"" +
                 QByteArray("&a" + QByteArray::number(i - 1) + ";").repeated(10) + "\">\n";
    bytes += "]>\n<plist version=\"1.0\"><dict><key>List of Albums</key><string>&a9;</string></dict></plist>";
    return bytes;
}

QByteArray externalEntity()
{
    return "<?xml version=\"1.0\"?>\n<!DOCTYPE plist [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>\n"
           "<plist version=\"1.0\"><dict><key>k</key><string>&x;</string></dict></plist>";
}

QByteArray truncatedPlist()
{
    const QByteArray whole = threeAlbums().xml();
    return whole.left(whole.size() / 2);
}

QByteArray binaryBytes()
{
    QByteArray bytes;
    for (int i = 0; i < 4096; ++i)
        bytes += char((i * 151 + 7) & 0xff);
    return bytes;
}

QByteArray invalidUtf8()
{
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
           "<key>List of Albums</key><array><dict><key>AlbumName</key><string>\xff\xfe\xc3</string>"
           "</dict></array></dict></plist>";
}

QByteArray htmlPage()
{
    return "<html><body><p>Not an album file</p></body></html>";
}

QByteArray emptyFile()
{
    return QByteArray();
}

const HostileFile kHostileFiles[] = {
    {"NestedArrays", nestedArrays},   {"EntityBomb", entityBomb},
    {"ExternalEntity", externalEntity}, {"Truncated", truncatedPlist},
    {"Binary", binaryBytes},          {"InvalidUtf8", invalidUtf8},
    {"NotAPlist", htmlPage},          {"Empty", emptyFile},
};

class HostileAlbumFile : public AlbumDataLoading, public ::testing::WithParamInterface<HostileFile> {};

} // namespace

TEST_P(HostileAlbumFile, EndsInOneLogLineAndAnEmptyCache)
{
    ASSERT_TRUE(home.writeAlbumFile(GetParam().bytes()));
    dirtyTheCache();
    window.awakeFromNib();

    expectEmptyCache();
    ASSERT_EQ(log.count(), 1);
    EXPECT_FALSE(log.lines()[0].isEmpty());
    EXPECT_FALSE(log.lines()[0].contains(QLatin1Char('\n')));
    EXPECT_EQ(ui.albums.itemTitles(), QStringList{HeadlessWindow::placeholderAlbum()});
}

INSTANTIATE_TEST_SUITE_P(Files, HostileAlbumFile, ::testing::ValuesIn(kHostileFiles),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(AlbumDataLoading, UnreadableFileEndsLikeAParseFailure)
{
    ASSERT_TRUE(home.makeAlbumFileAFolder());
    dirtyTheCache();
    window.awakeFromNib();

    expectEmptyCache();
    ASSERT_EQ(log.count(), 1);
    EXPECT_TRUE(log.lines()[0].contains(home.albumFilePath()));
}

// ---------------------------------------------------------------------------
// Well-formed files whose values are of unexpected kinds load as far as they
// make sense, silently: a value of the wrong kind counts as absent.

namespace {

struct OddShape {
    const char *name;
    const char *rootContent;   // inside the root element of the plist
    QStringList popupItems;    // after the load
    qsizetype albumsKept;      // gAlbumsArray.count(); -1 for unset
    qsizetype selectedKeys;    // gKeysForAlbum.count(); -1 for unset
    bool masterImageList;      // gMasterImageDictList set
};

const OddShape kOddShapes[] = {
    {"RootIsAnArray", "<array><string>List of Albums</string></array>", {}, -1, -1, false},
    {"RootIsAString", "<string>hello</string>", {}, -1, -1, false},
    {"ListOfAlbumsIsADictionary",
     "<dict><key>List of Albums</key><dict><key>AlbumName</key><string>A</string></dict></dict>",
     {}, -1, -1, false},
    {"AlbumNameIsAnInteger",
     "<dict><key>List of Albums</key><array><dict><key>AlbumName</key><integer>5</integer></dict>"
     "</array></dict>",
     {}, 1, -1, false},
    {"AlbumIsAString",
     "<dict><key>List of Albums</key><array><string>A</string></array></dict>", {}, 1, -1, false},
    {"KeyListIsAString",
     "<dict><key>List of Albums</key><array><dict><key>AlbumName</key><string>A</string>"
     "<key>KeyList</key><string>1</string></dict></array></dict>",
     {QStringLiteral("A")}, 1, -1, false},
    {"EmptyListOfAlbums", "<dict><key>List of Albums</key><array/></dict>", {}, 0, -1, false},
    {"MasterImageListIsAnArray",
     "<dict><key>List of Albums</key><array><dict><key>AlbumName</key><string>A</string>"
     "<key>KeyList</key><array><string>1</string></array></dict></array>"
     "<key>Master Image List</key><array/></dict>",
     {QStringLiteral("A")}, 1, 1, false},
    {"EmptyAlbumName",
     "<dict><key>List of Albums</key><array><dict><key>AlbumName</key><string></string>"
     "<key>KeyList</key><array/></dict></array><key>Master Image List</key><dict/></dict>",
     {QStringLiteral("")}, 1, 0, true},
};

class OddAlbumFile : public AlbumDataLoading, public ::testing::WithParamInterface<OddShape> {};

} // namespace

TEST_P(OddAlbumFile, LoadsWhatMakesSenseWithoutALogLine)
{
    const OddShape &shape = GetParam();
    ASSERT_TRUE(home.writeAlbumFile(QByteArray("<?xml version=\"1.0\"?><plist version=\"1.0\">") +
                                    shape.rootContent + "</plist>"));
    window.awakeFromNib();

    EXPECT_TRUE(log.lines().isEmpty()) << log.lines().join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(window.gPlist.isNone());
    EXPECT_EQ(ui.albums.itemTitles(), shape.popupItems);
    EXPECT_EQ(window.gAlbumsArray.isNone() ? -1 : window.gAlbumsArray.count(), shape.albumsKept);
    EXPECT_EQ(window.gKeysForAlbum.isNone() ? -1 : window.gKeysForAlbum.count(), shape.selectedKeys);
    EXPECT_EQ(!window.gMasterImageDictList.isNone(), shape.masterImageList);
    EXPECT_EQ(window.getFilesCount(), std::max<qsizetype>(shape.selectedKeys, 0));
    QString name = QStringLiteral("untouched");
    EXPECT_TRUE(window.getClipFileURL(0, name).isNull());
    EXPECT_EQ(name, QStringLiteral("untouched"));
}

INSTANTIATE_TEST_SUITE_P(Shapes, OddAlbumFile, ::testing::ValuesIn(kOddShapes),
                         [](const auto &info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The album-data operations on trees built in memory.

namespace {

Value album(const QString &name, const QStringList &keys)
{
    Value record = Value::dictionary();
    record.insert(QStringLiteral("AlbumName"), Value::string(name));
    Value keyList = Value::array();
    for (const QString &key : keys)
        keyList.append(Value::string(key));
    record.insert(QStringLiteral("KeyList"), keyList);
    return record;
}

Value treeWithAlbums(const std::vector<Value> &albums)
{
    Value list = Value::array();
    for (const Value &record : albums)
        list.append(record);
    Value tree = Value::dictionary();
    tree.insert(QStringLiteral("List of Albums"), list);
    return tree;
}

} // namespace

TEST(AlbumNames, NoTreeOrNoListGivesNoNamesAndKeepsTheAlbums)
{
    rvWindow window;
    const Value kept = Value::array();
    window.gAlbumsArray = kept;

    EXPECT_EQ(window.collectAlbumNames(Value()), std::nullopt);
    EXPECT_EQ(window.collectAlbumNames(Value::dictionary()), std::nullopt);
    EXPECT_TRUE(window.gAlbumsArray.isSameNode(kept));
}

TEST(AlbumNames, EmptyListIsKeptButGivesNoNames)
{
    rvWindow window;
    const Value tree = treeWithAlbums({});
    EXPECT_EQ(window.collectAlbumNames(tree), std::nullopt);
    EXPECT_TRUE(window.gAlbumsArray.isSameNode(tree.value(QStringLiteral("List of Albums"))));
}

TEST(AlbumNames, NamesInAlbumOrderWithEqualNamesKept)
{
    rvWindow window;
    const Value tree = treeWithAlbums({album(QStringLiteral("B"), {}), album(QStringLiteral("A"), {}),
                                       album(QStringLiteral("B"), {})});
    EXPECT_EQ(window.collectAlbumNames(tree),
              (QStringList{QStringLiteral("B"), QStringLiteral("A"), QStringLiteral("B")}));
}

TEST(AlbumKeys, OnlyForAnAlbumWithinTheKeptList)
{
    rvWindow window;
    const Value tree = treeWithAlbums({album(QStringLiteral("A"), {QStringLiteral("1")}),
                                       album(QStringLiteral("B"), {QStringLiteral("2"), QStringLiteral("3")})});

    // Nothing kept yet.
    EXPECT_TRUE(window.getItemKeysForAlbum(tree, 0).isNone());

    ASSERT_TRUE(window.collectAlbumNames(tree).has_value());
    EXPECT_EQ(stringsOf(window.getItemKeysForAlbum(tree, 1)),
              (QStringList{QStringLiteral("2"), QStringLiteral("3")}));
    for (int32_t index : {-1, 2, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max()})
        EXPECT_TRUE(window.getItemKeysForAlbum(tree, index).isNone()) << index;

    // No tree: no keys, although albums are kept.
    EXPECT_TRUE(window.getItemKeysForAlbum(Value(), 0).isNone());
    // Any tree will do: the albums come from the kept list.
    EXPECT_EQ(stringsOf(window.getItemKeysForAlbum(Value::dictionary(), 0)), QStringList{QStringLiteral("1")});
}

TEST(MasterImageDictionary, TheTreesImageListOrNothing)
{
    rvWindow window;
    EXPECT_TRUE(window.getMasterImageDict(Value()).isNone());
    Value tree = Value::dictionary();
    EXPECT_TRUE(window.getMasterImageDict(tree).isNone());
    const Value images = Value::dictionary();
    tree.insert(QStringLiteral("Master Image List"), images);
    EXPECT_TRUE(window.getMasterImageDict(tree).isSameNode(images));
}
