#include "MltWriter.h"

#include "MltXml.h"

#include <QXmlStreamWriter>

#include <algorithm>

namespace {

// Bytes a photo takes in the project, about.
constexpr qsizetype kBytesPerPhoto = 900;

QString photoId(size_t i)
{
    return QStringLiteral("photo%1").arg(i + 1);
}

QString transitionId(size_t k)
{
    return QStringLiteral("transition%1").arg(k + 1);
}

// A track or playlist entry of the producer over [in, out].
void writeUse(QXmlStreamWriter &xml, const QString &element, const QString &producer, int64_t in, int64_t out)
{
    xml.writeEmptyElement(element);
    xml.writeAttribute(QStringLiteral("producer"), producer);
    xml.writeAttribute(QStringLiteral("in"), frames(in));
    xml.writeAttribute(QStringLiteral("out"), frames(out));
}

} // namespace

QByteArray mltXmlFromDocument(const Value &document, const QString &homeFolder, std::optional<rvWindow::FrameRate> rate)
{
    return shotcutProjectXml(slideshowTimeline(document, homeFolder, rate));
}

QByteArray shotcutProjectXml(const Timeline &timeline, Editor reader)
{
    const std::vector<Timeline::Photo> &photos = timeline.photos;
    const int64_t C = timeline.timing.clip, T = timeline.timing.transition, total = timeline.timing.total;
    const bool transitions = timeline.hasTransitions();
    const QString map = builtInLumaMap(timeline.style);

    return writtenXml(4096 + qsizetype(photos.size()) * kBytesPerPhoto, [&](QXmlStreamWriter &xml) {
        writeMltStart(xml, timeline, QStringLiteral("slideshow"));

        // The background: black under the whole timeline.
        if (!photos.empty()) {
            xml.writeEmptyElement(QStringLiteral("producer"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("black"));
            xml.writeAttribute(QStringLiteral("in"), frames(0));
            xml.writeAttribute(QStringLiteral("out"), frames(total - 1));
            xml.writeAttribute(QStringLiteral("length"), frames(total));
            xml.writeAttribute(QStringLiteral("eof"), QStringLiteral("pause"));
            xml.writeAttribute(QStringLiteral("resource"), QStringLiteral("0"));
            xml.writeAttribute(QStringLiteral("mlt_service"), QStringLiteral("color"));
        }
        xml.writeStartElement(QStringLiteral("playlist"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("background"));
        if (!photos.empty())
            writeUse(xml, QStringLiteral("entry"), QStringLiteral("black"), 0, total - 1);
        xml.writeEndElement();

        // The producers' properties as their attributes, which MLT reads as
        // it reads property elements: fewer writer calls per photo, and an
        // attribute keeps a carriage return as a character reference.
        // Shotcut names a clip by its caption: the slide's name.
        for (size_t i = 0; i < photos.size(); ++i) {
            xml.writeStartElement(QStringLiteral("producer"));
            xml.writeAttribute(QStringLiteral("id"), photoId(i));
            xml.writeAttribute(QStringLiteral("in"), frames(0));
            xml.writeAttribute(QStringLiteral("out"), frames(photos[i].length - 1));
            xml.writeAttribute(QStringLiteral("length"), frames(photos[i].length));
            xml.writeAttribute(QStringLiteral("resource"), xmlText(photos[i].path));
            if (!photos[i].name.isEmpty())
                writeProperty(xml, QStringLiteral("shotcut:caption"), xmlText(photos[i].name));
            writePhotoFilters(xml, reader, timeline, i);
            xml.writeEndElement();
        }

        // Transition k: the last T frames of photo k over the first T of
        // photo k + 1, the outgoing photo always on the first track.
        for (size_t k = 0; transitions && k + 1 < photos.size(); ++k) {
            xml.writeStartElement(QStringLiteral("tractor"));
            xml.writeAttribute(QStringLiteral("id"), transitionId(k));
            xml.writeAttribute(QStringLiteral("in"), frames(0));
            xml.writeAttribute(QStringLiteral("out"), frames(T - 1));
            writeProperty(xml, QStringLiteral("shotcut:transition"), QStringLiteral("lumaMix"));
            writeUse(xml, QStringLiteral("track"), photoId(k), photos[k].length - T, photos[k].length - 1);
            writeUse(xml, QStringLiteral("track"), photoId(k + 1), 0, T - 1);
            xml.writeEmptyElement(QStringLiteral("transition"));
            xml.writeAttribute(QStringLiteral("in"), frames(0));
            xml.writeAttribute(QStringLiteral("out"), frames(T - 1));
            xml.writeAttribute(QStringLiteral("mlt_service"), QStringLiteral("luma"));
            xml.writeAttribute(QStringLiteral("a_track"), QStringLiteral("0"));
            xml.writeAttribute(QStringLiteral("b_track"), QStringLiteral("1"));
            if (!map.isNull())
                xml.writeAttribute(QStringLiteral("resource"), map);
            xml.writeEndElement();
        }

        // The photos' track: each photo's own frames, the transitions between.
        xml.writeStartElement(QStringLiteral("playlist"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("photos"));
        writeProperty(xml, QStringLiteral("shotcut:video"), QStringLiteral("1"));
        writeProperty(xml, QStringLiteral("shotcut:name"), QStringLiteral("V1"));
        for (size_t i = 0; i < photos.size(); ++i) {
            writeUse(xml, QStringLiteral("entry"), photoId(i), photos[i].lead, photos[i].lead + C - 1);
            if (transitions && i + 1 < photos.size())
                writeUse(xml, QStringLiteral("entry"), transitionId(i), 0, T - 1);
        }
        xml.writeEndElement();

        // The music's track: the file from the first frame, again and again
        // until the last, fading in and out.
        const bool music = timeline.music && !photos.empty();
        if (music) {
            const int64_t play = timeline.music->playFrames;
            xml.writeEmptyElement(QStringLiteral("producer"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("music"));
            xml.writeAttribute(QStringLiteral("in"), frames(0));
            xml.writeAttribute(QStringLiteral("out"), frames(play - 1));
            xml.writeAttribute(QStringLiteral("length"), frames(play));
            xml.writeAttribute(QStringLiteral("resource"), xmlText(timeline.music->path));
            xml.writeStartElement(QStringLiteral("playlist"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("soundtrack"));
            writeProperty(xml, QStringLiteral("shotcut:audio"), QStringLiteral("1"));
            writeProperty(xml, QStringLiteral("shotcut:name"), QStringLiteral("A1"));
            for (int64_t at = 0, from = std::clamp<int64_t>(timeline.music->skip, 0, play - 1); at < total; from = 0) {
                const int64_t length = std::min(play - from, total - at);
                writeUse(xml, QStringLiteral("entry"), QStringLiteral("music"), from, from + length - 1);
                at += length;
            }
            const int64_t fadeIn = std::min(timeline.music->fadeIn, total), fadeOut = std::min(timeline.music->fadeOut, total);
            if (fadeIn > 0)
                writeFadeIn(xml, reader, fadeIn);
            if (fadeOut > 0)
                writeFadeOut(xml, reader, total - fadeOut, fadeOut);
            xml.writeEndElement();
        }

        xml.writeStartElement(QStringLiteral("tractor"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("slideshow"));
        if (!photos.empty()) {
            xml.writeAttribute(QStringLiteral("in"), frames(0));
            xml.writeAttribute(QStringLiteral("out"), frames(total - 1));
        }
        writeProperty(xml, QStringLiteral("shotcut"), QStringLiteral("1"));
        for (const char *track : {"background", "photos"}) {
            xml.writeEmptyElement(QStringLiteral("track"));
            xml.writeAttribute(QStringLiteral("producer"), QLatin1String(track));
        }
        if (music) {
            xml.writeEmptyElement(QStringLiteral("track"));
            xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("soundtrack"));
            xml.writeAttribute(QStringLiteral("hide"), QStringLiteral("video"));
            writeAudioMix(xml, reader, 2);
        }
        xml.writeEndElement(); // tractor
        xml.writeEndElement(); // mlt
    });
}
