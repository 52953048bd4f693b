#pragma once

#include "MltWriter.h"
#include "OutputFormat.h"
#include "Timeline.h"
#include "Value.h"
#include "VideoSettings.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <memory>
#include <optional>

class VideoRender;

class rvWindow;

// One freshly built slideshow document rendered as JSON, for an output that
// writes it: the document itself (so that a caller can tell what kept the text
// from being written), its text, and that text as 7-bit ASCII bytes.
struct JSONRendering {
    Value document;                  // no value without a window
    QString text;                    // null without a window
    std::optional<QByteArray> bytes; // nothing when a character lies outside ASCII
};

// The save command and the slideshow document builder.
class rvController {
public:
    rvController();
    ~rvController();
    rvController(const rvController &) = delete;
    rvController &operator=(const rvController &) = delete;

    rvWindow *gWindow = nullptr; // set by the layout; not owned

    // The save command: asks for a file in a save panel and writes the
    // slideshow there in the format chosen (JSON unless another type is
    // picked; the video types only when melt is installed). A cancel does
    // nothing at all.
    void saveSlideshow();
    // The formats the save panel offers now.
    static std::vector<OutputFormat> savableFormats();
    // Writes the slideshow to the path in the format: writeJSONTo, writeMLTTo
    // or writeVideoTo.
    bool writeTo(const QString &path, OutputFormat format);
    // Builds the document text and writes it to the path as ASCII, atomically.
    // True when the file was written.
    bool writeJSONTo(const QString &path);
    // The JSON text of a freshly built slideshow document; logs it.
    QString createJSONDocument();
    // Builds and renders a document as createJSONDocument does, then converts
    // the text to ASCII. The "jsonString =  " log line with the whole text is
    // written only when logText is true (the window's save always writes it).
    JSONRendering renderJSONDocument(bool logText);

    // Builds the document and writes it to the path as an MLT XML project,
    // atomically, with the same beep and log line as writeJSONTo on failure.
    // True when the file was written.
    bool writeMLTTo(const QString &path);
    // The MLT XML project of a freshly built slideshow document (UTF-8), at
    // the window's frame rate; not logged. Empty without a window.
    QByteArray createMLTDocument();
    // The same project with the frames its timeline holds, or why there is
    // none. The timeline's notes (the shuffle's seed, music too short to fit)
    // go to the log. For melt alone (Editor::Melt), the one a video is
    // rendered from.
    MltProject createMLTProject(Editor reader = Editor::Shotcut);
    // The slideshow as a Kdenlive project, from the same document and timing
    // (UTF-8), or why there is none; logged as createMLTProject logs, and one
    // line when a wipe or an iris has to use MLT's built-in maps (Kdenlive's
    // own are not installed).
    MltProject createKdenliveProject();
    QByteArray createKdenliveDocument() { return createKdenliveProject().xml; }
    // Writes it as writeMLTTo writes the MLT project.
    bool writeKdenliveTo(const QString &path);

    // Builds the document and its MLT project and starts rendering it into a
    // video at the path (H.264 in MP4, or VP9 in WebM), in the background.
    // False, after a beep and the log line as writeJSONTo, when the render
    // cannot start (no melt, a folder that cannot be written); a render that
    // fails later sounds two beeps, logs the line and then melt's reason. A
    // cancelled render sounds and logs nothing.
    bool writeVideoTo(const QString &path, OutputFormat format);
    // How videos are rendered: the window's Video group or the command line
    // set it.
    VideoSettings videoSettings;
    // The render of the last video saved; null before the first.
    VideoRender *videoRender() const { return m_render.get(); }
    // Told of each render as it starts (the window shows its progress).
    std::function<void(VideoRender &)> videoRenderStarted;
    // The slideshow document itself, freshly built from the window's settings
    // and the selected album (one draw of a random transition): every output
    // renders this one document. No value without a window.
    Value createSlideshowDocument();

    // The timeline of a freshly built document at the window's frame rate
    // with the video settings (a shuffle without a seed gets a new one), the
    // projects' and the preview's; the project's frames and notes (logged)
    // are set, or its failure when the music cannot be read.
    std::optional<Timeline> createTimeline(MltProject &project);

private:
    // Writes a project atomically; false, after the beep and the log lines,
    // when there is none or the write fails.
    bool writeProjectTo(const QString &path, const MltProject &project);

    std::unique_ptr<VideoRender> m_render;
};
