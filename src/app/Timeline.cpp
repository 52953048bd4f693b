#include "Timeline.h"

#include "Paths.h"

#include <algorithm>

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

} // namespace

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

Timeline slideshowTimeline(const Value &document, const QString &homeFolder, std::optional<rvWindow::FrameRate> rate)
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
    timeline.style = transitionNamed(sequence.value(QStringLiteral("showStyle")).toString());

    const qsizetype count = slides.count();
    timeline.timing = mltTiming(number("photoDuration"), number("transDuration"), count);
    const int64_t C = timeline.timing.clip, T = timeline.timing.transition;
    // Photo i starts T frames before its solo part (the transition into it)
    // and ends T frames after it (the transition out of it), the first and
    // the last photo excepted.
    const QString pathKey = QStringLiteral("path"), nameKey = QStringLiteral("name");
    timeline.photos.reserve(size_t(count));
    for (qsizetype i = 0; i < count; ++i) {
        Timeline::Photo photo;
        const Value slide = slides.at(i);
        photo.path = expandingTildeInPath(slide.value(pathKey).toString(), homeFolder);
        photo.name = slide.value(nameKey).toString();
        photo.lead = i > 0 ? T : 0;
        photo.start = i * (C + T) - photo.lead;
        photo.length = photo.lead + C + (i + 1 < count ? T : 0);
        timeline.photos.push_back(std::move(photo));
    }
    return timeline;
}
