#pragma once

#include "Timeline.h"

#include <QByteArray>
#include <QString>

#include <functional>

class QXmlStreamWriter;

// What the writers of MLT XML (the Shotcut and the Kdenlive project) share.

// XML 1.0 cannot hold control characters other than tab, line feed and
// carriage return, U+FFFE, U+FFFF or a lone surrogate, not even as character
// references: each becomes U+FFFD so that the project stays well-formed.
QString xmlText(const QString &text);

// The document written by one QXmlStreamWriter (auto-formatted, UTF-8, with
// its declaration) into a buffer of about the size given.
QByteArray writtenXml(qsizetype expectedBytes, const std::function<void(QXmlStreamWriter &)> &write);

// Opens the project's mlt element (its title, the producer it plays) and
// writes the profile: the timeline's frame size, square pixels,
// progressive, its frame rate.
void writeMltStart(QXmlStreamWriter &xml, const Timeline &timeline, const QString &producer);

// MLT's built-in luma map of a wipe ("%luma01.pgm", left to right) or an
// iris ("%luma16.pgm", radial), which need no file; null for a dissolve.
QString builtInLumaMap(Timeline::Transition style);

// A <property name="NAME">VALUE</property> element: for names an attribute
// cannot carry ("shotcut:transition" would read as an XML namespace) and for
// the properties the editors look for as elements.
void writeProperty(QXmlStreamWriter &xml, const QString &name, const QString &value);

// Who reads the project: an editor, whose own filters it uses, each marked
// the way the editor recognises it ("shotcut:filter", "kdenlive_id") so that
// it shows them as its own editable filters; or melt alone, rendering a video
// from Shotcut's structure. Only the pan and zoom tells them apart: Shotcut
// edits it as MLT's affine filter, which computes each pixel in floating
// point; qtblend (Kdenlive's Transform) draws the same rectangles with
// QPainter in a third of the time.
enum class Editor { Shotcut, Kdenlive, Melt };

// The photo's filters, inside its producer (Shotcut) or its track entry
// (Kdenlive), in the order they apply: the crop that makes it fill the frame,
// its pan and zoom, its caption; and the title card over the first photo.
void writePhotoFilters(QXmlStreamWriter &xml, Editor editor, const Timeline &timeline, size_t photo);

// The music's fade in over its first frames and out over the timeline's
// last, as filters of the track (Shotcut) or of the first and last entry
// (Kdenlive), positions counted from where the filter is attached.
void writeFadeIn(QXmlStreamWriter &xml, Editor editor, int64_t frames);
void writeFadeOut(QXmlStreamWriter &xml, Editor editor, int64_t from, int64_t frames);

// The transition that mixes the sound of a track into the one below (the
// photos have none of their own).
void writeAudioMix(QXmlStreamWriter &xml, Editor editor, int track);

// A frame count or position as an attribute's text.
inline QString frames(int64_t n)
{
    return QString::number(n);
}
