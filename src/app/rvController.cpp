#include "rvController.h"

#include "Application.h"
#include "Files.h"
#include "KdenliveWriter.h"
#include "KyJSONAdditions.h"
#include "MltWriter.h"
#include "OutputFormat.h"
#include "Paths.h"
#include "VideoFile.h"
#include "SystemLog.h"
#include "TextNumber.h"
#include "Value.h"
#include "VideoRender.h"
#include "rvWindow.h"

#include <QRandomGenerator>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

// A string member that is never a null QString (an unset control reads as no
// string; the document holds the empty string then).
Value stringMember(const QString &text)
{
    return Value::string(text.isNull() ? QString(QLatin1String("")) : text);
}

// No project: without a window there is nothing to export, and nothing to
// say of it beyond the failed write.
MltProject unwritten()
{
    MltProject project;
    project.failure = QStringLiteral("");
    return project;
}

// The document's JSON text; with logText, also one log line holding it.
QString renderedText(const Value &document, bool logText)
{
    const QString text = KyJSONAdditions::jsonStringValue(document);
    if (logText)
        systemLog(QStringLiteral("jsonString =  ") + text);
    return text;
}

} // namespace

// Asks the window for every setting and for the selected album's photos, in
// this order: count, transition (one draw of a random transition per
// document), height, width, photo duration, timebase, transition duration,
// NTSC flag, title, then each photo by index.
//
// Without a window there is nothing to export: the result is no value.
Value rvController::createSlideshowDocument()
{
    rvWindow *window = gWindow;
    if (!window)
        return Value();

    const int32_t count = window->getFilesCount();
    Value slides = Value::array(std::max<int32_t>(count, 0));
    const Value slideCount = Value::integer(count);

    QString shortName; // required by the call; the document does not use it
    const Value showStyle = stringMember(window->getTransitionName(shortName));

    const Value compHeight = Value::integer(intValueOfText(window->getCompHeight()));
    const Value compWidth = Value::integer(intValueOfText(window->getCompWidth()));
    const Value photoDuration = Value::integer(intValueOfText(window->getMediaDuration()));
    const Value timebase = Value::integer(intValueOfText(window->getTimebase()));

    // The window hands the transition duration over as a number; anything else
    // (there is nothing else today) would be written as 0 rather than left out.
    const Value transitionDuration = window->getTransDuration();
    const Value transDuration = transitionDuration.isInteger()
        ? transitionDuration
        : Value::integer(transitionDuration.toInt());

    const Value ntsc = stringMember(window->getNTSCRate());
    const Value projectName = stringMember(window->getSlideShowTitle());

    // Members in the order the file shows them.
    Value sequence = Value::dictionary(9);
    sequence.insert(QStringLiteral("projectName"), projectName);
    sequence.insert(QStringLiteral("slideCount"), slideCount);
    sequence.insert(QStringLiteral("ntsc"), ntsc);
    sequence.insert(QStringLiteral("timebase"), timebase);
    sequence.insert(QStringLiteral("compHeight"), compHeight);
    sequence.insert(QStringLiteral("compWidth"), compWidth);
    sequence.insert(QStringLiteral("transDuration"), transDuration);
    sequence.insert(QStringLiteral("photoDuration"), photoDuration);
    sequence.insert(QStringLiteral("showStyle"), showStyle);

    // A photo without an image file gets no slide; "slideCount" still counts it.
    const QString home = homeFolder();
    const QString nameKey = QStringLiteral("name");
    const QString pathKey = QStringLiteral("path");
    for (int32_t index = 0; index < count; ++index) {
        QString name;
        const QString url = window->getClipFileURL(index, name);
        if (url.isNull())
            continue;
        const QString path = pathForFileURLString(url);
        if (path.isNull())
            continue; // not a file URL: no file to point the slide at
        Value slide = Value::dictionary(2);
        slide.insert(nameKey, stringMember(name));
        slide.insert(pathKey, Value::string(abbreviatingWithTildeInPath(path, home)));
        slides.append(slide);
    }

    Value document = Value::dictionary(2);
    document.insert(QStringLiteral("sequence"), sequence);
    document.insert(QStringLiteral("slides"), slides);
    return document;
}

// Without a window there is nothing to export: the result is a null string and
// nothing is logged.
QString rvController::createJSONDocument()
{
    const Value document = createSlideshowDocument();
    if (document.isNone())
        return QString();
    return renderedText(document, true);
}

// Without a window: no document, a null text, no bytes and nothing logged.
JSONRendering rvController::renderJSONDocument(bool logText)
{
    JSONRendering rendering;
    rendering.document = createSlideshowDocument();
    if (rendering.document.isNone())
        return rendering;
    rendering.text = renderedText(rendering.document, logText);
    rendering.bytes = asciiBytes(rendering.text);
    return rendering;
}

// Writes the document as 7-bit ASCII, nothing added, through a temporary file
// renamed over the path, so the path never holds a partial document. Text
// outside ASCII, a failed write or no window to export: one beep, one log line,
// false, and the file system untouched.
bool rvController::writeJSONTo(const QString &path)
{
    bool written = false;
    if (gWindow) {
        const JSONRendering rendering = renderJSONDocument(true);
        if (rendering.bytes)
            written = writeFileAtomically(path, *rendering.bytes);
    }
    if (written)
        return true;

    toolkit::beep();
    systemLog(QStringLiteral("Could not write document out..."));
    return false;
}

rvController::rvController() = default;

rvController::~rvController() = default;

QByteArray rvController::createMLTDocument()
{
    return createMLTProject().xml;
}

