#include "HeadlessControls.h"

#include <gtest/gtest.h>

TEST(HeadlessControls, PopUpSelectionTitlesAndChoice)
{
    toolkit::headless::PopUpButton popup;
    QList<int32_t> selectedWhenSent;
    popup.setAction([&] { selectedWhenSent.append(popup.indexOfSelectedItem()); });
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    popup.addItemsWithTitles({"Summer", "Winter", "Summer", ""}); // items but no selection: the first
    EXPECT_EQ(popup.indexOfSelectedItem(), 0);
    popup.chooseItemAtIndex(1);
    for (int32_t outside : {4, -2, INT32_MIN}) {
        popup.selectItemAtIndex(outside); // ignored
        popup.chooseItemAtIndex(outside); // no choice, no action
        EXPECT_TRUE(popup.itemTitleAtIndex(outside).isNull());
    }
    popup.addItemsWithTitles({"Autumn"}); // a selection stays
    EXPECT_EQ(popup.titleOfSelectedItem(), "Winter");
    EXPECT_EQ(selectedWhenSent, QList<int32_t>{1}); // selected before the action
    EXPECT_EQ(popup.indexOfItemWithTitle("Summer"), 0);
    EXPECT_EQ(popup.indexOfItemWithTitle("winter"), -1);
    EXPECT_EQ(popup.indexOfItemWithTitle(""), 3);
    EXPECT_EQ(popup.indexOfItemWithTitle(QString()), -1); // no title finds no item
    popup.setItems({"Spring"});
    EXPECT_EQ(popup.titleOfSelectedItem(), "Spring");
    popup.selectItemAtIndex(-1);
    EXPECT_TRUE(popup.titleOfSelectedItem().isNull());
    EXPECT_EQ(toolkit::headless::TextField(" -7 s").intValue(), -7);
}
