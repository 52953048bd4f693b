#include "KdenliveWriter.h"

#include "MltXml.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QXmlStreamWriter>

#include <algorithm>

namespace {

// Bytes a photo takes in the project, about.
constexpr qsizetype kBytesPerPhoto = 1200;

// Kdenlive's clip ids count from 2.
QString clipId(size_t i)
{
    return QString::number(i + 2);
}

QString producerId(size_t i)
{
    return QStringLiteral("photo%1").arg(i + 1);
}

// A clip of the timeline: its entry with its Kdenlive clip id, and the
// filters Kdenlive shows as its effects.
void writePhotoEntry(QXmlStreamWriter &xml, const Timeline &timeline, size_t i)
{
    xml.writeStartElement(QStringLiteral("entry"));
    xml.writeAttribute(QStringLiteral("producer"), producerId(i));
    xml.writeAttribute(QStringLiteral("in"), frames(0));
    xml.writeAttribute(QStringLiteral("out"), frames(timeline.photos[i].length - 1));
    writeProperty(xml, QStringLiteral("kdenlive:id"), clipId(i));
    writePhotoFilters(xml, Editor::Kdenlive, timeline, i);
    xml.writeEndElement();
}

// A still-image or sound clip of the bin.
void writeProducer(QXmlStreamWriter &xml, const QString &id, int64_t length, const QString &resource,
                   const char *service, const QString &clipId, const QString &name)
{
    xml.writeStartElement(QStringLiteral("producer"));
    xml.writeAttribute(QStringLiteral("id"), id);
    xml.writeAttribute(QStringLiteral("in"), frames(0));
    xml.writeAttribute(QStringLiteral("out"), frames(length - 1));
    writeProperty(xml, QStringLiteral("length"), frames(length));
    writeProperty(xml, QStringLiteral("eof"), QStringLiteral("pause"));
    writeProperty(xml, QStringLiteral("resource"), xmlText(resource));
    writeProperty(xml, QStringLiteral("mlt_service"), QLatin1String(service));
    writeProperty(xml, QStringLiteral("kdenlive:id"), clipId);
    writeProperty(xml, QStringLiteral("kdenlive:clipname"), xmlText(name));
    xml.writeEndElement();
}

} // namespace

QString kdenliveLumaFolder()
{
    return QStandardPaths::locate(QStandardPaths::GenericDataLocation, QStringLiteral("kdenlive/lumas/HD"),
                                  QStandardPaths::LocateDirectory);
}