std::optional<Timeline> rvController::createTimeline(MltProject &project)
{
    const Value document = createSlideshowDocument();
    if (document.isNone()) {
        project.failure = QStringLiteral("no window to export");
        return std::nullopt;
    }
    VideoSettings video = videoSettings;
    std::optional<double> musicSeconds;
    if (!video.music.isEmpty()) {
        QString reason;
        musicSeconds = audioDuration(video.music, &reason);
        if (!musicSeconds) {
            project.failure = reason;
            return std::nullopt;
        }
    }
    if (video.shuffle && !video.shuffleSeed)
        video.shuffleSeed = QRandomGenerator::system()->generate64();
    Timeline timeline = slideshowTimeline(document, homeFolder(), gWindow->frameRate(), video, musicSeconds);
    project.frames = timeline.timing.total;
    project.notes = timeline.notes;
    for (const QString &note : std::as_const(project.notes))
        systemLog(note);
    return timeline;
}

MltProject rvController::createMLTProject(Editor reader)
{
    MltProject project;
    if (const std::optional<Timeline> timeline = createTimeline(project))
        project.xml = shotcutProjectXml(*timeline, reader);
    return project;
}

MltProject rvController::createKdenliveProject()
{
    MltProject project;
    const std::optional<Timeline> timeline = createTimeline(project);
    if (!timeline)
        return project;
    const QString lumas = kdenliveLumaFolder();
    if (lumas.isNull() && timeline->style != Timeline::Transition::Dissolve && timeline->hasTransitions())
        systemLog(QStringLiteral("Kdenlive's luma maps are not installed: the project's wipes use MLT's built-in "
                                 "maps, which Kdenlive does not list"));
    project.xml = kdenliveProjectXml(*timeline, lumas);
    return project;
}

bool rvController::writeProjectTo(const QString &path, const MltProject &project)
{
    if (project.failure.isNull() && writeFileAtomically(path, project.xml))
        return true;

    toolkit::beep();
    systemLog(QStringLiteral("Could not write document out..."));
    if (!project.failure.isEmpty())
        systemLog(project.failure);
    return false;
}

bool rvController::writeKdenliveTo(const QString &path)
{
    return writeProjectTo(path, gWindow ? createKdenliveProject() : unwritten());
}

// The MLT project through the same atomic write as the JSON document. Its
// text is UTF-8 and any document renders, so only a failed write, music
// that cannot be read (or no window) fails: one beep, the log line (and the
// reason), false, and the file system untouched.
bool rvController::writeMLTTo(const QString &path)
{
    return writeProjectTo(path, gWindow ? createMLTProject() : unwritten());
}

bool rvController::writeVideoTo(const QString &path, OutputFormat format)
{
    QString reason = QStringLiteral("no window to export");
    if (gWindow) {
        if (!m_render)
            m_render = std::make_unique<VideoRender>();
        const MltProject project = createMLTProject(Editor::Melt);
        if (!project.failure.isNull())
            reason = project.failure;
        else if (m_render->start(project.xml, project.frames, path, format, videoSettings, &reason)) {
            VideoRender *render = m_render.get();
            QObject::connect(render, &VideoRender::finished, render, [render](bool written) {
                QObject::disconnect(render, &VideoRender::finished, render, nullptr);
                if (written || render->wasCancelled())
                    return;
                toolkit::beep();
                systemLog(QStringLiteral("Could not write document out..."));
                systemLog(render->failure());
                toolkit::beep();
            });
            if (videoRenderStarted)
                videoRenderStarted(*render);
            return true;
        }
    }
    toolkit::beep();
    systemLog(QStringLiteral("Could not write document out..."));
    systemLog(reason);
    return false;
}

std::vector<OutputFormat> rvController::savableFormats()
{
    const bool melt = !VideoRender::meltProgram().isEmpty();
    std::vector<OutputFormat> formats;
    for (const OutputFormat format : outputFormats()) {
        if (melt || !isVideo(format))
            formats.push_back(format);
    }
    return formats;
}

bool rvController::writeTo(const QString &path, OutputFormat format)
{
    switch (format) {
    case OutputFormat::JSON:
        return writeJSONTo(path);
    case OutputFormat::MLT:
        return writeMLTTo(path);
    case OutputFormat::Kdenlive:
        return writeKdenliveTo(path);
    case OutputFormat::MP4:
    case OutputFormat::WebM:
        return writeVideoTo(path, format);
    }
    return false;
}

// The save command: a save panel on the Desktop proposing the title as file
// name and requiring the type "json", listing every output format that can be
// written, then the write in the chosen format. A cancel (or no panel to
// show) does nothing at all; a failed write sounds a second beep after the one
// the write sounded. Without a window there is nothing to save.
void rvController::saveSlideshow()
{
    if (!gWindow)
        return;

    const QString directory =
        appendingPathComponent(homeFolder(), QStringLiteral("Desktop"));
    const std::unique_ptr<toolkit::SavePanel> panel = toolkit::savePanel();
    if (!panel)
        return;
    panel->setRequiredFileType(fileTypeOf(OutputFormat::JSON));
    std::vector<toolkit::FileType> types;
    for (const OutputFormat format : savableFormats())
        types.push_back({fileTypeOf(format), filterTextOf(format)});
    panel->setFileTypes(types);
    if (panel->runModalForDirectory(directory, gWindow->getSlideShowTitle())
        != toolkit::SavePanel::kOK)
        return;

    const OutputFormat format = outputFormatOfType(panel->chosenFileType()).value_or(OutputFormat::JSON);
    if (!writeTo(panel->filename(), format))
        toolkit::beep();
}
