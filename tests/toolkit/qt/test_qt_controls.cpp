// The Qt adapters against what the window relies on of its controls.
#include "QtControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include <gtest/gtest.h>

#include <limits>
#include <ostream>
#include <memory>

using toolkit::QtButton;
using toolkit::QtPopUpButton;
using toolkit::QtTextField;

namespace {

QStringList titlesOf(const QComboBox &combo)
{
    QStringList titles;
    for (int i = 0; i < combo.count(); ++i)
        titles << combo.itemText(i);
    return titles;
}

// How the combo looks before items are added, and what selection follows.
struct AddCase {
    const char *name;
    QStringList before;
    int selectedBefore; // -1: selection cleared
    bool placeholderText;
    QStringList added;
    int selectedAfter;
};

void PrintTo(const AddCase &c, std::ostream *os) { *os << c.name; }

class PopUpAddItems : public ::testing::TestWithParam<AddCase> {};

TEST_P(PopUpAddItems, SelectsTheFirstItemOnlyWhenNothingIsSelected)
{
    const AddCase &c = GetParam();
    QComboBox combo;
    if (c.placeholderText)
        combo.setPlaceholderText(QStringLiteral("No photo library found"));
    combo.addItems(c.before);
    combo.setCurrentIndex(c.selectedBefore);
    QtPopUpButton popup(&combo);

    popup.addItemsWithTitles(c.added);

    EXPECT_EQ(titlesOf(combo), c.before + c.added);
    EXPECT_EQ(popup.numberOfItems(), c.before.size() + c.added.size());
    EXPECT_EQ(popup.indexOfSelectedItem(), c.selectedAfter);
    EXPECT_EQ(combo.currentIndex(), c.selectedAfter);
}

INSTANTIATE_TEST_SUITE_P(
    QtPopUpButton, PopUpAddItems,
    ::testing::Values(
        AddCase{"EmptyCombo", {}, -1, false, {"A", "B"}, 0},
        // QComboBox on its own leaves a combo with placeholder text unselected.
        AddCase{"EmptyComboWithPlaceholder", {}, -1, true, {"A", "B"}, 0},
        AddCase{"ItemsWithSelectionCleared", {"X", "Y"}, -1, false, {"A"}, 0},
        AddCase{"ItemsWithSelectionKept", {"X", "Y"}, 1, false, {"A"}, 1},
        AddCase{"NothingAdded", {}, -1, true, {}, -1},
        AddCase{"EqualTitlesKept", {}, -1, false, {"A", "A", "B", "A"}, 0}),
    [](const auto &info) { return std::string(info.param.name); });

TEST(QtPopUpButton, ItemsByTitleAndIndex)
{
    QComboBox combo;
    QtPopUpButton popup(&combo);
    popup.addItemsWithTitles({"Garden", "Trip", "Garden", "", "trip"});

    EXPECT_EQ(popup.indexOfItemWithTitle("Garden"), 0); // the first of equal titles
    EXPECT_EQ(popup.indexOfItemWithTitle("trip"), 4);   // case counts
    EXPECT_EQ(popup.indexOfItemWithTitle("Trip "), -1); // the whole title
    EXPECT_EQ(popup.indexOfItemWithTitle("Missing"), -1);
    EXPECT_EQ(popup.indexOfItemWithTitle(""), 3);
    EXPECT_EQ(popup.indexOfItemWithTitle(QString()), -1);

    EXPECT_EQ(popup.itemTitleAtIndex(2), "Garden");
    const QString emptyTitle = popup.itemTitleAtIndex(3);
    EXPECT_TRUE(emptyTitle.isEmpty());
    EXPECT_FALSE(emptyTitle.isNull());
    EXPECT_TRUE(popup.itemTitleAtIndex(-1).isNull());
    EXPECT_TRUE(popup.itemTitleAtIndex(5).isNull());
    EXPECT_TRUE(popup.itemTitleAtIndex(std::numeric_limits<int32_t>::min()).isNull());
}

TEST(QtPopUpButton, Selection)
{
    QComboBox combo;
    QtPopUpButton popup(&combo);
    popup.addItemsWithTitles({"A", "B", ""});

    popup.selectItemAtIndex(1);
    EXPECT_EQ(popup.indexOfSelectedItem(), 1);
    EXPECT_EQ(popup.titleOfSelectedItem(), "B");

    popup.selectItemAtIndex(7); // names no item: ignored
    EXPECT_EQ(popup.indexOfSelectedItem(), 1);
    popup.selectItemAtIndex(-2);
    EXPECT_EQ(popup.indexOfSelectedItem(), 1);

    popup.selectItemAtIndex(2);
    EXPECT_FALSE(popup.titleOfSelectedItem().isNull());
    EXPECT_TRUE(popup.titleOfSelectedItem().isEmpty());

    popup.selectItemAtIndex(-1);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    EXPECT_TRUE(popup.titleOfSelectedItem().isNull());

    popup.removeAllItems();
    EXPECT_EQ(popup.numberOfItems(), 0);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    EXPECT_TRUE(popup.titleOfSelectedItem().isNull());
}

TEST(QtControls, ReadAsEmptyOnceTheWidgetIsGone)
{
    auto combo = std::make_unique<QComboBox>();
    auto edit = std::make_unique<QLineEdit>(QStringLiteral("42"));
    auto check = std::make_unique<QCheckBox>();
    check->setChecked(true);
    QtPopUpButton popup(combo.get());
    QtTextField field(edit.get());
    QtButton button(check.get());
    popup.addItemsWithTitles({"A"});

    combo.reset();
    edit.reset();
    check.reset();

    EXPECT_EQ(popup.numberOfItems(), 0);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    EXPECT_TRUE(popup.titleOfSelectedItem().isNull());
    EXPECT_EQ(popup.indexOfItemWithTitle("A"), -1);
    popup.addItemsWithTitles({"B"}); // ignored, no crash
    popup.selectItemAtIndex(0);
    popup.removeAllItems();
    EXPECT_TRUE(field.stringValue().isNull());
    EXPECT_EQ(field.intValue(), 0);
    field.setStringValue("7");
    EXPECT_EQ(button.state(), 0);
}

TEST(QtTextField, StringValueFollowsTheWidget)
{
    QLineEdit edit;
    QtTextField field(&edit);
    EXPECT_FALSE(field.stringValue().isNull()); // an empty field is "", not no string
    EXPECT_TRUE(field.stringValue().isEmpty());

    field.setStringValue(QStringLiteral("Été à Paris"));
    EXPECT_EQ(edit.text(), QStringLiteral("Été à Paris"));
    edit.setText(QStringLiteral(" 12 seconds"));
    EXPECT_EQ(field.stringValue(), QStringLiteral(" 12 seconds"));
    EXPECT_EQ(field.intValue(), 12);
    edit.setText(QStringLiteral("2.5"));
    EXPECT_EQ(field.intValue(), 2);
    edit.setText(QStringLiteral("five"));
    EXPECT_EQ(field.intValue(), 0);
}

TEST(QtButton, StateIsOneWhenChecked)
{
    QCheckBox check;
    QtButton button(&check);
    EXPECT_EQ(button.state(), 0);
    check.setChecked(true);
    EXPECT_EQ(button.state(), 1);
    check.click();
    EXPECT_EQ(button.state(), 0);
}

} // namespace