QByteArray kdenliveProjectXml(const Timeline &timeline, const QString &lumaFolder)
{
    const std::vector<Timeline::Photo> &photos = timeline.photos;
    const int64_t T = timeline.timing.transition, total = timeline.timing.total;
    const bool transitions = timeline.hasTransitions();
    const int tracks = transitions ? 2 : 1;
    // Kdenlive shows only luma maps that are files; MLT's built-in maps
    // render the same without them.
    const char *file = timeline.style == Timeline::Transition::Wipe ? "linear_x.pgm"
        : timeline.style == Timeline::Transition::Iris              ? "radial.pgm"
                                                                    : nullptr;
    const QString luma = !file || lumaFolder.isNull() ? builtInLumaMap(timeline.style)
                                                      : QDir(lumaFolder).filePath(QLatin1String(file));

    return writtenXml(8192 + qsizetype(photos.size()) * kBytesPerPhoto, [&](QXmlStreamWriter &xml) {
        writeMltStart(xml, timeline, QStringLiteral("main_bin"));

        // Kdenlive reads these properties as elements.
        for (size_t i = 0; i < photos.size(); ++i)
            writeProducer(xml, producerId(i), photos[i].length, photos[i].path, "qimage", clipId(i), photos[i].name);
        const bool music = timeline.music && !photos.empty();
        const int64_t play = music ? timeline.music->playFrames : 0;
        if (music)
            writeProducer(xml, QStringLiteral("music"), play, timeline.music->path, "avformat", clipId(photos.size()),
                          QFileInfo(timeline.music->path).fileName());

        // The bin: without it Kdenlive drops every clip of the timeline.
        xml.writeStartElement(QStringLiteral("playlist"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("main_bin"));
        writeProperty(xml, QStringLiteral("kdenlive:docproperties.version"), QStringLiteral("1.04"));
        writeProperty(xml, QStringLiteral("kdenlive:docproperties.activeTrack"), QStringLiteral("0"));
        writeProperty(xml, QStringLiteral("xml_retain"), QStringLiteral("1"));
        for (size_t i = 0; i <= photos.size(); ++i) {
            if (i == photos.size() && !music)
                break;
            xml.writeEmptyElement(QStringLiteral("entry"));
            xml.writeAttribute(QStringLiteral("producer"), i < photos.size() ? producerId(i) : QStringLiteral("music"));
            xml.writeAttribute(QStringLiteral("in"), frames(0));
            xml.writeAttribute(QStringLiteral("out"), frames((i < photos.size() ? photos[i].length : play) - 1));
        }
        xml.writeEndElement();

        // Kdenlive's black track, as long as the timeline (a tractor takes
        // the length of its longest track).
        xml.writeStartElement(QStringLiteral("producer"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("black_track"));
        xml.writeAttribute(QStringLiteral("in"), frames(0));
        xml.writeAttribute(QStringLiteral("out"), frames(std::max<int64_t>(total, 1) - 1));
        writeProperty(xml, QStringLiteral("length"), QStringLiteral("2147483647"));
        writeProperty(xml, QStringLiteral("eof"), QStringLiteral("continue"));
        writeProperty(xml, QStringLiteral("resource"), QStringLiteral("black"));
        writeProperty(xml, QStringLiteral("mlt_service"), QStringLiteral("color"));
        writeProperty(xml, QStringLiteral("set.test_audio"), QStringLiteral("0"));
        xml.writeEndElement();

        // The video track's two playlists, the photos alternating between
        // them, each photo's blank before it.
        for (int track = 0; track < tracks; ++track) {
            xml.writeStartElement(QStringLiteral("playlist"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("playlist%1").arg(track + 1));
            int64_t end = 0;
            for (size_t i = size_t(track); i < photos.size(); i += size_t(tracks)) {
                if (photos[i].start > end) {
                    xml.writeEmptyElement(QStringLiteral("blank"));
                    xml.writeAttribute(QStringLiteral("length"), frames(photos[i].start - end));
                }
                writePhotoEntry(xml, timeline, i);
                end = photos[i].start + photos[i].length;
            }
            xml.writeEndElement();
        }

        xml.writeStartElement(QStringLiteral("tractor"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("track1"));
        for (int track = 0; track < tracks; ++track) {
            xml.writeEmptyElement(QStringLiteral("track"));
            xml.writeAttribute(QStringLiteral("hide"), QStringLiteral("audio"));
            xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("playlist%1").arg(track + 1));
        }
        // The mix after photo k runs from the first playlist to the second
        // when photo k is on the first, and reversed when it is on the
        // second, its map inverted, so that it always goes from photo k to
        // photo k + 1. Kdenlive keeps the cut in its middle.
        for (size_t k = 0; transitions && k + 1 < photos.size(); ++k) {
            xml.writeStartElement(QStringLiteral("transition"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("mix%1").arg(k + 1));
            xml.writeAttribute(QStringLiteral("in"), frames(timeline.transitionStart(k)));
            xml.writeAttribute(QStringLiteral("out"), frames(timeline.transitionStart(k) + T - 1));
            writeProperty(xml, QStringLiteral("a_track"), QStringLiteral("0"));
            writeProperty(xml, QStringLiteral("b_track"), QStringLiteral("1"));
            writeProperty(xml, QStringLiteral("mlt_service"), QStringLiteral("luma"));
            writeProperty(xml, QStringLiteral("kdenlive_id"), QStringLiteral("luma"));
            writeProperty(xml, QStringLiteral("kdenlive:mixcut"), frames(T / 2));
            writeProperty(xml, QStringLiteral("resource"), xmlText(luma));
            writeProperty(xml, QStringLiteral("reverse"), k % 2 ? QStringLiteral("1") : QStringLiteral("0"));
            writeProperty(xml, QStringLiteral("invert"), k % 2 && !luma.isEmpty() ? QStringLiteral("1") : QStringLiteral("0"));
            writeProperty(xml, QStringLiteral("alpha_over"), QStringLiteral("1"));
            xml.writeEndElement();
        }
        xml.writeEndElement();

        // The music's audio track: the file again and again from the first
        // frame to the last, fading in on the first play and out at the end.
        if (music) {
            xml.writeStartElement(QStringLiteral("playlist"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("soundtrack"));
            writeProperty(xml, QStringLiteral("kdenlive:audio_track"), QStringLiteral("1"));
            const int64_t fadeIn = std::min(timeline.music->fadeIn, total), fadeOut = std::min(timeline.music->fadeOut, total);
            for (int64_t at = 0; at < total; at += play) {
                const int64_t length = std::min(play, total - at);
                xml.writeStartElement(QStringLiteral("entry"));
                xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("music"));
                xml.writeAttribute(QStringLiteral("in"), frames(0));
                xml.writeAttribute(QStringLiteral("out"), frames(length - 1));
                writeProperty(xml, QStringLiteral("kdenlive:id"), clipId(photos.size()));
                if (at == 0)
                    writeFadeIn(xml, Editor::Kdenlive, std::min(fadeIn, length));
                if (at + length == total)
                    writeFadeOut(xml, Editor::Kdenlive, std::max<int64_t>(0, length - fadeOut), std::min(fadeOut, length));
                xml.writeEndElement();
            }
            xml.writeEndElement();
            // Kdenlive's tracks hold two playlists; the music needs one.
            xml.writeStartElement(QStringLiteral("playlist"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("soundtrack2"));
            writeProperty(xml, QStringLiteral("kdenlive:audio_track"), QStringLiteral("1"));
            xml.writeEndElement();
            xml.writeStartElement(QStringLiteral("tractor"));
            xml.writeAttribute(QStringLiteral("id"), QStringLiteral("audio1"));
            writeProperty(xml, QStringLiteral("kdenlive:audio_track"), QStringLiteral("1"));
            for (const auto *playlist : {"soundtrack", "soundtrack2"}) {
                xml.writeEmptyElement(QStringLiteral("track"));
                xml.writeAttribute(QStringLiteral("hide"), QStringLiteral("video"));
                xml.writeAttribute(QStringLiteral("producer"), QString::fromLatin1(playlist));
            }
            xml.writeEndElement();
        }

        xml.writeStartElement(QStringLiteral("tractor"));
        xml.writeAttribute(QStringLiteral("id"), QStringLiteral("slideshow"));
        if (!photos.empty()) {
            xml.writeAttribute(QStringLiteral("in"), frames(0));
            xml.writeAttribute(QStringLiteral("out"), frames(total - 1));
        }
        // Kdenlive lists the audio tracks below the video ones.
        xml.writeEmptyElement(QStringLiteral("track"));
        xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("black_track"));
        if (music) {
            xml.writeEmptyElement(QStringLiteral("track"));
            xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("audio1"));
            xml.writeAttribute(QStringLiteral("hide"), QStringLiteral("video"));
        }
        xml.writeEmptyElement(QStringLiteral("track"));
        xml.writeAttribute(QStringLiteral("producer"), QStringLiteral("track1"));
        if (music)
            writeAudioMix(xml, Editor::Kdenlive, 1);
        xml.writeEndElement(); // tractor
        xml.writeEndElement(); // mlt
    });
}
