#include "MltWriter.h"

#include <QIODevice>
#include <QXmlStreamWriter>

#include <algorithm>
#include <charconv>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <limits>
#include <mutex>
#include <numeric>
#include <thread>
#include <utility>
#include <vector>

namespace {

// MLT keeps frame positions in 32-bit integers; a timeline is kept well below
// their limit so that no position or length MLT derives from it overflows.
constexpr int64_t kMaxTimelineFrames = int64_t(1) << 30;
// Frame sizes and rates MLT can allocate and represent (the NTSC numerator is
// the timebase times 1000).
constexpr int32_t kMaxFrameSide = 16384;
constexpr int32_t kMaxTimebase = 1000;

// An append-only device under the XML writer. The writer hands its output
// over in many small pieces; QBuffer's random-access bookkeeping for each
// costs more than the copying itself on a big album.
class AppendingDevice final : public QIODevice {
public:
    explicit AppendingDevice(qsizetype capacity) : m_bytes(capacity, Qt::Uninitialized)
    {
        open(QIODevice::WriteOnly);
    }
    bool isSequential() const override { return true; }
    QByteArray takeBytes()
    {
        m_bytes.truncate(m_used);
        return std::move(m_bytes);
    }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *data, qint64 size) override
    {
        if (size > m_bytes.size() - m_used)
            m_bytes.resize(std::max(m_used + qsizetype(size), 2 * m_bytes.size()));
        std::memcpy(m_bytes.data() + m_used, data, size_t(size));
        m_used += size;
        return size;
    }

private:
    QByteArray m_bytes;
    qsizetype m_used = 0;
};

enum class Transition { Dissolve, Wipe, Iris };

// The window's transition titles; any other title is drawn as a dissolve.
Transition transitionNamed(const QString &style)
{
    if (style == QLatin1String("Edge Wipe"))
        return Transition::Wipe;
    if (style == QLatin1String("Iris Round"))
        return Transition::Iris;
    return Transition::Dissolve;
}

// XML 1.0 cannot hold control characters other than tab, line feed and
// carriage return, U+FFFE, U+FFFF or a lone surrogate, not even as character
// references: each becomes U+FFFD so that the project stays well-formed.
QString xmlText(const QString &text)
{
    const auto allowed = [](const QChar *c, const QChar *end) {
        const char16_t u = c->unicode();
        if (u < 0x20)
            return u == '\t' || u == '\n' || u == '\r';
        if (QChar::isHighSurrogate(u))
            return c + 1 < end && c[1].isLowSurrogate();
        if (QChar::isLowSurrogate(u))
            return false; // a low surrogate after a high one is skipped below
        return u != 0xFFFE && u != 0xFFFF;
    };
    const QChar *begin = text.constData(), *end = begin + text.size();
    // Most text is printable and outside the surrogates: a quick pass over it
    // before the careful one.
    const QChar *c = begin;
    while (c < end && c->unicode() >= 0x20 && !c->isSurrogate() && c->unicode() < 0xFFFE)
        ++c;
    for (; c < end; ++c) {
        if (!allowed(c, end))
            break;
        if (c->isHighSurrogate())
            ++c;
    }
    if (c == end)
        return text;

    QString clean = text;
    for (qsizetype i = c - begin; i < clean.size(); ++i) {
        const QChar *at = clean.constData() + i;
        if (!allowed(at, clean.constData() + clean.size()))
            clean[i] = QChar::ReplacementCharacter;
        else if (at->isHighSurrogate())
            ++i;
    }
    return clean;
}

// A whole number as text held in the object itself: the writer takes its
// values as QString, and the numbers of a big album should not each cost an
// allocation.
class NumberText {
public:
    explicit NumberText(int64_t n)
    {
        char ascii[kDigits];
        const std::to_chars_result end = std::to_chars(ascii, ascii + kDigits, n);
        const auto size = qsizetype(end.ptr - ascii);
        std::copy(ascii, end.ptr, m_digits);
        m_text = QString::fromRawData(reinterpret_cast<const QChar *>(m_digits), size);
    }
    NumberText(const NumberText &) = delete;
    NumberText &operator=(const NumberText &) = delete;
    operator const QString &() const { return m_text; }

private:
    static constexpr int kDigits = 20; // sign and 19 digits
    char16_t m_digits[kDigits];
    QString m_text;
};

