#include "VideoRender.h"

#include "VideoFile.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <cerrno>

#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const QString kWorkspacePrefix = QStringLiteral(".slideshow-render-");

// melt 7.12 now and then ends at once, successfully and without a word,
// having rendered nothing (its transport loop can see the consumer stopped
// before it started): such a run is started again, this many times at most.
constexpr int kAttempts = 3;
// How often a melt that has not yet shown a frame is looked at.
constexpr int kStartWatchMs = 4000;

// Lines of melt's standard error kept for a failure's reason.
constexpr qsizetype kLinesKept = 3;

// Takes the lock that marks a workspace in use, on the open folder itself;
// the descriptor, or -1 when another render holds it (or it is gone).
int lockWorkspace(const QString &path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return -1;
    struct stat status {};
    // A folder removed between its opening and the lock has no links left.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || ::fstat(fd, &status) != 0 || status.st_nlink == 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// Removes the workspaces that no running render holds: those of renders
// whose process was killed.
void removeAbandonedWorkspaces(const QString &folder)
{
    const QDir dir(folder);
    for (const QString &name : dir.entryList({kWorkspacePrefix + QLatin1Char('*')}, QDir::Dirs | QDir::Hidden)) {
        const QString path = dir.filePath(name);
        if (const int fd = lockWorkspace(path); fd >= 0) {
            QDir(path).removeRecursively();
            ::close(fd);
        }
    }
}

// Lines melt writes that say nothing about a failure.
bool isNoise(const QString &line)
{
    return line.isEmpty() || line.startsWith(QLatin1String("Current Frame:"))
        || line.contains(QLatin1String("LADSPA")) || line.startsWith(QLatin1String("QStandardPaths:"));
}

} // namespace

QString VideoRender::meltProgram()
{
    return QStandardPaths::findExecutable(QStringLiteral("melt"));
}

QString VideoRender::meltMissingReason()
{
    return QStringLiteral("videos are rendered by melt, which is not installed (sudo apt install melt)");
}

QStringList VideoRender::consumerArguments(const QString &file, OutputFormat format, VideoQuality quality, bool sound)
{
    const int step = int(quality);
    QStringList arguments{QStringLiteral("-consumer"), QStringLiteral("avformat:") + file, QStringLiteral("pix_fmt=yuv420p"),
                          // Frames made on several threads, none ever dropped.
                          QStringLiteral("real_time=-%1").arg(std::max(1, QThread::idealThreadCount()))};
    if (format == OutputFormat::WebM) {
        // VP9 at a constant quality (no bitrate), rows encoded in parallel.
        const char *const deadline[] = {"deadline=realtime", "deadline=good", "deadline=good"};
        const char *const speed[] = {"cpu-used=8", "cpu-used=4", "cpu-used=2"};
        const char *const crf[] = {"crf=36", "crf=32", "crf=28"};
        arguments << QStringLiteral("f=webm") << QStringLiteral("vcodec=libvpx-vp9") << QStringLiteral("vb=0")
                  << QStringLiteral("row-mt=1") << QLatin1String(deadline[step]) << QLatin1String(speed[step])
                  << QLatin1String(crf[step]);
    } else {
        // H.264, its index at the front so that it plays while it downloads.
        const char *const preset[] = {"preset=veryfast", "preset=fast", "preset=slow"};
        const char *const crf[] = {"crf=23", "crf=21", "crf=18"};
        arguments << QStringLiteral("f=mp4") << QStringLiteral("vcodec=libx264") << QStringLiteral("movflags=+faststart")
                  << QLatin1String(preset[step]) << QLatin1String(crf[step]);
    }
    // No sound stream without music: AAC in MP4, Opus in WebM with it.
    if (!sound)
        arguments << QStringLiteral("an=1");
    else if (format == OutputFormat::WebM)
        arguments << QStringLiteral("acodec=libopus") << QStringLiteral("ab=160k") << QStringLiteral("ar=48000");
    else
        arguments << QStringLiteral("acodec=aac") << QStringLiteral("ab=192k") << QStringLiteral("ar=48000");
    return arguments;
}

QProcessEnvironment VideoRender::meltEnvironment()
{
    // Always Qt's off-screen platform, for the same frames with a display and
    // without; the Qt module only asks that DISPLAY be set.
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("DISPLAY"), QStringLiteral(":offscreen"));
    environment.remove(QStringLiteral("WAYLAND_DISPLAY"));
    return environment;
}

