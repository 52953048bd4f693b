#include "Options.h"

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <vector>

namespace cli {

namespace {

QString quoted(const QStringList &titles)
{
    return QLatin1Char('"') + titles.join(QStringLiteral("\", \"")) + QLatin1Char('"');
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

// The groups --help prints the options in.
enum class Group { Actions, Options, Settings, Video };

// The actions an option applies to, as a set of bits.
constexpr unsigned bit(Action action) { return 1U << unsigned(action); }
constexpr unsigned kListing = bit(Action::ListAlbums);
constexpr unsigned kExporting = bit(Action::Export) | bit(Action::ExportAll);

struct OptionEntry {
    Group group;
    QStringList names; // a short name first, the long name last
    QString valueName; // empty for a flag
    QString help;
    std::optional<Action> action; // the action an action's option asks for
    unsigned appliesTo = 0;       // any other option: the actions it applies to
};

// Every option, in the order --help lists them.
const std::vector<OptionEntry> &optionEntries()
{
    using enum Group;
    static const std::vector<OptionEntry> entries = {
        {Actions, {"list-albums"}, {}, "print the album names of the library, one a line, in the album file's order",
         Action::ListAlbums},
        {Actions, {"export"}, "ALBUM", "export the album of this name, exactly as listed (the first of equal names)",
         Action::Export},
        {Actions, {"export-all"}, {}, "export every album, one file each, into the folder given with --output",
         Action::ExportAll},
        {Actions, {"h", "help"}, {}, "display this help and exit", Action::Help},
        {Actions, {"version"}, {}, "output version information and exit", Action::Version},

        {Options, {"library"}, "PATH",
         "the photo library folder, or its album file itself (default: ~/Pictures/iPhoto Library)", {},
         kListing | kExporting},
        {Options, {"long"}, {}, "with --list-albums: print \"PHOTOS<tab>WITHOUT-IMAGE-FILE<tab>NAME\" for each album",
         {}, kListing},
        {Options, {"o", "output"}, "FILE",
         "the file to write (\"-\": standard output); with --export-all the folder to write into, created if "
         "missing", {}, kExporting},
        {Options, {"format"}, "FORMAT",
         "what to write: json (default), the slideshow document; mlt, an MLT XML project that melt plays and "
         "Shotcut opens; kdenlive, a Kdenlive project; mp4 or webm, a video rendered by melt; without it, an "
         "--output ending in " + formatNames(QStringLiteral(".")) + " names the format", {}, kExporting},
        {Options, {"force"}, {}, "replace files that exist already", {}, kExporting},
        {Options, {"verbose"}, {}, "also write the system log to standard error, the whole document text included",
         {}, kListing | kExporting},

        {Settings, {"frame-rate"}, "RATE",
         "one of " + quoted(Layout::frameRateTitles()) + ", or the number alone (default " +
             Layout::frameRateTitles().first() + ")", {}, kExporting},
        {Settings, {"transition"}, "NAME",
         "one of " + quoted(Layout::transitionTitles()) + " (\"random\" will do); (random) picks one of the "
         "others for each document (default " + Layout::transitionTitles().first() + ")", {}, kExporting},
        {Settings, {"clip-duration"}, "SECONDS", "how long each photo shows (default " + Layout::clipDuration() + ")",
         {}, kExporting},
        {Settings, {"transition-duration"}, "SECONDS",
         "how long each transition runs (default " + Layout::transitionDuration() + ")", {}, kExporting},
        {Settings, {"width"}, "N", "the frame width in pixels (default " + Layout::width() + ")", {}, kExporting},
        {Settings, {"height"}, "N", "the frame height in pixels (default " + Layout::height() + ")", {}, kExporting},
        {Settings, {"title"}, "TEXT", "the slideshow's title (default: the album's name)", {}, kExporting},
        {Video, {"quality"}, "QUALITY",
         "a video's quality: " + videoQualityNames().join(QStringLiteral(", ")) + " (default " +
             nameOf(VideoSettings().quality) + "); the larger file, the longer render", {}, kExporting},
        {Video, {"motion"}, "MOTION",
         "none (default), or pan-zoom: each photo zooms slowly in or out while it drifts", {}, kExporting},
        {Video, {"framing"}, "FRAMING", "fit (default): the whole photo, with bars; fill: it covers the frame, "
         "cropped at its centre", {}, kExporting},
        {Video, {"music"}, "FILE", "a soundtrack (MP3, OGG, FLAC, WAV, M4A...): from the first frame, looped, "
         "faded in over 1 s and out over the last 3 s", {}, kExporting},
        {Video, {"fit-to-music"}, {}, "instead of looping it, make the photos last so that the slideshow ends "
         "with the music's first play (at least 1 s a photo)", {}, kExporting},
        {Video, {"captions"}, {}, "each photo's caption (or file name) in the lower part of the frame", {},
         kExporting},
        {Video, {"title-card"}, {}, "the title over the first photo for its first 3 seconds", {}, kExporting},
        {Video, {"shuffle"}, "[SEED]", "the photos in a shuffled order, the same for the same seed; without one "
         "a new seed, printed on standard error", {}, kExporting},
    };
    return entries;
}

// The actions that work on a library, as "--list-albums, --export" followed
// by the conjunction and the last one.
QString libraryActions(const QString &conjunction)
{
    QStringList names;
    for (const OptionEntry &entry : optionEntries()) {
        if (entry.action && (bit(*entry.action) & (kListing | kExporting)))
            names << QStringLiteral("--") + entry.names.last();
    }
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QLatin1Char(' ') + conjunction + QLatin1Char(' ') + last;
}

QString optionName(const OptionEntry &entry)
{
    return QStringLiteral("--") + entry.names.last();
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
    if (entry.valueName.startsWith(QLatin1Char('['))) // an optional value
        left += QStringLiteral("[=") + entry.valueName.mid(1);
    else if (!entry.valueName.isEmpty())
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

} // namespace

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
    for (const Group group : {Group::Actions, Group::Options, Group::Settings, Group::Video}) {
        if (group == Group::Options)
            text += QStringLiteral("\nOptions:\n");
        else if (group == Group::Settings)
            text += QStringLiteral("\nSlideshow settings, as the window offers them (defaults as there):\n");
        else if (group == Group::Video)
            text += QStringLiteral("\nVideo settings, for the projects and videos (not the JSON document):\n");
        for (const OptionEntry &entry : optionEntries()) {
            if (entry.group == group)
                text += helpLine(entry);
        }
    }
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
        "A video (mp4: H.264; webm: VP9) is the MLT project rendered by melt, which\n"
        "must be installed; on a terminal its progress shows on standard error. An\n"
        "interrupt (Ctrl+C) or a termination stops melt and leaves no partial file.\n"
        "\n"
        "Exit status:\n"
        " 0  if OK,\n"
        " 1  if the export failed (no album file or an unreadable one, text outside\n"
        "    ASCII, a failed write, a file that exists without --force, no melt, a\n"
        "    render that failed),\n"
        " 2  if the command line is wrong (an unknown option, album, frame rate or\n"
        "    transition, a missing value),\n"
        " 130, 143  if an interrupt or a termination stopped a render (128 and the\n"
        "    signal's number).\n"
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
        "      export every album, each with a transition picked at random\n"
        "  %1 --export 'Summer by the Sea' --width 1920 --height 1080 -o summer.mp4\n"
        "      render one album as a Full HD video\n").arg(kProgram);
    return text;
}

std::optional<Command> parseCommand(const QStringList &arguments, QString *error)
{
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
    for (const OptionEntry &entry : optionEntries()) {
        parser.addOption(entry.valueName.isEmpty() ? QCommandLineOption(entry.names, entry.help)
                                                   : QCommandLineOption(entry.names, entry.help, entry.valueName));
    }
    // --shuffle takes its seed only after "=": alone it asks for a new one.
    QStringList given = arguments;
    for (QString &argument : given) {
        if (argument == QLatin1String("--shuffle"))
            argument += QLatin1Char('=');
        else if (argument == QLatin1String("--"))
            break;
    }
    if (!parser.parse(given)) {
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

    // --help and --version win over everything else; otherwise exactly one
    // action.
    Command command;
    int actions = 0;
    for (const Action terminal : {Action::Help, Action::Version}) {
        for (const OptionEntry &entry : optionEntries()) {
            if (entry.action == terminal && parser.isSet(entry.names.last())) {
                command.action = terminal;
                return command;
            }
        }
    }
    const OptionEntry *actionEntry = nullptr;
    for (const OptionEntry &entry : optionEntries()) {
        if (entry.action && parser.isSet(entry.names.last())) {
            actionEntry = &entry;
            ++actions;
        }
    }
    if (actions != 1) {
        *error = actions == 0 ? QStringLiteral("no action given; use ") + libraryActions(QStringLiteral("or"))
                              : QStringLiteral("give only one of ") + libraryActions(QStringLiteral("and"));
        return std::nullopt;
    }
    command.action = *actionEntry->action;

    // Options that mean nothing for the action are mistakes, not silently ignored.
    for (const OptionEntry &entry : optionEntries()) {
        if (!entry.action && !(entry.appliesTo & bit(command.action)) && parser.isSet(entry.names.last())) {
            *error = QStringLiteral("%1 does not apply to %2").arg(optionName(entry), optionName(*actionEntry));
            return std::nullopt;
        }
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
    VideoSettings &video = command.video;
    const auto choice = [&](const char *option, const QStringList &names, auto named, auto &value) {
        if (!parser.isSet(QLatin1String(option)))
            return true;
        const QString name = parser.value(QLatin1String(option));
        const auto chosen = named(name);
        if (!chosen)
            *error = QStringLiteral("unknown %1 '%2'; use one of %3").arg(QLatin1String(option), name, quoted(names));
        else
            value = *chosen;
        return chosen.has_value();
    };
    if (!choice("motion", motionNames(), motionNamed, video.motion)
        || !choice("framing", framingNames(), framingNamed, video.framing))
        return std::nullopt;
    video.music = parser.value(QStringLiteral("music"));
    video.fitToMusic = parser.isSet(QStringLiteral("fit-to-music"));
    video.captions = parser.isSet(QStringLiteral("captions"));
    video.titleCard = parser.isSet(QStringLiteral("title-card"));
    if (parser.isSet(QStringLiteral("music")) && video.music.isEmpty()) {
        *error = QStringLiteral("the --music file name is empty");
        return std::nullopt;
    }
    if (video.fitToMusic && video.music.isEmpty()) {
        *error = QStringLiteral("--fit-to-music needs --music FILE");
        return std::nullopt;
    }
    if (parser.isSet(QStringLiteral("shuffle"))) {
        video.shuffle = true;
        const QString seed = parser.value(QStringLiteral("shuffle"));
        bool ok = true;
        if (!seed.isEmpty())
            video.shuffleSeed = seed.toULongLong(&ok);
        if (!ok) {
            *error = QStringLiteral("the --shuffle seed '%1' is not a whole number").arg(seed);
            return std::nullopt;
        }
    }
    if (parser.isSet(QStringLiteral("quality"))) {
        const QString name = parser.value(QStringLiteral("quality"));
        const std::optional<VideoQuality> quality = videoQualityNamed(name);
        if (!quality) {
            *error = QStringLiteral("unknown quality '%1'; use one of %2").arg(name, quoted(videoQualityNames()));
            return std::nullopt;
        }
        video.quality = *quality;
    }

    if (command.action == Action::ExportAll && (!command.output || command.output->isEmpty())) {
        *error = QStringLiteral("--export-all needs the folder to write into: --output DIR");
        return std::nullopt;
    }
    if (command.action == Action::ExportAll && *command.output == QLatin1String("-")) {
        *error = QStringLiteral("--export-all writes one file per album; standard output cannot take them");
        return std::nullopt;
    }
    if (isVideo(command.format) && command.output == QLatin1String("-")) {
        *error = QStringLiteral("a video cannot go to standard output; name its file with --output");
        return std::nullopt;
    }
    if (command.output && command.output->isEmpty()) {
        *error = QStringLiteral("the --output name is empty");
        return std::nullopt;
    }
    return command;
}

bool namesAnAction(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        if (argument == QLatin1String("--"))
            return false;
        for (const OptionEntry &entry : optionEntries()) {
            if (!entry.action)
                continue;
            const QString name = optionName(entry);
            if (argument == name || (!entry.valueName.isEmpty() && argument.startsWith(name + QLatin1Char('=')))
                || (entry.names.size() > 1 && argument == QLatin1Char('-') + entry.names.first()))
                return true;
        }
    }
    return false;
}

} // namespace cli
