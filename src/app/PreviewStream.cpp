#include "PreviewStream.h"

#include <QFile>
#include <QSocketNotifier>
#include <QTemporaryDir>

#include <algorithm>
#include <utility>
#include <cerrno>

#include <fcntl.h>
#include <unistd.h>

PreviewStream::PreviewStream(QObject *parent) : QObject(parent), m_startWatch(2000) {}

PreviewStream::~PreviewStream()
{
    stop();
}

QSize PreviewStream::frameSize(QSize project, QSize view, int largestWidth)
{
    const double width = std::max(project.width(), 1), height = std::max(project.height(), 1);
    const double scale = std::min({largestWidth / width, std::max(view.width(), 16) / width, std::max(view.height(), 16) / height});
    const int w = std::max(4, int(width * scale) / 4 * 4), h = std::max(2, int(height * scale) / 2 * 2);
    return {w, h};
}

qint64 PreviewStream::processId() const
{
    return m_process ? m_process->processId() : 0;
}

bool PreviewStream::start(const QByteArray &project, int64_t frames, QSize size, int64_t from, QString *reason,
                          int64_t offset, bool keepFrames, bool sound)
{
    std::deque<Frame> kept;
    QByteArray keptSound;
    if (keepFrames) {
        kept.swap(m_frames);
        keptSound.swap(m_sound);
    }
    stop();
    m_frames.swap(kept);
    m_sound.swap(keptSound);
    m_withSound = sound;
    const QString melt = VideoRender::meltProgram();
    if (melt.isEmpty()) {
        *reason = VideoRender::meltMissingReason();
        return false;
    }
    if (frames <= 0) {
        *reason = QStringLiteral("the album has no photo to show");
        return false;
    }
    m_workspace = std::make_unique<QTemporaryDir>();
    const QString projectPath = m_workspace->filePath(QStringLiteral("preview.mlt"));
    QFile file(projectPath);
    if (!m_workspace->isValid() || !file.open(QIODevice::WriteOnly) || file.write(project) != project.size()
        || !file.flush()) {
        *reason = QStringLiteral("the preview could not be written: %1").arg(file.errorString());
        m_workspace.reset();
        return false;
    }
    file.close();

    m_size = size;
    from = std::clamp<int64_t>(from, 0, frames - 1);
    m_first = offset + from;
    // Raw RGB frames of the size asked for, one after the other, from the
    // frame asked for to the last; with sound, from one melt (its multi
    // consumer) raw PCM on a second pipe, file descriptor 3.
    const QStringList video{QStringLiteral("f=rawvideo"), QStringLiteral("vcodec=rawvideo"), QStringLiteral("pix_fmt=rgb24"),
                            QStringLiteral("width=%1").arg(size.width()), QStringLiteral("height=%1").arg(size.height()),
                            QStringLiteral("an=1"), QStringLiteral("real_time=-1"), QStringLiteral("terminate_on_pause=1")};
    m_arguments = QStringList{projectPath, QStringLiteral("in=%1").arg(from), QStringLiteral("-quiet"), QStringLiteral("-consumer")};
    if (!sound) {
        m_arguments << QStringLiteral("avformat:pipe:1") << video;
    } else {
        m_arguments << QStringLiteral("multi") << QStringLiteral("0=avformat") << QStringLiteral("0.target=pipe:1");
        for (const QString &setting : video)
            m_arguments << QStringLiteral("0.") + setting;
        for (const char *setting : {"1=avformat", "1.target=pipe:3", "1.f=s16le", "1.acodec=pcm_s16le", "1.vn=1",
                                    "1.ar=48000", "1.ac=2", "1.real_time=-1", "1.terminate_on_pause=1"})
            m_arguments << QLatin1String(setting);
    }
    m_attempts = 0;
    return launch(reason);
}

