#include "Actions.h"

#include "Files.h"
#include "VideoRender.h"
#include "WindowRoad.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QSocketNotifier>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include <fcntl.h>
#include <signal.h>
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
// Videos

// SIGINT and SIGTERM while a video renders: noted through a pipe, so that
// the event loop hears of them and the render is stopped and cleaned up
// before the program ends. The handlers before are put back afterwards.
class StopSignals {
public:
    explicit StopSignals(std::function<void()> stop)
    {
        if (::pipe2(s_pipe, O_CLOEXEC | O_NONBLOCK) != 0)
            return;
        struct sigaction action {};
        action.sa_handler = [](int signal) {
            const char number = char(signal);
            [[maybe_unused]] const ssize_t written = ::write(s_pipe[1], &number, 1);
        };
        ::sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &m_oldInterrupt);
        ::sigaction(SIGTERM, &action, &m_oldTerminate);
        m_notifier = std::make_unique<QSocketNotifier>(s_pipe[0], QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this, stop = std::move(stop)] {
            char number = 0;
            if (::read(s_pipe[0], &number, 1) == 1 && m_received == 0) {
                m_received = number;
                stop();
            }
        });
    }
    ~StopSignals()
    {
        if (!m_notifier)
            return;
        ::sigaction(SIGINT, &m_oldInterrupt, nullptr);
        ::sigaction(SIGTERM, &m_oldTerminate, nullptr);
        m_notifier.reset();
        ::close(s_pipe[0]);
        ::close(s_pipe[1]);
    }
    StopSignals(const StopSignals &) = delete;
    StopSignals &operator=(const StopSignals &) = delete;

    // The signal that stopped the render, or 0.
    int received() const { return m_received; }

private:
    static inline int s_pipe[2] = {-1, -1};
    std::unique_ptr<QSocketNotifier> m_notifier;
    struct sigaction m_oldInterrupt {}, m_oldTerminate {};
    int m_received = 0;
};

// What an export writes: a document's bytes, or for a video the MLT project
// it is rendered from and the frames of its timeline.
struct Output {
    QByteArray bytes;
    int64_t frames = 0;
};

// Renders the project into a video at the path, its progress on standard
// error when that is a terminal. The exit status: success, a failure (with
// its message), or 128 and the signal's number when one stopped it.
int renderVideo(const Output &project, const QString &path, const Command &command, const QString &album)
{
    VideoRender render;
    StopSignals stopSignals([&render] { render.cancel(); });
    const bool showProgress = ::isatty(STDERR_FILENO) == 1;
    if (showProgress) {
        QObject::connect(&render, &VideoRender::progress, [](qint64 frame, qint64 frames) {
            writeOut(stderr, QStringLiteral("\rframe %1 of %2 (%3%)").arg(frame + 1).arg(frames).arg(
                                 frames > 0 ? 100 * (frame + 1) / frames : 100));
            std::fflush(stderr);
        });
    }
    QString reason;
    if (!render.start(project.bytes, project.frames, path, command.format, command.video, &reason))
        return fail(QStringLiteral("cannot export \"%1\": %2").arg(album, reason));
    const bool written = render.waitForFinished();
    if (showProgress)
        writeOut(stderr, QStringLiteral("\n"));
    if (stopSignals.received())
        return 128 + stopSignals.received();
    return written ? kSuccess : fail(QStringLiteral("cannot export \"%1\": %2").arg(album, render.failure()));
}

// The output of the chosen album in the command's format. Its notes (the
// shuffle's seed, music too short to fit) go to standard error.
std::optional<Output> renderOutput(WindowRoad &road, const Command &command, QString *reason)
{
    road.setVideoSettings(command.video);
    std::optional<Output> output;
    if (std::optional<QByteArray> bytes = road.render(command.format, command.verbose, reason))
        output = Output{std::move(*bytes), road.frames()};
    for (const QString &note : road.notes())
        writeOut(stderr, kProgram + QStringLiteral(": ") + note + QLatin1Char('\n'));
    return output;
}

// Writes an output to its file: the document atomically, or the video rendered.
int writeOutput(const Output &output, const QString &path, const Command &command, const QString &album)
{
    if (isVideo(command.format))
        return renderVideo(output, path, command, album);
    QString reason;
    return writeFileAtomically(path, output.bytes, &reason) ? kSuccess : fail(reason);
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
    const std::optional<Output> output = renderOutput(road, command, &reason);
    if (!output)
        return fail(QStringLiteral("cannot export \"%1\": %2").arg(command.album, reason));
    if (toStandardOutput)
        return writeStandardOutput(output->bytes, &reason) ? kSuccess : fail(reason);
    return writeOutput(*output, path, command, command.album);
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

// Every document (or a video's project) is made before the first file is
// written, so that an album that cannot be exported leaves nothing behind; a
// write or render that fails, or a signal that stops one, takes back the
// files and folders this run created.
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
    std::vector<Output> outputs;
    outputs.reserve(size_t(albums.size()));
    for (int32_t i = 0; i < albums.size(); ++i) {
        if (showProgress && !isVideo(command.format)) {
            writeOut(stderr, QStringLiteral("[%1/%2] %3\n").arg(i + 1).arg(albums.size()).arg(albums[i]));
            std::fflush(stderr);
        }
        road.chooseAlbum(i, command.settings);
        QString reason;
        std::optional<Output> output = renderOutput(road, command, &reason);
        if (!output)
            return fail(QStringLiteral("cannot export \"%1\": %2; nothing was written").arg(albums[i], reason));
        outputs.push_back(std::move(*output));
    }

    const QStringList createdFolders = missingFolders(*command.output);
    if (!QDir().mkpath(*command.output))
        return fail(QStringLiteral("%1 could not be created").arg(*command.output));
    std::vector<QString> createdFiles;
    for (size_t i = 0; i < paths.size(); ++i) {
        const bool existed = QFileInfo::exists(paths[i]);
        if (isVideo(command.format) && showProgress)
            writeOut(stderr, QStringLiteral("[%1/%2] %3\n").arg(i + 1).arg(paths.size()).arg(albums[int(i)]));
        if (const int status = writeOutput(outputs[i], paths[i], command, albums[int(i)])) {
            for (const QString &path : createdFiles)
                QFile::remove(path);
            for (auto folderPath = createdFolders.rbegin(); folderPath != createdFolders.rend(); ++folderPath)
                QDir().rmdir(*folderPath);
            return status;
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
