#include "RenderStatus.h"

#include "VideoRender.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QUrl>

#include <cmath>

namespace gui {

namespace {

// "0:42", "1:05:00".
QString clockTime(double seconds)
{
    const qint64 whole = std::llround(std::max(seconds, 0.0));
    const QString minutesAndSeconds =
        QStringLiteral("%1:%2").arg(whole / 60 % 60).arg(whole % 60, 2, 10, QLatin1Char('0'));
    return whole >= 3600 ? QStringLiteral("%1:%2").arg(whole / 3600).arg(minutesAndSeconds.rightJustified(5, u'0'))
                         : minutesAndSeconds;
}

} // namespace

RenderStatus::RenderStatus(QStatusBar *statusBar)
    : QObject(statusBar), m_label(new QLabel(statusBar)), m_progress(new QProgressBar(statusBar)),
      m_cancel(new QPushButton(QStringLiteral("Ca&ncel"), statusBar)),
      m_openFolder(new QPushButton(QStringLiteral("Op&en Folder"), statusBar))
{
    m_label->setObjectName(QStringLiteral("renderLabel"));
    m_progress->setObjectName(QStringLiteral("renderProgress"));
    m_cancel->setObjectName(QStringLiteral("renderCancelButton"));
    m_openFolder->setObjectName(QStringLiteral("openFolderButton"));
    m_progress->setMaximumWidth(260);
    m_progress->setTextVisible(true);
    for (QWidget *widget : {static_cast<QWidget *>(m_label), static_cast<QWidget *>(m_progress),
                            static_cast<QWidget *>(m_cancel), static_cast<QWidget *>(m_openFolder)}) {
        statusBar->addPermanentWidget(widget);
        widget->hide();
    }
    connect(m_cancel, &QPushButton::clicked, this, [this] {
        if (m_render)
            m_render->cancel();
    });
    connect(m_openFolder, &QPushButton::clicked, this, [this] {
        if (m_render)
            QDesktopServices::openUrl(QUrl::fromLocalFile(QFileInfo(m_render->target()).absolutePath()));
    });
}

void RenderStatus::follow(VideoRender &render, double framesPerSecond)
{
    if (m_render)
        m_render->disconnect(this);
    m_render = &render;
    m_framesPerSecond = framesPerSecond > 0 ? framesPerSecond : 25;
    m_clock.start();
    connect(&render, &VideoRender::progress, this, &RenderStatus::showProgress);
    connect(&render, &VideoRender::finished, this, &RenderStatus::showOutcome);
    m_openFolder->hide();
    m_label->setText(QStringLiteral("Rendering %1").arg(QFileInfo(render.target()).fileName()));
    m_label->show();
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    m_progress->setFormat(QStringLiteral("%p%"));
    m_progress->show();
    m_cancel->show();
    emit renderingChanged(true);
}

bool RenderStatus::rendering() const
{
    return m_render && m_render->isRunning();
}

QString RenderStatus::text() const
{
    return m_label->text();
}

void RenderStatus::showProgress(qint64 frame, qint64 frames)
{
    const qint64 done = frame + 1;
    m_progress->setValue(frames > 0 ? int(100 * done / frames) : 0);
    // The time left, once there is enough of the past to go by.
    const double elapsed = m_clock.elapsed() / 1000.0;
    if (done > 0 && elapsed >= 2)
        m_progress->setFormat(QStringLiteral("%p% · %1 left").arg(clockTime(elapsed * double(frames - done) / double(done))));
}

void RenderStatus::showOutcome(bool written)
{
    m_progress->hide();
    m_cancel->hide();
    const QString name = QFileInfo(m_render->target()).fileName();
    if (written) {
        const qint64 size = QFileInfo(m_render->target()).size();
        m_label->setText(QStringLiteral("Saved %1 (%2, %3)")
                             .arg(name, clockTime(double(m_render->frames()) / m_framesPerSecond),
                                  QLocale().formattedDataSize(size)));
        m_openFolder->show();
    } else if (m_render->wasCancelled()) {
        m_label->setText(QStringLiteral("Stopped rendering %1").arg(name));
    } else {
        m_label->setText(QStringLiteral("Could not save %1: %2").arg(name, m_render->failure()));
    }
    m_label->setToolTip(m_label->text());
    emit renderingChanged(false);
}

} // namespace gui
