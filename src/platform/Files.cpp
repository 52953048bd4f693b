#include "Files.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
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

// Writes all the bytes, going on after short writes and interrupted calls;
// false with errno set when the system takes no more.
bool writeAll(int fd, const QByteArray &bytes)
{
    const char *next = bytes.constData();
    for (qsizetype left = bytes.size(); left > 0;) {
        const ssize_t written = ::write(fd, next, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            if (written == 0)
                errno = ENOSPC; // nothing taken and no reason given
            return false;
        }
        next += written;
        left -= written;
    }
    return true;
}

// A short hidden name in the folder ("FOLDER/.save-XXXXXX") for a file on its
// way to its own name.
QByteArray temporaryName(const QByteArray &folder)
{
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray name = folder + "/.save-";
    for (int i = 0; i < 6; ++i)
        name += letters[QRandomGenerator::global()->bounded(int(sizeof letters - 1))];
    return name;
}

// Gives the unnamed file open on the descriptor the target's name: linked
// straight onto it when there is no such file, else linked under a temporary
// name and renamed over it (the temporary name removed if that fails). False
// with errno set on failure.
bool nameUnnamedFile(int fd, const QByteArray &folder, const QByteArray &target, bool replacing)
{
    // "/proc/self/fd/N" with AT_SYMLINK_FOLLOW links an unnamed file without
    // the privilege that AT_EMPTY_PATH needs.
    const QByteArray source = "/proc/self/fd/" + QByteArray::number(fd);
    const auto linkAt = [&](const QByteArray &name) {
        return ::linkat(AT_FDCWD, source.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0;
    };
    if (!replacing && linkAt(target))
        return true;
    if (!replacing && errno != EEXIST)
        return false;
    for (int attempt = 0; attempt < 64; ++attempt) {
        const QByteArray temporary = temporaryName(folder);
        if (!linkAt(temporary)) {
            if (errno == EEXIST)
                continue; // the name is taken: draw another
            return false;
        }
        if (::rename(temporary.constData(), target.constData()) == 0)
            return true;
        const int renameError = errno;
        ::unlink(temporary.constData());
        errno = renameError;
        return false;
    }
    return false; // errno is EEXIST
}

// The atomic write through an unnamed file (Linux's O_TMPFILE): written,
// given its permissions, synced and named. Nothing is ever left under another
// name but between the two calls that replace an existing target. Gives
// nothing when the folder's file system has no unnamed files, else whether it
// wrote the file and, on failure, the reason.
std::optional<bool> writeThroughUnnamedFile(const QString &target, bool replacing, mode_t mode,
                                            const QByteArray &bytes, QString *reason)
{
#ifdef O_TMPFILE
    const QByteArray folder = QFile::encodeName(QFileInfo(target).absolutePath());
    const int fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    // EOPNOTSUPP: the file system has no unnamed files; EISDIR or EINVAL: the
    // kernel predates them.
    if (fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        return std::nullopt;
    const bool written = fd >= 0 && writeAll(fd, bytes) && ::fchmod(fd, mode) == 0 && ::fsync(fd) == 0
                         && nameUnnamedFile(fd, folder, QFile::encodeName(target), replacing);
    if (!written)
        *reason = qt_error_string(errno);
    if (fd >= 0)
        ::close(fd); // when left unnamed, the file goes with it
    return written;
#else
    Q_UNUSED(target);
    Q_UNUSED(replacing);
    Q_UNUSED(mode);
    Q_UNUSED(bytes);
    Q_UNUSED(reason);
    return std::nullopt;
#endif
}

// The named road for names too long for QSaveFile's temporary file: the same
// steps with a temporary file of a short name in the same folder, removed on
// any failure.
bool writeThroughShortTemporary(const QString &target, mode_t mode, const QByteArray &bytes, QString *reason)
{
    QTemporaryFile temporary(QFileInfo(target).absolutePath() + QStringLiteral("/.save-XXXXXX"));
    if (!temporary.open() || temporary.write(bytes) != bytes.size() || !temporary.flush()) {
        *reason = temporary.errorString();
        return false;
    }
    if (::fchmod(temporary.handle(), mode) != 0 || ::fsync(temporary.handle()) != 0) {
        *reason = qt_error_string(errno);
        return false;
    }
    const QString temporaryPath = temporary.fileName(); // names a file Qt made unnamed
    if (temporaryPath.isEmpty()) {
        *reason = temporary.errorString();
        return false;
    }
    if (::rename(QFile::encodeName(temporaryPath).constData(), QFile::encodeName(target).constData()) != 0) {
        *reason = qt_error_string(errno);
        return false;
    }
    temporary.setAutoRemove(false); // it is the target now
    return true;
}

// The named road for other names: QSaveFile, which follows symlinks itself.
bool writeThroughSaveFile(const QString &path, const QByteArray &bytes, QString *reason)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        *reason = file.errorString();
        return false; // the temporary file goes with the QSaveFile
    }
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

bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error, SaveTemporary temporary)
{
    const QString target = writtenPath(path);
    const auto fail = [&](const QString &reason) {
        setError(error, writeFailure(path, reason));
        return false;
    };
    struct stat existing {};
    const bool replacing = ::stat(QFile::encodeName(target).constData(), &existing) == 0;
    if (!replacing && errno != ENOENT)
        return fail(qt_error_string(errno));
    if (replacing && S_ISDIR(existing.st_mode))
        return fail(QStringLiteral("it is a folder"));
    if (replacing && !QFileInfo(target).isWritable())
        return fail(QStringLiteral("the existing file is not writable"));
    const mode_t mode = replacing ? existing.st_mode & 0777 : 0666 & ~creationMask();
    QString reason;
    std::optional<bool> written;
    if (temporary == SaveTemporary::UnnamedWherePossible)
        written = writeThroughUnnamedFile(target, replacing, mode, bytes, &reason);
    if (!written)
        written = saveFileSiblingFits(target) ? writeThroughSaveFile(path, bytes, &reason)
                                              : writeThroughShortTemporary(target, mode, bytes, &reason);
    return *written || fail(reason);
}
