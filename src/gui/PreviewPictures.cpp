#include "PreviewPictures.h"

#include "ThumbnailModel.h"

#include <QDateTime>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QImage>
#include <QtConcurrent/QtConcurrentMap>

namespace gui {

PreviewPictures::PreviewPictures(QObject *parent) : QObject(parent) {}

PreviewPictures::~PreviewPictures()
{
    if (m_watcher) {
        m_watcher->cancel();
        m_watcher->waitForFinished();
    }
}

QString PreviewPictures::keyOf(const QString &path)
{
    const QFileInfo file(path);
    return path + QLatin1Char('\n') + QString::number(file.size()) + QLatin1Char('\n')
           + QString::number(file.lastModified().toMSecsSinceEpoch());
}

QString PreviewPictures::pictureFor(const QString &path)
{
    const auto found = m_pictures.constFind(keyOf(path));
    if (found != m_pictures.cend())
        return *found;
    m_asked.insert(path);
    return path;
}

bool PreviewPictures::makeAsked()
{
    if (m_watcher || m_asked.isEmpty())
        return false;
    struct Job {
        QString path, key, copy;
    };
    auto jobs = std::make_shared<QList<Job>>();
    for (const QString &path : std::as_const(m_asked))
        jobs->append({path, keyOf(path), m_folder.filePath(QStringLiteral("%1.jpg").arg(m_copies++))});
    m_asked.clear();
    m_made = 0;
    m_toMake = int(jobs->size());
    m_watcher = std::make_unique<QFutureWatcher<void>>();
    connect(m_watcher.get(), &QFutureWatcher<void>::progressValueChanged, this, [this](int value) {
        m_made = value;
        emit progress(m_made, m_toMake);
    });
    connect(m_watcher.get(), &QFutureWatcher<void>::finished, this, [this, jobs] {
        for (const Job &job : std::as_const(*jobs))
            m_pictures.insert(job.key, QFileInfo::exists(job.copy) ? job.copy : job.path);
        m_watcher.release()->deleteLater();
        emit ready();
    });
    const bool folder = m_folder.isValid();
    m_watcher->setFuture(QtConcurrent::map(*jobs, [folder](const Job &job) {
        const QImage picture = folder ? ThumbnailModel::decodeThumbnail(job.path, QSize(768, 768)) : QImage();
        if (!picture.isNull())
            picture.save(job.copy, "JPEG", 90);
    }));
    return true;
}

} // namespace gui
