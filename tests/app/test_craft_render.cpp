// The video settings rendered for real by melt, started without a display
// as the video render starts it: each one's frames (or sound) show it.

#include "MeltRender.h"
#include "PreviewStream.h"

#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QTest>

namespace {

using namespace melt;

class CraftRender : public VideoRenders {
protected:
    // One still photo (no transition), framed W x H at 25 fps for 2 s.
    void startOne(const QImage &picture, int width, int height, const QString &name = "Pictures/photo.png")
    {
        start(QList<std::pair<QString, QImage>>{{name, picture}});
        ui.transitionDuration.setStringValue("0");
        ui.compWidth.setStringValue(QString::number(width));
        ui.compHeight.setStringValue(QString::number(height));
    }
    VideoSettings &video() { return controller.videoSettings; }
    void expectSteadyZoom(const QList<QImage> &frames);
};

QImage filled(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// The box around the pixels darker than half grey, away from the frame's
// edges.
QRect darkBox(const QImage &frame)
{
    QRect box;
    for (int y = 2; y < frame.height() - 2; ++y)
        for (int x = 2; x < frame.width() - 2; ++x)
            if (qGray(frame.pixel(x, y)) < 128)
                box |= QRect(x, y, 1, 1);
    return box;
}

// Pixels in the rows [top, bottom) far brighter than the photo's blue.
int textPixels(const QImage &frame, int top, int bottom)
{
    int count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 0; x < frame.width(); ++x)
            count += qGray(frame.pixel(x, y)) > 160;
    return count;
}

// Pan and zoom: the first photo zooms in, so a small square at its centre
// grows steadily, by 15% from its first frame to its last, and the frame's
// edge never shows (a 4:3 photo in a 4:3 frame has no bars). Both in the MLT
// export (Shotcut's filter) and in the project a video is rendered from.
TEST_F(CraftRender, PanZoomGrowsSteadilyWithoutUncoveringTheEdge)
{
    QImage picture = filled(160, 120, Qt::white);
    QPainter(&picture).fillRect(72, 52, 16, 16, Qt::black);
    startOne(picture, 160, 120);
    video().motion = Motion::PanZoom;
    for (const OutputFormat format : {OutputFormat::MLT, OutputFormat::MP4}) {
        SCOPED_TRACE(fileTypeOf(format).toStdString());
        expectSteadyZoom(render("Cross Dissolve", format));
    }
}

void CraftRender::expectSteadyZoom(const QList<QImage> &frames)
{
    ASSERT_EQ(frames.size(), 50);
    int previous = 0;
    for (int i = 0; i < frames.size(); ++i) {
        const int width = darkBox(frames[i]).width();
        EXPECT_GE(width, previous - 1) << "frame " << i;
        previous = std::max(previous, width);
        for (const QPoint corner : {QPoint(0, 0), QPoint(159, 119), QPoint(0, 119), QPoint(159, 0)})
            EXPECT_GT(qGray(frames[i].pixel(corner)), 200) << "frame " << i;
    }
    const double growth = double(darkBox(frames.last()).width()) / darkBox(frames.first()).width();
    EXPECT_NEAR(growth, 1.15, 0.08);
}

// A 4:3 photo in a 16:9 frame: bars at the sides when fitted, none when it
// fills the frame, also while it pans and zooms.
TEST_F(CraftRender, FillCoversTheFrameWhereFitLeavesBars)
{
    startOne(filled(64, 48, Qt::red), 64, 36);
    const QList<QImage> fitted = render("Cross Dissolve");
    ASSERT_FALSE(fitted.isEmpty());
    EXPECT_TRUE(near(fitted[10].pixelColor(1, 18), kBlack));
    EXPECT_TRUE(near(fitted[10].pixelColor(32, 18), kRed));
    video().framing = Framing::Fill;
    video().motion = Motion::PanZoom;
    for (const OutputFormat format : {OutputFormat::MLT, OutputFormat::MP4}) {
        const QList<QImage> filledFrames = render("Edge Wipe", format);
        ASSERT_EQ(filledFrames.size(), fitted.size());
        for (const int i : {0, 25, 49})
            for (const QPoint point : {QPoint(1, 18), QPoint(62, 1), QPoint(1, 34)})
                EXPECT_TRUE(near(filledFrames[i].pixelColor(point), kRed)) << fileTypeOf(format).toStdString() << " frame " << i;
    }
}

// Captions in the lower band only when asked for; the title card in the
// middle of the first photo for its first 3 seconds, gone after.
TEST_F(CraftRender, CaptionsAndTitleCardShowWhenAsked)
{
    startOne(filled(160, 120, Qt::blue), 160, 120, "Pictures/Sunset & <Sea> #1.png");
    ui.clipDuration.setStringValue("4");
    ui.title.setStringValue(QString::fromUtf8("Été à Ærø"));
    const QList<QImage> plain = render("Cross Dissolve");
    ASSERT_EQ(plain.size(), 100);
    EXPECT_EQ(textPixels(plain[10], 84, 120) + textPixels(plain[10], 36, 84), 0);

    video().captions = true;
    video().titleCard = true;
    const QList<QImage> texts = render("Edge Wipe");
    ASSERT_EQ(texts.size(), 100);
    EXPECT_GT(textPixels(texts[10], 84, 120), 20);  // the caption
    EXPECT_GT(textPixels(texts[10], 36, 84), 20);   // the title
    EXPECT_EQ(textPixels(texts[90], 36, 84), 0);    // after 3 s
    EXPECT_GT(textPixels(texts[90], 84, 120), 20);  // the caption stays
}

// The caption holds still over the moving photo (it is drawn over the pan
// and zoom, not carried by it) in the Shotcut project and in the video's.
// With SLIDESHOW_PAN_ZOOM_STILL=FILE set, five of the video's frames go
// there as a strip (the README's still).
TEST_F(CraftRender, CaptionHoldsStillOverThePanAndZoom)
{
    QList<std::pair<QString, QImage>> none;
    start(none);
    const QString path = home.filePath("Pictures/beach.jpg");
    ASSERT_TRUE(QDir().mkpath(home.filePath("Pictures")));
    ASSERT_TRUE(QFile::copy(SAMPLE_PHOTOS "/beach.jpg", path));
    library.image("1", path, "Morning on the beach");
    library.album("Beach", {"1"});
    SaveRoad::start("Beach");
    ui.transitionDuration.setStringValue("0");
    ui.clipDuration.setStringValue("2");
    ui.compWidth.setStringValue("320");
    ui.compHeight.setStringValue("240");
    video().motion = Motion::PanZoom;
    video().captions = true;
    for (const OutputFormat format : {OutputFormat::MLT, OutputFormat::MP4}) {
        SCOPED_TRACE(fileTypeOf(format).toStdString());
        const QList<QImage> frames = render("Cross Dissolve", format);
        ASSERT_EQ(frames.size(), 50);
        // Pixels in the rows [top, bottom) that pass the test.
        const auto count = [](int top, int bottom, auto passes) {
            int n = 0;
            for (int y = top; y < bottom; ++y)
                for (int x = 0; x < 320; ++x)
                    n += passes(x, y) ? 1 : 0;
            return n;
        };
        const auto white = [&](int x, int y) { return bool(near(frames[12].pixelColor(x, y), Qt::white, 20)); };
        // Changed between two frames a second apart.
        const auto changed = [&](int x, int y) { return !near(frames[12].pixelColor(x, y), frames[37].pixelColor(x, y)); };
        EXPECT_GT(count(200, 240, white), 60);   // the caption is there
        EXPECT_GT(count(60, 140, changed), 300); // the word on the photo moved and grew
        EXPECT_LT(count(200, 240, changed), 40); // the caption did not
        const QByteArray still = qgetenv("SLIDESHOW_PAN_ZOOM_STILL");
        if (format == OutputFormat::MP4 && !still.isEmpty()) {
            QImage strip(5 * 324 - 4, 240, QImage::Format_RGB32);
            strip.fill(Qt::white);
            QPainter painter(&strip);
            for (int k = 0; k < 5; ++k)
                painter.drawImage(324 * k, 0, frames[std::min(12 * k, 49)]);
            painter.end();
            EXPECT_TRUE(strip.save(QString::fromLocal8Bit(still)));
        }
    }
}

// A part of the timeline, as the preview plays it, gives the frames of the
// whole from its first frame on: the pan and zoom, the captions and the
// transitions are where they were. Four photos, 2 s each and 1 s
// transitions (75 frames a photo): from the middle of the second photo's
// transition out to the third's, the part holds the second to the fourth.
TEST_F(CraftRender, APartOfTheTimelineGivesTheWholesFrames)
{
    QList<std::pair<QString, QImage>> pictures;
    for (const QColor colour : {kRed, kGreen, kBlue, QColor(Qt::yellow)}) {
        QImage picture = filled(160, 120, colour);
        QPainter(&picture).fillRect(72, 52, 16, 16, Qt::black);
        pictures.append({"Pictures/" + colour.name() + ".png", picture});
    }
    start(pictures);
    ui.compWidth.setStringValue("160");
    ui.compHeight.setStringValue("120");
    ui.selectTransition("Cross Dissolve");
    video().motion = Motion::PanZoom;
    video().captions = true;
    MltProject project;
    const std::optional<Timeline> timeline = controller.createTimeline(project);
    ASSERT_TRUE(timeline);
    ASSERT_EQ(timeline->timing.total, 4 * 50 + 3 * 25);
    int64_t offset = -1;
    const Timeline part = timelinePart(*timeline, 140, 80, &offset);
    EXPECT_EQ(offset, 75);
    EXPECT_EQ(part.photos.size(), 3u);
    EXPECT_EQ(part.timing.total, 4 * 50 + 3 * 25 - 75);

    const auto renderOf = [&](const Timeline &shown, const QString &name) {
        const QString path = frames.filePath(name + ".mlt");
        EXPECT_TRUE(fixtures::writeBytes(path, shotcutProjectXml(shown, Editor::Melt)));
        return renderFile(path, name);
    };
    const QList<QImage> whole = renderOf(*timeline, "whole"), partFrames = renderOf(part, "part");
    ASSERT_EQ(whole.size(), timeline->timing.total);
    ASSERT_EQ(partFrames.size(), part.timing.total);
    for (int frame = 140; frame < whole.size(); frame += 7)
        EXPECT_EQ(whole[frame], partFrames[frame - offset]) << "frame " << frame;
}

// The preview's stream of a part with music: its frames from the frame
// asked for, and their sound beside them (the music's place in its loop kept,
// never silent), as long as the frames within a frame's time.
TEST_F(CraftRender, PreviewStreamGivesFramesWithTheirSound)
{
    start({{"Pictures/red.png", kRed}, {"Pictures/green.png", kGreen}, {"Pictures/blue.png", kBlue}});
    video().music = frames.filePath("tone.wav");
    output("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", "sine=frequency=440:duration=3", video().music});
    MltProject project;
    const std::optional<Timeline> timeline = controller.createTimeline(project);
    ASSERT_TRUE(timeline && timeline->music);
    int64_t offset = 0;
    const Timeline part = timelinePart(*timeline, 100, 1000, &offset);
    ASSERT_EQ(offset, 75);
    PreviewStream stream;
    QString reason;
    ASSERT_TRUE(stream.start(shotcutProjectXml(part, Editor::Melt), part.timing.total, QSize(64, 48), 100 - offset,
                             &reason, offset, false, true)) << reason.toStdString();
    QList<int64_t> indices;
    QByteArray sound;
    bool ended = false;
    QObject::connect(&stream, &PreviewStream::ended, [&] { ended = true; });
    ASSERT_TRUE(QTest::qWaitFor([&] {
        while (!stream.frames().empty())
            indices << stream.takeFrame().index;
        sound += stream.takeSound();
        return ended;
    }, 60000)) << indices.size() << " frames and " << sound.size() << " bytes of sound read";
    ASSERT_EQ(indices.size(), timeline->timing.total - 100);
    EXPECT_EQ(indices.first(), 100);
    EXPECT_EQ(indices.last(), timeline->timing.total - 1);
    const double seconds = double(sound.size()) / PreviewStream::kSoundBytesPerSecond;
    EXPECT_NEAR(seconds, indices.size() / 25.0, 1.0 / 25);
    int loudest = 0;
    const auto *samples = reinterpret_cast<const qint16 *>(sound.constData());
    for (qsizetype i = 0; i < sound.size() / 2; ++i)
        loudest = std::max(loudest, std::abs(int(samples[i])));
    EXPECT_GT(loudest, 1000); // the tone is at an eighth of full scale
}

