#include "Files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

namespace {

void setError(QString *error, const QString &text)
{
    if (!error)
        return;
    // Keep the description on one line whatever the system's reason holds.
    QString line = text;
    line.replace(QLatin1Char('\r'), QLatin1Char(' ')).replace(QLatin1Char('\n'), QLatin1Char(' '));
    *error = line;
}

} // namespace

bool fileExistsAtPath(const QString &path)
{
    return !path.isEmpty() && QFileInfo::exists(path);
}

std::optional<QByteArray> readWholeFile(const QString &path, QString *error)
{
    if (QFileInfo(path).isDir()) {
        setError(error, QStringLiteral("%1 could not be read: it is a folder").arg(path));
        return std::nullopt;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("%1 could not be read: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    // Read into a buffer of the file's size: no growing, no spare capacity
    // (album files run to hundreds of megabytes).
    QByteArray bytes;
    const qint64 expected = file.size();
    if (!file.isSequential() && expected > 0 && expected < qint64(std::numeric_limits<qsizetype>::max() / 2)) {
        bytes = QByteArray(qsizetype(expected), Qt::Uninitialized);
        qint64 done = 0;
        while (done < expected) {
            const qint64 got = file.read(bytes.data() + done, expected - done);
            if (got <= 0)
                break;
            done += got;
        }
        bytes.truncate(qsizetype(done));
    }
    if (file.error() == QFileDevice::NoError && !file.atEnd())
        bytes += file.readAll(); // the file grew, or its size was unknown
    if (file.error() != QFileDevice::NoError) {
        setError(error, QStringLiteral("%1 could not be read: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    return bytes;
}

std::optional<QByteArray> asciiBytes(const QString &text)
{
    QByteArray bytes;
    bytes.resize(text.size());
    char *out = bytes.data();
    for (const QChar c : text) {
        const char16_t unit = c.unicode();
        if (unit > 127)
            return std::nullopt;
        *out++ = char(unit);
    }
    return bytes;
}

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, QStringLiteral("%1 could not be written: %2").arg(path, file.errorString()));
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        setError(error, QStringLiteral("%1 could not be written: %2").arg(path, file.errorString()));
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, QStringLiteral("%1 could not be written: %2").arg(path, file.errorString()));
        return false;
    }
    return true;
}