void VideoRender::prepareMelt(QProcess &process, std::function<void()> inChild)
{
    process.setProcessEnvironment(meltEnvironment());
    process.setStandardOutputFile(QProcess::nullDevice());
    // melt dies with this process, and in a process group of its own it is
    // not reached by a terminal's interrupt meant for this one (which stops
    // it and cleans up itself).
    const pid_t us = ::getpid();
    process.setChildProcessModifier([us, inChild = std::move(inChild)] {
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != us)
            ::_exit(127);
        ::setpgid(0, 0);
        if (inChild)
            inChild();
    });
}

qint64 VideoRender::cpuTicks(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (pid <= 0 || !stat.open(QIODevice::ReadOnly))
        return -1;
    // After the command's name (in parentheses): utime and stime are the
    // 12th and 13th fields.
    const QByteArray text = stat.readAll();
    const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
    return fields.size() > 12 ? fields[11].toLongLong() + fields[12].toLongLong() : -1;
}

MeltStartWatch::MeltStartWatch(int intervalMs, QObject *parent) : QObject(parent)
{
    m_timer.setInterval(intervalMs);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        const qint64 ticks = VideoRender::cpuTicks(m_melt->processId());
        if (ticks >= 0 && ticks == m_ticks && (!m_mayStall || m_mayStall())) {
            m_timer.stop();
            m_stalled = true;
            m_melt->kill();
        }
        m_ticks = ticks;
    });
}

void MeltStartWatch::start(QProcess *melt, std::function<bool()> mayStall)
{
    m_melt = melt;
    m_mayStall = std::move(mayStall);
    m_stalled = false;
    m_ticks = VideoRender::cpuTicks(melt->processId());
    m_timer.start();
}

VideoRender::VideoRender(QObject *parent) : QObject(parent), m_startWatch(kStartWatchMs)
{
    prepareMelt(m_process);
    connect(&m_process, &QProcess::readyReadStandardError, this, &VideoRender::readProgress);
    connect(&m_process, &QProcess::finished, this, &VideoRender::meltFinished);
    connect(&m_process, &QProcess::errorOccurred, this, [this](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            finish(QStringLiteral("melt could not be started: %1").arg(m_process.errorString()));
    });
}

VideoRender::~VideoRender()
{
    if (!m_running)
        return;
    m_process.disconnect(this);
    m_process.kill();
    m_process.waitForFinished(5000);
    m_workspace.reset();
    ::close(m_lock);
}

bool VideoRender::start(const QByteArray &project, int64_t frames, const QString &target, OutputFormat format,
                        const VideoSettings &settings, QString *reason)
{
    if (m_running) {
        *reason = QStringLiteral("a video is being rendered already");
        return false;
    }
    const QString melt = meltProgram();
    if (melt.isEmpty()) {
        *reason = meltMissingReason();
        return false;
    }
    if (frames <= 0) {
        *reason = QStringLiteral("the album has no photo to show");
        return false;
    }
    if (QFileInfo(target).isDir()) {
        *reason = QStringLiteral("%1 could not be written: it is a folder").arg(target);
        return false;
    }
    const QString folder = QFileInfo(target).absolutePath();
    removeAbandonedWorkspaces(folder);

    // A workspace of this render's own, locked before anything is written
    // into it (another render's clean-up may have taken it the moment before).
    for (int tries = 0; tries < 8 && m_lock < 0; ++tries) {
        m_workspace = std::make_unique<QTemporaryDir>(folder + QLatin1Char('/') + kWorkspacePrefix + "XXXXXX");
        if (!m_workspace->isValid()) {
            *reason = QStringLiteral("%1 could not be written: %2").arg(folder, m_workspace->errorString());
            m_workspace.reset();
            return false;
        }
        m_lock = lockWorkspace(m_workspace->path());
    }
    const QString projectPath = m_workspace->filePath(QStringLiteral("project.mlt"));
    QFile projectFile(projectPath);
    if (m_lock < 0 || !projectFile.open(QIODevice::WriteOnly) || projectFile.write(project) != project.size()
        || !projectFile.flush()) {
        *reason = QStringLiteral("%1 could not be written: %2").arg(folder, projectFile.errorString());
        m_workspace.reset();
        ::close(m_lock);
        m_lock = -1;
        return false;
    }
    projectFile.close();

    m_target = target;
    m_frames = frames;
    m_video = m_workspace->filePath(QStringLiteral("video.") + fileTypeOf(format));
    m_arguments = QStringList{QStringLiteral("xml:") + projectPath, QStringLiteral("-progress")}
        + consumerArguments(m_video, format, settings.quality, !settings.music.isEmpty());
    m_process.setProgram(melt);
    m_attempts = 0;
    m_cancelled = false;
    m_failure = QString();
    m_running = true;
    startMelt();
    return true;
}

