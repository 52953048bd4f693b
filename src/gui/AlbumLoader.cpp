#include "AlbumLoader.h"

#include <QLabel>
#include <QProgressBar>
#include <QStatusBar>

namespace gui {

namespace {

constexpr int kProgressSteps = 1000;

QString counted(qsizetype n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}

} // namespace

AlbumLoader::AlbumLoader(rvWindow &window, QStatusBar *statusBar)
    : m_window(window), m_progress(new QProgressBar(statusBar)), m_status(new QLabel(statusBar))
{
    m_progress->setRange(0, kProgressSteps);
    m_progress->setMaximumWidth(200);
    m_progress->hide();
    statusBar->addWidget(m_status, 1);
    statusBar->addPermanentWidget(m_progress);
}

AlbumLoader::~AlbumLoader()
{
    if (m_thread.joinable()) {
        m_cancel = true;
        m_thread.join();
    }
}

void AlbumLoader::load()
{
    if (isLoading())
        return;
    const QString path = m_window.beginIPhotoDataLoad();
    if (path.isNull()) { // no album file, or an unchanged one: over already
        showOutcome();
        emit finished();
        return;
    }
    m_progress->setValue(0);
    m_progress->show();
    m_status->setText(QStringLiteral("Loading albums\u2026"));
    m_cancel = false;
    m_readPath = path;
    // The worker touches no window: it reads into m_read, which the GUI thread
    // takes only once it has joined the worker.
    m_thread = std::thread([this, path] {
        m_read = rvWindow::readAlbumFile(
            path,
            [this](qint64 bytesRead, qint64 totalBytes) {
                QMetaObject::invokeMethod(this, [this, bytesRead, totalBytes] { showProgress(bytesRead, totalBytes); },
                                          Qt::QueuedConnection);
            },
            &m_cancel);
        QMetaObject::invokeMethod(this, &AlbumLoader::readDone, Qt::QueuedConnection);
    });
    emit loadingChanged(true);
}

void AlbumLoader::readDone()
{
    m_thread.join();
    m_window.finishIPhotoDataLoad(std::move(m_read));
    m_read = rvWindow::AlbumFileRead();
    m_progress->hide();
    showOutcome();
    emit loadingChanged(false);
    emit finished();
    // Another library chosen while this one was read: its albums are wanted.
    if (m_window.albumFilePath() != m_readPath)
        load();
}

void AlbumLoader::showProgress(qint64 bytesRead, qint64 totalBytes)
{
    if (isLoading() && totalBytes > 0)
        m_progress->setValue(int(std::min(bytesRead, totalBytes) * kProgressSteps / totalBytes));
}

void AlbumLoader::showOutcome()
{
    if (const QString failure = m_window.albumDataFailure(); !failure.isNull())
        m_status->setText(failure);
    else if (m_window.gPlist.isNone())
        m_status->setText(QStringLiteral("No album file at %1").arg(m_window.albumFilePath()));
    else
        m_status->setText(counted(m_window.gAlbumsArray.count(), "album", "albums") + QStringLiteral(", ")
                          + counted(m_window.gMasterImageDictList.count(), "photo", "photos"));
}

} // namespace gui
