#include "OutputFormat.h"

#include "Paths.h"

#include <QFileInfo>

namespace {

struct FormatEntry {
    OutputFormat format;
    const char *fileType;
    const char *description;
};

constexpr FormatEntry kFormats[] = {
    {OutputFormat::JSON, "json", "JSON slideshow"},
    {OutputFormat::MLT, "mlt", "MLT project"},
    {OutputFormat::Kdenlive, "kdenlive", "Kdenlive project"},
    {OutputFormat::MP4, "mp4", "MP4 video"},
    {OutputFormat::WebM, "webm", "WebM video"},
};

const FormatEntry &entryOf(OutputFormat format)
{
    for (const FormatEntry &entry : kFormats) {
        if (entry.format == format)
            return entry;
    }
    return kFormats[0];
}

} // namespace

const std::vector<OutputFormat> &outputFormats()
{
    static const std::vector<OutputFormat> formats = [] {
        std::vector<OutputFormat> all;
        for (const FormatEntry &entry : kFormats)
            all.push_back(entry.format);
        return all;
    }();
    return formats;
}

bool isVideo(OutputFormat format)
{
    return format == OutputFormat::MP4 || format == OutputFormat::WebM;
}

QString fileTypeOf(OutputFormat format)
{
    return QString::fromLatin1(entryOf(format).fileType);
}

QString filterTextOf(OutputFormat format)
{
    const FormatEntry &entry = entryOf(format);
    return QStringLiteral("%1 (*.%2)").arg(QLatin1String(entry.description), QLatin1String(entry.fileType));
}

std::optional<OutputFormat> outputFormatOfType(const QString &fileType)
{
    for (const FormatEntry &entry : kFormats) {
        if (fileType.compare(QLatin1String(entry.fileType), Qt::CaseInsensitive) == 0)
            return entry.format;
    }
    return std::nullopt;
}

std::optional<OutputFormat> outputFormatOfFileName(const QString &fileName)
{
    const QString name = QFileInfo(fileName).fileName();
    // A name that is nothing but the extension (".mlt") has none.
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    if (dot <= 0)
        return std::nullopt;
    return outputFormatOfType(name.mid(dot + 1));
}

QString fileNameForTitle(const QString &title, OutputFormat format)
{
    return fileNameForTitle(title, fileTypeOf(format));
}
