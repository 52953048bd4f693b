#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// Media files as FFmpeg's libavformat reads them.

// The frames a video file holds: the packets of its video stream, counted by
// reading the container (FFmpeg's libavformat) without decoding them; one
// packet is one frame for the codecs written here (H.264, VP9). Nothing, with
// a one-line reason when asked, for a file that is no readable video (cut
// short, empty, missing).
std::optional<int64_t> videoFrameCount(const QString &path, QString *error = nullptr);

// How long an audio file plays, in seconds (as its container says); nothing,
// with a one-line reason when asked, for a file that is no readable audio.
std::optional<double> audioDuration(const QString &path, QString *error = nullptr);
