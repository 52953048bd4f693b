#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// How the slideshow looks and sounds in the outputs built on MLT (the
// projects and the videos), beyond the window's slideshow settings: the
// window's Video group (remembered with QSettings) or the command line's
// options fill it; the JSON document never sees it.
enum class VideoQuality { Draft, Good, Best };
enum class Motion { None, PanZoom };
enum class Framing { Fit, Fill };

struct VideoSettings {
    VideoQuality quality = VideoQuality::Good;
    Motion motion = Motion::None;
    Framing framing = Framing::Fit;
    QString music;            // an audio file; empty: no sound
    bool fitToMusic = false;  // the clips last so that the slideshow ends with the music
    bool captions = false;    // each photo's name in the lower part of the frame
    bool titleCard = false;   // the title over the first photo for its first 3 seconds
    bool shuffle = false;                // the photos in a shuffled order (else: the album's)
    std::optional<uint64_t> shuffleSeed; // the order's seed; none: a new one at each export
};

// The settings' names as the command line and the settings file spell them,
// in order: "draft", "good", "best"; "none", "pan-zoom"; "fit", "fill".
QStringList videoQualityNames();
QString nameOf(VideoQuality quality);
std::optional<VideoQuality> videoQualityNamed(const QString &name);
QStringList motionNames();
QString nameOf(Motion motion);
std::optional<Motion> motionNamed(const QString &name);
QStringList framingNames();
QString nameOf(Framing framing);
std::optional<Framing> framingNamed(const QString &name);
