#include "Actions.h"

#include "Files.h"
#include "WindowRoad.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <optional>
#include <vector>

#include <unistd.h>

#ifndef SLIDESHOW_VERSION
#error "SLIDESHOW_VERSION must name the project's version"
#endif

namespace cli {

namespace {

// ---------------------------------------------------------------------------
// Output

void writeOut(FILE *stream, const QString &text)
{
    const QByteArray bytes = text.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
}

int fail(const QString &message)
{
    writeOut(stderr, kProgram + QStringLiteral(": ") + message + QLatin1Char('\n'));
    return kFailure;
}

// Writes all the bytes to standard output; false with the system's reason when
// they cannot all be written (a full disk, a closed pipe).
bool writeStandardOutput(const QByteArray &bytes, QString *reason)
{
    std::fflush(stdout);
    const char *data = bytes.constData();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(STDOUT_FILENO, data, size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0) {
            *reason = QStringLiteral("standard output could not be written: %1")
                          .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return false;
        }
        data += written;
        left -= written;
    }
    return true;
}

// ---------------------------------------------------------------------------
// The actions

int loadLibrary(WindowRoad &road, const Command &command)
{
    QString reason;
    if (!road.load(command.library, &reason))
        return fail(reason);
    return kSuccess;
}

int listAlbums(const Command &command)
{
    WindowRoad road(command.verbose);
    if (const int status = loadLibrary(road, command))
        return status;
    const QStringList names = road.albumNames();
    QString text;
    for (int32_t i = 0; i < names.size(); ++i) {
        if (command.longListing) {
            const AlbumOverview overview = road.overviewOf(i);
            text += QStringLiteral("%1\t%2\t").arg(overview.photoCount).arg(overview.withoutImageFile());
        }
        text += names[i] + QLatin1Char('\n');
    }
    QString reason;
    if (!writeStandardOutput(text.toLocal8Bit(), &reason))
        return fail(reason);
    return kSuccess;
}

int exportAlbum(const Command &command)
{
    WindowRoad road(command.verbose);
    if (const int status = loadLibrary(road, command))
        return status;
    const QStringList names = road.albumNames();
    const int32_t index = int32_t(names.indexOf(command.album));
    if (index < 0) {
        return usageError(QStringLiteral("no album named \"%1\" in %2 (it has %3 album%4; --list-albums lists them)")
                              .arg(command.album, road.albumFilePath())
                              .arg(names.size())
                              .arg(names.size() == 1 ? "" : "s"));
    }
    road.chooseAlbum(index, command.settings);

    // Where the document goes: standard output, the file named, or the
    // title's file name in the folder named or in the current folder.
    const bool toStandardOutput = command.output == QLatin1String("-");
    QString path;
    if (!toStandardOutput) {
        const bool intoFolder = !command.output || QFileInfo(*command.output).isDir();
        path = command.output.value_or(QString());
        if (intoFolder) {
            const QString name = fileNameForTitle(road.title(), command.format);
            if (name.isEmpty())
                return usageError(QStringLiteral("the title is empty; name the file with --output"));
            path = command.output ? QDir(path).filePath(name) : name;
        }
        if (!command.force && QFileInfo::exists(path))
            return fail(QStringLiteral("%1 exists already; --force replaces it").arg(path));
    }

    QString reason;
    const std::optional<QByteArray> bytes = road.render(command.format, command.verbose, &reason);
    if (!bytes)
        return fail(QStringLiteral("cannot export \"%1\": %2").arg(command.album, reason));
    const bool written = toStandardOutput ? writeStandardOutput(*bytes, &reason)
                                          : writeFileAtomically(path, *bytes, &reason);
    return written ? kSuccess : fail(reason);
}

// One file name per album, from its name as --export names a file after a
// title; a name taken already by an earlier album gets " 2", " 3"... before
// its extension. An empty album name stands as "Untitled".
QStringList fileNamesForAlbums(const QStringList &albums, OutputFormat format)
{
    const QString fileType = fileTypeOf(format);
    QStringList names;
    QSet<QString> taken;
    for (const QString &album : albums) {
        const QString name = fileNameForTitle(album.isEmpty() ? QStringLiteral("Untitled") : album, format);
        const QString stem = name.chopped(fileType.size() + 1);
        const QString extension = name.right(fileType.size() + 1);
        QString candidate = name;
        for (int n = 2; taken.contains(candidate); ++n)
            candidate = QStringLiteral("%1 %2%3").arg(stem).arg(n).arg(extension);
        taken.insert(candidate);
        names << candidate;
    }
    return names;
}

// The folders mkpath would create for the path, the outermost first.
QStringList missingFolders(const QString &path)
{
    QStringList missing;
    for (QString folder = QDir::cleanPath(QDir(path).absolutePath()); !QFileInfo::exists(folder);
         folder = QFileInfo(folder).path())
        missing.prepend(folder);
    return missing;
}

// Every document is rendered before the first file is written, so that an
// album that cannot be exported leaves nothing behind; a write that fails
// takes back the files and folders this run created.
int exportAllAlbums(const Command &command)
{
    WindowRoad road(command.verbose);
    if (const int status = loadLibrary(road, command))
        return status;
    const QStringList albums = road.albumNames();
    const QStringList fileNames = fileNamesForAlbums(albums, command.format);
    const QDir folder(*command.output);

    std::vector<QString> paths;
    for (const QString &name : fileNames) {
        paths.push_back(folder.filePath(name));
        if (!command.force && QFileInfo::exists(paths.back()))
            return fail(QStringLiteral("%1 exists already; --force replaces it").arg(paths.back()));
    }

    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    std::vector<QByteArray> documents;
    documents.reserve(size_t(albums.size()));
    for (int32_t i = 0; i < albums.size(); ++i) {
        if (showProgress) {
            writeOut(stderr, QStringLiteral("[%1/%2] %3\n").arg(i + 1).arg(albums.size()).arg(albums[i]));
            std::fflush(stderr);
        }
        road.chooseAlbum(i, command.settings);
        QString reason;
        std::optional<QByteArray> bytes = road.render(command.format, command.verbose, &reason);
        if (!bytes)
            return fail(QStringLiteral("cannot export \"%1\": %2; nothing was written").arg(albums[i], reason));
        documents.push_back(std::move(*bytes));
    }

    const QStringList createdFolders = missingFolders(*command.output);
    if (!QDir().mkpath(*command.output))
        return fail(QStringLiteral("%1 could not be created").arg(*command.output));
    std::vector<QString> createdFiles;
    for (size_t i = 0; i < paths.size(); ++i) {
        const bool existed = QFileInfo::exists(paths[i]);
        QString reason;
        if (!writeFileAtomically(paths[i], documents[i], &reason)) {
            for (const QString &path : createdFiles)
                QFile::remove(path);
            for (auto folderPath = createdFolders.rbegin(); folderPath != createdFolders.rend(); ++folderPath)
                QDir().rmdir(*folderPath);
            return fail(reason);
        }
        if (!existed)
            createdFiles.push_back(paths[i]);
    }
    return kSuccess;
}

} // namespace

int usageError(const QString &message)
{
    writeOut(stderr, kProgram + QStringLiteral(": ") + message + QLatin1Char('\n') +
                         QStringLiteral("Try '%1 --help' for more information.\n").arg(kProgram));
    return kUsage;
}

int runCommand(const Command &command)
{
    switch (command.action) {
    case Action::Help:
        writeOut(stdout, helpText());
        return kSuccess;
    case Action::Version:
        writeOut(stdout, QStringLiteral("%1 %2\n").arg(kProgram, QStringLiteral(SLIDESHOW_VERSION)));
        return kSuccess;
    case Action::ListAlbums:
        return listAlbums(command);
    case Action::Export:
        return exportAlbum(command);
    case Action::ExportAll:
        return exportAllAlbums(command);
    }
    return kUsage;
}

} // namespace cli
