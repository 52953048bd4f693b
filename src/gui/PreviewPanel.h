#pragma once

#include "PreviewPictures.h"
#include "PreviewStream.h"
#include "Timeline.h"

#include <QElapsedTimer>
#include <QImage>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>

class QAudioSink;
class QIODevice;
class QLabel;
class QSlider;
class QToolButton;

namespace gui {

// The Preview tab: the slideshow played as melt renders it (PreviewStream),
// at a reduced size (from small copies of the photos, PreviewPictures) and at
// its frame rate, with play and pause (Space), a position slider with the
// time and the total, and a frame back or forward (Ctrl+Left, Ctrl+Right).
// The project is built afresh, as a save builds it, when the panel is shown
// and after each change of the settings (restarting at the same time);
// nothing is rendered while the panel is hidden. melt stops after a few
// seconds of pause, when the panel hides and while a video renders.
class PreviewPanel : public QWidget {
    Q_OBJECT
public:
    // Builds the slideshow's timeline afresh, as a save builds it; or says
    // why there is none.
    using TimelineSource = std::function<std::optional<Timeline>(QString *failure)>;

    explicit PreviewPanel(TimelineSource source, QWidget *parent = nullptr);
    ~PreviewPanel() override;

    void play();
    void pause();
    void togglePlay();
    bool isPlaying() const { return m_playing; }
    // Shows the frame (clamped to the timeline), playing on from it when
    // playing.
    void seek(int64_t frame);
    // A frame back or forward, pausing.
    void step(int frames);
    int64_t position() const { return m_position; }
    int64_t length() const { return m_timeline ? m_timeline->timing.total : 0; }
    double rate() const { return m_rate; }
    // The frame on screen, at the preview's size; null before the first.
    QImage shownFrame() const { return m_image; }
    // The settings changed: the project is built again shortly (at once when
    // now is true) and the preview restarts at the same time.
    void settingsChanged(bool now = false);
    // While held back (a video renders and wants the cores), melt does not
    // run: the preview pauses, and starts again once let go.
    void holdBack(bool held);
    bool heldBack() const { return m_heldBack; }
    PreviewStream &stream() { return m_stream; }
    // The frames' largest width (640 pixels unless set), from the next start.
    void setLargestFrameWidth(int width) { m_largestWidth = width; }

    // Frames that came due while playing, and those of them shown late (more
    // than a frame's time after their moment) or not at all.
    struct Counts {
        int64_t due = 0, late = 0;
    };
    Counts counts() const { return m_counts; }
    void resetCounts() { m_counts = {}; }

signals:
    // A frame was put on screen (after a seek, a step, a restart, or playing).
    void frameShown(qint64 frame);

protected:
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

private:
    void rebuild();
    // melt from the frame on, on the part of the timeline that follows it;
    // continuing: after the part before, its frames read ahead kept.
    void startStream(int64_t from, bool continuing = false);
    void framesArrived();
    void tick();
    void show(PreviewStream::Frame frame);
    void updateControls();
    void streamEnded(const QString &failure);
    void showMessage(const QString &text);
    // The music, where there is an audio output: started with playing,
    // fed from the stream's sound as it plays, stopped otherwise.
    void startSound();
    void stopSound();
    void feedSound();

    TimelineSource m_source;
    std::optional<Timeline> m_timeline; // its photos shown as their small copies
    double m_rate = 25;                 // frames a second
    int64_t m_partEnd = 0;              // the frame after the part melt plays
    bool m_stale = true; // the settings changed since the project was built
    bool m_heldBack = false;
    PreviewPictures m_pictures;
    PreviewStream m_stream;
    QImage m_image;
    int64_t m_position = 0;
    double m_moment = 0; // the position in seconds, kept across rebuilds
    bool m_playing = false;
    bool m_waiting = false;    // for the stream's first frame after a (re)start
    int64_t m_pendingSeek = -1; // a seek asked for while waiting
    QElapsedTimer m_clock;     // playing: since m_clockFrame was due
    int64_t m_clockFrame = 0;
    Counts m_counts;
    QTimer m_ticker;
    bool m_withSound = false;          // melt gives the music's sound
    std::unique_ptr<QAudioSink> m_sink; // while it plays
    QIODevice *m_sinkInput = nullptr;
    QByteArray m_sound;                 // read, not yet played
    int64_t m_soundStart = 0;           // the sample m_sound begins with
    QTimer m_idleStop;   // melt stops after a pause this long
    QTimer m_rebuildLater;

    QWidget *m_view = nullptr;
    QToolButton *m_playButton = nullptr;
    QSlider *m_slider = nullptr;
    QLabel *m_timeLabel = nullptr;
    QString m_message; // shown instead of a picture
    int m_largestWidth = 640;
};

} // namespace gui
