#include "WindowRoad.h"

#include "Files.h"
#include "SystemLog.h"

namespace cli {

namespace {

bool isASCII(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() > 127)
            return false;
    }
    return true;
}

// Which text of the document keeps it from being written as ASCII: the title,
// or the name or path of a slide's photo (named by its path, or by its name
// when the path is the culprit).
QString nonASCIIReason(const Value &document)
{
    const Value sequence = document.value(QStringLiteral("sequence"));
    const QString title = sequence.value(QStringLiteral("projectName")).toString();
    if (!isASCII(title))
        return QStringLiteral("the title \"%1\" holds text outside ASCII").arg(title);
    const QString transition = sequence.value(QStringLiteral("showStyle")).toString();
    if (!isASCII(transition))
        return QStringLiteral("the transition \"%1\" holds text outside ASCII").arg(transition);

    const Value slides = document.value(QStringLiteral("slides"));
    for (qsizetype i = 0; i < slides.count(); ++i) {
        const QString name = slides.at(i).value(QStringLiteral("name")).toString();
        const QString path = slides.at(i).value(QStringLiteral("path")).toString();
        if (!isASCII(path))
            return QStringLiteral("the path of the photo \"%1\" holds text outside ASCII: %2").arg(name, path);
        if (!isASCII(name))
            return QStringLiteral("the name of the photo %1 holds text outside ASCII: \"%2\"").arg(path, name);
    }
    return QStringLiteral("the document holds text outside ASCII");
}

} // namespace

WindowRoad::WindowRoad(bool echoLog)
    : m_title(QString()), m_clipDuration(Layout::clipDuration()),
      m_transitionDuration(Layout::transitionDuration()), m_height(Layout::height()), m_width(Layout::width()),
      m_transitions(Layout::transitionTitles()), m_frameRates(Layout::frameRateTitles())
{
    setLogSink([this](const QString &line) { m_log.append(line); }, echoLog);

    m_window.gSlideshowTitleField = &m_title;
    m_window.gClipDurationField = &m_clipDuration;
    m_window.gTransitionDurationField = &m_transitionDuration;
    m_window.gCompHeight = &m_height;
    m_window.gCompWidth = &m_width;
    m_window.gTransitionSelectionField = &m_transitions;
    m_window.gFramerateSelectionField = &m_frameRates;
    m_window.gCreateNewProjectButton = &m_newProject;
    m_window.gAlbumPopup = &m_albums;
    m_albums.setAction([this] { m_window.setSelectedAlbum(); });
    m_controller.gWindow = &m_window;
}

WindowRoad::~WindowRoad()
{
    setLogSink(nullptr);
}

bool WindowRoad::load(const QString &libraryLocation, QString *reason)
{
    m_window.setLibraryLocation(libraryLocation);
    const qsizetype logged = m_log.size();
    m_window.awakeFromNib();
    if (!m_window.gPlist.isNone())
        return true;

    // The window reports a file it cannot read in the log only, with the
    // parser's one-line description; a missing file it passes over in silence.
    const QString path = m_window.albumFilePath();
    if (!fileExistsAtPath(path))
        *reason = QStringLiteral("no album file at %1").arg(path);
    else if (m_log.size() > logged)
        *reason = m_log.last().contains(path) ? m_log.last() : path + QStringLiteral(": ") + m_log.last();
    else
        *reason = QStringLiteral("%1 could not be read").arg(path);
    return false;
}

AlbumOverview WindowRoad::overviewOf(int32_t albumIndex)
{
    m_albums.chooseItemAtIndex(albumIndex);
    return albumOverview(m_window);
}

void WindowRoad::chooseAlbum(int32_t albumIndex, const ExportSettings &settings)
{
    m_albums.chooseItemAtIndex(albumIndex);
    if (settings.title)
        m_title.setStringValue(*settings.title);
    m_clipDuration.setStringValue(settings.clipDuration);
    m_transitionDuration.setStringValue(settings.transitionDuration);
    m_width.setStringValue(settings.width);
    m_height.setStringValue(settings.height);
    m_frameRates.selectItemAtIndex(m_frameRates.indexOfItemWithTitle(settings.frameRate));
    m_transitions.selectItemAtIndex(m_transitions.indexOfItemWithTitle(settings.transition));
}

std::optional<QByteArray> WindowRoad::render(OutputFormat format, bool logText, QString *reason)
{
    switch (format) {
    case OutputFormat::JSON: {
        JSONRendering rendering = m_controller.renderJSONDocument(logText);
        if (!rendering.bytes)
            *reason = nonASCIIReason(rendering.document);
        return std::move(rendering.bytes);
    }
    case OutputFormat::Kdenlive:
    case OutputFormat::MLT:
    case OutputFormat::MP4:
    case OutputFormat::WebM: {
        // UTF-8: paths are written as they are; the ASCII rule is the JSON
        // file's alone. A video is rendered from the MLT project.
        MltProject project = format == OutputFormat::Kdenlive ? m_controller.createKdenliveProject()
                             : format == OutputFormat::MLT    ? m_controller.createMLTProject()
                                                              : m_controller.createMLTProject(Editor::Melt);
        m_notes = project.notes;
        m_frames = project.frames;
        if (!project.failure.isNull()) {
            *reason = project.failure;
            return std::nullopt;
        }
        return std::move(project.xml);
    }
    }
    *reason = QStringLiteral("unknown format");
    return std::nullopt;
}

} // namespace cli