// The slide's path with a leading "~" (the home folder alone or followed by
// "/") written out again.
QString expandedPath(const QString &path, const QString &home)
{
    if (path == QLatin1String("~"))
        return home;
    if (!path.startsWith(QLatin1String("~/")))
        return path;
    QString expanded;
    expanded.reserve(home.size() + path.size() - 1);
    expanded += home;
    expanded += QStringView(path).mid(1);
    return expanded;
}

void writeProfile(QXmlStreamWriter &xml, const Value &sequence)
{
    // Sizes and rates outside what MLT can render are brought to the nearest
    // it can.
    const int32_t width = std::clamp(sequence.value(QStringLiteral("compWidth")).toInt(), 1, kMaxFrameSide);
    const int32_t height = std::clamp(sequence.value(QStringLiteral("compHeight")).toInt(), 1, kMaxFrameSide);
    const int32_t timebase = std::clamp(sequence.value(QStringLiteral("timebase")).toInt(), 1, kMaxTimebase);
    const bool ntsc = sequence.value(QStringLiteral("ntsc")).toString() == QLatin1String("TRUE");
    const int32_t divisor = std::gcd(width, height);

    xml.writeStartElement(QStringLiteral("profile"));
    xml.writeAttribute(QStringLiteral("width"), QString::number(width));
    xml.writeAttribute(QStringLiteral("height"), QString::number(height));
    xml.writeAttribute(QStringLiteral("progressive"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("sample_aspect_num"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("sample_aspect_den"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("display_aspect_num"), QString::number(width / divisor));
    xml.writeAttribute(QStringLiteral("display_aspect_den"), QString::number(height / divisor));
    xml.writeAttribute(QStringLiteral("frame_rate_num"), QString::number(ntsc ? timebase * 1000 : timebase));
    xml.writeAttribute(QStringLiteral("frame_rate_den"), QString::number(ntsc ? 1001 : 1));
    xml.writeEndElement();
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

namespace {

// The timeline's frame arithmetic: where each photo starts and how long its
// producer is, so that any part of the timeline can be written on its own.
struct Timeline {
    qsizetype count = 0;
    int64_t C = 1, T = 0, total = 0;
    int tracks = 1;
    Transition style = Transition::Dissolve;

    // Photo i starts T frames before its solo part (the transition into it)
    // and ends T frames after it (the transition out of it), the first and
    // the last photo excepted.
    int64_t lead(qsizetype i) const { return i > 0 ? T : 0; }
    int64_t length(qsizetype i) const { return lead(i) + C + (i + 1 < count ? T : 0); }
    int64_t start(qsizetype i) const { return i * (C + T) - lead(i); }
    // Frames between the end of the previous photo on photo i's track and
    // photo i's start: the blank before it.
    int64_t gapBefore(qsizetype i) const
    {
        const qsizetype previous = i - tracks;
        return start(i) - (previous >= 0 ? start(previous) + length(previous) : 0);
    }
};

// Every element is closed by writeEndElement, never left open for more
// attributes, so that after each call the writer has handed all its output to
// the device: parts written by separate writers can then be joined byte for
// byte. Elements are one per line, flush left: a part's writer starts at the
// top level, and without indentation its lines are the ones a single writer
// would have written.
void startWriting(QXmlStreamWriter &xml)
{
    xml.setAutoFormatting(true);
    xml.setAutoFormattingIndent(0);
}

// The blank and producer of each photo in [first, last) on the given track,
// paths[k] being the path of photo base + k. The photos alternate between the
// tracks (all on the first with cuts). Each photo's producer stands in its
// track, as long as its part of the timeline; without an mlt_service, MLT's
// loader picks the image producer for the file.
void writePhotos(QXmlStreamWriter &xml, const Timeline &timeline, const std::vector<QString> &paths, qsizetype base,
                 const QString &homeFolder, int track, qsizetype first, qsizetype last)
{
    const QString blank = QStringLiteral("blank"), producer = QStringLiteral("producer"),
                  lengthKey = QStringLiteral("length"), outKey = QStringLiteral("out"),
                  resourceKey = QStringLiteral("resource");
    qsizetype i = first + (track - first % timeline.tracks + timeline.tracks) % timeline.tracks;
    for (; i < last; i += timeline.tracks) {
        if (const int64_t gap = timeline.gapBefore(i); gap > 0) {
            xml.writeStartElement(blank);
            xml.writeAttribute(lengthKey, NumberText(gap));
            xml.writeEndElement();
        }
        // The producer's properties as its attributes, which MLT reads as it
        // reads property elements: fewer writer calls per photo (the writer's
        // cost is per call), and an attribute keeps a carriage return as a
        // character reference.
        const int64_t length = timeline.length(i);
        xml.writeStartElement(producer);
        xml.writeAttribute(outKey, NumberText(length - 1));
        xml.writeAttribute(lengthKey, NumberText(length));
        xml.writeAttribute(resourceKey, xmlText(expandedPath(paths[size_t(i - base)], homeFolder)));
        xml.writeEndElement();
    }
}

// The transitions after the photos in [first, last). The transition after
// photo i mixes the second track over the first. It runs from the first
// track to the second when photo i is on the first (i even), and reversed, its
// map inverted, when photo i is on the second, so that it always goes from
// photo i to photo i + 1.
void writeTransitions(QXmlStreamWriter &xml, const Timeline &timeline, qsizetype first, qsizetype last)
{
    if (timeline.tracks != 2)
        return;
    const QString transition = QStringLiteral("transition"), luma = QStringLiteral("luma"),
                  zero = QStringLiteral("0"), one = QStringLiteral("1");
    // MLT's built-in luma maps, named with a leading "%", need no file: map 1
    // wipes from the left edge, map 16 opens a circle from the centre. Without
    // a map the luma transition dissolves.
    const QString map = timeline.style == Transition::Wipe ? QStringLiteral("%luma01.pgm")
        : timeline.style == Transition::Iris               ? QStringLiteral("%luma16.pgm")
                                                           : QString();
    for (qsizetype i = first; i < last && i + 1 < timeline.count; ++i) {
        const int64_t from = i * (timeline.C + timeline.T) + timeline.C;
        xml.writeStartElement(transition);
        xml.writeAttribute(QStringLiteral("in"), NumberText(from));
        xml.writeAttribute(QStringLiteral("out"), NumberText(from + timeline.T - 1));
        xml.writeAttribute(QStringLiteral("mlt_service"), luma);
        xml.writeAttribute(QStringLiteral("a_track"), zero);
        xml.writeAttribute(QStringLiteral("b_track"), one);
        if (!map.isNull())
            xml.writeAttribute(QStringLiteral("resource"), map);
        if (i % 2 == 1) {
            xml.writeAttribute(QStringLiteral("reverse"), one);
            xml.writeAttribute(QStringLiteral("invert"), one);
        }
        xml.writeEndElement();
    }
}

// One stretch of photos written by its own writer: their paths, the timeline
// it is written for, and the elements each track holds for them and the
// transitions after them.
struct Part {
    qsizetype first = 0, last = 0;
    std::vector<QString> paths; // of photos first to last - 1
    const Timeline *timeline = nullptr;
    QByteArray tracks[2];
    QByteArray transitions;
};

// Bytes a part's element takes, about (the buffers grow when it is more).
constexpr qsizetype kBytesPerPhoto = 320;

void writePart(Part &part, const QString &homeFolder)
{
    const Timeline &timeline = *part.timeline;
    const auto written = [&](const auto &write) {
        AppendingDevice device((part.last - part.first) * kBytesPerPhoto / timeline.tracks + 1024);
        QXmlStreamWriter xml(&device);
        startWriting(xml);
        write(xml);
        return device.takeBytes();
    };
    for (int track = 0; track < 2; ++track) {
        // The first photo of each track is written with the track's own
        // element (see finish).
        part.tracks[track] = track < timeline.tracks ? written([&](QXmlStreamWriter &xml) {
            writePhotos(xml, timeline, part.paths, part.first, homeFolder, track,
                        std::max<qsizetype>(part.first, timeline.tracks), part.last);
        }) : QByteArray();
    }
    part.transitions = written([&](QXmlStreamWriter &xml) { writeTransitions(xml, timeline, part.first, part.last); });
}

// Photos per part: enough that a part costs far more than handing it to a
// thread, few enough that the threads finish close together.
constexpr qsizetype kPhotosPerPart = 2048;

// A count of photos no album reaches: the timeline of parts written before
// the last photo is known, where every photo is followed by another.
constexpr qsizetype kOpenEnded = std::numeric_limits<qsizetype>::max() / 2;

} // namespace

struct MltProjectWriter::State {
    QString homeFolder;
    int threads = 1;
    Value sequence;
    int32_t photoDuration = 0, transDuration = 0;
    Transition style = Transition::Dissolve;
    // The timeline parts are written for before the end: the timing the
    // expected number of slides gives, every photo followed by another. At
    // the end it is checked against the real one.
    Timeline early;
    bool writeEarly = false;
    Timeline timeline; // the real one, known at the end
    qsizetype count = 0;
    std::deque<Part> parts; // a deque: a part stays in place while others are added

    // The parts waiting for a thread, and the threads writing them.
    std::mutex mutex;
    std::condition_variable changed;
    std::deque<Part *> waiting;
    bool closed = false;
    std::vector<std::thread> helpers;

    Timeline timelineFor(qsizetype photos) const
    {
        Timeline line;
        line.count = photos;
        const MltTiming timing = mltTiming(photoDuration, transDuration, photos);
        line.C = timing.clip;
        line.T = timing.transition;
        line.total = timing.total;
        line.tracks = (line.T > 0 && photos > 1) ? 2 : 1;
        line.style = style;
        return line;
    }

    // Hands a part to the threads, started with the first part.
    void hand(Part &part)
    {
        if (helpers.empty() && threads > 1) {
            for (int t = 1; t < threads; ++t)
                helpers.emplace_back([this] { work(); });
        }
        {
            const std::lock_guard lock(mutex);
            waiting.push_back(&part);
        }
        changed.notify_one();
    }

    // Writes waiting parts until none is left and no more will come.
    void work()
    {
        for (;;) {
            Part *part = nullptr;
            {
                std::unique_lock lock(mutex);
                changed.wait(lock, [&] { return closed || !waiting.empty(); });
                if (waiting.empty())
                    return;
                part = waiting.front();
                waiting.pop_front();
            }
            writePart(*part, homeFolder);
        }
    }

    // No more parts: this thread writes those still waiting with the others.
    void close()
    {
        {
            const std::lock_guard lock(mutex);
            closed = true;
        }
        changed.notify_all();
        work();
        for (std::thread &helper : helpers)
            helper.join();
        helpers.clear();
    }
};

MltProjectWriter::MltProjectWriter(const QString &homeFolder, int threads) : d(std::make_unique<State>())
{
    d->homeFolder = homeFolder;
    d->threads = threads > 0 ? threads : int(std::clamp(std::thread::hardware_concurrency(), 1U, 16U));
}

MltProjectWriter::~MltProjectWriter()
{
    d->close();
}

void MltProjectWriter::begin(const Value &sequence, qsizetype expectedSlides)
{
    d->sequence = sequence;
    d->photoDuration = sequence.value(QStringLiteral("photoDuration")).toInt();
    d->transDuration = sequence.value(QStringLiteral("transDuration")).toInt();
    d->style = transitionNamed(sequence.value(QStringLiteral("showStyle")).toString());
    d->writeEarly = expectedSlides > kPhotosPerPart;
    if (d->writeEarly) {
        d->early = d->timelineFor(expectedSlides);
        d->early.count = kOpenEnded;
    }
}

void MltProjectWriter::addSlide(const Value &slide)
{
    const qsizetype index = d->count++;
    if (index % kPhotosPerPart == 0) {
        // The part before is complete, and its last photo is not the
        // album's: it can be written now.
        if (index > 0 && d->writeEarly) {
            d->parts.back().timeline = &d->early;
            d->hand(d->parts.back());
        }
        Part &part = d->parts.emplace_back();
        part.first = index;
        part.paths.reserve(size_t(kPhotosPerPart));
    }
    Part &part = d->parts.back();
    part.paths.push_back(slide.value(QStringLiteral("path")).toString());
    part.last = index + 1;
}

QByteArray MltProjectWriter::finish(Value document)
{
    State &s = *d;
    s.timeline = s.timelineFor(s.count);
    const Timeline &timeline = s.timeline;

    // The parts not yet handed over, written for the real timeline; then
    // this thread lets go of the document (when the caller handed it over,
    // freeing its tree, a node per value, overlaps the writing) and writes
    // parts with the other threads. A single part is written here at once,
    // without a thread.
    for (Part &part : s.parts) {
        if (part.timeline)
            continue;
        part.timeline = &timeline;
        if (s.parts.size() > 1)
            s.hand(part);
        else
            writePart(part, s.homeFolder);
    }
    document = Value();
    s.close();
    // Parts written early for a timing the real one does not have (more
    // slides came than were expected) are written again.
    for (Part &part : s.parts) {
        const Timeline &used = *part.timeline;
        if (used.C != timeline.C || used.T != timeline.T || used.tracks != timeline.tracks) {
            part.timeline = &timeline;
            writePart(part, s.homeFolder);
        }
    }

    AppendingDevice device(4096 + s.count * kBytesPerPhoto);
    QXmlStreamWriter xml(&device);
    startWriting(xml);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("mlt"));
    xml.writeAttribute(QStringLiteral("LC_NUMERIC"), QStringLiteral("C"));
    xml.writeAttribute(QStringLiteral("title"),
                       xmlText(s.sequence.value(QStringLiteral("projectName")).toString()));
    xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("slideshow"));
    writeProfile(xml, s.sequence);

    // Each track's first photo is written here, closing the playlist's start
    // tag; the parts' bytes follow it.
    const auto append = [&](const QByteArray &bytes) { device.write(bytes); };
    for (int track = 0; track < timeline.tracks; ++track) {
        xml.writeStartElement(QStringLiteral("playlist"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("track%1").arg(track + 1));
        if (track < s.count) {
            writePhotos(xml, timeline, s.parts.front().paths, 0, s.homeFolder, track, track, track + 1);
            for (const Part &part : s.parts)
                append(part.tracks[track]);
        }
        xml.writeEndElement();
    }

    xml.writeStartElement(QStringLiteral("tractor"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("slideshow"));
    if (s.count > 0) {
        xml.writeAttribute(QStringLiteral("in"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("out"), NumberText(timeline.total - 1));
    }
    xml.writeStartElement(QStringLiteral("multitrack"));
    for (int track = 0; track < timeline.tracks; ++track) {
        xml.writeStartElement(QStringLiteral("track"));
        xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("track%1").arg(track + 1));
        xml.writeEndElement();
    }
    xml.writeEndElement();
    for (const Part &part : s.parts)
        append(part.transitions);
    xml.writeEndElement(); // tractor
    xml.writeEndElement(); // mlt
    xml.writeEndDocument();
    return device.takeBytes();
}

QByteArray mltXmlFromDocument(Value document, const QString &homeFolder, int threads)
{
    MltProjectWriter writer(homeFolder, threads);
    {
        const Value slides = document.value(QStringLiteral("slides"));
        const qsizetype count = slides.count();
        writer.begin(document.value(QStringLiteral("sequence")), count);
        for (qsizetype i = 0; i < count; ++i)
            writer.addSlide(slides.at(i));
    }
    return writer.finish(std::move(document));
}
