// The headless toolkit: its controls and its scripted save panels.
#include "HeadlessBackend.h"
#include "HeadlessControls.h"

#include <gtest/gtest.h>

#include <QStringList>

using toolkit::SavePanel;
using toolkit::headless::Backend;
using toolkit::headless::ScopedBackend;

TEST(HeadlessBackend, FreshPanelsAnswerFromTheScriptAndRecordEachRun)
{
    Backend backend;
    ScopedBackend installed(backend);
    for (const char *path : {"/d/Trip.JSON", "/d.json/Trip.txt", "/d/.json"})
        backend.confirmNextRunWith(path);
    backend.cancelNextRun();
    backend.confirmNextRunWith("/d/plain");
    QStringList runs; // directory|proposed name|required type|chosen path, or "-" for a cancel
    const auto answer = [&](SavePanel &panel, const char *directory, const char *file) {
        const bool ok = panel.runModalForDirectory(directory, file) == SavePanel::kOK;
        const auto &run = backend.savePanelRuns().back();
        EXPECT_TRUE(run.confirmed == ok && run.chosenPath == panel.filename()) << qPrintable(panel.filename());
        runs << QStringList{run.directory, run.proposedFile, run.requiredFileType, ok ? run.chosenPath : "-"}.join('|');
    };
    auto typed = toolkit::savePanel();
    typed->setRequiredFileType("json");
    for (const char *file : {"A", "B", "C", "D"})
        answer(*typed, "/home/u", file);
    auto fresh = toolkit::savePanel(); // a new panel: no required type carried over
    answer(*fresh, "/elsewhere", "");
    answer(*fresh, "/x", "y"); // the script is used up: a cancel
    EXPECT_EQ(backend.savePanelsMade(), 2);
    EXPECT_EQ(runs, QStringList({"/home/u|A|json|/d/Trip.JSON", "/home/u|B|json|/d.json/Trip.txt.json",
                                 "/home/u|C|json|/d/.json.json", "/home/u|D|json|-", "/elsewhere|||/d/plain",
                                 "/x|y||-"}));
}

TEST(HeadlessBackend, CountsBeepsWhileInstalledForAScope)
{
    EXPECT_EQ(toolkit::savePanel(), nullptr); // no backend yet: no panel, and a beep does nothing
    toolkit::beep();
    Backend outer, inner;
    ScopedBackend installOuter(outer);
    {
        ScopedBackend installInner(inner);
        toolkit::beep();
        toolkit::beep();
    }
    toolkit::beep(); // the outer backend is back in place
    EXPECT_EQ(std::pair(inner.beepCount(), outer.beepCount()), std::pair(2, 1));
}

// A type offered beside the required one can be chosen; the path then carries
// its extension. An answer naming a type not offered keeps the required one.
TEST(HeadlessBackend, AnswerCanChooseAnOfferedType)
{
    Backend backend;
    ScopedBackend installed(backend);
    const struct { const char *path, *type, *chosenPath, *chosenType; } cases[] = {
        {"/d/Trip", "mlt", "/d/Trip.mlt", "mlt"},     {"/d/Trip.MLT", "mlt", "/d/Trip.MLT", "mlt"},
        {"/d/Trip.mlt", "", "/d/Trip.mlt.json", "json"}, {"/d/Trip", "txt", "/d/Trip.json", "json"},
    };
    for (const auto &c : cases) {
        backend.confirmNextRunWith(c.path, c.type);
        auto panel = toolkit::savePanel();
        panel->setRequiredFileType("json");
        panel->setFileTypes({{"json", "J (*.json)"}, {"mlt", "M (*.mlt)"}});
        ASSERT_EQ(panel->runModalForDirectory("/d", "Trip"), SavePanel::kOK);
        EXPECT_EQ(QStringList({panel->filename(), panel->chosenFileType()}), QStringList({c.chosenPath, c.chosenType}));
        EXPECT_EQ(backend.savePanelRuns().back().otherFileTypes, QStringList{"mlt"});
    }
    backend.confirmNextRunWith("/d/Trip", "mlt"); // offered only beside a required type
    auto untyped = toolkit::savePanel();
    untyped->setFileTypes({{"json", "J (*.json)"}, {"mlt", "M (*.mlt)"}});
    ASSERT_EQ(untyped->runModalForDirectory("/d", "Trip"), SavePanel::kOK);
    EXPECT_EQ(QStringList({untyped->filename(), untyped->chosenFileType()}), QStringList({"/d/Trip", ""}));
}

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
