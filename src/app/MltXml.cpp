#include "MltXml.h"

#include <QIODevice>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cstring>
#include <numeric>
#include <utility>

namespace {

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

} // namespace

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

QByteArray writtenXml(qsizetype expectedBytes, const std::function<void(QXmlStreamWriter &)> &write)
{
    AppendingDevice device(expectedBytes);
    QXmlStreamWriter xml(&device);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    write(xml);
    xml.writeEndDocument();
    return device.takeBytes();
}

QString builtInLumaMap(Timeline::Transition style)
{
    return style == Timeline::Transition::Wipe   ? QStringLiteral("%luma01.pgm")
           : style == Timeline::Transition::Iris ? QStringLiteral("%luma16.pgm")
                                                 : QString();
}

void writeMltStart(QXmlStreamWriter &xml, const Timeline &timeline, const QString &producer)
{
    xml.writeStartElement(QStringLiteral("mlt"));
    xml.writeAttribute(QStringLiteral("LC_NUMERIC"), QStringLiteral("C"));
    xml.writeAttribute(QStringLiteral("title"), xmlText(timeline.title));
    xml.writeAttribute(QStringLiteral("producer"), producer);

    const int32_t divisor = std::gcd(timeline.width, timeline.height);
    xml.writeEmptyElement(QStringLiteral("profile"));
    xml.writeAttribute(QStringLiteral("width"), QString::number(timeline.width));
    xml.writeAttribute(QStringLiteral("height"), QString::number(timeline.height));
    xml.writeAttribute(QStringLiteral("progressive"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("sample_aspect_num"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("sample_aspect_den"), QStringLiteral("1"));
    xml.writeAttribute(QStringLiteral("display_aspect_num"), QString::number(timeline.width / divisor));
    xml.writeAttribute(QStringLiteral("display_aspect_den"), QString::number(timeline.height / divisor));
    xml.writeAttribute(QStringLiteral("frame_rate_num"), QString::number(timeline.rate.numerator));
    xml.writeAttribute(QStringLiteral("frame_rate_den"), QString::number(timeline.rate.denominator));
}

void writeProperty(QXmlStreamWriter &xml, const QString &name, const QString &value)
{
    xml.writeStartElement(QStringLiteral("property"));
    xml.writeAttribute(QStringLiteral("name"), name);
    xml.writeCharacters(value);
    xml.writeEndElement();
}

namespace {

const QString kFilter = QStringLiteral("filter");

// A filter element, started: the frames it covers (from the start of what it
// is attached to; without them all), its service and how the editor knows it.
void startFilter(QXmlStreamWriter &xml, Editor editor, const char *service, const char *shotcutName,
                 const char *kdenliveName, int64_t in = 0, int64_t frames = 0)
{
    xml.writeStartElement(kFilter);
    if (frames > 0) {
        xml.writeAttribute(QStringLiteral("in"), QString::number(in));
        xml.writeAttribute(QStringLiteral("out"), QString::number(in + frames - 1));
    }
    xml.writeAttribute(QStringLiteral("mlt_service"), QLatin1String(service));
    if (editor != Editor::Kdenlive && shotcutName)
        writeProperty(xml, QStringLiteral("shotcut:filter"), QLatin1String(shotcutName));
    if (editor == Editor::Kdenlive && kdenliveName)
        writeProperty(xml, QStringLiteral("kdenlive_id"), QLatin1String(kdenliveName));
}

QString rectText(const Timeline::Rect &r)
{
    return QStringLiteral("%1 %2 %3 %4 1").arg(r.x, 0, 'f', 3).arg(r.y, 0, 'f', 3).arg(r.w, 0, 'f', 3).arg(r.h, 0, 'f', 3);
}

// Text drawn over the picture by MLT's dynamictext (which Shotcut calls Text:
// Simple and Kdenlive Dynamic Text), centred in the rectangle: white over a
// dark shadow of itself, so that it reads on any photo; with a fade, fading
// out over the last frames of those it shows on. (qtext strokes the letters
// over their fill with the outline's pen, or with the background's colour
// without an outline: a shadow leaves them whole at any size.)
void writeText(QXmlStreamWriter &xml, Editor editor, const QString &text, int size, const Timeline::Rect &rect,
               const char *verticalAlign, int64_t frames, int64_t fadeOut)
{
    const auto colour = [&](const char *rgb, const char *alpha) {
        const QString opaque = QStringLiteral("0x%1%2").arg(QLatin1String(rgb), QLatin1String(alpha));
        if (fadeOut <= 0)
            return opaque;
        return QStringLiteral("0=%1;%2=%1;%3=0x%400").arg(opaque).arg(frames - fadeOut).arg(frames - 1).arg(QLatin1String(rgb));
    };
    const double offset = std::max(1, size / 16);
    for (const bool shadow : {true, false}) {
        startFilter(xml, editor, "dynamictext", "dynamicText", "dynamictext", 0, frames);
        // "#" opens a keyword ("#timecode#") unless escaped.
        writeProperty(xml, QStringLiteral("argument"), xmlText(text).replace(QLatin1Char('#'), QStringLiteral("\\#")));
        const Timeline::Rect at = shadow ? Timeline::Rect{rect.x + offset, rect.y + offset, rect.w, rect.h} : rect;
        writeProperty(xml, QStringLiteral("geometry"), rectText(at));
        writeProperty(xml, QStringLiteral("family"), QStringLiteral("DejaVu Sans"));
        writeProperty(xml, QStringLiteral("size"), QString::number(size));
        writeProperty(xml, QStringLiteral("weight"), QStringLiteral("600"));
        writeProperty(xml, QStringLiteral("fgcolour"), shadow ? colour("000000", "c0") : colour("ffffff", "ff"));
        writeProperty(xml, QStringLiteral("bgcolour"), QStringLiteral("0x00000000"));
        writeProperty(xml, QStringLiteral("olcolour"), QStringLiteral("0x00000000"));
        writeProperty(xml, QStringLiteral("outline"), QStringLiteral("0"));
        writeProperty(xml, QStringLiteral("halign"), QStringLiteral("centre"));
        writeProperty(xml, QStringLiteral("valign"), QLatin1String(verticalAlign));
        xml.writeEndElement();
    }
}

} // namespace

void writePhotoFilters(QXmlStreamWriter &xml, Editor editor, const Timeline &timeline, size_t i)
{
    const Timeline::Photo &photo = timeline.photos[i];
    const double W = timeline.width, H = timeline.height;
    if (timeline.fill) {
        // The picture cropped at its centre to the frame's shape: it covers
        // the frame.
        startFilter(xml, editor, "crop", nullptr, "crop");
        writeProperty(xml, QStringLiteral("center"), QStringLiteral("1"));
        writeProperty(xml, QStringLiteral("use_profile"), QStringLiteral("1"));
        xml.writeEndElement();
    }
    if (photo.motion) {
        // The frame scaled into the rectangle, keyframed at the photo's first
        // and last frame and interpolated between: with MLT's affine filter
        // (Shotcut's Size, Position & Rotate), or with qtblend.
        const QString rect = QStringLiteral("0=%1;%2=%3")
                                 .arg(rectText(photo.motion->first))
                                 .arg(photo.length - 1)
                                 .arg(rectText(photo.motion->second));
        if (editor != Editor::Shotcut) {
            startFilter(xml, editor, "qtblend", nullptr, "qtblend");
            writeProperty(xml, QStringLiteral("rect"), rect);
            writeProperty(xml, QStringLiteral("rotation"), QStringLiteral("0"));
            writeProperty(xml, QStringLiteral("compositing"), QStringLiteral("0"));
            writeProperty(xml, QStringLiteral("distort"), QStringLiteral("0"));
        } else {
            startFilter(xml, editor, "affine", "affineSizePosition", nullptr);
            writeProperty(xml, QStringLiteral("transition.rect"), rect);
            writeProperty(xml, QStringLiteral("transition.fill"), QStringLiteral("1"));
            writeProperty(xml, QStringLiteral("transition.distort"), QStringLiteral("0"));
            writeProperty(xml, QStringLiteral("transition.halign"), QStringLiteral("center"));
            writeProperty(xml, QStringLiteral("transition.valign"), QStringLiteral("middle"));
            writeProperty(xml, QStringLiteral("transition.threads"), QStringLiteral("0"));
            writeProperty(xml, QStringLiteral("background"), QStringLiteral("color:#00000000"));
        }
        xml.writeEndElement();
    }
    if (!photo.caption.isEmpty())
        writeText(xml, editor, photo.caption, timeline.captionSize(), {W * 0.05, H * 0.7, W * 0.9, H * 0.27}, "bottom", 0, 0);
    if (i == 0 && timeline.titleCard)
        writeText(xml, editor, timeline.titleCard->text, timeline.titleSize(), {W * 0.05, H * 0.3, W * 0.9, H * 0.4},
                  "middle", timeline.titleCard->frames, timeline.titleCard->fade);
}

void writeFadeIn(QXmlStreamWriter &xml, Editor editor, int64_t frames)
{
    startFilter(xml, editor, "volume", "fadeInVolume", "fadein", 0, frames);
    if (editor != Editor::Kdenlive) {
        writeProperty(xml, QStringLiteral("level"), QStringLiteral("0=-60;%1=0").arg(frames - 1));
    } else {
        writeProperty(xml, QStringLiteral("gain"), QStringLiteral("0"));
        writeProperty(xml, QStringLiteral("end"), QStringLiteral("1"));
    }
    xml.writeEndElement();
}

void writeFadeOut(QXmlStreamWriter &xml, Editor editor, int64_t from, int64_t frames)
{
    startFilter(xml, editor, "volume", "fadeOutVolume", "fadeout", from, frames);
    if (editor != Editor::Kdenlive) {
        writeProperty(xml, QStringLiteral("level"), QStringLiteral("0=0;%1=-60").arg(frames - 1));
    } else {
        writeProperty(xml, QStringLiteral("gain"), QStringLiteral("1"));
        writeProperty(xml, QStringLiteral("end"), QStringLiteral("0"));
    }
    xml.writeEndElement();
}

void writeAudioMix(QXmlStreamWriter &xml, Editor editor, int track)
{
    xml.writeStartElement(QStringLiteral("transition"));
    writeProperty(xml, QStringLiteral("a_track"), QStringLiteral("0"));
    writeProperty(xml, QStringLiteral("b_track"), QString::number(track));
    writeProperty(xml, QStringLiteral("mlt_service"), QStringLiteral("mix"));
    writeProperty(xml, QStringLiteral("always_active"), QStringLiteral("1"));
    writeProperty(xml, QStringLiteral("sum"), QStringLiteral("1"));
    if (editor == Editor::Kdenlive) {
        // Kdenlive keeps the mixes of its audio tracks only when it made them.
        writeProperty(xml, QStringLiteral("kdenlive_id"), QStringLiteral("mix"));
        writeProperty(xml, QStringLiteral("internal_added"), QStringLiteral("237"));
        writeProperty(xml, QStringLiteral("accepts_blanks"), QStringLiteral("1"));
    }
    xml.writeEndElement();
}
