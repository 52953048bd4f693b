// Window start-up, the album popup's refill at each load and the user's
// album choice.

#include "AlbumFile.h"
#include "HeadlessWindow.h"
#include "LogCapture.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

#include <QStringList>

using fixtures::AlbumFile;
using fixtures::HeadlessWindow;

namespace {

// One album per name; album "X" holds the photo keys "X1" and "X2".
AlbumFile albumsNamed(const QStringList &names)
{
    AlbumFile file;
    for (const QString &name : names)
        file.album(name, {name + QLatin1Char('1'), name + QLatin1Char('2')});
    return file;
}

QStringList stringsOf(const Value &array)
{
    QStringList strings;
    for (qsizetype i = 0; i < array.count(); ++i)
        strings.append(array.at(i).toString());
    return strings;
}

class WindowStartUp : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    void writeAlbums(const QStringList &names) { ASSERT_TRUE(home.writeAlbumFile(albumsNamed(names).xml())); }

    // The popup, the photo keys and the title all stand for the album `name`
    // at popup index `index`.
    void expectAlbumSelected(int32_t index, const QString &name)
    {
        EXPECT_EQ(ui.albums.indexOfSelectedItem(), index);
        EXPECT_EQ(ui.albums.titleOfSelectedItem(), name);
        EXPECT_EQ(window.gSelectedAlbumIndex, index);
        EXPECT_EQ(stringsOf(window.gKeysForAlbum), (QStringList{name + QLatin1Char('1'), name + QLatin1Char('2')}));
        EXPECT_EQ(ui.title.stringValue(), name);
    }

    fixtures::TemporaryHome home;
    fixtures::LogCapture log;
    HeadlessWindow ui;
    rvWindow &window = ui.window;
};

} // namespace

TEST_F(WindowStartUp, PlaceholderItemIsReplacedAndTheFirstAlbumSelected)
{
    writeAlbums({QStringLiteral("Alps"), QStringLiteral("Beach"), QStringLiteral("City")});
    window.awakeFromNib();

    EXPECT_EQ(ui.albums.itemTitles(),
              (QStringList{QStringLiteral("Alps"), QStringLiteral("Beach"), QStringLiteral("City")}));
    expectAlbumSelected(0, QStringLiteral("Alps"));
}

TEST_F(WindowStartUp, PlaceholderNamedLikeAnAlbumIsNotRemembered)
{
    ui.albums.setItems({QStringLiteral("City")});
    writeAlbums({QStringLiteral("Alps"), QStringLiteral("City")});
    window.awakeFromNib();
    expectAlbumSelected(0, QStringLiteral("Alps"));
}

TEST_F(WindowStartUp, ChosenAlbumIsFoundAgainByNameAfterItMoved)
{
    writeAlbums({QStringLiteral("Alps"), QStringLiteral("Beach"), QStringLiteral("City")});
    window.awakeFromNib();
    ui.albums.chooseItemAtIndex(2);
    expectAlbumSelected(2, QStringLiteral("City"));
    ui.title.setStringValue(QStringLiteral("My own title"));

    writeAlbums({QStringLiteral("Alps"), QStringLiteral("City"), QStringLiteral("Beach"), QStringLiteral("Dunes")});
    window.applicationWillBecomeActive();

    expectAlbumSelected(1, QStringLiteral("City")); // the typed title is replaced
}

TEST_F(WindowStartUp, DeletedAlbumFallsBackToTheFirst)
{
    writeAlbums({QStringLiteral("Alps"), QStringLiteral("Beach"), QStringLiteral("City")});
    window.awakeFromNib();
    ui.albums.chooseItemAtIndex(2);

    writeAlbums({QStringLiteral("Beach"), QStringLiteral("Alps")});
    window.applicationWillBecomeActive();

    expectAlbumSelected(0, QStringLiteral("Beach"));
}

TEST_F(WindowStartUp, SingleAlbumIsNotRememberedAcrossARefill)
{
    writeAlbums({QStringLiteral("Beach")});
    window.awakeFromNib();
    expectAlbumSelected(0, QStringLiteral("Beach"));

    writeAlbums({QStringLiteral("Alps"), QStringLiteral("Beach")});
    window.applicationWillBecomeActive();
    expectAlbumSelected(0, QStringLiteral("Alps"));
}

TEST_F(WindowStartUp, EqualNamesStaySeparateAndTheFirstOfThemIsFoundAgain)
{
    writeAlbums({QStringLiteral("Dup"), QStringLiteral("Other"), QStringLiteral("Dup")});
    window.awakeFromNib();
    EXPECT_EQ(ui.albums.numberOfItems(), 3); // item i stays album i

    ui.albums.chooseItemAtIndex(2);
    EXPECT_EQ(window.gSelectedAlbumIndex, 2);
    EXPECT_TRUE(window.gKeysForAlbum.isSameNode(window.gAlbumsArray.at(2).value(QStringLiteral("KeyList"))));

    window.applicationWillBecomeActive();
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), 0);
    EXPECT_TRUE(window.gKeysForAlbum.isSameNode(window.gAlbumsArray.at(0).value(QStringLiteral("KeyList"))));
}

