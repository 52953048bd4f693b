// Window start-up, the album popup's refill at each load and the user's
// album choice.

#include "AlbumFile.h"
#include "HeadlessWindow.h"
#include "LogCapture.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

using fixtures::HeadlessWindow;

namespace {

const QString kAlps = QStringLiteral("Alps");
const QString kBeach = QStringLiteral("Beach");
const QString kCity = QStringLiteral("City");

class WindowStartUp : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(home.isValid()); }

    // One album per name; album "X" holds the photo keys "X1" and "X2".
    void writeAlbums(const QStringList &names)
    {
        fixtures::AlbumFile file;
        for (const QString &name : names)
            file.album(name, {name + QLatin1Char('1'), name + QLatin1Char('2')});
        ASSERT_TRUE(home.writeAlbumFile(file.xml()));
    }

    // Popup, photo keys and title all stand for album `name` at `index`.
    void expectAlbumSelected(int32_t index, const QString &name)
    {
        EXPECT_EQ(ui.albums.indexOfSelectedItem(), index);
        EXPECT_EQ(ui.albums.titleOfSelectedItem(), name);
        EXPECT_EQ(window.gSelectedAlbumIndex, index);
        EXPECT_EQ(window.gKeysForAlbum.at(0).toString(), name + QLatin1Char('1'));
        EXPECT_EQ(ui.title.stringValue(), name);
    }

    fixtures::TemporaryHome home;
    fixtures::LogCapture log;
    HeadlessWindow ui;
    rvWindow &window = ui.window;
};

} // namespace

TEST_F(WindowStartUp, PlaceholderIsReplacedAndNotRemembered)
{
    ui.albums.setItems({kCity}); // a single item, even an album's name, is not remembered
    writeAlbums({kAlps, kBeach, kCity});
    window.awakeFromNib();
    EXPECT_EQ(ui.albums.itemTitles(), (QStringList{kAlps, kBeach, kCity}));
    expectAlbumSelected(0, kAlps);
}

TEST_F(WindowStartUp, ChosenAlbumIsFoundAgainByNameAfterItMoved)
{
    writeAlbums({kAlps, kBeach, kCity});
    window.awakeFromNib();
    ui.albums.chooseItemAtIndex(2);
    expectAlbumSelected(2, kCity);
    ui.title.setStringValue(QStringLiteral("My own title"));

    writeAlbums({kAlps, kCity, kBeach});
    window.applicationWillBecomeActive();
    expectAlbumSelected(1, kCity); // the typed title is replaced

    writeAlbums({kBeach, kAlps}); // deleted: the first album
    window.applicationWillBecomeActive();
    expectAlbumSelected(0, kBeach);
}

TEST_F(WindowStartUp, SingleAlbumIsNotRememberedAcrossARefill)
{
    writeAlbums({kBeach});
    window.awakeFromNib();
    writeAlbums({kAlps, kBeach});
    window.applicationWillBecomeActive();
    expectAlbumSelected(0, kAlps);
}

TEST_F(WindowStartUp, EqualNamesStaySeparateItems)
{
    writeAlbums({kAlps, kBeach, kAlps});
    window.awakeFromNib();
    ASSERT_EQ(ui.albums.numberOfItems(), 3);
    ui.albums.chooseItemAtIndex(2);
    EXPECT_TRUE(window.gKeysForAlbum.isSameNode(window.gAlbumsArray.at(2).value(QStringLiteral("KeyList"))));
    // A refill finds the first album of that name.
    window.applicationWillBecomeActive();
    EXPECT_TRUE(window.gKeysForAlbum.isSameNode(window.gAlbumsArray.at(0).value(QStringLiteral("KeyList"))));
}

TEST_F(WindowStartUp, NoSelectionLeavesKeysAndTitleAlone)
{
    writeAlbums({kAlps, kBeach});
    window.awakeFromNib();
    const Value keys = window.gKeysForAlbum;
    ui.albums.selectItemAtIndex(-1);
    window.setSelectedAlbum();
    EXPECT_EQ(window.gSelectedAlbumIndex, -1);
    EXPECT_TRUE(window.gKeysForAlbum.isSameNode(keys));
    EXPECT_EQ(ui.title.stringValue(), kAlps);

    // Refilling a popup without a selection selects the first item, even
    // when another item is titled "".
    window.setAlbumNames(QStringList{kBeach, QStringLiteral("")});
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), 0);
    // No names at all: empty, nothing selected.
    window.setAlbumNames(std::nullopt);
    EXPECT_EQ(ui.albums.numberOfItems(), 0);
    EXPECT_EQ(ui.albums.indexOfSelectedItem(), -1);
}

TEST_F(WindowStartUp, UnsetAlbumPopupOrTitleFieldAreHarmless)
{
    writeAlbums({kAlps, kBeach});
    // An unset popup reads its selection as 0; there is no name to copy.
    window.gAlbumPopup = nullptr;
    window.awakeFromNib();
    EXPECT_EQ(window.gSelectedAlbumIndex, 0);
    EXPECT_EQ(window.gKeysForAlbum.at(0).toString(), QStringLiteral("Alps1"));
    EXPECT_EQ(ui.title.stringValue(), QStringLiteral("Slideshow"));

    window.gAlbumPopup = &ui.albums;
    window.gSlideshowTitleField = nullptr;
    window.refreshIPhotoData();
    ui.albums.chooseItemAtIndex(1);
    EXPECT_EQ(window.gKeysForAlbum.at(0).toString(), QStringLiteral("Beach1"));
    EXPECT_TRUE(window.getSlideShowTitle().isNull());
}

// The index of the random item is noted once, at start-up.
TEST_F(WindowStartUp, RandomItemIndexIsNotedOnce)
{
    const struct {
        QStringList titles; // empty: no transition popup
        int32_t index;
    } cases[] = {
        {HeadlessWindow::transitionTitles(), 3},
        {{QStringLiteral("Cross Dissolve"), QStringLiteral("Edge Wipe"), QStringLiteral("(random)"), kCity}, 2},
        {{QStringLiteral("(random)"), QStringLiteral("Edge Wipe")}, 0},
        {{QStringLiteral("Cross Dissolve"), QStringLiteral("random")}, -1},
        {{}, 0},
    };
    for (const auto &c : cases) {
        HeadlessWindow other;
        other.transitions.setItems(c.titles);
        if (c.titles.isEmpty())
            other.window.gTransitionSelectionField = nullptr;
        other.window.awakeFromNib();
        EXPECT_EQ(other.window.gIndexOfRandom, c.index) << c.titles.join(QLatin1Char(',')).toStdString();
        other.transitions.setItems({QStringLiteral("(random)")});
        other.window.applicationWillBecomeActive();
        EXPECT_EQ(other.window.gIndexOfRandom, c.index);
    }
}
