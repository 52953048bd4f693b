#pragma once

#include "AlbumOverview.h"
#include "OutputFormat.h"
#include "HeadlessControls.h"
#include "rvController.h"
#include "rvWindow.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace cli {

// The window layout's popup items and field defaults: the command line offers
// exactly what the window offers.
struct Layout {
    static QStringList frameRateTitles() { return {"29.97", "30", "25 (PAL)", "24 (Film)", "60"}; }
    static QStringList transitionTitles() { return {"Cross Dissolve", "Edge Wipe", "Iris Round", "(random)"}; }
    static QString clipDuration() { return QStringLiteral("5"); }
    static QString transitionDuration() { return QStringLiteral("1"); }
    static QString width() { return QStringLiteral("720"); }
    static QString height() { return QStringLiteral("480"); }
};

// What an export sets in the window, as a person would: a title picked in each
// popup and the text typed into each field.
struct ExportSettings {
    QString frameRate = Layout::frameRateTitles().first();
    QString transition = Layout::transitionTitles().first();
    QString clipDuration = Layout::clipDuration();
    QString transitionDuration = Layout::transitionDuration();
    QString width = Layout::width();
    QString height = Layout::height();
    std::optional<QString> title; // none: the album's name, which choosing the album puts there
};

// The window's road without a display: the window's controls in memory,
// holding the layout's items and defaults, the one rvWindow and an
// rvController wired to it as the layout wires them. The same album data, the
// same settings accessors and the same document builder as the window, so the
// bytes are those the window writes.
//
// While the road lives, the system log goes to it; it reaches standard error
// only when echoLog is true.
class WindowRoad {
public:
    explicit WindowRoad(bool echoLog);
    ~WindowRoad();
    WindowRoad(const WindowRoad &) = delete;
    WindowRoad &operator=(const WindowRoad &) = delete;

    // Loads the library's album file as the window's start-up does (an empty
    // location: the default library). False, with a one-line reason, when
    // there is no album file or it cannot be read.
    bool load(const QString &libraryLocation, QString *reason);
    QString albumFilePath() const { return m_window.albumFilePath(); }

    // The album popup's titles: the album names in the album file's order.
    QStringList albumNames() const { return m_albums.itemTitles(); }
    // What a save of the album would hold, counted as the window's album
    // overview counts it; chooses the album as chooseAlbum does.
    AlbumOverview overviewOf(int32_t albumIndex);

    // Picks the album in the album popup (its name becomes the title), then
    // sets the popups and fields from the settings.
    void chooseAlbum(int32_t albumIndex, const ExportSettings &settings);
    QString title() const { return m_title.stringValue(); }

    // One freshly built document for the chosen album, rendered in the format
    // (a random transition draws once). Nothing, with a one-line reason, when
    // the text cannot be written: the reason names the field or photo that
    // holds text outside ASCII. The whole text is logged only with logText.
    // A video format gives the MLT project melt renders the video from.
    std::optional<QByteArray> render(OutputFormat format, bool logText, QString *reason);
    // The frames of the last project's timeline (its video's length).
    int64_t frames() const { return m_frames; }
    // What the last project's video settings changed (the shuffle's seed,
    // music too short to fit), for a person to read.
    QStringList notes() const { return m_notes; }
    // How the projects and videos look and sound.
    void setVideoSettings(const VideoSettings &settings) { m_controller.videoSettings = settings; }

private:
    toolkit::headless::TextField m_title, m_clipDuration, m_transitionDuration, m_height, m_width;
    toolkit::headless::PopUpButton m_transitions, m_frameRates;
    toolkit::headless::Button m_newProject{1};
    toolkit::headless::PopUpButton m_albums;
    rvWindow m_window;
    rvController m_controller;
    QStringList m_log; // the lines logged so far
    QStringList m_notes;
    int64_t m_frames = 0;
};

} // namespace cli
