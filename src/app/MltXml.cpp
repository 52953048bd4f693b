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

void writeProfile(QXmlStreamWriter &xml, const Timeline &timeline)
{
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