// Eight JPEGs of one upright picture, stored turned and mirrored every way
// with the EXIF orientation saying so: every one renders upright, also
// filling the frame while it pans and zooms.
TEST_F(CraftRender, EveryExifOrientationRendersUpright)
{
    QImage upright = filled(80, 60, Qt::blue);
    {
        QPainter painter(&upright);
        painter.fillRect(0, 0, 40, 30, Qt::red);    // top left
        painter.fillRect(40, 30, 40, 30, Qt::green); // bottom right
    }
    QList<std::pair<QString, QImage>> none;
    start(none);
    QStringList keys;
    for (int turn = 0; turn < 8; ++turn) {
        // Stored so that the turn the file names gives the upright picture:
        // the reader mirrors and flips, then turns a quarter clockwise.
        const auto transformation = QImageIOHandler::Transformations(turn);
        QImage stored = upright;
        if (transformation & QImageIOHandler::TransformationRotate90)
            stored = stored.transformed(QTransform().rotate(-90));
        stored = stored.mirrored(transformation & QImageIOHandler::TransformationMirror,
                                 transformation & QImageIOHandler::TransformationFlip);
        const QString path = home.filePath(QString("Pictures/turned %1.jpg").arg(turn));
        ASSERT_TRUE(QDir().mkpath(home.filePath("Pictures")));
        QImageWriter writer(path, "jpeg");
        writer.setTransformation(transformation);
        writer.setQuality(95);
        ASSERT_TRUE(writer.write(stored));
        QImageReader check(path);
        check.setAutoTransform(true);
        const QImage read = check.read();
        ASSERT_TRUE(near(read.pixelColor(10, 10), kRed) && near(read.pixelColor(70, 50), kGreen))
            << "turn " << turn << ": the file does not hold the upright picture";
        library.image(keys.emplace_back(QString::number(turn)), path, "turned");
    }
    library.album("Turned", keys);
    SaveRoad::start("Turned");
    ui.transitionDuration.setStringValue("0");
    ui.clipDuration.setStringValue("1");
    ui.compWidth.setStringValue("80");
    ui.compHeight.setStringValue("60");
    // Still, then moving in the MLT export and in the video's project.
    for (const int pass : {0, 1, 2}) {
        const bool moving = pass > 0;
        video().framing = moving ? Framing::Fill : Framing::Fit;
        video().motion = moving ? Motion::PanZoom : Motion::None;
        const QList<QImage> frames =
            render(moving ? "Edge Wipe" : "Cross Dissolve", pass == 2 ? OutputFormat::MP4 : OutputFormat::MLT);
        ASSERT_EQ(frames.size(), 8 * 25);
        for (int turn = 0; turn < 8; ++turn) {
            SCOPED_TRACE(turn + 10 * pass);
            const QImage &frame = frames[25 * turn];
            EXPECT_TRUE(near(frame.pixelColor(12, 12), kRed, 40));
            EXPECT_TRUE(near(frame.pixelColor(68, 48), kGreen, 40));
            EXPECT_TRUE(near(frame.pixelColor(68, 12), kBlue, 40));
        }
    }
}

