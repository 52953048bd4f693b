#include "CommandLine.h"

#include "Files.h"
#include "WindowRoad.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
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

const QString kProgram = QStringLiteral("slideshow-exporter");

enum ExitStatus { kSuccess = 0, kFailure = 1, kUsage = 2 };

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

int usageError(const QString &message)
{
    writeOut(stderr, kProgram + QStringLiteral(": ") + message + QLatin1Char('\n') +
                         QStringLiteral("Try '%1 --help' for more information.\n").arg(kProgram));
    return kUsage;
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

// The formats' names for messages, each after the prefix: "json or mlt".
QString formatNames(const QString &prefix = QString())
{
    QStringList names;
    for (const OutputFormat format : outputFormats())
        names << prefix + fileTypeOf(format);
    const QString last = names.takeLast();
    return names.isEmpty() ? last : names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

QString quoted(const QStringList &titles)
{
    return QLatin1Char('"') + titles.join(QStringLiteral("\", \"")) + QLatin1Char('"');
}

// ---------------------------------------------------------------------------
// Options and help

struct OptionEntry {
    QStringList names;
    QString valueName; // empty for a flag
    QString help;
};

// The actions, then the options, then the slideshow settings; --help prints
// them in these groups and in this order.
const std::vector<OptionEntry> &actionOptions()
{
    static const std::vector<OptionEntry> entries = {
        {{"list-albums"}, {}, "print the album names of the library, one a line, in the album file's order"},
        {{"export"}, "ALBUM", "export the album of this name, exactly as listed (the first of equal names)"},
        {{"export-all"}, {}, "export every album, one file each, into the folder given with --output"},
        {{"h", "help"}, {}, "display this help and exit"},
        {{"version"}, {}, "output version information and exit"},
    };
    return entries;
}

const std::vector<OptionEntry> &generalOptions()
{
    static const std::vector<OptionEntry> entries = {
        {{"library"}, "PATH",
         "the photo library folder, or its album file itself (default: ~/Pictures/iPhoto Library)"},
        {{"long"}, {}, "with --list-albums: print \"PHOTOS<tab>WITHOUT-IMAGE-FILE<tab>NAME\" for each album"},
        {{"o", "output"}, "FILE",
         "the file to write (\"-\": standard output); with --export-all the folder to write into, created if "
         "missing"},
        {{"format"}, "FORMAT",
         "the document's format: json (default), or mlt for an MLT XML project that melt plays and the Linux "
         "video editors open; without it, an --output ending in ." + formatNames(QStringLiteral(".")) +
             " names the format"},
        {{"force"}, {}, "replace files that exist already"},
        {{"verbose"}, {}, "also write the system log to standard error, the whole document text included"},
    };
    return entries;
}

const std::vector<OptionEntry> &settingOptions()
{
    static const std::vector<OptionEntry> entries = {
        {{"frame-rate"}, "RATE",
         "one of " + quoted(Layout::frameRateTitles()) + ", or the number alone (default " +
             Layout::frameRateTitles().first() + ")"},
        {{"transition"}, "NAME",
         "one of " + quoted(Layout::transitionTitles()) + " (\"random\" will do); (random) picks one of the "
         "others for each document (default " + Layout::transitionTitles().first() + ")"},
        {{"clip-duration"}, "SECONDS", "how long each photo shows (default " + Layout::clipDuration() + ")"},
        {{"transition-duration"}, "SECONDS",
         "how long each transition runs (default " + Layout::transitionDuration() + ")"},
        {{"width"}, "N", "the frame width in pixels (default " + Layout::width() + ")"},
        {{"height"}, "N", "the frame height in pixels (default " + Layout::height() + ")"},
        {{"title"}, "TEXT", "the slideshow's title (default: the album's name)"},
    };
    return entries;
}

// One option line as GNU programs print them: short name, long name and value
// in a column of their own, the description wrapped beside it.
QString helpLine(const OptionEntry &entry)
{
    constexpr int kColumn = 30;
    constexpr int kWidth = 79;
    QString left = QStringLiteral("  ");
    const QString longName = entry.names.last();
    left += entry.names.size() > 1 ? QStringLiteral("-%1, ").arg(entry.names.first()) : QStringLiteral("    ");
    left += QStringLiteral("--") + longName;
    if (!entry.valueName.isEmpty())
        left += QLatin1Char('=') + entry.valueName;

    QString text;
    QString line = left;
    if (line.size() >= kColumn - 1) {
        text += line + QLatin1Char('\n');
        line.clear();
    }
    for (const QString &word : entry.help.split(QLatin1Char(' '))) {
        if (line.size() > kColumn && line.size() + 1 + word.size() > kWidth) {
            text += line + QLatin1Char('\n');
            line.clear();
        }
        if (line.size() < kColumn)
            line = line.leftJustified(kColumn) + word;
        else
            line += QLatin1Char(' ') + word;
    }
    return text + line + QLatin1Char('\n');
}

QString helpText()
{
    QString text = QStringLiteral(
        "Usage: %1 [QT-OPTION]... [--library PATH]\n"
        "  or:  %1 --list-albums [--long] [--library PATH]\n"
        "  or:  %1 --export ALBUM [-o FILE] [SETTING]... [OPTION]...\n"
        "  or:  %1 --export-all -o DIR [SETTING]... [OPTION]...\n"
        "Turn an album of an iPhoto photo library into a slideshow document for a\n"
        "video compositing tool: the sequence settings and one slide per photo.\n"
        "\n"
        "Without an action the window starts; Qt's own options (-platform, -style,\n"
        "...) apply to it, and --library PATH opens that library for the run.\n"
        "With an action the program runs without a window and needs no display.\n"
        "\n"
        "Actions:\n").arg(kProgram);
    for (const OptionEntry &entry : actionOptions())
        text += helpLine(entry);
    text += QStringLiteral("\nOptions:\n");
    for (const OptionEntry &entry : generalOptions())
        text += helpLine(entry);
    text += QStringLiteral("\nSlideshow settings, as the window offers them (defaults as there):\n");
    for (const OptionEntry &entry : settingOptions())
        text += helpLine(entry);
    text += QStringLiteral(
        "\n"
        "Durations and sizes are read as the window reads its fields: the whole\n"
        "number the text begins with (2.5 seconds are 2 seconds).\n"
        "\n"
        "Without --output, --export writes TITLE.json in the current folder, named as\n"
        "the window's save panel names it (\"/\" becomes \"-\"); an --output that is a\n"
        "folder receives that file. --export-all names each file after its album the\n"
        "same way, adding \" 2\", \" 3\"... in album order when names collide. Files\n"
        "are written whole or not at all, and an existing file is replaced only with\n"
        "--force. The bytes are those the window's Save writes for the same choices.\n"
        "\n"
        "Exit status:\n"
        " 0  if OK,\n"
        " 1  if the export failed (no album file or an unreadable one, text outside\n"
        "    ASCII, a failed write, a file that exists without --force),\n"
        " 2  if the command line is wrong (an unknown option, album, frame rate or\n"
        "    transition, a missing value).\n"
        "\n"
        "Files:\n"
        "  ~/Pictures/iPhoto Library/AlbumData.xml\n"
        "                           the default library's album file\n"
        "  ~/.config/%1/%1.conf\n"
        "                           the remembered library choice of the window\n"
        "\n"
        "Examples:\n"
        "  %1 --list-albums --long\n"
        "      list the albums with their photo counts\n"
        "  %1 --export 'Summer by the Sea' --frame-rate 25 -o summer.json\n"
        "      export one album at 25 frames per second\n"
        "  %1 --export-all --transition random -o ~/Slideshows\n"
        "      export every album, each with a transition picked at random\n").arg(kProgram);
    return text;
}

QCommandLineOption makeOption(const OptionEntry &entry)
{
    return entry.valueName.isEmpty() ? QCommandLineOption(entry.names, entry.help)
                                    : QCommandLineOption(entry.names, entry.help, entry.valueName);
}

// ---------------------------------------------------------------------------
// The command

enum class Action { ListAlbums, Export, ExportAll, Help, Version };

struct Command {
    Action action = Action::Help;
    QString album;
    std::optional<QString> output;
    QString library;
    bool longListing = false;
    bool force = false;
    bool verbose = false;
    OutputFormat format = OutputFormat::JSON;
    ExportSettings settings;
};

// The popup title a frame-rate argument picks: a title itself, in any case, or
// the number a title begins with ("25" picks "25 (PAL)").
std::optional<QString> frameRateTitle(const QString &argument)
{
    const QStringList titles = Layout::frameRateTitles();
    for (const QString &title : titles) {
        if (title.compare(argument, Qt::CaseInsensitive) == 0 || title.section(QLatin1Char(' '), 0, 0) == argument)
            return title;
    }
    return std::nullopt;
}

// The popup title a transition argument picks: a title itself, in any case,
// or "random" for the random item.
std::optional<QString> transitionTitle(const QString &argument)
{
    const QStringList titles = Layout::transitionTitles();
    for (const QString &title : titles) {
        if (title.compare(argument, Qt::CaseInsensitive) == 0 ||
            (title.startsWith(QLatin1Char('(')) && title.mid(1).chopped(1).compare(argument, Qt::CaseInsensitive) == 0))
            return title;
    }
    return std::nullopt;
}

// Parses the arguments into a command; on a usage error gives nothing and the
// message.
std::optional<Command> parseCommand(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const auto *group : {&actionOptions(), &generalOptions(), &settingOptions()}) {
        for (const OptionEntry &entry : *group)
            parser.addOption(makeOption(entry));
    }
    if (!parser.parse(arguments)) {
        QString text = parser.errorText();
        if (!text.isEmpty())
            text[0] = text[0].toLower();
        *error = text;
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument '%1' (an album name with spaces needs quotes)")
                     .arg(parser.positionalArguments().first());
        return std::nullopt;
    }

    Command command;
    if (parser.isSet(QStringLiteral("help")))
        return command;
    if (parser.isSet(QStringLiteral("version"))) {
        command.action = Action::Version;
        return command;
    }

    int actions = 0;
    for (const auto &[name, action] : {std::pair{"list-albums", Action::ListAlbums}, std::pair{"export", Action::Export},
                                       std::pair{"export-all", Action::ExportAll}}) {
        if (parser.isSet(QLatin1String(name))) {
            command.action = action;
            ++actions;
        }
    }
    if (actions != 1) {
        *error = actions == 0 ? QStringLiteral("no action given; use --list-albums, --export or --export-all")
                              : QStringLiteral("give only one of --list-albums, --export and --export-all");
        return std::nullopt;
    }

    // Options that mean nothing for the action are mistakes, not silently ignored.
    const bool exporting = command.action != Action::ListAlbums;
    QStringList misplaced;
    if (exporting && parser.isSet(QStringLiteral("long")))
        misplaced << QStringLiteral("--long");
    if (!exporting) {
        for (const auto *group : {&generalOptions(), &settingOptions()}) {
            for (const OptionEntry &entry : *group) {
                const QString name = entry.names.last();
                if (name != QLatin1String("library") && name != QLatin1String("long") &&
                    name != QLatin1String("verbose") && parser.isSet(name))
                    misplaced << QStringLiteral("--") + name;
            }
        }
    }
    if (!misplaced.isEmpty()) {
        *error = QStringLiteral("%1 does not apply to --%2")
                     .arg(misplaced.first(), exporting ? (command.action == Action::Export ? "export" : "export-all")
                                                       : "list-albums");
        return std::nullopt;
    }

    command.album = parser.value(QStringLiteral("export"));
    if (parser.isSet(QStringLiteral("output")))
        command.output = parser.value(QStringLiteral("output"));
    command.library = parser.value(QStringLiteral("library"));
    command.longListing = parser.isSet(QStringLiteral("long"));
    command.force = parser.isSet(QStringLiteral("force"));
    command.verbose = parser.isSet(QStringLiteral("verbose"));

    if (parser.isSet(QStringLiteral("format"))) {
        const QString format = parser.value(QStringLiteral("format"));
        const std::optional<OutputFormat> named = outputFormatOfType(format);
        if (!named) {
            *error = QStringLiteral("unknown format '%1'; use %2").arg(format, formatNames());
            return std::nullopt;
        }
        command.format = *named;
    } else if (command.action == Action::Export && command.output) {
        command.format = outputFormatOfFileName(*command.output).value_or(OutputFormat::JSON);
    }

    ExportSettings &settings = command.settings;
    if (parser.isSet(QStringLiteral("frame-rate"))) {
        const QString rate = parser.value(QStringLiteral("frame-rate"));
        const std::optional<QString> title = frameRateTitle(rate);
        if (!title) {
            *error = QStringLiteral("unknown frame rate '%1'; use one of %2 (or the number alone)")
                         .arg(rate, quoted(Layout::frameRateTitles()));
            return std::nullopt;
        }
        settings.frameRate = *title;
    }
    if (parser.isSet(QStringLiteral("transition"))) {
        const QString name = parser.value(QStringLiteral("transition"));
        const std::optional<QString> title = transitionTitle(name);
        if (!title) {
            *error = QStringLiteral("unknown transition '%1'; use one of %2").arg(name, quoted(Layout::transitionTitles()));
            return std::nullopt;
        }
        settings.transition = *title;
    }
    // The text fields take any text, as the window's fields do.
    const auto field = [&parser](const char *name, QString &text) {
        if (parser.isSet(QLatin1String(name)))
            text = parser.value(QLatin1String(name));
    };
    field("clip-duration", settings.clipDuration);
    field("transition-duration", settings.transitionDuration);
    field("width", settings.width);
    field("height", settings.height);
    if (parser.isSet(QStringLiteral("title")))
        settings.title = parser.value(QStringLiteral("title"));

    if (command.action == Action::ExportAll && (!command.output || command.output->isEmpty())) {
        *error = QStringLiteral("--export-all needs the folder to write into: --output DIR");
        return std::nullopt;
    }
    if (command.action == Action::ExportAll && *command.output == QLatin1String("-")) {
        *error = QStringLiteral("--export-all writes one file per album; standard output cannot take them");
        return std::nullopt;
    }
    if (command.output && command.output->isEmpty()) {
        *error = QStringLiteral("the --output name is empty");
        return std::nullopt;
    }
    return command;
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

// Runs the action of arguments already decoded (the program's name first).
int runArguments(const QStringList &arguments)
{
    QString error;
    const std::optional<Command> command = parseCommand(arguments, &error);
    if (!command)
        return usageError(error);

    switch (command->action) {
    case Action::Help:
        writeOut(stdout, helpText());
        return kSuccess;
    case Action::Version:
        writeOut(stdout, QStringLiteral("%1 %2\n").arg(kProgram, QStringLiteral(SLIDESHOW_VERSION)));
        return kSuccess;
    case Action::ListAlbums:
        return listAlbums(*command);
    case Action::Export:
        return exportAlbum(*command);
    case Action::ExportAll:
        return exportAllAlbums(*command);
    }
    return kUsage;
}

} // namespace

bool hasAction(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--")
            return false;
        if (argument == "--list-albums" || argument == "--export" || argument.startsWith("--export=") ||
            argument == "--export-all" || argument == "--help" || argument == "-h" || argument == "--version")
            return true;
    }
    return false;
}

int run(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(kProgram);
    QCoreApplication::setApplicationName(kProgram);
    QCoreApplication::setApplicationVersion(QStringLiteral(SLIDESHOW_VERSION));
    return runArguments(QCoreApplication::arguments());
}

} // namespace cli
