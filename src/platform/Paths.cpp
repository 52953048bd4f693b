#include "Paths.h"

#include <QDir>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>

namespace {

// Drops trailing separators; the root itself stays "/".
QString withoutTrailingSlash(QString path)
{
    while (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
    return path;
}

} // namespace

QString homeFolder()
{
    // Read afresh each time: the environment may change between calls.
    const QByteArray home = qgetenv("HOME");
    if (!home.isEmpty())
        return withoutTrailingSlash(QFile::decodeName(home));
    if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir)
        return withoutTrailingSlash(QFile::decodeName(QByteArray(entry->pw_dir)));
    return QStringLiteral("/");
}

QString appendingPathComponent(const QString &path, const QString &component)
{
    if (path.isEmpty())
        return component;
    QString stripped = component;
    while (stripped.startsWith(QLatin1Char('/')))
        stripped.remove(0, 1);
    if (path.endsWith(QLatin1Char('/')))
        return path + stripped;
    return path + QLatin1Char('/') + stripped;
}

QString fileURLStringForPath(const QString &path)
{
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

QString pathForFileURLString(const QString &url)
{
    const QUrl parsed(url);
    if (!parsed.isValid() || !parsed.isLocalFile())
        return QString();
    const QString path = parsed.toLocalFile();
    if (path.isEmpty())
        return QString();
    return withoutTrailingSlash(path);
}

QString displayNameAtPath(const QString &path)
{
    const QString stripped = withoutTrailingSlash(path);
    if (stripped == QLatin1String("/"))
        return stripped;
    const qsizetype slash = stripped.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? stripped : stripped.mid(slash + 1);
}

QString abbreviatingWithTildeInPath(const QString &path, const QString &home)
{
    const QString base = withoutTrailingSlash(home);
    if (base.isEmpty() || base == QLatin1String("/"))
        return path;
    if (path == base)
        return QStringLiteral("~");
    if (path.size() > base.size() && path.startsWith(base) && path.at(base.size()) == QLatin1Char('/'))
        return QLatin1Char('~') + path.mid(base.size());
    return path;
}
