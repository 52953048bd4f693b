#include "Paths.h"

#include <QDir>
#include <QUrl>

#include <array>

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

// The characters QUrl leaves unescaped in the path of a file URL besides the
// unreserved ones.
const QByteArray kPathDelimiters = QByteArrayLiteral("/!$&'()*+,;=:@[]");

constexpr QLatin1StringView kFileScheme("file://");

// An absolute path whose file URL has no host part and whose characters all
// have a UTF-8 form (no unpaired surrogates).
bool isPlainAbsolutePath(const QString &path)
{
    if (!path.startsWith(QLatin1Char('/')) || path.startsWith(QLatin1String("//")))
        return false;
    const qsizetype size = path.size();
    for (qsizetype i = 0; i < size; ++i) {
        if (!path.at(i).isSurrogate())
            continue;
        if (!path.at(i).isHighSurrogate() || i + 1 == size || !path.at(i + 1).isLowSurrogate())
            return false;
        ++i;
    }
    return true;
}

bool isHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// How the quick file URL road treats each ASCII character: taken as it is,
// the start of an escape, or a reason to leave the text to QUrl (controls,
// space, "?", "#", DEL).
enum class URLChar : unsigned char { Plain, Escape, Unusual };

constexpr std::array<URLChar, 128> kURLChars = [] {
    std::array<URLChar, 128> table{};
    for (int c = 0; c < 128; ++c)
        table[c] = c <= ' ' || c == 0x7f || c == '?' || c == '#' ? URLChar::Unusual : URLChar::Plain;
    table['%'] = URLChar::Escape;
    return table;
}();

// "file:///" followed only by printable ASCII other than "?" and "#", every
// "%" starting a two-digit escape that is neither "%00" nor "%2F".
bool isPlainFileURL(const QString &url)
{
    if (!url.startsWith(QLatin1String("file:///")))
        return false;
    const char16_t *const end = QStringView(url).utf16() + url.size();
    for (const char16_t *c = QStringView(url).utf16() + kFileScheme.size(); c != end; ++c) {
        const URLChar kind = *c < 128 ? kURLChars[*c] : URLChar::Unusual;
        if (kind == URLChar::Plain)
            continue;
        if (kind == URLChar::Unusual || end - c < 3 || !isHexDigit(c[1]) || !isHexDigit(c[2])
            || (c[1] == u'0' && c[2] == u'0') || (c[1] == u'2' && (c[2] == u'F' || c[2] == u'f')))
            return false;
        c += 2;
    }
    return true;
}

} // namespace

namespace {

// The home folder's path as the system gives it: $HOME when set and not
// empty, else the password database's entry.
QByteArray homeFolderBytes()
{
    // Read afresh each time: the environment may change between calls.
    QByteArray home = qgetenv("HOME");
    if (home.isEmpty()) {
        if (const passwd *entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir)
            home = QByteArray(entry->pw_dir);
    }
    return home;
}

QString homeFolderFrom(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QStringLiteral("/") : withoutTrailingSlash(QFile::decodeName(bytes));
}

// Bytes for a log line: printable ASCII as it is, everything else as "\xNN".
QString escapedBytes(const QByteArray &bytes)
{
    static const char kHex[] = "0123456789ABCDEF";
    QString text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x20 && byte < 0x7f && byte != '\\') {
            text += QLatin1Char(c);
        } else {
            text += QLatin1String("\\x");
            text += QLatin1Char(kHex[byte >> 4]);
            text += QLatin1Char(kHex[byte & 15]);
        }
    }
    return text;
}

} // namespace

QString homeFolder()
{
    return homeFolderFrom(homeFolderBytes());
}

std::optional<QString> exactHomeFolder(QString *problem)
{
    const QByteArray bytes = homeFolderBytes();
    if (QFile::encodeName(QFile::decodeName(bytes)) == bytes)
        return homeFolderFrom(bytes);
    if (problem) {
        *problem = QStringLiteral("The home folder's path %1 cannot be represented").arg(escapedBytes(bytes));
    }
    return std::nullopt;
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
    // An export converts one path per photo, so the common case, an absolute
    // path without a host part, skips building a QUrl: Qt's percent-encoder
    // writes the path, leaving unescaped the same delimiters QUrl leaves in a
    // path, so the text is the one QUrl::fromLocalFile would give. Anything
    // else (relative, "//host/...", unpaired surrogates) goes through QUrl.
    if (isPlainAbsolutePath(path)) {
        const QByteArray encoded = QUrl::toPercentEncoding(path, kPathDelimiters);
        QString url;
        url.reserve(7 + encoded.size());
        url += QLatin1String("file://");
        url += QLatin1String(encoded);
        return url;
    }
    return QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded);
}

QString pathForFileURLString(const QString &url)
{
    // The common case, "file:///" followed by printable ASCII with well-formed
    // escapes and no query or fragment, is decoded directly (UTF-8, as QUrl
    // does); everything else is parsed by QUrl.
    if (isPlainFileURL(url)) {
        return withoutTrailingSlash(QUrl::fromPercentEncoding(QStringView(url).mid(kFileScheme.size()).toLatin1()));
    }
    const QUrl parsed(url);
    if (!parsed.isValid() || !parsed.isLocalFile())
        return QString();
    const QString path = parsed.toLocalFile();
    if (path.isEmpty())
        return QString();
    return withoutTrailingSlash(path);
}

QString pathWithFileType(const QString &path, const QString &fileType)
{
    if (fileType.isEmpty() || path.isEmpty())
        return path;
    const QString suffix = QLatin1Char('.') + fileType;
    const QStringView name = QStringView(path).mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    if (name.size() > suffix.size() && name.endsWith(suffix, Qt::CaseInsensitive))
        return path;
    return path + suffix;
}

QString fileNameForTitle(const QString &title, const QString &fileType)
{
    QString name = title;
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return pathWithFileType(name, fileType);
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
    if (path.size() > base.size() && path.startsWith(base) && path.at(base.size()) == QLatin1Char('/')) {
        QString abbreviated;
        abbreviated.reserve(1 + path.size() - base.size());
        abbreviated += QLatin1Char('~');
        abbreviated += QStringView(path).mid(base.size());
        return abbreviated;
    }
    return path;
}

QString expandingTildeInPath(const QString &path, const QString &home)
{
    if (path == QLatin1String("~"))
        return home;
    if (!path.startsWith(QLatin1String("~/")))
        return path;
    QString expanded;
    expanded.reserve(home.size() + path.size() - 1);
    expanded += home;
    expanded += QStringView(path).mid(1);
    return expanded;
}
