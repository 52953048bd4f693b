#pragma once

#include "OutputFormat.h"
#include "VideoSettings.h"

#include <QByteArray>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>

class QTemporaryDir;

// melt 7.12 now and then never starts its consumer and waits for it forever,
// idle. Started with a melt, this watch looks at its CPU time at each
// interval until stopped (melt's first frame came); a melt that used none
// over a whole interval, while mayStall says it could (a melt that waits on
// a full pipe is idle too), is killed, and stalled() tells so until the
// next start.
class MeltStartWatch : public QObject {
public:
    explicit MeltStartWatch(int intervalMs, QObject *parent = nullptr);
    void start(QProcess *melt, std::function<bool()> mayStall = {});
    void stop() { m_timer.stop(); }
    bool stalled() const { return m_stalled; }

private:
    QTimer m_timer;
    QProcess *m_melt = nullptr;
    std::function<bool()> m_mayStall;
    qint64 m_ticks = -1; // melt's CPU time at the last look
    bool m_stalled = false;
};

// One video rendered from an MLT project by melt, run as a child process (the
// application never loads MLT itself): H.264 in MP4 or VP9 in WebM, at the
// project's frame size and rate, with the music's sound when it has music.
//
// Nothing partial is ever left: melt writes into a hidden folder of its own in
// the target's folder (".slideshow-render-XXXXXX", holding the project and the
// video), and the video is renamed over the target only once melt has ended
// and the file holds every frame of the project, counted in the file itself.
// A cancel or a failure removes the hidden folder, so the target's folder is
// as it was. melt dies with this process; the folder of a render whose
// process was killed is removed by the next render into that folder.
//
// melt's image producer comes from its Qt module, which refuses to start
// without a display and lets melt fall back silently to another one: melt is
// always started with Qt's off-screen platform, so a render gives the same
// frames with a display and without.
class VideoRender : public QObject {
    Q_OBJECT
public:
    // melt on the search path; empty when it is not installed.
    static QString meltProgram();
    // The one-line hint given when melt is missing.
    static QString meltMissingReason();
    // The environment melt runs in: Qt's off-screen platform, whatever the
    // display.
    static QProcessEnvironment meltEnvironment();
    // Sets a process up as every melt of this application runs: in that
    // environment, dying with this process, in a process group of its own;
    // inChild (async-signal-safe calls only) runs in the child before melt.
    static void prepareMelt(QProcess &process, std::function<void()> inChild = {});
    // The CPU time (in clock ticks) a process has used so far; -1 when
    // unknown.
    static qint64 cpuTicks(qint64 pid);

    explicit VideoRender(QObject *parent = nullptr);
    // A render still running is stopped, leaving nothing behind.
    ~VideoRender() override;
    VideoRender(const VideoRender &) = delete;
    VideoRender &operator=(const VideoRender &) = delete;

    // Starts rendering the project, whose timeline holds the given number of
    // frames, into the target file. False, with a one-line reason, when it
    // cannot start (no melt, a folder that cannot be written, a render of
    // this object still running); finished is then not emitted.
    bool start(const QByteArray &project, int64_t frames, const QString &target, OutputFormat format,
               const VideoSettings &settings, QString *reason);
    // Stops melt; finished(false) follows, the target's folder as it was.
    void cancel();
    bool isRunning() const { return m_running; }
    // Waits, running an event loop, until the render has finished; true when
    // the file was written.
    bool waitForFinished();

    QString target() const { return m_target; }
    int64_t frames() const { return m_frames; }
    bool wasCancelled() const { return m_cancelled; }
    // Why the last render failed, in melt's own words where it gave any; a
    // null string after a success.
    QString failure() const { return m_failure; }

    // melt's arguments after the project for a format and quality: the
    // avformat consumer writing the file with its encoders' settings, with a
    // sound stream or without.
    static QStringList consumerArguments(const QString &file, OutputFormat format, VideoQuality quality, bool sound);

signals:
    // The frame melt is at (0 up to frames - 1) and the frames in all.
    void progress(qint64 frame, qint64 frames);
    void finished(bool written);

private:
    void startMelt();
    void readProgress();
    void meltFinished(int exitCode, QProcess::ExitStatus status);
    void finish(const QString &failure);

    QProcess m_process;
    MeltStartWatch m_startWatch; // until melt's first frame
    std::unique_ptr<QTemporaryDir> m_workspace;
    int m_lock = -1; // holds the workspace while the render runs
    QString m_target, m_video;
    QStringList m_arguments;
    int64_t m_frames = 0;
    int m_attempts = 0;
    bool m_running = false;
    bool m_cancelled = false;
    QString m_failure;
    QByteArray m_errorText; // melt's standard error not yet read line by line
    QStringList m_said;     // melt's last lines other than its progress
};
