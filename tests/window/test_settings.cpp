// The timing and format settings read from the controls.

#include "HeadlessWindow.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

using fixtures::HeadlessWindow;

namespace {

constexpr int32_t kMax = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin = std::numeric_limits<int32_t>::min();

struct FrameRateCase {
    const char *title; // nullptr: nothing selected
    int32_t fps;
    const char *ntsc;
    const char *preset;
};

class FrameRate : public ::testing::TestWithParam<FrameRateCase> {};

} // namespace

TEST_P(FrameRate, GivesRateTimebaseAndNTSCFlag)
{
    const FrameRateCase &c = GetParam();
    HeadlessWindow ui;
    ui.frameRates.setItems({QStringLiteral("29.97"), QStringLiteral("30"), QStringLiteral("25"),
                            QStringLiteral("24"), QStringLiteral("23.976"), QStringLiteral("60 fps"),
                            QStringLiteral("PAL"), QStringLiteral(" 29.97")});
    if (c.title)
        ui.selectFrameRate(QString::fromUtf8(c.title));
    else
        ui.frameRates.selectItemAtIndex(-1);

    rvWindow &window = ui.window;
    EXPECT_EQ(window.getFPS(), c.fps);
    EXPECT_EQ(window.getTimebase(), QString::number(c.fps));
    EXPECT_EQ(window.getNTSCRate(), QString::fromUtf8(c.ntsc));
    EXPECT_EQ(window.getSeqPreset(), QString::fromUtf8(c.preset));
}

INSTANTIATE_TEST_SUITE_P(
    Titles, FrameRate,
    ::testing::Values(FrameRateCase{"29.97", 30, "TRUE", "DV NTSC 48 kHz"},
                      FrameRateCase{"30", 30, "TRUE", "DV NTSC 48 kHz"},
                      FrameRateCase{"25", 25, "FALSE", "DV PAL 48 kHz"},
                      FrameRateCase{"24", 24, "FALSE", "DV PAL 48 kHz"},
                      FrameRateCase{"23.976", 23, "FALSE", "DV PAL 48 kHz"},
                      FrameRateCase{"60 fps", 60, "FALSE", "DV PAL 48 kHz"},
                      FrameRateCase{"PAL", 0, "FALSE", "DV PAL 48 kHz"},
                      // Only the exact title is the NTSC rate.
                      FrameRateCase{" 29.97", 29, "FALSE", "DV PAL 48 kHz"},
                      FrameRateCase{nullptr, 30, "TRUE", "DV NTSC 48 kHz"}));

namespace {

struct DurationCase {
    const char *rate;
    const char *clip;       // clip duration field, seconds
    const char *transition; // transition duration field, seconds
    int32_t clipFrames;
    int32_t transitionFrames;
    int32_t mediaFrames;   // clip + 4 x transition
    int32_t mediaInOut;    // written by getMediaIn: clip + 3 x transition
};

class Durations : public ::testing::TestWithParam<DurationCase> {};

} // namespace

TEST_P(Durations, AreSecondsTimesTheFrameRate)
{
    const DurationCase &c = GetParam();
    HeadlessWindow ui;
    ui.selectFrameRate(QString::fromUtf8(c.rate));
    ui.clipDuration.setStringValue(QString::fromUtf8(c.clip));
    ui.transitionDuration.setStringValue(QString::fromUtf8(c.transition));
    rvWindow &window = ui.window;

    EXPECT_EQ(window.getClipDuration(), c.clipFrames);
    EXPECT_EQ(window.getTransitionDuration(), c.transitionFrames);
    EXPECT_EQ(window.getMediaDuration(), QString::number(c.mediaFrames));

    const Value trans = window.getTransDuration();
    EXPECT_TRUE(trans.isInteger());
    EXPECT_EQ(trans.toInt(), c.transitionFrames);

    int32_t out = -12345;
    EXPECT_EQ(window.getMediaIn(&out), QString::number(c.transitionFrames));
    EXPECT_EQ(out, c.mediaInOut);
    EXPECT_EQ(window.getMediaIn(), QString::number(c.transitionFrames));

    out = -12345;
    EXPECT_EQ(window.getTransitionDuration(&out), QString::number(c.transitionFrames));
    EXPECT_EQ(out, c.transitionFrames);
    EXPECT_EQ(window.getTransitionDuration(nullptr), QString::number(c.transitionFrames));
}

