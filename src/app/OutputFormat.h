#pragma once

#include <QString>

#include <optional>
#include <vector>

// The kinds of file a slideshow is saved as, each rendering the same
// slideshow document: the JSON document, the MLT project that melt plays and
// Shotcut opens, the Kdenlive project, and the videos melt renders from the
// MLT project. Everything that tells one from
// another (its file type, its entry in the save panel, the names of its
// files) is here.
enum class OutputFormat { JSON, MLT, Kdenlive, MP4, WebM };

// Every format, in the order the save panel lists them; the JSON document,
// the panel's required type, first.
const std::vector<OutputFormat> &outputFormats();

// True for the formats melt renders into a video.
bool isVideo(OutputFormat format);

// The file type, the file name extension without the dot ("json", "mlt", "kdenlive", "mp4", "webm"),
// which is also the format's name on the command line.
QString fileTypeOf(OutputFormat format);
// The format's entry in a save panel's list of types: "MLT project (*.mlt)".
QString filterTextOf(OutputFormat format);
// The format of a file type, in any letter case; nothing for another type.
std::optional<OutputFormat> outputFormatOfType(const QString &fileType);
// The format a file name's extension names; nothing for another extension.
std::optional<OutputFormat> outputFormatOfFileName(const QString &fileName);
// The file name a slideshow title gives, as the save panel proposes it
// ("Road/Trip" gives "Road-Trip.json"); empty for an empty title.
QString fileNameForTitle(const QString &title, OutputFormat format);
