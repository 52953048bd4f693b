// The MLT project rendered for real by melt: a library of solid-colour photos
// exported through the window and the controller, melt writing each frame as
// a PNG, and the frames checked; then the videos rendered from it, read back
// with ffprobe and ffmpeg. Exits 77 (skipped) when melt is not installed.
//
// With SLIDESHOW_MLT_STILL=FILE set, the iris test also saves a strip of five
// frames across its first transition (the README's still).

#include "MeltRender.h"

#include <QCoreApplication>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
namespace {

using namespace melt;
using fixtures::readBytes;
using fixtures::writeBytes;

// 25 fps, 2 s photos, 1 s transitions: C = 50 and T = 25 frames; photo i alone
// over [75i, 75i + 50), transition i over [75i + 50, 75i + 75). The same
// frames from the Kdenlive project (its maps Kdenlive's own where it is
// installed).
TEST_F(MltRender, EachTransitionBetweenThreePhotos)
{
    start({{"Pictures/red.png", kRed}, {"Pictures/green.png", kGreen}, {"Pictures/blue.png", kBlue}});
    const QColor colours[] = {kRed, kGreen, kBlue};
    for (const auto &[transition, format] :
         {std::pair{QString("Cross Dissolve"), OutputFormat::MLT}, {QString("Edge Wipe"), OutputFormat::MLT},
          {QString("Iris Round"), OutputFormat::MLT}, {QString("Cross Dissolve"), OutputFormat::Kdenlive},
          {QString("Edge Wipe"), OutputFormat::Kdenlive}, {QString("Iris Round"), OutputFormat::Kdenlive}}) {
        SCOPED_TRACE(transition.toStdString() + " " + fileTypeOf(format).toStdString());
        const QList<QImage> images = render(transition, format);
        ASSERT_EQ(images.size(), 3 * 50 + 2 * 25);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(near(images[75 * i + 25].pixelColor(32, 24), colours[i])) << "photo " << i;
        // Both transitions run from one photo to the next.
        for (int i = 0; i < 2; ++i) {
            SCOPED_TRACE(i);
            const QImage &middle = images[75 * i + 62];
            const QColor before = colours[i], after = colours[i + 1];
            if (transition == "Cross Dissolve") {
                EXPECT_TRUE(near(middle.pixelColor(32, 24), mix(before, after)));
                EXPECT_TRUE(near(middle.pixelColor(2, 2), mix(before, after)));
            } else if (transition == "Edge Wipe") { // the next photo comes in from the left
                EXPECT_TRUE(near(middle.pixelColor(16, 24), after));
                EXPECT_TRUE(near(middle.pixelColor(48, 24), before));
            } else {
                EXPECT_TRUE(near(middle.pixelColor(32, 24), after));
                for (const QPoint corner : {QPoint(1, 1), QPoint(62, 46), QPoint(1, 46), QPoint(62, 1)})
                    EXPECT_TRUE(near(middle.pixelColor(corner), before));
            }
        }
        const QByteArray still = qgetenv("SLIDESHOW_MLT_STILL");
        if (transition == "Iris Round" && format == OutputFormat::MLT && !still.isEmpty()) {
            QImage strip(5 * 130 - 2, 96, QImage::Format_RGB32);
            strip.fill(Qt::white);
            QPainter painter(&strip);
            for (int k = 0; k < 5; ++k)
                painter.drawImage(QRect(130 * k, 0, 128, 96), images[50 + 6 * k]);
            painter.end();
            EXPECT_TRUE(strip.save(QString::fromLocal8Bit(still)));
        }
    }
}

// 29.97 fps (counted as 30): C = 60 and T = 30 frames. Files in folders with
// spaces, "&", "<" and non-ASCII letters; a narrow photo is fitted with bars.
TEST_F(MltRender, NtscRateAndPathsAsTheyAre)
{
    const QString folder = QString::fromUtf8("Pictures/Ferien & <Strand> Ærø été/");
    start({{folder + "red & <rot>.png", kRed}, {folder + QString::fromUtf8("blå.png"), kBlue, 24}});
    ui.selectFrameRate("29.97");
    const QList<QImage> images = render("Cross Dissolve");
    EXPECT_TRUE(xml.contains("frame_rate_num=\"30000\" frame_rate_den=\"1001\""));
    ASSERT_EQ(images.size(), 2 * 60 + 30);
    EXPECT_TRUE(near(images[30].pixelColor(32, 24), kRed));
    EXPECT_TRUE(near(images[120].pixelColor(32, 24), kBlue));
    EXPECT_TRUE(near(images[120].pixelColor(2, 24), kBlack));
    EXPECT_TRUE(near(images[120].pixelColor(61, 24), kBlack));
}

// Both formats hold every frame of the timeline, in their codec, with no
// sound, at the rate chosen: 25 fps, then "30" as 30/1 and "29.97" as
// 30000/1001. The middle of each photo has its colour.
TEST_F(VideoRenders, EveryFrameInItsCodecAndRate)
{
    start({{"Pictures/red.png", kRed}, {"Pictures/green.png", kGreen}, {"Pictures/blue.png", kBlue}});
    const QColor colours[] = {kRed, kGreen, kBlue};
    const struct { OutputFormat format; const char *frameRate, *codec, *rate; int clip, transition; } cases[] = {
        {OutputFormat::MP4, "25", "h264", "25/1", 50, 25},
        {OutputFormat::WebM, "25", "vp9", "25/1", 50, 25},
        {OutputFormat::MP4, "30", "h264", "30/1", 60, 30},
        {OutputFormat::WebM, "29.97", "vp9", "30000/1001", 60, 30},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.frameRate) + " " + c.codec);
        ui.selectFrameRate(c.frameRate);
        const QString path = frames.filePath("show." + fileTypeOf(c.format));
        ASSERT_TRUE(save(path, c.format)) << controller.videoRender()->failure().toStdString();
        const Video video = probe(path, QSize(64, 48));
        EXPECT_EQ(QStringList({video.streams, video.codec, video.pixelFormat, video.rate}),
                  QStringList({"video", c.codec, "yuv420p", c.rate}));
        const int C = c.clip, T = c.transition;
        EXPECT_EQ(video.frames, 3 * C + 2 * T);
        ASSERT_EQ(video.images.size(), video.frames);
        for (int i = 0; i < 3; ++i)
            EXPECT_TRUE(near(video.images[(C + T) * i + C / 2].pixelColor(32, 24), colours[i], 40)) << "photo " << i;
        EXPECT_EQ(folderEntries(), QStringList{QFileInfo(path).fileName()}); // nothing beside it
        QFile::remove(path);
    }
    EXPECT_EQ(backend.beepCount(), 0);
}