bool PreviewStream::launch(QString *reason)
{
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        *reason = QStringLiteral("the preview could not start: %1").arg(QString::fromLocal8Bit(::strerror(errno)));
        return false;
    }
    m_pipe = ends[0];
    const int output = ends[1];
    int soundOutput = -1;
    if (m_withSound) {
        int soundEnds[2];
        if (::pipe2(soundEnds, O_CLOEXEC) != 0) {
            *reason = QStringLiteral("the preview could not start: %1").arg(QString::fromLocal8Bit(::strerror(errno)));
            ::close(output);
            return false;
        }
        m_soundPipe = soundEnds[0];
        soundOutput = soundEnds[1];
    }
    m_next = m_first;
    m_outputEnded = m_meltEnded = false;
    ++m_attempts;

    m_process = std::make_unique<QProcess>();
    VideoRender::prepareMelt(*m_process, [output, soundOutput] {
        ::dup2(output, STDOUT_FILENO);
        if (soundOutput >= 0)
            ::dup2(soundOutput, 3);
    });
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    connect(m_process.get(), &QProcess::finished, this, &PreviewStream::meltFinished);
    m_process->start(VideoRender::meltProgram(), m_arguments);
    ::close(output);
    if (soundOutput >= 0)
        ::close(soundOutput);
    if (!m_process->waitForStarted(5000)) {
        *reason = QStringLiteral("melt could not be started: %1").arg(m_process->errorString());
        stop();
        return false;
    }
    ::fcntl(m_pipe, F_SETFL, ::fcntl(m_pipe, F_GETFL) | O_NONBLOCK);
    m_reading = QImage(m_size, QImage::Format_RGB888);
    m_filled = 0;
    m_notifier = std::make_unique<QSocketNotifier>(m_pipe, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &PreviewStream::readFrames);
    if (m_soundPipe >= 0) {
        // Read as it comes: melt renders no further ahead than the frames.
        ::fcntl(m_soundPipe, F_SETFL, ::fcntl(m_soundPipe, F_GETFL) | O_NONBLOCK);
        m_soundNotifier = std::make_unique<QSocketNotifier>(m_soundPipe, QSocketNotifier::Read);
        connect(m_soundNotifier.get(), &QSocketNotifier::activated, this, &PreviewStream::readSound);
    }
    // melt idle before the run's first frame (and not waiting on a full
    // pipe) never started its consumer: it is killed and started again.
    m_startWatch.start(m_process.get(), [this] { return m_next == m_first && m_filled == 0 && m_frames.size() < kReadAhead; });
    return true;
}

void PreviewStream::closeSound()
{
    m_soundNotifier.reset();
    if (m_soundPipe >= 0)
        ::close(m_soundPipe);
    m_soundPipe = -1;
}

QByteArray PreviewStream::takeSound()
{
    return std::exchange(m_sound, QByteArray());
}

void PreviewStream::readSound()
{
    char buffer[65536];
    for (;;) {
        const ssize_t got = ::read(m_soundPipe, buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return;
        if (got <= 0)
            return closeSound();
        m_sound.append(buffer, got);
    }
}

void PreviewStream::stop()
{
    m_startWatch.stop();
    closeSound();
    m_sound.clear();
    m_notifier.reset();
    if (m_pipe >= 0) {
        ::close(m_pipe);
        m_pipe = -1;
    }
    if (m_process) {
        m_process->disconnect(this);
        m_process->kill();
        m_process->waitForFinished(2000);
        m_process.reset();
    }
    m_workspace.reset();
    m_frames.clear();
}

PreviewStream::Frame PreviewStream::takeFrame()
{
    Frame frame = std::move(m_frames.front());
    m_frames.pop_front();
    if (m_notifier && m_frames.size() < kReadAhead)
        m_notifier->setEnabled(true);
    return frame;
}

void PreviewStream::readFrames()
{
    // The image's lines are packed: the width is a multiple of 4.
    const qsizetype frameBytes = qsizetype(m_size.width()) * m_size.height() * 3;
    bool read = false;
    while (m_frames.size() < kReadAhead) {
        const ssize_t got = ::read(m_pipe, m_reading.bits() + m_filled, size_t(frameBytes - m_filled));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (got <= 0) { // melt closed its output
            m_notifier.reset();
            m_outputEnded = true;
            if (m_meltEnded)
                runEnded();
            break;
        }
        m_filled += got;
        if (m_filled == frameBytes) {
            m_frames.push_back({m_next++, m_reading});
            m_reading = QImage(m_size, QImage::Format_RGB888);
            m_filled = 0;
            read = true;
        }
    }
    if (m_notifier)
        m_notifier->setEnabled(m_frames.size() < kReadAhead);
    if (read)
        emit frameReady();
}

void PreviewStream::meltFinished()
{
    // The frames still in the pipe are read on; ended follows the last.
    m_failure.clear();
    m_startWatch.stop();
    if (!m_startWatch.stalled() && (m_process->exitStatus() != QProcess::NormalExit || m_process->exitCode() != 0)) {
        const QList<QByteArray> lines = m_process->readAllStandardError().trimmed().split('\n');
        m_failure = QStringLiteral("melt stopped: %1").arg(QString::fromLocal8Bit(lines.last()));
    }
    m_process.release()->deleteLater();
    m_meltEnded = true;
    if (m_outputEnded)
        runEnded();
}

void PreviewStream::runEnded()
{
    // melt 7.12 now and then ends at once, successfully and without a word,
    // having rendered nothing: such a run is started again.
    ::close(m_pipe);
    m_pipe = -1;
    if (m_soundPipe >= 0)
        readSound();
    closeSound();
    if (m_failure.isEmpty() && m_next == m_first) {
        QString reason = QStringLiteral("melt showed no frame");
        if (m_attempts < 3 && launch(&reason))
            return;
        m_failure = reason;
    }
    emit ended(m_failure);
}
