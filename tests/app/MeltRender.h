#pragma once

// The melt render tests' road: a library of photos in a temporary home,
// exported through the window and the controller, rendered by melt (started
// as the video render starts it) into numbered PNG frames; and videos read
// back with ffprobe and ffmpeg.

#include "SaveRoad.h"
#include "VideoRender.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <utility>

namespace melt {


inline const QColor kRed(255, 0, 0), kGreen(0, 255, 0), kBlue(0, 0, 255), kBlack(0, 0, 0);

// Colours survive MLT's YUV round trip only roughly.
inline ::testing::AssertionResult near(QColor actual, QColor expected, int tolerance = 24)
{
    const auto rgb = [](QColor c) { return QString("rgb(%1,%2,%3)").arg(c.red()).arg(c.green()).arg(c.blue()); };
    if (std::abs(actual.red() - expected.red()) <= tolerance && std::abs(actual.green() - expected.green()) <= tolerance &&
        std::abs(actual.blue() - expected.blue()) <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << qPrintable(rgb(actual)) << " is not near " << qPrintable(rgb(expected));
}

inline QColor mix(QColor a, QColor b)
{
    return QColor((a.red() + b.red()) / 2, (a.green() + b.green()) / 2, (a.blue() + b.blue()) / 2);
}

struct Photo {
    QString path; // below the home folder
    QColor colour;
    int width = 64;
};

// Writes the picture at the path, making its folder first.
inline ::testing::AssertionResult writeImage(const QString &path, const QImage &image)
{
    if (QDir().mkpath(QFileInfo(path).path()) && image.save(path))
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << qPrintable(path) << " could not be written";
}

// One library of solid-colour photos in a temporary home, exported with the
// window's settings and rendered by melt into numbered PNG frames.
class MltRender : public fixtures::SaveRoad {
protected:
    void start(const QList<Photo> &photos)
    {
        QList<std::pair<QString, QImage>> pictures;
        for (const Photo &photo : photos) {
            QImage image(photo.width, 48, QImage::Format_RGB32);
            image.fill(photo.colour);
            pictures.append({photo.path, image});
        }
        start(pictures);
    }
    // The photos written as the files named (below the home folder), each
    // captioned with its path.
    void start(const QList<std::pair<QString, QImage>> &pictures)
    {
        QStringList keys;
        library = fixtures::AlbumFile();
        for (const auto &[name, image] : pictures) {
            const QString path = home.filePath(name);
            ASSERT_TRUE(writeImage(path, image));
            keys << QString::number(keys.size() + 1);
            library.image(keys.last(), path, name);
        }
        library.album("Show", keys);
        images.clear();
        SaveRoad::start("Show");
        ui.clipDuration.setStringValue("2");
        ui.transitionDuration.setStringValue("1");
        ui.compWidth.setStringValue("64");
        ui.compHeight.setStringValue("48");
        ui.selectFrameRate("25");
    }

    // Exports the project (the MLT export, or the Kdenlive project; for a
    // video format, the project its video is rendered from) and renders it;
    // the frames in order.
    QList<QImage> render(const QString &transition, OutputFormat format = OutputFormat::MLT)
    {
        ui.selectTransition(transition);
        const QString project = frames.filePath("show." + fileTypeOf(format) + (isVideo(format) ? ".mlt" : ""));
        if (isVideo(format)) {
            xml = controller.createMLTProject(Editor::Melt).xml;
            QFile file(project);
            if (!file.open(QIODevice::WriteOnly) || file.write(xml) != xml.size())
                return {};
        } else {
            if (!controller.writeTo(project, format))
                return {};
            QFile file(project);
            xml = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        }

        return renderFile(project, transition + fileTypeOf(format));
    }

    // Renders the project file into the frames' folder named; the frames in
    // order.
    QList<QImage> renderFile(const QString &project, const QString &name)
    {
        const QString folder = frames.filePath(name);
        QDir().mkpath(folder);
        // On a busy machine melt 7.12 now and then ends at once, successfully and
        // without a word, having rendered nothing, or waits idle forever for a
        // consumer that never started (killed once idle for 4 s): such a run is
        // tried again.
        for (int attempt = 0; attempt < 3 && QDir(folder).isEmpty(); ++attempt) {
            QProcess melt; // started as the video render starts it, a display or none
            melt.setProcessEnvironment(VideoRender::meltEnvironment());
            melt.setProcessChannelMode(QProcess::MergedChannels);
            melt.start("melt", {project, "-quiet", "-consumer", "avformat:" + folder + "/f%05d.png", "vcodec=png"});
            qint64 ticks = VideoRender::cpuTicks(melt.processId());
            bool finished = false, idle = false;
            for (int waited = 0; waited < 120000 && !finished && !idle; waited += 4000) {
                finished = melt.waitForFinished(4000);
                const qint64 now = VideoRender::cpuTicks(melt.processId());
                idle = !finished && now == ticks && QDir(folder).isEmpty();
                ticks = now;
            }
            if (idle) {
                melt.kill();
                melt.waitForFinished();
                continue;
            }
            EXPECT_TRUE(finished && melt.exitCode() == 0) << melt.readAll().toStdString();
        }
        QList<QImage> frameImages;
        for (const QString &name : QDir(folder).entryList({"*.png"}, QDir::Files, QDir::Name))
            frameImages << QImage(folder + "/" + name).convertToFormat(QImage::Format_RGB32);
        return frameImages;
    }

    QTemporaryDir frames;
    QByteArray xml;
};

// A video as ffprobe and ffmpeg read it: its streams, its video stream's
// codec, pixel format, rate and frame count, and its frames decoded.
struct Video {
    QString streams, codec, pixelFormat, rate;
    int frames = 0;
    QList<QImage> images;
};

inline QByteArray output(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitCode() == 0 ? process.readAllStandardOutput() : QByteArray();
}

inline Video probe(const QString &path, QSize size)
{
    Video video;
    video.streams = output("ffprobe", {"-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", path})
                        .trimmed().replace('\n', ',');
    const QList<QByteArray> fields = output("ffprobe", {"-v", "error", "-select_streams", "v:0", "-count_frames",
                                                        "-show_entries", "stream=codec_name,pix_fmt,r_frame_rate,nb_read_frames",
                                                        "-of", "csv=p=0", path}).trimmed().split(',');
    if (fields.size() == 4) {
        video.codec = fields[0];
        video.pixelFormat = fields[1];
        video.rate = fields[2];
        video.frames = fields[3].toInt();
    }
    const QByteArray pixels = output("ffmpeg", {"-v", "error", "-i", path, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"});
    const qsizetype frameBytes = 3 * size.width() * size.height();
    for (qsizetype at = 0; at + frameBytes <= pixels.size(); at += frameBytes)
        video.images << QImage(reinterpret_cast<const uchar *>(pixels.constData() + at), size.width(), size.height(),
                               3 * size.width(), QImage::Format_RGB888).convertToFormat(QImage::Format_RGB32);
    return video;
}

class VideoRenders : public MltRender {
protected:
    void SetUp() override
    {
        if (QStandardPaths::findExecutable("ffprobe").isEmpty() || QStandardPaths::findExecutable("ffmpeg").isEmpty())
            GTEST_SKIP() << "ffprobe and ffmpeg are not installed";
    }
    // Saves the chosen album as a video through the controller and waits for
    // the render; true when the file was written.
    bool save(const QString &path, OutputFormat format)
    {
        return controller.writeVideoTo(path, format) && controller.videoRender()->waitForFinished();
    }
    QStringList folderEntries() const
    {
        return QDir(frames.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }
};

} // namespace melt
