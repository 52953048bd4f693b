#include "HeadlessControls.h"

#include <gtest/gtest.h>

#include <limits>

using toolkit::headless::PopUpButton;
using toolkit::headless::TextField;

namespace {
const QStringList kTitles = {QStringLiteral("Summer"), QStringLiteral("Winter"), QStringLiteral("Summer"),
                             QStringLiteral("")};
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();
constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
} // namespace

TEST(HeadlessPopUpButton, SelectionFollowsAddingAndRemovingItems)
{
    PopUpButton popup;
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    EXPECT_TRUE(popup.titleOfSelectedItem().isNull());
    popup.addItemsWithTitles({});
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);

    popup.addItemsWithTitles(kTitles); // items but no selection: the first
    EXPECT_EQ(popup.itemTitles(), kTitles); // equal titles are not folded
    EXPECT_EQ(popup.indexOfSelectedItem(), 0);
    popup.selectItemAtIndex(1);
    popup.addItemsWithTitles({QStringLiteral("Autumn")}); // a selection stays
    EXPECT_EQ(popup.indexOfSelectedItem(), 1);
    EXPECT_EQ(popup.titleOfSelectedItem(), QStringLiteral("Winter"));

    popup.removeAllItems();
    EXPECT_EQ(popup.numberOfItems(), 0);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
}

TEST(HeadlessPopUpButton, SelectingMinusOneClearsAndOtherIndexesOutsideAreIgnored)
{
    PopUpButton popup(kTitles);
    popup.selectItemAtIndex(2);
    for (int32_t index : {4, -2, kMin, kMax})
        popup.selectItemAtIndex(index);
    EXPECT_EQ(popup.indexOfSelectedItem(), 2);
    popup.selectItemAtIndex(-1);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    EXPECT_TRUE(popup.titleOfSelectedItem().isNull());
}

TEST(HeadlessPopUpButton, TitleLookupsAreExact)
{
    PopUpButton popup(kTitles);
    EXPECT_EQ(popup.indexOfItemWithTitle(QStringLiteral("Summer")), 0); // the first of equal titles
    EXPECT_EQ(popup.indexOfItemWithTitle(QStringLiteral("winter")), -1);
    EXPECT_EQ(popup.indexOfItemWithTitle(QStringLiteral("")), 3);
    EXPECT_EQ(popup.indexOfItemWithTitle(QString()), -1); // no title finds no item
    for (int32_t index : {-1, 4, kMin, kMax})
        EXPECT_TRUE(popup.itemTitleAtIndex(index).isNull()) << index;
    EXPECT_FALSE(popup.itemTitleAtIndex(3).isNull());
}

TEST(HeadlessPopUpButton, ChoosingAnItemSelectsItBeforeSendingTheAction)
{
    PopUpButton popup(kTitles);
    QList<int32_t> selectedWhenSent;
    popup.setAction([&] { selectedWhenSent.append(popup.indexOfSelectedItem()); });
    popup.chooseItemAtIndex(1);
    popup.chooseItemAtIndex(-1); // nothing to choose: no action
    popup.chooseItemAtIndex(4);
    popup.selectItemAtIndex(2); // a selection from code is no choice
    EXPECT_EQ(selectedWhenSent, QList<int32_t>{1});
}

TEST(HeadlessTextField, IntValueIsTheLeadingIntegerOfTheText)
{
    TextField field(QStringLiteral(" -7 s"));
    EXPECT_EQ(field.intValue(), -7);
    field.setStringValue(QStringLiteral("2.5"));
    EXPECT_EQ(field.intValue(), 2);
    field.setStringValue(QStringLiteral("99999999999"));
    EXPECT_EQ(field.intValue(), kMax);
    EXPECT_EQ(field.stringValue(), QStringLiteral("99999999999"));
}
