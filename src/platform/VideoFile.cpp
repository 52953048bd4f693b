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

using OpenedFile = std::unique_ptr<AVFormatContext *, void (*)(AVFormatContext **)>;

// The file opened and its streams found; a null context and the reason when
// it cannot be read.
std::pair<AVFormatContext *, QString> openMedia(const QString &path)
{
    AVFormatContext *opened = nullptr;
    if (const int code = avformat_open_input(&opened, QFile::encodeName(path).constData(), nullptr, nullptr); code < 0)
        return {nullptr, errorText(code)};
    if (const int code = avformat_find_stream_info(opened, nullptr); code < 0) {
        avformat_close_input(&opened);
        return {nullptr, errorText(code)};
    }
    return {opened, QString()};
}

} // namespace

std::optional<int64_t> videoFrameCount(const QString &path, QString *error)
{
    const auto fail = [&](const QString &reason) -> std::optional<int64_t> {
        if (error)
            *error = QStringLiteral("%1 is no readable video: %2").arg(path, reason);
        return std::nullopt;
    };
    auto [opened, reason] = openMedia(path);
    if (!opened)
        return fail(reason);
    const OpenedFile context(&opened, avformat_close_input);
    const int stream = av_find_best_stream(opened, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (stream < 0)
        return fail(QStringLiteral("it has no video stream"));

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
    auto [opened, reason] = openMedia(path);
    if (!opened)
        return fail(reason);
    const OpenedFile context(&opened, avformat_close_input);
    const int stream = av_find_best_stream(opened, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0)
        return fail(QStringLiteral("it has no sound"));
    const AVStream *audio = opened->streams[stream];
    double seconds = opened->duration > 0 ? double(opened->duration) / AV_TIME_BASE : 0;
    if (seconds <= 0 && audio->duration > 0)
        seconds = double(audio->duration) * av_q2d(audio->time_base);
    if (seconds <= 0)
        return fail(QStringLiteral("its length is unknown"));
    return seconds;
}
