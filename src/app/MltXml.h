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

// The profile element: the timeline's frame size, square pixels,
// progressive, its frame rate.
void writeProfile(QXmlStreamWriter &xml, const Timeline &timeline);

// A <property name="NAME">VALUE</property> element: for names an attribute
// cannot carry ("shotcut:transition" would read as an XML namespace) and for
// the properties the editors look for as elements.
void writeProperty(QXmlStreamWriter &xml, const QString &name, const QString &value);

// A frame count or position as an attribute's text.
inline QString frames(int64_t n)
{
    return QString::number(n);
}
