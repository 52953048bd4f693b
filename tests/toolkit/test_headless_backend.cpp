#include "HeadlessBackend.h"

#include <gtest/gtest.h>

using toolkit::SavePanel;
using toolkit::headless::Backend;
using toolkit::headless::ScopedBackend;

TEST(HeadlessBackend, AnswersRunsInScriptOrderAndRecordsEachRun)
{
    Backend backend;
    backend.confirmNextRunWith("/tmp/out/first.json");
    backend.cancelNextRun();
    backend.confirmNextRunWith("/tmp/out/third.json");
    EXPECT_EQ(backend.pendingAnswers(), 3u);

    auto first = backend.makeSavePanel();
    first->setRequiredFileType("json");
    EXPECT_EQ(first->runModalForDirectory("/home/u/Desktop", "Trip"), SavePanel::kOK);
    EXPECT_EQ(first->filename(), "/tmp/out/first.json");

    auto second = backend.makeSavePanel();
    second->setRequiredFileType("json");
    EXPECT_NE(second->runModalForDirectory("/home/u/Desktop", "Other"), SavePanel::kOK);
    EXPECT_TRUE(second->filename().isEmpty());

    auto third = backend.makeSavePanel();
    EXPECT_EQ(third->runModalForDirectory("/elsewhere", ""), SavePanel::kOK);
    EXPECT_EQ(third->filename(), "/tmp/out/third.json");

    // The script is used up: a further run is a cancel.
    auto fourth = backend.makeSavePanel();
    EXPECT_NE(fourth->runModalForDirectory("/x", "y"), SavePanel::kOK);

    EXPECT_EQ(backend.pendingAnswers(), 0u);
    EXPECT_EQ(backend.savePanelsMade(), 4);
    const auto &runs = backend.savePanelRuns();
    ASSERT_EQ(runs.size(), 4u);
    EXPECT_EQ(runs[0].directory, "/home/u/Desktop");
    EXPECT_EQ(runs[0].proposedFile, "Trip");
    EXPECT_EQ(runs[0].requiredFileType, "json");
    EXPECT_TRUE(runs[0].confirmed);
    EXPECT_EQ(runs[1].proposedFile, "Other");
    EXPECT_FALSE(runs[1].confirmed);
    EXPECT_EQ(runs[2].directory, "/elsewhere");
    EXPECT_TRUE(runs[2].requiredFileType.isEmpty()); // this panel was never given a type
    EXPECT_FALSE(runs[3].confirmed);
}

TEST(HeadlessBackend, ConfirmedPathCarriesTheRequiredExtension)
{
    struct Case {
        const char *answer;
        const char *expected;
    };
    const Case cases[] = {
        {"/d/Trip.json", "/d/Trip.json"},
        {"/d/Trip.JSON", "/d/Trip.JSON"},
        {"/d/Trip", "/d/Trip.json"},
        {"/d/Trip.txt", "/d/Trip.txt.json"},
        {"/d/.json", "/d/.json.json"},      // a bare extension is no file name
        {"/d.json/Trip", "/d.json/Trip.json"}, // only the file name counts
    };
    for (const Case &c : cases) {
        Backend backend;
        backend.confirmNextRunWith(c.answer);
        auto panel = backend.makeSavePanel();
        panel->setRequiredFileType("json");
        ASSERT_EQ(panel->runModalForDirectory("/d", "Trip"), SavePanel::kOK) << c.answer;
        EXPECT_EQ(panel->filename(), c.expected) << c.answer;
        EXPECT_EQ(backend.savePanelRuns().back().chosenPath, c.expected);
    }
}

TEST(HeadlessBackend, CountsBeepsAndInstallsItselfForAScope)
{
    EXPECT_EQ(toolkit::backend(), nullptr);
    EXPECT_EQ(toolkit::savePanel(), nullptr); // no backend: no panel
    toolkit::beep();                          // and a beep is nothing

    Backend outer;
    {
        ScopedBackend installOuter(outer);
        EXPECT_EQ(toolkit::backend(), &outer);
        {
            Backend inner;
            ScopedBackend installInner(inner);
            toolkit::beep();
            toolkit::beep();
            EXPECT_NE(toolkit::savePanel(), nullptr);
            EXPECT_EQ(inner.beepCount(), 2);
            EXPECT_EQ(inner.savePanelsMade(), 1);
        }
        EXPECT_EQ(toolkit::backend(), &outer);
        toolkit::beep();
        EXPECT_EQ(outer.beepCount(), 1);
    }
    EXPECT_EQ(toolkit::backend(), nullptr);
}
