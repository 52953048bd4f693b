#pragma once

#include "Value.h"
#include "rvWindow.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// The slideshow document rendered as an MLT XML project (UTF-8), the format
// melt plays and the MLT-based editors open: one still-image producer per
// slide, the photos alternating on two tracks so that consecutive photos
// overlap for the transition the document names.
//
// Timing, in frames: each photo is on screen alone for C = photoDuration -
// 4 x transDuration (at least 1), and a transition of T = transDuration plays
// while two consecutive photos overlap. Photo i is alone over [i(C+T),
// i(C+T)+C) and the transition after it runs over [i(C+T)+C, (i+1)(C+T)).
// T <= 0 gives plain cuts. The whole timeline is n x C + (n-1) x T frames.
//
// Paths are written as they are (UTF-8, escaped by the XML writer), with a
// leading "~" expanded to the home folder. Any document, however odd its
// values, gives a well-formed project melt can load.

struct MltTiming {
    int64_t clip = 1;       // C: frames each photo is on screen alone
    int64_t transition = 0; // T: frames of each transition; 0 means cuts
    int64_t total = 0;      // frames of the whole timeline
};

// The timing of n photos from the document's photoDuration and
// transDuration. MLT counts frames in 32-bit integers: a timeline longer than
// 2^30 frames is shortened, C and T in proportion (C stays at least 1).
MltTiming mltTiming(int32_t photoDuration, int32_t transDuration, int64_t photos);

// The frames of a slideshow document's timeline: mltTiming's total for its
// slides.
int64_t mltFrameCount(const Value &document);

// A project and the frames its timeline holds.
struct MltProject {
    QByteArray xml;
    int64_t frames = 0;
};

// The MLT XML project of a slideshow document (as rvController builds it:
// "sequence" settings and "slides" with "name" and "path"), at the frame rate
// given (the window's choice), or without one at the document's timebase,
// NTSC's 1000/1001 of it when its flag is "TRUE".
QByteArray mltXmlFromDocument(const Value &document, const QString &homeFolder,
                              std::optional<rvWindow::FrameRate> rate = std::nullopt);
