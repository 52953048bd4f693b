#include "MltWriter.h"

#include "Paths.h"

#include <QIODevice>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <utility>

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

void writeProfile(QXmlStreamWriter &xml, const Value &sequence, std::optional<rvWindow::FrameRate> rate)
{
    // Sizes and rates outside what MLT can render are brought to the nearest
    // it can.
    const int32_t width = std::clamp(sequence.value(QStringLiteral("compWidth")).toInt(), 1, kMaxFrameSide);
    const int32_t height = std::clamp(sequence.value(QStringLiteral("compHeight")).toInt(), 1, kMaxFrameSide);
    if (!rate) {
        const int32_t timebase = std::clamp(sequence.value(QStringLiteral("timebase")).toInt(), 1, kMaxTimebase);
        const bool ntsc = sequence.value(QStringLiteral("ntsc")).toString() == QLatin1String("TRUE");
        rate = ntsc ? rvWindow::FrameRate{timebase * 1000, 1001} : rvWindow::FrameRate{timebase, 1};
    }
    const int32_t numerator = std::clamp(rate->numerator, 1, kMaxTimebase * 1000);
    const int32_t denominator = std::clamp(rate->denominator, 1, 1001);
    const int32_t divisor = std::gcd(width, height);

    xml.writeStartElement(QStringLiteral("profile"));
    xml.writeAttribute(QStringLiteral("width"), QString::number(width));
    xml.writeAttribute(QStringLiteral("height"), QString::number(height));
    xml.writeAttribute(QStringLiteral("progressive"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("sample_aspect_num"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("sample_aspect_den"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("display_aspect_num"), QString::number(width / divisor));
    xml.writeAttribute(QStringLiteral("display_aspect_den"), QString::number(height / divisor));
    xml.writeAttribute(QStringLiteral("frame_rate_num"), QString::number(numerator));
    xml.writeAttribute(QStringLiteral("frame_rate_den"), QString::number(denominator));
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

int64_t mltFrameCount(const Value &document)
{
    const Value sequence = document.value(QStringLiteral("sequence"));
    return mltTiming(sequence.value(QStringLiteral("photoDuration")).toInt(),
                     sequence.value(QStringLiteral("transDuration")).toInt(),
                     document.value(QStringLiteral("slides")).count())
        .total;
}

QByteArray mltXmlFromDocument(const Value &document, const QString &homeFolder, std::optional<rvWindow::FrameRate> rate)
{
    const Value sequence = document.value(QStringLiteral("sequence"));
    const Value slides = document.value(QStringLiteral("slides"));
    const qsizetype count = slides.count();
    const MltTiming timing = mltTiming(sequence.value(QStringLiteral("photoDuration")).toInt(),
                                       sequence.value(QStringLiteral("transDuration")).toInt(), count);
    const int64_t C = timing.clip, T = timing.transition;
    const int tracks = (T > 0 && count > 1) ? 2 : 1;
    const Transition style = transitionNamed(sequence.value(QStringLiteral("showStyle")).toString());

    // Photo i starts T frames before its solo part (the transition into it)
    // and ends T frames after it (the transition out of it), the first and
    // the last photo excepted.
    const auto lead = [&](qsizetype i) { return i > 0 ? T : 0; };
    const auto length = [&](qsizetype i) { return lead(i) + C + (i + 1 < count ? T : 0); };
    const auto start = [&](qsizetype i) { return i * (C + T) - lead(i); };

    AppendingDevice device(4096 + count * 500);
    QXmlStreamWriter xml(&device);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("mlt"));
    xml.writeAttribute(QStringLiteral("LC_NUMERIC"), QStringLiteral("C"));
    xml.writeAttribute(QStringLiteral("title"),
                       xmlText(sequence.value(QStringLiteral("projectName")).toString()));
    xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("slideshow"));
    writeProfile(xml, sequence, rate);

    // The photos alternate between the tracks (all on the first with cuts),
    // each track's gaps filled with blanks. Each photo's producer stands in
    // its track, as long as its part of the timeline; without an mlt_service,
    // MLT's loader picks the image producer for the file.
    const QString pathKey = QStringLiteral("path");
    for (int track = 0; track < tracks; ++track) {
        xml.writeStartElement(QStringLiteral("playlist"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("track%1").arg(track + 1));
        int64_t end = 0;
        for (qsizetype i = track; i < count; i += tracks) {
            if (start(i) > end) {
                xml.writeEmptyElement(QStringLiteral("blank"));
                xml.writeAttribute(QStringLiteral("length"), QString::number(start(i) - end));
            }
            // The producer's properties as its attributes, which MLT reads as
            // it reads property elements: fewer writer calls per photo (the
            // writer's cost is per call), and an attribute keeps a carriage
            // return as a character reference.
            xml.writeEmptyElement(QStringLiteral("producer"));
            xml.writeAttribute(QStringLiteral("out"), QString::number(length(i) - 1));
            xml.writeAttribute(QStringLiteral("length"), QString::number(length(i)));
            xml.writeAttribute(QStringLiteral("resource"),
                               xmlText(expandingTildeInPath(slides.at(i).value(pathKey).toString(), homeFolder)));
            end = start(i) + length(i);
        }
        xml.writeEndElement();
    }

    xml.writeStartElement(QStringLiteral("tractor"));
    xml.writeAttribute(QStringLiteral("id"), QStringLiteral("slideshow"));
    if (count > 0) {
        xml.writeAttribute(QStringLiteral("in"), QStringLiteral("0"));
        xml.writeAttribute(QStringLiteral("out"), QString::number(timing.total - 1));
    }
    xml.writeStartElement(QStringLiteral("multitrack"));
    for (int track = 0; track < tracks; ++track) {
        xml.writeEmptyElement(QStringLiteral("track"));
        xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("track%1").arg(track + 1));
    }
    xml.writeEndElement();

    // The transition after photo i mixes the second track over the first. It
    // runs from the first track to the second when photo i is on the first
    // (i even), and reversed, its map inverted, when photo i is on the second,
    // so that it always goes from photo i to photo i + 1.
    const QString luma = QStringLiteral("luma"), zero = QStringLiteral("0"), one = QStringLiteral("1");
    for (qsizetype i = 0; tracks == 2 && i + 1 < count; ++i) {
        const int64_t from = i * (C + T) + C;
        xml.writeEmptyElement(QStringLiteral("transition"));
        xml.writeAttribute(QStringLiteral("in"), QString::number(from));
        xml.writeAttribute(QStringLiteral("out"), QString::number(from + T - 1));
        xml.writeAttribute(QStringLiteral("mlt_service"), luma);
        xml.writeAttribute(QStringLiteral("a_track"), zero);
        xml.writeAttribute(QStringLiteral("b_track"), one);
        // MLT's built-in luma maps, named with a leading "%", need no file:
        // map 1 wipes from the left edge, map 16 opens a circle from the
        // centre. Without a map the luma transition dissolves.
        // Properties as attributes, as for the producers.
        if (style == Transition::Wipe)
            xml.writeAttribute(QStringLiteral("resource"), QStringLiteral("%luma01.pgm"));
        else if (style == Transition::Iris)
            xml.writeAttribute(QStringLiteral("resource"), QStringLiteral("%luma16.pgm"));
        if (i % 2 == 1) {
            xml.writeAttribute(QStringLiteral("reverse"), one);
            xml.writeAttribute(QStringLiteral("invert"), one);
        }
    }
    xml.writeEndElement(); // tractor
    xml.writeEndElement(); // mlt
    xml.writeEndDocument();
    return device.takeBytes();
}
