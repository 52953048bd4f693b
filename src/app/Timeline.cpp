#include "Timeline.h"

#include "Paths.h"

#include <QImageReader>

#include <algorithm>
#include <cmath>

namespace {

// MLT keeps frame positions in 32-bit integers; a timeline is kept well below
// their limit so that no position or length MLT derives from it overflows.
constexpr int64_t kMaxTimelineFrames = int64_t(1) << 30;
// Frame sizes and rates MLT can allocate and represent (the NTSC numerator is
// the timebase times 1000).
constexpr int32_t kMaxFrameSide = 16384;
constexpr int32_t kMaxTimebase = 1000;

// The window's transition titles; any other title is drawn as a dissolve.
Timeline::Transition transitionNamed(const QString &style)
{
    if (style == QLatin1String("Edge Wipe"))
        return Timeline::Transition::Wipe;
    if (style == QLatin1String("Iris Round"))
        return Timeline::Transition::Iris;
    return Timeline::Transition::Dissolve;
}

// The photo's picture as shown, upright: its width over its height; the
// frame's own for a file that cannot be read.
double uprightAspect(const QString &path, double frameAspect)
{
    QImageReader reader(path);
    reader.setAutoTransform(true);
    QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return frameAspect;
    if (reader.transformation() & QImageIOHandler::TransformationRotate90)
        size.transpose();
    return double(size.width()) / size.height();
}

// The slow pan and zoom over photo i: between 100% and 115% of the picture's
// size in the frame, zooming in on even photos and out on odd ones, the
// centre drifting in one of eight directions, turning from photo to photo.
// The drift at a zoom never exceeds what the zoom adds around the picture as
// framed, so no more of the frame's edge shows than the framing itself does.
std::pair<Timeline::Rect, Timeline::Rect> panZoom(size_t i, double width, double height, double pictureWidth,
                                                  double pictureHeight)
{
    constexpr double kZoom = 1.15;
    constexpr double kPi = 3.14159265358979323846;
    const double angle = double((i * 3) % 8) * kPi / 4;
    // Nine tenths of the room the full zoom leaves on each side. The zoom
    // starts a few pixels above 100%, so that the picture's edges never come
    // within rounding of the frame's.
    const double dx = std::cos(angle) * (kZoom - 1) * pictureWidth / 2 * 0.9;
    const double dy = std::sin(angle) * (kZoom - 1) * pictureHeight / 2 * 0.9;
    const double least = 1 + std::min(4 / std::min(width, height), 0.015);
    const auto at = [&](double zoom, double drift) {
        return Timeline::Rect{width / 2 + drift * dx - zoom * width / 2, height / 2 + drift * dy - zoom * height / 2,
                              zoom * width, zoom * height};
    };
    const Timeline::Rect still = at(least, 0), moved = at(kZoom, 1);
    return i % 2 == 0 ? std::pair{still, moved} : std::pair{moved, still};
}

// splitmix64: a small generator whose numbers are the same everywhere.
uint64_t nextRandom(uint64_t &state)
{
    uint64_t z = (state += 0x9E3779B97F4A7C15ULL);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
    return z ^ (z >> 31);
}

} // namespace

std::vector<size_t> shuffledOrder(size_t count, uint64_t seed)
{
    std::vector<size_t> order(count);
    for (size_t i = 0; i < count; ++i)
        order[i] = i;
    uint64_t state = seed;
    for (size_t i = count; i > 1; --i)
        std::swap(order[i - 1], order[size_t(nextRandom(state) % i)]);
    return order;
}

QString captionLines(const QString &text, int charactersPerLine)
{
    const int width = std::max(charactersPerLine, 4);
    const QStringList words = text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
    QStringList lines{QString()};
    qsizetype next = 0;
    for (; next < words.size(); ++next) {
        QString &line = lines.last();
        const QString &word = words[next];
        if (line.isEmpty() || line.size() + 1 + word.size() <= width) {
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
            if (line.size() <= width)
                continue;
        } else if (lines.size() < 2) {
            lines << word;
            if (word.size() <= width)
                continue;
        }
        break; // no room for this word
    }
    if (next < words.size() || lines.last().size() > width) {
        QString &last = lines.last();
        last = last.left(width - 1).trimmed() + QChar(0x2026);
    }
    return lines.join(QLatin1Char('\n'));
}