INSTANTIATE_TEST_SUITE_P(
    Fields, Durations,
    ::testing::Values(
        DurationCase{"29.97", "5", "1", 150, 30, 270, 240},
        DurationCase{"30", "5", "1", 150, 30, 270, 240},
        DurationCase{"25", "5", "1", 125, 25, 225, 200},
        DurationCase{"24", "5", "1", 120, 24, 216, 192},
        DurationCase{"30", "2.5", "1", 60, 30, 180, 150},
        DurationCase{"30", "", "1", 0, 30, 120, 90},
        DurationCase{"30", "five", "1", 0, 30, 120, 90},
        DurationCase{"25", "4", "0", 100, 0, 100, 100},
        DurationCase{"24", " -3 s", "+2", -72, 48, 120, 72},
        // Beyond the int32 range every product and sum stops at its end.
        DurationCase{"30", "99999999999", "0", kMax, 0, kMax, kMax},
        DurationCase{"30", "-99999999999", "0", kMin, 0, kMin, kMin},
        DurationCase{"30", "100000000", "1", kMax, 30, kMax, kMax},
        DurationCase{"25", "0", "30000000", 0, 750000000, kMax, kMax},
        DurationCase{"25", "0", "-30000000", 0, -750000000, kMin, kMin},
        DurationCase{"24", "60000000", "20000000", 1440000000, 480000000, kMax, kMax},
        DurationCase{"24", "-60000000", "20000000", -1440000000, 480000000, 480000000, 0}));

TEST(Durations, HugeFrameRateSaturates)
{
    HeadlessWindow ui;
    ui.frameRates.setItems({QStringLiteral("2147483647"), QStringLiteral("-2147483648")});
    ui.clipDuration.setStringValue(QStringLiteral("2"));
    ui.transitionDuration.setStringValue(QStringLiteral("-1"));
    EXPECT_EQ(ui.window.getClipDuration(), kMax);
    EXPECT_EQ(ui.window.getTransitionDuration(), -kMax);
    EXPECT_EQ(ui.window.getMediaDuration(), QString::number(kMin));

    ui.frameRates.selectItemAtIndex(1);
    EXPECT_EQ(ui.window.getClipDuration(), kMin);
    EXPECT_EQ(ui.window.getTransitionDuration(), kMax);
    int32_t out = 0;
    ui.window.getMediaIn(&out);
    EXPECT_EQ(out, kMax);
}

TEST(Settings, AreReadAfreshAtEveryCall)
{
    HeadlessWindow ui;
    rvWindow &window = ui.window;
    EXPECT_EQ(window.getClipDuration(), 150);
    ui.selectFrameRate(QStringLiteral("25"));
    EXPECT_EQ(window.getClipDuration(), 125);
    ui.clipDuration.setStringValue(QStringLiteral("2"));
    EXPECT_EQ(window.getClipDuration(), 50);
    ui.title.setStringValue(QStringLiteral("Other"));
    EXPECT_EQ(window.getSlideShowTitle(), QStringLiteral("Other"));
}

TEST(Settings, TextsComeBackAsTyped)
{
    HeadlessWindow ui;
    ui.title.setStringValue(QStringLiteral(" Caf\u00e9 50% \"night\" "));
    ui.compWidth.setStringValue(QStringLiteral(" 720 px"));
    ui.compHeight.setStringValue(QStringLiteral("480"));
    EXPECT_EQ(ui.window.getSlideShowTitle(), QStringLiteral(" Caf\u00e9 50% \"night\" "));
    EXPECT_EQ(ui.window.getCompWidth(), QStringLiteral(" 720 px"));
    EXPECT_EQ(ui.window.getCompHeight(), QStringLiteral("480"));
}

TEST(Settings, NewProjectChoice)
{
    HeadlessWindow ui;
    EXPECT_TRUE(ui.window.shouldCreateNewProject());
    ui.newProject.setState(0);
    EXPECT_FALSE(ui.window.shouldCreateNewProject());
    ui.newProject.setState(2); // mixed: not on
    EXPECT_FALSE(ui.window.shouldCreateNewProject());
    ui.window.gCreateNewProjectButton = nullptr;
    EXPECT_TRUE(ui.window.shouldCreateNewProject());
}

TEST(Settings, UnsetControlsReadAsZeroOrNoString)
{
    rvWindow window; // no control set at all
    EXPECT_EQ(window.getFPS(), 30);
    EXPECT_EQ(window.getTimebase(), QStringLiteral("30"));
    EXPECT_EQ(window.getNTSCRate(), QStringLiteral("TRUE"));
    EXPECT_EQ(window.getClipDuration(), 0);
    EXPECT_EQ(window.getTransitionDuration(), 0);
    EXPECT_EQ(window.getMediaDuration(), QStringLiteral("0"));
    int32_t out = 99;
    EXPECT_EQ(window.getMediaIn(&out), QStringLiteral("0"));
    EXPECT_EQ(out, 0);
    EXPECT_EQ(window.getTransDuration(), Value::integer(0));
    EXPECT_TRUE(window.getSlideShowTitle().isNull());
    EXPECT_TRUE(window.getCompHeight().isNull());
    EXPECT_TRUE(window.getCompWidth().isNull());
    EXPECT_TRUE(window.shouldCreateNewProject());
}
