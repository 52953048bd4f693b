// The timing and format settings read from the controls, and the transition
// choice with its random pick.

#include "HeadlessWindow.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <limits>

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

TEST(Settings, FrameRateAndDurationsInFrames)
{
    // rate nullptr: nothing selected; media: clip + 4 transitions.
    const struct {
        const char *rate, *clip, *transition;
        int32_t fps;
        bool ntsc;
        int32_t clipFrames, transitionFrames, media, mediaInOut;
    } cases[] = {
        {"29.97", "5", "1", 30, true, 150, 30, 270, 240},
        {"25", "5", "1", 25, false, 125, 25, 225, 200},
        {" 29.97", "2.5", "", 29, false, 58, 0, 58, 58},
        {nullptr, " -3 s", "+2", 30, true, -90, 60, 150, 90},
        // Beyond the int32 range every product and sum stops at its end.
        {"30", "99999999999", "0", 30, true, kMax, 0, kMax, kMax},
        {"24", "60000000", "20000000", 24, false, 1440000000, 480000000, kMax, kMax},
        {"2147483647", "2", "-1", kMax, false, kMax, -kMax, kMin, kMin},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.rate ? c.rate : "none");
        fixtures::HeadlessWindow ui;
        ui.frameRates.setItems(c.rate ? QStringList{c.rate} : QStringList{});
        ui.clipDuration.setStringValue(c.clip);
        ui.transitionDuration.setStringValue(c.transition);
        rvWindow &window = ui.window;
        int32_t out = 12345;
        const QString in = window.getMediaIn(&out);
        EXPECT_EQ(QStringList({window.getTimebase(), window.getNTSCRate(), window.getSeqPreset(), window.getMediaDuration(), in}),
                  QStringList({QString::number(c.fps), c.ntsc ? "TRUE" : "FALSE", c.ntsc ? "DV NTSC 48 kHz" : "DV PAL 48 kHz",
                               QString::number(c.media), QString::number(c.transitionFrames)}));
        EXPECT_EQ(std::pair(window.getClipDuration(), out), std::pair(c.clipFrames, c.mediaInOut));
        EXPECT_EQ(window.getTransDuration(), Value::integer(c.transitionFrames));
    }
    rvWindow bare; // a layout without controls: zero or no string
    EXPECT_EQ(bare.getMediaDuration(), "0");
    EXPECT_TRUE(bare.getSlideShowTitle().isNull());
}

TEST(Transitions, TitleGivesTransitionAndShortName)
{
    const struct { const char *title, *transition, *shortName; int32_t index; } cases[] = {
        {"Cross Dissolve", "Cross Dissolve", "Dissolve", 0}, {"Edge Wipe", "Edge Wipe", "Wipe", 0},
        {"Iris Round", "Iris Round", "Iris", 0},             {"edge wipe", "edge wipe", "Iris", 0},
        {"(random)", "(random)", "Iris", 0},                 {"random", "Cross Dissolve", "Dissolve", 0},
        {"Edge Wipe", "Cross Dissolve", "Dissolve", 1},      {"Edge Wipe", "Cross Dissolve", "Dissolve", -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.title + std::to_string(c.index));
        fixtures::HeadlessWindow ui;
        ui.transitions.setItems({c.title});
        fixtures::LogCapture log;
        QString shortName = "stale";
        EXPECT_EQ(ui.window.getTransitionName(shortName, c.index), c.transition);
        EXPECT_EQ(shortName, c.shortName);
        EXPECT_EQ(log.lines(), c.title == std::string("random")
                                   ? QStringList{"we got the index for random in getTransitionName:forIndex"}
                                   : QStringList{});
    }
}

// The random item, noted at start-up, picks one of the transitions before it
// with the C library's generator, never seeded (as srandom(1) sets it, before
// the start-up).
TEST(Transitions, RandomItemPicksFromTheTransitionsBeforeIt)
{
    // fixed nullptr: a random pick.
    const struct { QStringList titles; int32_t indexOfRandom; const char *fixed; } cases[] = {
        {{"Cross Dissolve", "Edge Wipe", "(random)", "Iris Round"}, 2, nullptr},
        {{"(random)", "Edge Wipe"}, 0, "Cross Dissolve"}, // nothing to pick from
        {{"Edge Wipe", "Iris Round"}, -1, "Edge Wipe"},   // no random item, nothing selected: the first
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.titles.join(',').toStdString());
        fixtures::HeadlessWindow ui;
        ui.transitions.setItems(c.titles);
        ::srandom(1);
        long draws[31];
        for (long &draw : draws)
            draw = ::random();
        ::srandom(1);
        ui.window.awakeFromNib();
        EXPECT_EQ(ui.window.gIndexOfRandom, c.indexOfRandom);
        ui.transitions.selectItemAtIndex(c.indexOfRandom);
        for (int i = 0; i < 30; ++i) {
            QString shortName;
            EXPECT_EQ(ui.window.getTransitionName(shortName),
                      c.fixed ? QString(c.fixed) : c.titles[draws[i] % c.indexOfRandom]);
        }
        EXPECT_EQ(::random(), draws[c.fixed ? 0 : 30]); // one draw per random pick, none otherwise
    }
}
