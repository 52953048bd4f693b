// The window's album cache: loading the photo library's album file, the album
// names and photo keys it lists, and the image file behind each photo.
//
// The album file is expected to hold a dictionary at its root with an array of
// album records under "List of Albums" and a dictionary of image records under
// "Master Image List". A value of another kind than expected is treated as if
// its key were absent: a "List of Albums" that is not an array, an "AlbumName"
// or "ImagePath" that is not a string, a "KeyList" that is not an array, a
// record that is not a dictionary. A "Caption" that is not a string counts as
// no caption. So a strangely shaped file loads as far as it makes sense and
// never reads something it does not hold.

#include "rvWindow.h"

#include "Files.h"
#include "Paths.h"
#include "PropertyList.h"
#include "SystemLog.h"
#include "TextNumber.h"

#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

namespace {

const QString kAlbumFileName = QStringLiteral("AlbumData.xml");
const QString kListOfAlbumsKey = QStringLiteral("List of Albums");
const QString kAlbumNameKey = QStringLiteral("AlbumName");
const QString kKeyListKey = QStringLiteral("KeyList");
const QString kMasterImageListKey = QStringLiteral("Master Image List");
const QString kImagePathKey = QStringLiteral("ImagePath");
const QString kCaptionKey = QStringLiteral("Caption");

// The member of a dictionary under key when it is of the wanted kind, else no
// value (also for a tree that is not a dictionary).
Value memberOfKind(const Value &dictionary, const QString &key, Value::Kind kind)
{
    Value member = dictionary.value(key);
    return member.kind() == kind ? member : Value();
}

// The values the window reads; a load builds nothing else of the file.
const std::vector<QStringList> kKeyPathsRead = {
    {kListOfAlbumsKey, QStringLiteral("*"), kAlbumNameKey},
    {kListOfAlbumsKey, QStringLiteral("*"), kKeyListKey},
    {kMasterImageListKey, QStringLiteral("*"), kImagePathKey},
    {kMasterImageListKey, QStringLiteral("*"), kCaptionKey},
};

// One line for the log even when a description is missing.
QString oneLineDescription(const QString &description, const char *fallback)
{
    return description.isEmpty() ? QString::fromLatin1(fallback) : description;
}

} // namespace

// ---------------------------------------------------------------------------
// Album data loading

void rvWindow::setLibraryLocation(const QString &folderOrFile)
{
    m_libraryLocation = folderOrFile;
}

QString rvWindow::albumFilePath() const
{
    if (m_libraryLocation.isEmpty()) {
        QString path = appendingPathComponent(homeFolder(), QStringLiteral("Pictures"));
        path = appendingPathComponent(path, QStringLiteral("iPhoto Library"));
        return appendingPathComponent(path, kAlbumFileName);
    }
    // A library folder holds its album file; anything else is taken as the
    // album file itself.
    if (QFileInfo(m_libraryLocation).isDir())
        return appendingPathComponent(m_libraryLocation, kAlbumFileName);
    return m_libraryLocation;
}

void rvWindow::initIPhotoData()
{
    if (const QString path = beginIPhotoDataLoad(); !path.isNull())
        finishIPhotoDataLoad(readAlbumFile(path));
}

void rvWindow::dropAlbumData()
{
    // Every load starts from an empty cache, so nothing of an earlier load
    // survives a failed one.
    gPlist = Value();
    gMasterImageDictList = Value();
    gAlbumsArray = Value();
    gKeysForAlbum = Value();
    gSelectedAlbumIndex = 0;
}

QString rvWindow::beginIPhotoDataLoad()
{
    dropAlbumData();

    // A home folder whose path has no exact text form would hide the library
    // as if there were none: said once in the log instead.
    if (QString problem; m_libraryLocation.isEmpty() && !exactHomeFolder(&problem)) {
        m_lastRead = AlbumFileRead();
        systemLog(problem + QStringLiteral("; the photo library cannot be found"));
        return QString();
    }
    const QString path = albumFilePath();
    if (!fileExistsAtPath(path)) {
        m_lastRead = AlbumFileRead();
        return QString(); // no photo library: nothing to load, nothing to report
    }
    // The album file practically never changes while the program runs: the
    // same file, unchanged, gives the same tree, so the last one serves again.
    const AlbumFileIdentity identity = AlbumFileIdentity::of(path);
    if (identity.isValid() && identity == m_lastRead.identity) {
        applyAlbumFileRead();
        return QString();
    }
    m_lastRead = AlbumFileRead(); // the old tree goes before the new one is built
    return path;
}

rvWindow::AlbumFileIdentity rvWindow::AlbumFileIdentity::of(const QString &path)
{
    AlbumFileIdentity identity;
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return identity;
    constexpr int64_t kNanoseconds = 1000000000;
    identity.path = path;
    identity.device = uint64_t(status.st_dev);
    identity.inode = uint64_t(status.st_ino);
    identity.size = int64_t(status.st_size);
    identity.modified = int64_t(status.st_mtim.tv_sec) * kNanoseconds + status.st_mtim.tv_nsec;
    identity.changed = int64_t(status.st_ctim.tv_sec) * kNanoseconds + status.st_ctim.tv_nsec;
    return identity;
}