int Timeline::captionSize() const
{
    return std::max(8, int(std::lround(height * 0.055)));
}

int Timeline::titleSize() const
{
    return std::max(10, int(std::lround(height * 0.09)));
}

Timeline timelinePart(const Timeline &timeline, int64_t from, int64_t frames, int64_t *offset)
{
    const int64_t C = timeline.timing.clip, T = timeline.timing.transition, total = timeline.timing.total;
    const int64_t n = int64_t(timeline.photos.size());
    Timeline part = timeline;
    *offset = 0;
    if (n == 0)
        return part;
    // Photo k is alone over [k(C+T), k(C+T)+C), then goes over into k + 1.
    const auto photoAt = [&](int64_t frame) { return std::clamp<int64_t>(frame / (C + T), 0, n - 1); };
    from = std::clamp<int64_t>(from, 0, total - 1);
    const int64_t last = std::clamp<int64_t>(from + std::max<int64_t>(frames, 1) - 1, from, total - 1);
    const int64_t first = photoAt(from);
    int64_t end = photoAt(last);
    if (end + 1 < n && last >= end * (C + T) + C) // in the transition out of it
        ++end;
    *offset = first * (C + T);
    part.photos.assign(timeline.photos.begin() + first, timeline.photos.begin() + end + 1);
    for (Timeline::Photo &photo : part.photos)
        photo.start -= *offset;
    part.timing.total = (end + 1 == n ? total : end * (C + T) + C) - *offset;
    if (first > 0)
        part.titleCard.reset();
    if (part.music) {
        part.music->skip = *offset % std::max<int64_t>(part.music->playFrames, 1);
        if (*offset > 0)
            part.music->fadeIn = 0;
        if (end + 1 < n)
            part.music->fadeOut = 0;
    }
    return part;
}

MltTiming mltTiming(int32_t photoDuration, int32_t transDuration, int64_t photos)
{
    MltTiming timing;
    // Each bound keeps the products below in 64 bits.
    timing.transition = std::clamp<int64_t>(transDuration, 0, kMaxTimelineFrames);
    timing.clip = std::clamp<int64_t>(int64_t(photoDuration) - 4 * int64_t(transDuration), 1,
                                      kMaxTimelineFrames);
    photos = std::clamp<int64_t>(photos, 0, kMaxTimelineFrames);
    if (photos == 0)
        return timing;

    const auto total = [&] { return photos * timing.clip + (photos - 1) * timing.transition; };
    timing.total = total();
    if (timing.total > kMaxTimelineFrames) {
        const int64_t whole = timing.total;
        timing.clip = std::max<int64_t>(1, timing.clip * kMaxTimelineFrames / whole);
        timing.transition = timing.transition * kMaxTimelineFrames / whole;
        timing.total = total();
    }
    return timing;
}

