#include "VideoSettings.h"

QStringList videoQualityNames()
{
    return {QStringLiteral("draft"), QStringLiteral("good"), QStringLiteral("best")};
}

QString nameOf(VideoQuality quality)
{
    return videoQualityNames().value(int(quality));
}

std::optional<VideoQuality> videoQualityNamed(const QString &name)
{
    const qsizetype index = videoQualityNames().indexOf(name.toLower());
    if (index < 0)
        return std::nullopt;
    return VideoQuality(index);
}
