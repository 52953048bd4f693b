#pragma once

#include "Value.h"
#include "VideoSettings.h"
#include "rvWindow.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// The slideshow's timeline, computed once from a slideshow document for every
// output built on MLT (the Shotcut and Kdenlive projects, and so the videos):
// which photo, which frames, which transition.
//
// Timing, in frames: each photo is on screen alone for C = photoDuration -
// 4 x transDuration (at least 1), and a transition of T = transDuration plays
// while two consecutive photos overlap. Photo i is alone over [i(C+T),
// i(C+T)+C) and the transition after it runs over [i(C+T)+C, (i+1)(C+T)).
// T <= 0 gives plain cuts. The whole timeline is n x C + (n-1) x T frames.

struct MltTiming {
    int64_t clip = 1;       // C: frames each photo is on screen alone
    int64_t transition = 0; // T: frames of each transition; 0 means cuts
    int64_t total = 0;      // frames of the whole timeline
};

// The timing of n photos from the document's photoDuration and
// transDuration. MLT counts frames in 32-bit integers: a timeline longer than
// 2^30 frames is shortened, C and T in proportion (C stays at least 1).
MltTiming mltTiming(int32_t photoDuration, int32_t transDuration, int64_t photos);

struct Timeline {
    enum class Transition { Dissolve, Wipe, Iris };
    // A rectangle in the frame's pixels.
    struct Rect {
        double x = 0, y = 0, w = 0, h = 0;
    };
    struct Photo {
        QString path;      // the image file, a leading "~" written out
        QString name;      // the slide's name
        int64_t start = 0; // its first frame, the transition into it included
        int64_t lead = 0;  // frames of the transition into it; 0 for the first
        int64_t length = 0; // the transition in, its own frames, the transition out
        QString caption;   // its text in the lower part of the frame; empty: none
        // Pan and zoom: where the frame's picture is scaled and moved to at
        // the photo's first and at its last frame, between them in a
        // straight line; none: it stands still.
        std::optional<std::pair<Rect, Rect>> motion;
    };
    struct Music {
        QString path;
        int64_t playFrames = 0; // one play of the file
        int64_t fadeIn = 0, fadeOut = 0; // 0: none
        int64_t skip = 0; // frames of its play gone before the first frame (a part's)
    };
    struct TitleCard {
        QString text;
        int64_t frames = 0; // over the first photo from the first frame
        int64_t fade = 0;   // the last of those fading out
    };

    QString title;
    // Frame size and rate brought into what MLT renders.
    int32_t width = 1, height = 1;
    rvWindow::FrameRate rate;
    MltTiming timing;
    Transition style = Transition::Dissolve;
    std::vector<Photo> photos;
    bool fill = false; // each photo covers the frame, cropped at its centre (else: fitted, with bars)
    std::optional<Music> music;
    std::optional<TitleCard> titleCard;
    // What the video settings changed that a person should hear of: the
    // shuffle's seed, music too short to fit.
    QStringList notes;

    // The text sizes, in pixels: in proportion to the frame's height.
    int captionSize() const;
    int titleSize() const;

    // Whether consecutive photos overlap for a transition (else: cuts).
    bool hasTransitions() const { return timing.transition > 0 && photos.size() > 1; }
    // The first frame of the transition after photo k.
    int64_t transitionStart(size_t k) const { return int64_t(k) * (timing.clip + timing.transition) + timing.clip; }
};

// The timeline of a slideshow document (as rvController builds it: "sequence"
// settings and "slides" with "path"), at the frame rate given (the window's
// choice), or without one at the document's timebase, NTSC's 1000/1001 of it
// when its flag is "TRUE", with the video settings (the music's length, in
// seconds, given when there is music). Any document, however odd its values,
// gives one.
Timeline slideshowTimeline(const Value &document, const QString &homeFolder,
                           std::optional<rvWindow::FrameRate> rate = std::nullopt,
                           const VideoSettings &video = VideoSettings(),
                           std::optional<double> musicSeconds = std::nullopt);

// The part of the timeline on screen over the frames [from, from + frames),
// for a preview: the photos seen in that span, the first of them from its own
// frames on (the transition into it left out, as melt cannot start a project
// in the middle of one), so that frame f of the timeline is frame f - offset
// of the part, for every f from `from` to the part's end. The music goes on
// where it was in its loop, fading as in the whole; the title card shows
// only when the part starts with the first photo. melt
// loads every picture of a project before its first frame: a part of a long
// slideshow starts in a fraction of the time.
Timeline timelinePart(const Timeline &timeline, int64_t from, int64_t frames, int64_t *offset);

// The photos' order for a shuffle seed: a permutation of 0 to count - 1, the
// same for the same seed on every machine.
std::vector<size_t> shuffledOrder(size_t count, uint64_t seed);

// A caption laid out for the frame: at most two lines of at most the given
// characters, split between words, the rest cut short with "…".
QString captionLines(const QString &text, int charactersPerLine);