// A cancel after the first progress, a folder that cannot be written, and a
// melt that ends successfully having written nothing or fails: no file, no
// temporary one; the failures beep twice and log the line and melt's reason.
TEST_F(VideoRenders, NothingPartialIsEverLeft)
{
    start({{"Pictures/red.png", kRed}, {"Pictures/green.png", kGreen}, {"Pictures/blue.png", kBlue}});
    ui.compWidth.setStringValue("640");
    ui.compHeight.setStringValue("480");
    const QString path = frames.filePath("show.mp4");
    ASSERT_TRUE(writeBytes(path, "old"));
    ASSERT_TRUE(controller.writeVideoTo(path, OutputFormat::MP4));
    VideoRender *render = controller.videoRender();
    const QMetaObject::Connection cancel =
        QObject::connect(render, &VideoRender::progress, render, [render] { render->cancel(); });
    EXPECT_FALSE(render->waitForFinished());
    QObject::disconnect(cancel);
    EXPECT_TRUE(render->wasCancelled());
    EXPECT_EQ(folderEntries(), QStringList{"show.mp4"});
    EXPECT_EQ(readBytes(path), "old");
    EXPECT_EQ(backend.beepCount(), 0);
    EXPECT_EQ(log.count(), 0);

    // Not writable even for root: a read-only file system, a path below a
    // regular file, a folder.
    ASSERT_TRUE(QDir().mkpath(frames.filePath("folder.mp4")));
    for (const QString &unwritable : {QString("/proc/show.mp4"), path + "/below.mp4", frames.filePath("folder.mp4")}) {
        log.clear();
        EXPECT_FALSE(controller.writeVideoTo(unwritable, OutputFormat::MP4));
        EXPECT_EQ(log.lines().value(0), "Could not write document out...");
        EXPECT_TRUE(log.lines().value(1).contains("could not be written")) << log.lines().value(1).toStdString();
    }
    EXPECT_EQ(backend.beepCount(), 3); // one each: the save command sounds the second
    QDir(frames.filePath("folder.mp4")).removeRecursively();

    // Stand-ins for melt on the search path: one that ends at once, one that
    // fails with a word of its own.
    const QByteArray searchPath = qgetenv("PATH");
    for (const auto &[script, reason] : {std::pair{"exit 0", "melt wrote no video"},
                                         std::pair{"echo 'Failed to load \"xml\"' >&2; exit 1",
                                                   "melt failed (exit status 1): Failed to load \"xml\""}}) {
        SCOPED_TRACE(script);
        log.clear();
        ASSERT_TRUE(writeBytes(frames.filePath("bin/melt"), QByteArray("#!/bin/sh\n") + script + "\n"));
        QFile::setPermissions(frames.filePath("bin/melt"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("PATH", QFile::encodeName(frames.filePath("bin")));
        const int beeps = backend.beepCount();
        ASSERT_TRUE(controller.writeVideoTo(path, OutputFormat::WebM));
        EXPECT_FALSE(controller.videoRender()->waitForFinished());
        qputenv("PATH", searchPath);
        EXPECT_EQ(backend.beepCount() - beeps, 2);
        EXPECT_EQ(log.lines().value(0), "Could not write document out...");
        EXPECT_TRUE(log.lines().value(1).startsWith(reason)) << log.lines().value(1).toStdString();
        EXPECT_EQ(folderEntries(), QStringList({"bin", "show.mp4"}));
        EXPECT_EQ(readBytes(path), "old");
    }
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    if (QStandardPaths::findExecutable("melt").isEmpty()) {
        std::puts("melt is not installed: the MLT render tests are skipped");
        return 77;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
