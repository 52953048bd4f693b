#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QString>

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class VideoRender;

namespace gui {

// A video render in the status bar: while it runs, a progress bar with the
// percentage and the time left, and a Cancel button; when it ends, "Saved
// NAME (duration, size)" with a button that opens the folder, or why it
// failed.
class RenderStatus : public QObject {
    Q_OBJECT
public:
    explicit RenderStatus(QStatusBar *statusBar);

    // Shows the render from now until it ends; framesPerSecond gives the
    // video's duration.
    void follow(VideoRender &render, double framesPerSecond);
    bool rendering() const;
    // What the status bar says of the last render (for the tests).
    QString text() const;

signals:
    // A render began or ended.
    void renderingChanged(bool rendering);

private:
    void showProgress(qint64 frame, qint64 frames);
    void showOutcome(bool written);

    QLabel *m_label;
    QProgressBar *m_progress;
    QPushButton *m_cancel;
    QPushButton *m_openFolder;
    QPointer<VideoRender> m_render;
    QElapsedTimer m_clock;
    double m_framesPerSecond = 25;
};

} // namespace gui