Timeline slideshowTimeline(const Value &document, const QString &homeFolder, std::optional<rvWindow::FrameRate> rate,
                           const VideoSettings &video, std::optional<double> musicSeconds)
{
    const Value sequence = document.value(QStringLiteral("sequence"));
    const Value slides = document.value(QStringLiteral("slides"));
    const auto number = [&](const char *key) { return sequence.value(QLatin1String(key)).toInt(); };

    Timeline timeline;
    timeline.title = sequence.value(QStringLiteral("projectName")).toString();
    // Sizes and rates outside what MLT can render are brought to the nearest
    // it can.
    timeline.width = std::clamp(number("compWidth"), 1, kMaxFrameSide);
    timeline.height = std::clamp(number("compHeight"), 1, kMaxFrameSide);
    if (!rate) {
        const int32_t timebase = std::clamp(number("timebase"), 1, kMaxTimebase);
        const bool ntsc = sequence.value(QStringLiteral("ntsc")).toString() == QLatin1String("TRUE");
        rate = ntsc ? rvWindow::FrameRate{timebase * 1000, 1001} : rvWindow::FrameRate{timebase, 1};
    }
    timeline.rate = {std::clamp(rate->numerator, 1, kMaxTimebase * 1000), std::clamp(rate->denominator, 1, 1001)};
    const double framesPerSecond = double(timeline.rate.numerator) / timeline.rate.denominator;
    const auto framesOf = [&](double seconds) { return std::max<int64_t>(1, std::llround(seconds * framesPerSecond)); };
    timeline.style = transitionNamed(sequence.value(QStringLiteral("showStyle")).toString());
    timeline.fill = video.framing == Framing::Fill;

    const qsizetype count = slides.count();
    timeline.timing = mltTiming(number("photoDuration"), number("transDuration"), count);
    int64_t &C = timeline.timing.clip;
    const int64_t T = timeline.timing.transition;

    // The music: its first play sets the clips' length when asked to, as
    // long as each photo still shows at least a second; else it loops.
    if (!video.music.isEmpty() && musicSeconds && *musicSeconds > 0) {
        Timeline::Music music{video.music, framesOf(*musicSeconds), framesOf(1), framesOf(3)};
        if (video.fitToMusic && count > 0) {
            const int64_t fitted = (music.playFrames - (count - 1) * T) / count;
            if (fitted >= framesOf(1))
                C = fitted;
            else
                timeline.notes << QStringLiteral("The music is too short to show each photo for a second: it loops");
            timeline.timing.total = count * C + (count - 1) * T;
        }
        timeline.music = music;
    }

    std::vector<size_t> order(size_t(std::max<qsizetype>(count, 0)));
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (video.shuffle) {
        const uint64_t seed = video.shuffleSeed.value_or(0);
        order = shuffledOrder(order.size(), seed);
        timeline.notes << QStringLiteral("The photos are shuffled with the seed %1").arg(seed);
    }

    // Photo i starts T frames before its solo part (the transition into it)
    // and ends T frames after it (the transition out of it), the first and
    // the last photo excepted.
    const QString pathKey = QStringLiteral("path"), nameKey = QStringLiteral("name");
    const double frameAspect = double(timeline.width) / timeline.height;
    const int charactersPerLine = int(timeline.width * 0.9 / (timeline.captionSize() * 0.55));
    timeline.photos.reserve(order.size());
    for (size_t i = 0; i < order.size(); ++i) {
        const Value slide = slides.at(qsizetype(order[i]));
        Timeline::Photo photo;
        photo.path = expandingTildeInPath(slide.value(pathKey).toString(), homeFolder);
        photo.name = slide.value(nameKey).toString();
        photo.lead = i > 0 ? T : 0;
        photo.start = int64_t(i) * (C + T) - photo.lead;
        photo.length = photo.lead + C + (i + 1 < order.size() ? T : 0);
        if (video.captions) // an empty caption shows as the window shows it: the file's name
            photo.caption = captionLines(photo.name.isEmpty() ? displayNameAtPath(photo.path) : photo.name,
                                         charactersPerLine);
        if (video.motion == Motion::PanZoom) {
            // The picture as framed: the whole frame when it fills it, else
            // fitted inside it.
            double width = timeline.width, height = timeline.height;
            if (!timeline.fill) {
                const double aspect = uprightAspect(photo.path, frameAspect);
                if (aspect >= frameAspect)
                    height = width / aspect;
                else
                    width = height * aspect;
            }
            photo.motion = panZoom(i, timeline.width, timeline.height, width, height);
        }
        timeline.photos.push_back(std::move(photo));
    }

    if (video.titleCard && !timeline.title.isEmpty() && !timeline.photos.empty()) {
        const int64_t frames = std::min(framesOf(3), timeline.photos.front().length);
        timeline.titleCard = Timeline::TitleCard{
            captionLines(timeline.title, int(timeline.width * 0.9 / (timeline.titleSize() * 0.55))), frames,
            std::min(framesOf(1), frames)};
    }
    return timeline;
}
