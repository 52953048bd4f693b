#include "Files.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <climits>
#include <limits>

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

QString writeFailure(const QString &path, const QString &reason)
{
    return QStringLiteral("%1 could not be written: %2").arg(path, reason);
}

// The file a write to the path lands in: symlinks followed, as QSaveFile
// follows them.
QString writtenPath(const QString &path)
{
    QFileInfo info(path);
    for (int depth = 0; depth < 128 && info.isSymLink(); ++depth)
        info.setFile(info.symLinkTarget());
    return info.isSymLink() ? path : info.filePath();
}

// QSaveFile names its temporary file after the target plus ".XXXXXX" (at
// once, or when it replaces an existing file); true when such a name fits in
// the target's folder.
bool saveFileSiblingFits(const QString &path)
{
    const QFileInfo info(path);
    const long longest = ::pathconf(QFile::encodeName(info.absolutePath()).constData(), _PC_NAME_MAX);
    return QFile::encodeName(info.fileName()).size() + 7 <= (longest > 0 ? longest : NAME_MAX);
}

// The process's file mode creation mask, read without setting it (setting it
// would race with files made on other threads).
mode_t creationMask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly))
        for (QByteArray line = status.readLine(); !line.isEmpty(); line = status.readLine())
            if (line.startsWith("Umask:"))
                return mode_t(line.mid(6).trimmed().toUInt(nullptr, 8));
    return 022;
}

// The atomic write for names too long for QSaveFile's temporary file: the
// same steps with a temporary file of a short name in the same folder. It is
// made unnamed where the file system allows (nothing is left after a kill),
// synced, given the replaced file's permissions (or a new file's), named and
// renamed over the target; on any failure it is removed.
bool writeThroughShortTemporary(const QString &path, const QString &finalPath, const QByteArray &bytes,
                                QString *error)
{
    const QFileInfo target(finalPath);
    const auto fail = [&](const QString &reason) {
        setError(error, writeFailure(path, reason));
        return false;
    };
    struct stat existing {};
    const bool replacing = ::stat(QFile::encodeName(finalPath).constData(), &existing) == 0;
    if (replacing && !target.isWritable())
        return fail(QStringLiteral("the existing file is not writable"));
    QTemporaryFile temporary(target.absolutePath() + QStringLiteral("/.save-XXXXXX"));
    if (!temporary.open() || temporary.write(bytes) != bytes.size() || !temporary.flush())
        return fail(temporary.errorString());
    const mode_t mode = replacing ? existing.st_mode & 0777 : 0666 & ~creationMask();
    if (::fchmod(temporary.handle(), mode) != 0 || ::fsync(temporary.handle()) != 0)
        return fail(qt_error_string(errno));
    const QString temporaryPath = temporary.fileName(); // names an unnamed file
    if (temporaryPath.isEmpty())
        return fail(temporary.errorString());
    if (::rename(QFile::encodeName(temporaryPath).constData(), QFile::encodeName(finalPath).constData()) != 0)
        return fail(qt_error_string(errno));
    temporary.setAutoRemove(false); // it is the target now
    return true;
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
    const QString target = writtenPath(path);
    if (!saveFileSiblingFits(target))
        return writeThroughShortTemporary(path, target, bytes, error);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        setError(error, writeFailure(path, file.errorString()));
        return false;
    }
    if (file.write(bytes) != bytes.size()) {
        setError(error, writeFailure(path, file.errorString()));
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        setError(error, writeFailure(path, file.errorString()));
        return false;
    }
    return true;
}
