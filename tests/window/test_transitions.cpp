// The transition named by the transition popup, with its random pick.

#include "HeadlessWindow.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <QSet>

#include <cstdlib>
#include <vector>

using fixtures::HeadlessWindow;

namespace {

const QString kRandomLogLine = QStringLiteral("we got the index for random in getTransitionName:forIndex");
const QString kCrossDissolve = QStringLiteral("Cross Dissolve");
const QString kDissolve = QStringLiteral("Dissolve");

// The next values of the C library's generator from the state srandom(1)
// sets, which is also its state when never seeded; leaves it in that state.
std::vector<long> drawsFromTheUnseededState(int count)
{
    std::vector<long> draws;
    ::srandom(1);
    for (int i = 0; i < count; ++i)
        draws.push_back(::random());
    ::srandom(1);
    return draws;
}

} // namespace

TEST(TransitionChoice, TitlesMapToResultAndShortName)
{
    const struct {
        QString title, result, shortName;
        bool logs;
    } cases[] = {
        {kCrossDissolve, kCrossDissolve, kDissolve, false},
        {QStringLiteral("Edge Wipe"), QStringLiteral("Edge Wipe"), QStringLiteral("Wipe"), false},
        {QStringLiteral("Iris Round"), QStringLiteral("Iris Round"), QStringLiteral("Iris"), false},
        {QStringLiteral("random"), kCrossDissolve, kDissolve, true},
        // As a plain title the random item is just another transition.
        {QStringLiteral("(random)"), QStringLiteral("(random)"), QStringLiteral("Iris"), false},
        {QStringLiteral("edge wipe"), QStringLiteral("edge wipe"), QStringLiteral("Iris"), false},
    };
    HeadlessWindow ui;
    ui.window.gIndexOfRandom = -1;
    for (const auto &c : cases) {
        ui.transitions.setItems({c.title});
        fixtures::LogCapture log;
        QString byIndex = QStringLiteral("stale");
        QString bySelection = QStringLiteral("stale");
        EXPECT_EQ(ui.window.getTransitionName(byIndex, 0), c.result);
        EXPECT_EQ(ui.window.getTransitionName(bySelection), c.result);
        EXPECT_EQ(byIndex, c.shortName);
        EXPECT_EQ(bySelection, c.shortName);
        EXPECT_EQ(log.lines(), (c.logs ? QStringList{kRandomLogLine, kRandomLogLine} : QStringList{}))
            << c.title.toStdString();
    }
}

TEST(TransitionChoice, RandomItemPicksOnlyFromTheTransitionsBeforeIt)
{
    const QStringList randomLast = HeadlessWindow::transitionTitles();
    const QStringList randomThird = {kCrossDissolve, QStringLiteral("Edge Wipe"), QStringLiteral("(random)"),
                                     QStringLiteral("Iris Round")};
    for (const QStringList &titles : {randomLast, randomThird}) {
        HeadlessWindow ui;
        ui.transitions.setItems(titles);
        ui.window.awakeFromNib();
        const int32_t before = ui.window.gIndexOfRandom;
        ASSERT_GE(before, 2);
        ui.selectTransition(QStringLiteral("(random)"));
        fixtures::LogCapture log;

        QSet<QString> picked;
        for (long draw : drawsFromTheUnseededState(30)) {
            QString shortName;
            const QString title = ui.window.getTransitionName(shortName);
            EXPECT_EQ(title, titles[draw % before]);
            picked.insert(title);
        }
        EXPECT_EQ(picked.size(), before); // every transition before it comes up
        EXPECT_TRUE(log.lines().isEmpty());
    }
}

TEST(TransitionChoice, EmptyRangeGivesCrossDissolveWithoutADraw)
{
    HeadlessWindow randomFirst;
    randomFirst.transitions.setItems({QStringLiteral("(random)"), QStringLiteral("Edge Wipe")});
    HeadlessWindow noPopup;
    noPopup.window.gTransitionSelectionField = nullptr;
    for (HeadlessWindow *ui : {&randomFirst, &noPopup}) {
        ui->window.awakeFromNib();
        ASSERT_EQ(ui->window.gIndexOfRandom, 0);
        fixtures::LogCapture log;
        const long next = drawsFromTheUnseededState(1).front();
        QString shortName = QStringLiteral("stale");
        EXPECT_EQ(ui->window.getTransitionName(shortName), kCrossDissolve);
        EXPECT_EQ(shortName, kDissolve);
        EXPECT_EQ(::random(), next); // the generator was left alone
        EXPECT_TRUE(log.lines().isEmpty());
    }
    randomFirst.transitions.selectItemAtIndex(1);
    QString shortName;
    EXPECT_EQ(randomFirst.window.getTransitionName(shortName), QStringLiteral("Edge Wipe"));
}

TEST(TransitionChoice, NothingSelected)
{
    // Without a random item: the first item.
    HeadlessWindow ui;
    ui.transitions.setItems({QStringLiteral("Edge Wipe"), kCrossDissolve});
    ui.window.awakeFromNib();
    ASSERT_EQ(ui.window.gIndexOfRandom, -1);
    ui.transitions.selectItemAtIndex(-1);
    QString shortName;
    EXPECT_EQ(ui.window.getTransitionName(shortName), QStringLiteral("Edge Wipe"));
    EXPECT_EQ(shortName, QStringLiteral("Wipe"));

    // With a random item: -1 names no item, which gives Cross Dissolve, as
    // every index outside the items does.
    HeadlessWindow withRandom;
    withRandom.window.awakeFromNib();
    withRandom.transitions.selectItemAtIndex(-1);
    fixtures::LogCapture log;
    shortName = QStringLiteral("stale");
    EXPECT_EQ(withRandom.window.getTransitionName(shortName), kCrossDissolve);
    EXPECT_EQ(shortName, kDissolve);
    for (int32_t index : {-1, 4, 1000}) {
        shortName = QStringLiteral("stale");
        EXPECT_EQ(withRandom.window.getTransitionName(shortName, index), kCrossDissolve) << index;
        EXPECT_EQ(shortName, kDissolve) << index;
    }
    EXPECT_TRUE(log.lines().isEmpty());
}
