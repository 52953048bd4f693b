#pragma once

#include <QSettings>

namespace gui {

// Where the window remembers its choices beyond the slideshow settings (the
// library, the video settings): ~/.config/slideshow-exporter/slideshow-exporter.conf.
inline QSettings applicationSettings()
{
    return QSettings(QStringLiteral("slideshow-exporter"), QStringLiteral("slideshow-exporter"));
}

} // namespace gui
