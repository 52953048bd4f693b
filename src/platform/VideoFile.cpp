#include "VideoFile.h"

#include <QFile>

extern "C" {
#include <libavcodec/packet.h>
#include <libavformat/avformat.h>
#include <libavutil/error.h>
}

#include <memory>

namespace {

QString errorText(int code)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// A media file opened with its streams found, and the best stream of a type
// in it; a null context and the reason when either is missing.
struct OpenedMedia {
    std::unique_ptr<AVFormatContext, void (*)(AVFormatContext *)> context{nullptr, [](AVFormatContext *c) { avformat_close_input(&c); }};
    int stream = -1;
    QString reason;
};

OpenedMedia openMedia(const QString &path, AVMediaType type, const QString &noStream)
{
    OpenedMedia media;
    AVFormatContext *opened = nullptr;
    if (const int code = avformat_open_input(&opened, QFile::encodeName(path).constData(), nullptr, nullptr); code < 0) {
        media.reason = errorText(code);
        return media;
    }
    media.context.reset(opened);
    if (const int code = avformat_find_stream_info(opened, nullptr); code < 0) {
        media.reason = errorText(code);
    } else if ((media.stream = av_find_best_stream(opened, type, -1, -1, nullptr, 0)) < 0) {
        media.reason = noStream;
    } else {
        return media;
    }
    media.context.reset();
    return media;
}

} // namespace

std::optional<int64_t> videoFrameCount(const QString &path, QString *error)
{
    const auto fail = [&](const QString &reason) -> std::optional<int64_t> {
        if (error)
            *error = QStringLiteral("%1 is no readable video: %2").arg(path, reason);
        return std::nullopt;
    };
    const OpenedMedia media = openMedia(path, AVMEDIA_TYPE_VIDEO, QStringLiteral("it has no video stream"));
    if (!media.context)
        return fail(media.reason);
    AVFormatContext *opened = media.context.get();
    const int stream = media.stream;

    const std::unique_ptr<AVPacket, void (*)(AVPacket *)> packet(av_packet_alloc(), [](AVPacket *p) { av_packet_free(&p); });
    int64_t frames = 0;
    int code = 0;
    while ((code = av_read_frame(opened, packet.get())) >= 0) {
        frames += packet->stream_index == stream;
        av_packet_unref(packet.get());
    }
    if (code != AVERROR_EOF)
        return fail(errorText(code));
    return frames;
}

std::optional<double> audioDuration(const QString &path, QString *error)
{
    const auto fail = [&](const QString &reason) -> std::optional<double> {
        if (error)
            *error = QStringLiteral("%1 is no readable audio: %2").arg(path, reason);
        return std::nullopt;
    };
    const OpenedMedia media = openMedia(path, AVMEDIA_TYPE_AUDIO, QStringLiteral("it has no sound"));
    if (!media.context)
        return fail(media.reason);
    AVFormatContext *opened = media.context.get();
    const int stream = media.stream;
    const AVStream *audio = opened->streams[stream];
    double seconds = opened->duration > 0 ? double(opened->duration) / AV_TIME_BASE : 0;
    if (seconds <= 0 && audio->duration > 0)
        seconds = double(audio->duration) * av_q2d(audio->time_base);
    if (seconds <= 0)
        return fail(QStringLiteral("its length is unknown"));
    return seconds;
}