// The music: as long as the video within a frame, faded out at the end,
// looped when shorter; --fit-to-music sets the clips' length from it, and
// falls back to looping, saying so, when it is too short.
TEST_F(CraftRender, MusicLoopsFadesAndFits)
{
    const auto tone = [&](const QString &name, int seconds) {
        const QString path = frames.filePath(name);
        output("ffmpeg", {"-v", "error", "-y", "-f", "lavfi", "-i", QString("sine=frequency=440:duration=%1").arg(seconds),
                          path});
        return path;
    };
    const auto loudness = [](const QString &file, double from) {
        const QByteArray report = [&] {
            QProcess ffmpeg;
            ffmpeg.start("ffmpeg", {"-v", "info", "-ss", QString::number(from), "-t", "0.5", "-i", file, "-vn", "-af",
                                    "volumedetect", "-f", "null", "-"});
            ffmpeg.waitForFinished(60000);
            return ffmpeg.readAllStandardError();
        }();
        const qsizetype at = report.indexOf("mean_volume: ");
        return at < 0 ? -1000.0 : report.mid(at + 13).split(' ').first().toDouble();
    };
    start({{"Pictures/red.png", kRed}, {"Pictures/green.png", kGreen}, {"Pictures/blue.png", kBlue}});
    video().music = tone("short.wav", 2);
    const QString path = frames.filePath("music.mp4");
    ASSERT_TRUE(save(path, OutputFormat::MP4)) << controller.videoRender()->failure().toStdString();
    const QByteArray durations =
        output("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name,duration", "-of", "csv=p=0", path});
    const QList<QByteArray> streams = durations.trimmed().split('\n');
    ASSERT_EQ(streams.size(), 2) << durations.constData();
    EXPECT_TRUE(streams[1].startsWith("aac,"));
    EXPECT_NEAR(streams[0].split(',')[1].toDouble(), 8.0, 0.001);          // 200 frames
    EXPECT_NEAR(streams[1].split(',')[1].toDouble(), 8.0, 1.0 / 25 + 0.03); // within a frame (and AAC's padding)
    const double middle = loudness(path, 3.0), looped = loudness(path, 4.2), end = loudness(path, 7.5);
    EXPECT_GT(middle, -30);
    EXPECT_NEAR(looped, middle, 3); // the third play of the two-second tone, before the fade
    EXPECT_LT(end, middle - 20);

    const QString webm = frames.filePath("music.webm");
    ASSERT_TRUE(save(webm, OutputFormat::WebM));
    EXPECT_TRUE(output("ffprobe", {"-v", "error", "-show_entries", "stream=codec_name", "-of", "csv=p=0", webm})
                    .contains("opus"));

    video().fitToMusic = true;
    video().music = tone("long.wav", 9);
    ASSERT_TRUE(controller.writeMLTTo(frames.filePath("fit.mlt")));
    // (9 s x 25 - 2 transitions of 25 frames) / 3 photos = 58 frames each.
    EXPECT_EQ(controller.createMLTProject().frames, 3 * 58 + 2 * 25);
    video().music = tone("short.wav", 2);
    log.clear();
    EXPECT_EQ(controller.createMLTProject().frames, 200);
    EXPECT_EQ(log.lines(), QStringList{"The music is too short to show each photo for a second: it loops"});

    video().music = frames.filePath("no such.ogg");
    EXPECT_FALSE(controller.writeVideoTo(path, OutputFormat::WebM));
    EXPECT_TRUE(log.lines().last().contains("no such.ogg is no readable audio")) << log.lines().last().toStdString();
}

} // namespace