void VideoRender::startMelt()
{
    ++m_attempts;
    m_errorText.clear();
    m_said.clear();
    m_process.setArguments(m_arguments);
    m_process.start();
    m_startWatch.start(&m_process);
}

void VideoRender::cancel()
{
    if (!m_running || m_cancelled)
        return;
    m_cancelled = true;
    m_process.kill(); // meltFinished follows
}

bool VideoRender::waitForFinished()
{
    if (m_running) {
        QEventLoop loop;
        connect(this, &VideoRender::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    return m_failure.isNull() && !m_cancelled;
}

void VideoRender::readProgress()
{
    m_errorText += m_process.readAllStandardError();
    // melt ends its progress lines with a carriage return, its other lines
    // with a line feed.
    qsizetype end;
    while ((end = m_errorText.indexOf('\r')) >= 0 || (end = m_errorText.indexOf('\n')) >= 0) {
        const QString line = QString::fromLocal8Bit(m_errorText.left(end)).trimmed();
        m_errorText.remove(0, end + 1);
        if (line.startsWith(QLatin1String("Current Frame:"))) {
            bool ok = false;
            const qint64 frame = line.section(QLatin1Char(':'), 1).section(QLatin1Char(','), 0, 0).trimmed().toLongLong(&ok);
            if (ok) {
                m_startWatch.stop();
                emit progress(std::min<qint64>(frame, m_frames - 1), m_frames);
            }
        } else if (!isNoise(line)) {
            m_said << line;
            if (m_said.size() > kLinesKept)
                m_said.removeFirst();
        }
    }
}

void VideoRender::meltFinished(int exitCode, QProcess::ExitStatus status)
{
    readProgress();
    if (m_cancelled)
        return finish(QStringLiteral("cancelled"));
    m_startWatch.stop();
    if (m_startWatch.stalled()) { // killed idle before its first frame: started again
        return m_attempts < kAttempts ? startMelt() : finish(QStringLiteral("melt did not start rendering"));
    }
    const QString said = m_said.join(QStringLiteral("; "));
    if (status != QProcess::NormalExit || exitCode != 0) {
        const QString how = status == QProcess::NormalExit ? QStringLiteral("melt failed (exit status %1)").arg(exitCode)
                                                           : QStringLiteral("melt stopped unexpectedly");
        return finish(said.isEmpty() ? how : how + QStringLiteral(": ") + said);
    }
    // melt's exit status is not enough: count the frames in the file.
    QString unreadable;
    const std::optional<int64_t> written = videoFrameCount(m_video, &unreadable);
    if (written.value_or(0) == 0 && m_attempts < kAttempts)
        return startMelt();
    if (written != m_frames) {
        QString failure = written ? QStringLiteral("melt rendered %1 of %2 frames").arg(*written).arg(m_frames)
                                  : QStringLiteral("melt wrote no video: ") + unreadable;
        return finish(said.isEmpty() ? failure : failure + QStringLiteral(" (") + said + QLatin1Char(')'));
    }
    // The new file takes the replaced one's permissions.
    const QByteArray video = QFile::encodeName(m_video), target = QFile::encodeName(m_target);
    if (struct stat existing {}; ::stat(target.constData(), &existing) == 0)
        ::chmod(video.constData(), existing.st_mode & 07777);
    if (::rename(video.constData(), target.constData()) != 0)
        return finish(QStringLiteral("%1 could not be written: %2").arg(m_target, qt_error_string(errno)));
    finish(QString());
}

void VideoRender::finish(const QString &failure)
{
    if (!m_running)
        return;
    m_running = false;
    m_startWatch.stop();
    m_failure = failure;
    m_workspace.reset(); // the project and whatever melt left go with it
    ::close(m_lock);
    m_lock = -1;
    emit finished(failure.isNull());
}