TEST_F(WindowStartUp, ChoosingAnAlbumTakesItsKeysAndName)
{
    writeAlbums({QStringLiteral("Alps"), QStringLiteral("Beach"), QStringLiteral("City")});
    window.awakeFromNib();
    ui.albums.chooseItemAtIndex(1);
    expectAlbumSelected(1, QStringLiteral("Beach"));
    ui.albums.chooseItemAtIndex(0);
    expectAlbumSelected(0, QStringLiteral("Alps"));
}

TEST_F(WindowStartUp, NoSelectionLeavesKeysAndTitleAlone)
{
    writeAlbums({QStringLiteral("Alps"), QStringLiteral("Beach")});
    window.awakeFromNib();
    const Value keys = window.gKeysForAlbum;
    ui.albums.selectItemAtIndex(-1);
    window.setSelectedAlbum();

    EXPECT_EQ(window.gSelectedAlbumIndex, -1);
    EXPECT_TRUE(window.gKeysForAlbum.isSameNode(keys));
    EXPECT_EQ(ui.title.stringValue(), QStringLiteral("Alps"));
}

TEST_F(WindowStartUp, RefillWithoutNamesEmptiesThePopup)
{
    ui.albums.setItems({QStringLiteral("Alps"), QStringLiteral("Beach")});
    ui.albums.selectItemAtIndex(1);
    window.setAlbumNames(std::nullopt);
    EXPECT_EQ(ui.albums.numberOfItems(), 0);
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), -1);

    ui.albums.setItems({QStringLiteral("Alps"), QStringLiteral("Beach")});
    window.setAlbumNames(QStringList());
    EXPECT_EQ(ui.albums.numberOfItems(), 0);
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), -1);
}

TEST_F(WindowStartUp, RefillOfAPopupWithoutSelectionSelectsTheFirst)
{
    ui.albums.setItems({QStringLiteral("Alps"), QStringLiteral("Beach")});
    ui.albums.selectItemAtIndex(-1);
    window.setAlbumNames(QStringList{QStringLiteral(""), QStringLiteral("Beach")});
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), 0);
}

TEST_F(WindowStartUp, MissingAlbumFileKeepsTheLayoutsItems)
{
    ui.title.setStringValue(QStringLiteral("typed"));
    window.awakeFromNib();
    EXPECT_EQ(ui.albums.itemTitles(), QStringList{HeadlessWindow::placeholderAlbum()});
    EXPECT_EQ(ui.title.stringValue(), QStringLiteral("typed"));
    EXPECT_EQ(window.gSelectedAlbumIndex, 0);
    EXPECT_TRUE(window.gKeysForAlbum.isNone());
}

TEST_F(WindowStartUp, WithoutAlbumPopupTheFirstAlbumsKeysAreTaken)
{
    // An unset popup reads its selected index as 0; there is no name to copy.
    window.gAlbumPopup = nullptr;
    writeAlbums({QStringLiteral("Alps"), QStringLiteral("Beach")});
    window.awakeFromNib();
    EXPECT_EQ(window.gSelectedAlbumIndex, 0);
    EXPECT_EQ(stringsOf(window.gKeysForAlbum), (QStringList{QStringLiteral("Alps1"), QStringLiteral("Alps2")}));
    EXPECT_EQ(ui.title.stringValue(), QStringLiteral("Slideshow"));
}

TEST_F(WindowStartUp, WithoutTitleFieldTheChoiceStillTakesTheKeys)
{
    window.gSlideshowTitleField = nullptr;
    writeAlbums({QStringLiteral("Alps"), QStringLiteral("Beach")});
    window.awakeFromNib();
    ui.albums.chooseItemAtIndex(1);
    EXPECT_EQ(stringsOf(window.gKeysForAlbum), (QStringList{QStringLiteral("Beach1"), QStringLiteral("Beach2")}));
    EXPECT_TRUE(window.getSlideShowTitle().isNull());
}

// The index of the random item is noted once, at start-up.
struct RandomItemCase {
    const char *name;
    bool hasPopup;
    QStringList titles;
    int32_t index;
};

class RandomItemIndex : public WindowStartUp, public ::testing::WithParamInterface<RandomItemCase> {};

TEST_P(RandomItemIndex, IsNotedAtStartUp)
{
    const RandomItemCase &c = GetParam();
    ui.transitions.setItems(c.titles);
    if (!c.hasPopup)
        window.gTransitionSelectionField = nullptr;
    window.awakeFromNib();
    EXPECT_EQ(window.gIndexOfRandom, c.index);

    // Never recomputed afterwards.
    ui.transitions.setItems({QStringLiteral("(random)")});
    window.applicationWillBecomeActive();
    EXPECT_EQ(window.gIndexOfRandom, c.index);
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, RandomItemIndex,
    ::testing::Values(
        RandomItemCase{"Last", true, HeadlessWindow::transitionTitles(), 3},
        RandomItemCase{"Third", true,
                       {QStringLiteral("Cross Dissolve"), QStringLiteral("Edge Wipe"), QStringLiteral("(random)"),
                        QStringLiteral("Iris Round")},
                       2},
        RandomItemCase{"First", true, {QStringLiteral("(random)"), QStringLiteral("Edge Wipe")}, 0},
        RandomItemCase{"None", true, {QStringLiteral("Cross Dissolve"), QStringLiteral("random")}, -1},
        RandomItemCase{"NoPopup", false, {}, 0}),
    [](const auto &info) { return std::string(info.param.name); });
