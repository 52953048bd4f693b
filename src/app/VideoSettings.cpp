#include "VideoSettings.h"

namespace {

template <typename Enum> std::optional<Enum> named(const QStringList &names, const QString &name)
{
    const qsizetype index = names.indexOf(name.toLower());
    if (index < 0)
        return std::nullopt;
    return Enum(index);
}

} // namespace

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
    return named<VideoQuality>(videoQualityNames(), name);
}

QStringList motionNames()
{
    return {QStringLiteral("none"), QStringLiteral("pan-zoom")};
}

QString nameOf(Motion motion)
{
    return motionNames().value(int(motion));
}

std::optional<Motion> motionNamed(const QString &name)
{
    return named<Motion>(motionNames(), name);
}

QStringList framingNames()
{
    return {QStringLiteral("fit"), QStringLiteral("fill")};
}

QString nameOf(Framing framing)
{
    return framingNames().value(int(framing));
}

std::optional<Framing> framingNamed(const QString &name)
{
    return named<Framing>(framingNames(), name);
}
