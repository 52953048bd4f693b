#pragma once

#include "VideoRender.h"

#include <QByteArray>
#include <QImage>
#include <QObject>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <deque>
#include <memory>
#include <optional>

class QSocketNotifier;
class QTemporaryDir;

// A slideshow's MLT project played by melt (a child process, started as a
// video render starts it) from a given frame, at a reduced size, as raw RGB
// frames read from its standard output. Only a few frames are read ahead:
// while they wait to be taken, melt waits on the full pipe, so it renders
// no faster than the frames are shown and holds no memory for the rest.
// melt dies with this object and with this process.
class PreviewStream : public QObject {
    Q_OBJECT
public:
    struct Frame {
        int64_t index = 0; // in the project's timeline
        QImage image;      // RGB888
    };

    explicit PreviewStream(QObject *parent = nullptr);
    ~PreviewStream() override;
    PreviewStream(const PreviewStream &) = delete;
    PreviewStream &operator=(const PreviewStream &) = delete;

    // The frame size for a project of the given size shown in a view of the
    // given size: the project's shape, at most the view's size and the
    // largest width, the width a multiple of 4 and the height even.
    static QSize frameSize(QSize project, QSize view, int largestWidth = 640);

    // Starts melt on the project (whose timeline holds the frames given) at
    // its frame `from`, stopping a run in progress; the frames read are
    // numbered from offset + from on (the project a part of a longer one).
    // With keepFrames the frames read ahead by the run before stay, to be
    // taken first. False, with a one-line reason, when it cannot start (no
    // melt, no frame, a project that cannot be written).
    // With sound, melt also gives the project's sound from the same frame,
    // 48 kHz stereo 16-bit PCM (sound()).
    bool start(const QByteArray &project, int64_t frames, QSize size, int64_t from, QString *reason,
               int64_t offset = 0, bool keepFrames = false, bool sound = false);
    // Stops melt and drops the frames read ahead.
    void stop();
    bool isRunning() const { return m_pipe >= 0; }
    // melt's process id while it runs, else 0.
    qint64 processId() const;

    // The frames read ahead and not yet taken, oldest first.
    const std::deque<Frame> &frames() const { return m_frames; }
    Frame takeFrame();
    // The sound read and not yet taken, from the first frame of the start
    // (or of the start before, when its frames were kept) on.
    QByteArray takeSound();
    static constexpr int kSoundRate = 48000;
    static constexpr int kSoundBytesPerSecond = kSoundRate * 2 * 2;
    // How many frames are read ahead at most.
    static constexpr size_t kReadAhead = 24;

signals:
    // A frame was read (frames() is no longer empty).
    void frameReady();
    // melt ended: after the last frame, or failing (with its words), or
    // showing nothing it was asked for.
    void ended(const QString &failure);

private:
    // Starts melt with the arguments of the run.
    bool launch(QString *reason);
    void readFrames();
    void readSound();
    void closeSound();
    void meltFinished();
    void runEnded();

    std::unique_ptr<QProcess> m_process;
    MeltStartWatch m_startWatch; // until the run's first frame
    std::unique_ptr<QTemporaryDir> m_workspace;
    std::unique_ptr<QSocketNotifier> m_notifier;
    int m_pipe = -1; // the read end of melt's standard output
    int m_soundPipe = -1; // and of its sound, when asked for
    std::unique_ptr<QSocketNotifier> m_soundNotifier;
    QByteArray m_sound;
    bool m_withSound = false;
    QSize m_size;
    int64_t m_first = 0; // the index of the run's first frame
    int64_t m_next = 0;  // the index of the frame being read
    QStringList m_arguments; // melt's, for the run
    int m_attempts = 0;    QImage m_reading;   // the frame being read
    qsizetype m_filled = 0;
    bool m_outputEnded = false, m_meltEnded = false;
    QString m_failure;
    std::deque<Frame> m_frames;
};
