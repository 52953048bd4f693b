#include "HeadlessControls.h"

#include <gtest/gtest.h>

#include <limits>

using toolkit::headless::Button;
using toolkit::headless::PopUpButton;
using toolkit::headless::TextField;

namespace {

const QStringList kAlbums = {QStringLiteral("Summer"), QStringLiteral("Winter"),
                             QStringLiteral("Summer"), QStringLiteral("")};

} // namespace

TEST(HeadlessPopUpButton, StartsEmptyWithoutSelection)
{
    PopUpButton popup;
    EXPECT_EQ(popup.numberOfItems(), 0);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    EXPECT_TRUE(popup.titleOfSelectedItem().isNull());
    EXPECT_TRUE(popup.itemTitleAtIndex(0).isNull());
}

TEST(HeadlessPopUpButton, AddingToAnUnselectedPopupSelectsTheFirstItem)
{
    PopUpButton popup;
    popup.addItemsWithTitles(kAlbums);
    EXPECT_EQ(popup.numberOfItems(), 4);
    EXPECT_EQ(popup.indexOfSelectedItem(), 0);
    EXPECT_EQ(popup.titleOfSelectedItem(), QStringLiteral("Summer"));

    // Adding to a popup that already has a selection keeps it.
    popup.selectItemAtIndex(1);
    popup.addItemsWithTitles({QStringLiteral("Autumn")});
    EXPECT_EQ(popup.indexOfSelectedItem(), 1);
    EXPECT_EQ(popup.numberOfItems(), 5);

    // Adding nothing to an empty popup selects nothing.
    PopUpButton empty;
    empty.addItemsWithTitles({});
    EXPECT_EQ(empty.indexOfSelectedItem(), -1);
}

TEST(HeadlessPopUpButton, EqualTitlesStaySeparateItems)
{
    PopUpButton popup(kAlbums);
    EXPECT_EQ(popup.itemTitles(), kAlbums);
    EXPECT_EQ(popup.itemTitleAtIndex(2), QStringLiteral("Summer"));
    // The first of two equal titles is found.
    EXPECT_EQ(popup.indexOfItemWithTitle(QStringLiteral("Summer")), 0);
}

TEST(HeadlessPopUpButton, TitleLookupIsExact)
{
    PopUpButton popup(kAlbums);
    EXPECT_EQ(popup.indexOfItemWithTitle(QStringLiteral("Winter")), 1);
    EXPECT_EQ(popup.indexOfItemWithTitle(QStringLiteral("winter")), -1);
    EXPECT_EQ(popup.indexOfItemWithTitle(QStringLiteral("Winter ")), -1);
    EXPECT_EQ(popup.indexOfItemWithTitle(QStringLiteral("")), 3);
    // A null title is no title: it does not find the item titled "".
    EXPECT_EQ(popup.indexOfItemWithTitle(QString()), -1);
}

TEST(HeadlessPopUpButton, ItemTitleOutsideTheItemsIsNull)
{
    PopUpButton popup(kAlbums);
    for (int32_t index : {-1, 4, 5, std::numeric_limits<int32_t>::min(),
                          std::numeric_limits<int32_t>::max()})
        EXPECT_TRUE(popup.itemTitleAtIndex(index).isNull()) << index;
    // An item titled "" gives an empty, not a null, title.
    EXPECT_FALSE(popup.itemTitleAtIndex(3).isNull());
    EXPECT_TRUE(popup.itemTitleAtIndex(3).isEmpty());
}

TEST(HeadlessPopUpButton, SelectingMinusOneClearsAndOutOfRangeIsIgnored)
{
    PopUpButton popup(kAlbums);
    popup.selectItemAtIndex(2);
    EXPECT_EQ(popup.indexOfSelectedItem(), 2);

    for (int32_t index : {4, 100, -2, std::numeric_limits<int32_t>::min()}) {
        popup.selectItemAtIndex(index);
        EXPECT_EQ(popup.indexOfSelectedItem(), 2) << index;
    }

    popup.selectItemAtIndex(-1);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    EXPECT_TRUE(popup.titleOfSelectedItem().isNull());
}

TEST(HeadlessPopUpButton, RemoveAllItemsDropsTheSelection)
{
    PopUpButton popup(kAlbums);
    popup.selectItemAtIndex(1);
    popup.removeAllItems();
    EXPECT_EQ(popup.numberOfItems(), 0);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);

    // A refill then selects the first item again.
    popup.addItemsWithTitles({QStringLiteral("A"), QStringLiteral("B")});
    EXPECT_EQ(popup.indexOfSelectedItem(), 0);

    popup.setItems({QStringLiteral("C")});
    EXPECT_EQ(popup.itemTitles(), QStringList{QStringLiteral("C")});
    EXPECT_EQ(popup.indexOfSelectedItem(), 0);
}

TEST(HeadlessPopUpButton, ChoosingAnItemSelectsItThenSendsTheAction)
{
    PopUpButton popup(kAlbums);
    int sent = 0;
    int32_t selectedWhenSent = -2;
    popup.setAction([&] {
        ++sent;
        selectedWhenSent = popup.indexOfSelectedItem();
    });

    popup.chooseItemAtIndex(1);
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(selectedWhenSent, 1);

    // Choosing nothing, or an item that is not there, sends nothing.
    popup.chooseItemAtIndex(-1);
    popup.chooseItemAtIndex(4);
    EXPECT_EQ(sent, 1);
    EXPECT_EQ(popup.indexOfSelectedItem(), 1);

    // Selecting from code is not a user's pick.
    popup.selectItemAtIndex(2);
    EXPECT_EQ(sent, 1);
}

TEST(HeadlessTextField, IntValueIsTheLeadingInteger)
{
    const struct {
        const char *text;
        int32_t value;
    } cases[] = {
        {"", 0},          {"abc", 0},         {"5", 5},
        {"  42", 42},     {"-7 s", -7},       {"+3", 3},
        {"2.5", 2},       {"720 px", 720},    {"99999999999", std::numeric_limits<int32_t>::max()},
        {"-99999999999", std::numeric_limits<int32_t>::min()},
    };
    TextField field;
    for (const auto &c : cases) {
        field.setStringValue(QString::fromUtf8(c.text));
        EXPECT_EQ(field.intValue(), c.value) << c.text;
        EXPECT_EQ(field.stringValue(), QString::fromUtf8(c.text));
    }
}

TEST(HeadlessTextField, KeepsTheTextAsGiven)
{
    TextField field(QStringLiteral(" 720 px "));
    EXPECT_EQ(field.stringValue(), QStringLiteral(" 720 px "));
    EXPECT_TRUE(TextField().stringValue().isEmpty());
}

TEST(HeadlessButton, StateIsWhatWasSet)
{
    Button button;
    EXPECT_EQ(button.state(), 0);
    button.setState(1);
    EXPECT_EQ(button.state(), 1);
    EXPECT_EQ(Button(1).state(), 1);
}
