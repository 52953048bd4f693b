#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// How a video is rendered, beyond the window's slideshow settings: the
// window's Video group (remembered with QSettings) or the command line's
// options fill it, and only the video render reads it.
enum class VideoQuality { Draft, Good, Best };

struct VideoSettings {
    VideoQuality quality = VideoQuality::Good;
};

// The qualities' names, in order ("draft", "good", "best"), as the command
// line and the settings file spell them.
QStringList videoQualityNames();
QString nameOf(VideoQuality quality);
std::optional<VideoQuality> videoQualityNamed(const QString &name);