rvWindow::AlbumFileRead rvWindow::readAlbumFile(const QString &path, std::function<void(qint64, qint64)> progress,
                                                const std::atomic<bool> *cancel)
{
    AlbumFileRead read;
    // Taken before the read: a change made while it runs shows at the next load.
    read.identity = AlbumFileIdentity::of(path);

    // Read and parsed a slice at a time, so the whole file is never held in
    // memory beside its tree. A file that cannot be read ends as one that
    // cannot be parsed: one log line with the reason, the cache left empty.
    PropertyListReadOptions options;
    options.progress = std::move(progress);
    options.cancel = cancel;
    options.keepOnly = kKeyPathsRead;
    QString error;
    read.tree = propertyListFromFile(path, &error, kAlbumFileName, options);
    if (read.tree.isNone()) {
        read.cancelled = cancel && cancel->load();
        if (!read.cancelled)
            read.failure = oneLineDescription(error, "The album file could not be read.");
    }
    return read;
}

void rvWindow::finishIPhotoDataLoad(AlbumFileRead read)
{
    dropAlbumData();
    m_lastRead = std::move(read);
    if (m_lastRead.cancelled) {
        m_lastRead = AlbumFileRead();
        return;
    }
    applyAlbumFileRead();
}

void rvWindow::applyAlbumFileRead()
{
    if (m_lastRead.tree.isNone()) {
        systemLog(m_lastRead.failure);
        return;
    }
    gPlist = m_lastRead.tree;
    const std::optional<QStringList> names = collectAlbumNames(gPlist);
    setAlbumNames(names);
    gMasterImageDictList = getMasterImageDict(gPlist);
    setSelectedAlbum();
}

std::optional<QStringList> rvWindow::collectAlbumNames(const Value &tree)
{
    if (tree.isNone())
        return std::nullopt;
    const Value albums = memberOfKind(tree, kListOfAlbumsKey, Value::Kind::Array);
    if (albums.isNone())
        return std::nullopt;

    // Kept even when the names below turn out incomplete: the albums stay
    // reachable by index.
    gAlbumsArray = albums;

    const qsizetype count = albums.count();
    if (count < 1)
        return std::nullopt;

    // All names or none: item i of the popup must stand for album i.
    QStringList names;
    names.reserve(count);
    for (qsizetype i = 0; i < count; ++i) {
        const Value name = memberOfKind(albums.at(i), kAlbumNameKey, Value::Kind::String);
        if (name.isNone())
            return std::nullopt;
        names.append(name.toString());
    }
    return names;
}

Value rvWindow::getMasterImageDict(const Value &tree)
{
    return memberOfKind(tree, kMasterImageListKey, Value::Kind::Dictionary);
}

Value rvWindow::getItemKeysForAlbum(const Value &tree, int32_t index)
{
    // The tree only tells whether album data is loaded; the albums themselves
    // are those the last name collection kept.
    if (tree.isNone())
        return Value();
    if (index < 0 || index >= gAlbumsArray.count())
        return Value(); // also when no albums are kept (count 0)
    return memberOfKind(gAlbumsArray.at(index), kKeyListKey, Value::Kind::Array);
}

// ---------------------------------------------------------------------------
// Slide source lookup

int32_t rvWindow::getFilesCount()
{
    return saturatedInt32(gKeysForAlbum.count());
}

Value rvWindow::imageRecordAt(int32_t index) const
{
    if (index < 0 || index >= gKeysForAlbum.count())
        return Value();
    // A photo key that is not a string names no image record.
    const Value key = gKeysForAlbum.at(index);
    if (!key.isString())
        return Value();
    return gMasterImageDictList.value(key.toString());
}

QString rvWindow::getClipFileURL(int32_t index, QString &name)
{
    const Value record = imageRecordAt(index);
    const Value imagePath = memberOfKind(record, kImagePathKey, Value::Kind::String);
    if (imagePath.isNone())
        return QString();
    const QString path = imagePath.toString();

    // The caption names the slide, even an empty one; without a caption the
    // file's own name does.
    const Value caption = memberOfKind(record, kCaptionKey, Value::Kind::String);
    if (caption.isNone())
        name = displayNameAtPath(path);
    else if (const QString text = caption.toString(); text.isNull())
        name = QStringLiteral(""); // an empty caption is a name, not a missing one
    else
        name = text;
    return fileURLStringForPath(path);
}

rvWindow::Photo rvWindow::photoAt(int32_t index)
{
    Photo photo;
    QString name;
    const QString url = getClipFileURL(index, name);
    // A URL that gives no path back gets no slide, as in the save.
    const QString path = url.isNull() ? QString() : pathForFileURLString(url);
    if (!path.isNull()) {
        // The file a reader of the saved path opens: the path as written,
        // its "~" taken for the home folder.
        const QString home = homeFolder();
        photo.hasSlide = true;
        photo.path = expandingTildeInPath(abbreviatingWithTildeInPath(path, home), home);
        photo.name = name;
    } else if (const Value caption = memberOfKind(imageRecordAt(index), kCaptionKey, Value::Kind::String);
               !caption.isNone()) {
        photo.name = caption.toString();
    }

    if (!photo.name.isEmpty()) {
        photo.displayName = photo.name;
    } else if (photo.hasSlide) {
        photo.displayName = displayNameAtPath(photo.path);
    } else {
        const Value key = gKeysForAlbum.at(index);
        const QString keyText = key.isString() ? key.toString() : QString();
        photo.displayName = QStringLiteral("photo %1").arg(keyText.isEmpty() ? QString::number(index + 1) : keyText);
    }
    return photo;
}
