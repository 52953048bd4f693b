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

struct TitleCase {
    const char *title;
    const char *result;
    const char *shortName;
    bool logs;
};

class TransitionTitle : public ::testing::TestWithParam<TitleCase> {};

// The next `count` values of the C library's generator from the state that
// srandom(1) sets, which is also its state when never seeded. Leaves the
// generator in that state again.
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

TEST_P(TransitionTitle, MapsToResultAndShortName)
{
    const TitleCase &c = GetParam();
    HeadlessWindow ui;
    ui.transitions.setItems({QStringLiteral("Cross Dissolve"), QStringLiteral("Edge Wipe"), QStringLiteral("Iris Round"),
                             QStringLiteral("random"), QStringLiteral("(random)"), QStringLiteral("edge wipe"),
                             QStringLiteral("")});
    fixtures::LogCapture log;

    const int32_t index = ui.transitions.indexOfItemWithTitle(QString::fromUtf8(c.title));
    ASSERT_NE(index, -1);
    QString shortName = QStringLiteral("stale");
    EXPECT_EQ(ui.window.getTransitionName(shortName, index), QString::fromUtf8(c.result));
    EXPECT_EQ(shortName, QString::fromUtf8(c.shortName));

    // Through the selection, with no random item noted, the same.
    ui.window.gIndexOfRandom = -1;
    ui.transitions.selectItemAtIndex(index);
    shortName = QStringLiteral("stale");
    EXPECT_EQ(ui.window.getTransitionName(shortName), QString::fromUtf8(c.result));
    EXPECT_EQ(shortName, QString::fromUtf8(c.shortName));

    if (c.logs)
        EXPECT_EQ(log.lines(), (QStringList{kRandomLogLine, kRandomLogLine}));
    else
        EXPECT_TRUE(log.lines().isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, TransitionTitle,
    ::testing::Values(TitleCase{"Cross Dissolve", "Cross Dissolve", "Dissolve", false},
                      TitleCase{"Edge Wipe", "Edge Wipe", "Wipe", false},
                      TitleCase{"Iris Round", "Iris Round", "Iris", false},
                      TitleCase{"random", "Cross Dissolve", "Dissolve", true},
                      // As a plain title the random item is just another transition.
                      TitleCase{"(random)", "(random)", "Iris", false},
                      TitleCase{"edge wipe", "edge wipe", "Iris", false},
                      TitleCase{"", "", "Iris", false}));

TEST(TransitionChoice, RandomItemPicksFromTheTransitionsBeforeIt)
{
    HeadlessWindow ui; // "Cross Dissolve", "Edge Wipe", "Iris Round", "(random)"
    ui.window.awakeFromNib();
    ASSERT_EQ(ui.window.gIndexOfRandom, 3);
    ui.selectTransition(QStringLiteral("(random)"));
    fixtures::LogCapture log;

    const QStringList titles = HeadlessWindow::transitionTitles();
    const QStringList shortNames = {QStringLiteral("Dissolve"), QStringLiteral("Wipe"), QStringLiteral("Iris")};
    const std::vector<long> draws = drawsFromTheUnseededState(30);
    QSet<QString> picked;
    for (long draw : draws) {
        QString shortName;
        const QString title = ui.window.getTransitionName(shortName);
        EXPECT_EQ(title, titles[draw % 3]);
        EXPECT_EQ(shortName, shortNames[draw % 3]);
        picked.insert(title);
    }
    EXPECT_EQ(picked.size(), 3); // every transition before the random item comes up
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(TransitionChoice, RandomItemInThirdPlaceNeverPicksWhatFollowsIt)
{
    HeadlessWindow ui;
    ui.transitions.setItems({QStringLiteral("Cross Dissolve"), QStringLiteral("Edge Wipe"), QStringLiteral("(random)"),
                             QStringLiteral("Iris Round")});
    ui.window.awakeFromNib();
    ASSERT_EQ(ui.window.gIndexOfRandom, 2);
    ui.selectTransition(QStringLiteral("(random)"));

    const std::vector<long> draws = drawsFromTheUnseededState(20);
    for (long draw : draws) {
        QString shortName;
        EXPECT_EQ(ui.window.getTransitionName(shortName),
                  draw % 2 == 0 ? QStringLiteral("Cross Dissolve") : QStringLiteral("Edge Wipe"));
    }
}

TEST(TransitionChoice, SameSequenceFromTheSameStartingState)
{
    HeadlessWindow first;
    HeadlessWindow second;
    for (HeadlessWindow *ui : {&first, &second}) {
        ui->window.gIndexOfRandom = 3;
        ui->selectTransition(QStringLiteral("(random)"));
    }
    auto picks = [](HeadlessWindow &ui) {
        QStringList titles;
        ::srandom(1);
        for (int i = 0; i < 10; ++i) {
            QString shortName;
            titles.append(ui.window.getTransitionName(shortName));
        }
        return titles;
    };
    EXPECT_EQ(picks(first), picks(second));
}

TEST(TransitionChoice, RandomItemFirstGivesCrossDissolveWithoutADraw)
{
    HeadlessWindow ui;
    ui.transitions.setItems({QStringLiteral("(random)"), QStringLiteral("Edge Wipe")});
    ui.window.awakeFromNib();
    ASSERT_EQ(ui.window.gIndexOfRandom, 0);
    fixtures::LogCapture log;

    const long next = drawsFromTheUnseededState(1).front();
    QString shortName = QStringLiteral("stale");
    EXPECT_EQ(ui.window.getTransitionName(shortName), QStringLiteral("Cross Dissolve"));
    EXPECT_EQ(shortName, QStringLiteral("Dissolve"));
    EXPECT_EQ(::random(), next); // the generator was left alone
    EXPECT_TRUE(log.lines().isEmpty());

    // Another item selected: no empty range, its own title.
    ui.transitions.selectItemAtIndex(1);
    EXPECT_EQ(ui.window.getTransitionName(shortName), QStringLiteral("Edge Wipe"));
    EXPECT_EQ(shortName, QStringLiteral("Wipe"));
}

TEST(TransitionChoice, NoTransitionPopupGivesCrossDissolve)
{
    HeadlessWindow ui;
    ui.window.gTransitionSelectionField = nullptr;
    ui.window.awakeFromNib();
    ASSERT_EQ(ui.window.gIndexOfRandom, 0);
    fixtures::LogCapture log;

    QString shortName;
    EXPECT_EQ(ui.window.getTransitionName(shortName), QStringLiteral("Cross Dissolve"));
    EXPECT_EQ(shortName, QStringLiteral("Dissolve"));
    shortName.clear();
    EXPECT_EQ(ui.window.getTransitionName(shortName, 2), QStringLiteral("Cross Dissolve"));
    EXPECT_EQ(shortName, QStringLiteral("Dissolve"));
    EXPECT_TRUE(log.lines().isEmpty());
}

TEST(TransitionChoice, NothingSelectedWithoutRandomItemUsesTheFirstItem)
{
    HeadlessWindow ui;
    ui.transitions.setItems({QStringLiteral("Edge Wipe"), QStringLiteral("Cross Dissolve")});
    ui.window.awakeFromNib();
    ASSERT_EQ(ui.window.gIndexOfRandom, -1);
    ui.transitions.selectItemAtIndex(-1);

    QString shortName;
    EXPECT_EQ(ui.window.getTransitionName(shortName), QStringLiteral("Edge Wipe"));
    EXPECT_EQ(shortName, QStringLiteral("Wipe"));
}

TEST(TransitionChoice, IndexNamingNoItemGivesCrossDissolve)
{
    HeadlessWindow ui;
    ui.window.awakeFromNib();
    ASSERT_EQ(ui.window.gIndexOfRandom, 3);
    fixtures::LogCapture log;

    // A random item exists and nothing is selected: -1 is looked up as is.
    ui.transitions.selectItemAtIndex(-1);
    QString shortName = QStringLiteral("stale");
    EXPECT_EQ(ui.window.getTransitionName(shortName), QStringLiteral("Cross Dissolve"));
    EXPECT_EQ(shortName, QStringLiteral("Dissolve"));

    for (int32_t index : {-1, 4, 1000}) {
        shortName = QStringLiteral("stale");
        EXPECT_EQ(ui.window.getTransitionName(shortName, index), QStringLiteral("Cross Dissolve")) << index;
        EXPECT_EQ(shortName, QStringLiteral("Dissolve")) << index;
    }
    EXPECT_TRUE(log.lines().isEmpty());
}
