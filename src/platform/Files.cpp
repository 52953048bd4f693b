#include "Files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <limits>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool openRegularFileForReading(QFile &file, const QString &path, QString *error)
{
    const auto fail = [&](const QString &reason) {
        setError(error, QStringLiteral("%1 could not be read: %2").arg(path, reason));
        return false;
    };
    const QString notRegular = QStringLiteral("it is not a regular file");
    if (QFileInfo(path).isDir()) // also for a folder that cannot be opened
        return fail(QStringLiteral("it is a folder"));
    const QByteArray name = QFile::encodeName(path);
    // Non-blocking, so that opening a named pipe does not wait for a writer;
    // no controlling terminal taken from a terminal device.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        const int openError = errno;
        struct stat info {};
        if (::stat(name.constData(), &info) == 0 && !S_ISREG(info.st_mode) && !S_ISDIR(info.st_mode))
            return fail(notRegular); // a socket, say, which cannot be opened at all
        return fail(qt_error_string(openError));
    }
    struct stat info {};
    QString reason;
    if (::fstat(fd, &info) != 0)
        reason = qt_error_string(errno);
    else if (S_ISDIR(info.st_mode))
        reason = QStringLiteral("it is a folder");
    else if (!S_ISREG(info.st_mode))
        reason = notRegular;
    else if (const int flags = ::fcntl(fd, F_GETFL); flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0)
        reason = qt_error_string(errno); // reads of a regular file then block as usual
    if (!reason.isEmpty()) {
        ::close(fd);
        return fail(reason);
    }
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    return true;
}

std::optional<QByteArray> readWholeFile(const QString &path, QString *error)
{
    QFile file;
    if (!openRegularFileForReading(file, path, error))
        return std::nullopt;
    // Read into a buffer of the file's size at opening: no growing, no spare
    // capacity (album files run to hundreds of megabytes), and a file that
    // someone keeps appending to cannot make the read go on for ever.
    const qint64 expected = file.size();
    if (expected >= qint64(std::numeric_limits<qsizetype>::max() / 2)) {
        setError(error, QStringLiteral("%1 could not be read: it is too large").arg(path));
        return std::nullopt;
    }
    QByteArray bytes(qsizetype(expected), Qt::Uninitialized);
    qint64 done = 0;
    while (done < expected) {
        const qint64 got = file.read(bytes.data() + done, expected - done);
        if (got <= 0)
            break; // an error, or the file became shorter
        done += got;
    }
    if (file.error() != QFileDevice::NoError) {
        setError(error, QStringLiteral("%1 could not be read: %2").arg(path, file.errorString()));
        return std::nullopt;
    }
    bytes.truncate(qsizetype(done));
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
