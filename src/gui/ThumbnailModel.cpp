#include "ThumbnailModel.h"

#include <QFile>
#include <QFileInfo>
#include <QFutureWatcher>
#include <QImageReader>
#include <QPainter>
#include <QThread>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>

namespace gui {

namespace {

// The most one decode may allocate: a picture that would need more is
// refused instead of decoded (a 20000x20000 PNG needs 1.6 GB), whatever
// allocation limit Qt's image readers were given (QT_IMAGEIO_MAXALLOC may
// lift it). With at most a few decodes at a time this bounds their memory
// beside the cache.
constexpr qint64 kDecodeLimitBytes = 128 * 1024 * 1024;
constexpr int kMaxDecodes = 4;

// A JPEG cut short still decodes, its lost part painted grey; only its end
// marker tells that it is whole. Writers may pad the file after the marker, so
// it is looked for among the last bytes.
bool jpegHasEnd(const QString &path)
{
    constexpr qint64 kTail = 1024;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(std::max<qint64>(0, file.size() - kTail)))
        return false;
    return file.read(kTail).contains("\xFF\xD9");
}

QPixmap placeholder(bool missing)
{
    QPixmap picture(ThumbnailModel::kThumbnailSize);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(picture.rect()).adjusted(8.5, 8.5, -8.5, -8.5);
    if (!missing) {
        // Loading: an empty frame.
        painter.setPen(QPen(QColor(0, 0, 0, 60), 1, Qt::DashLine));
        painter.setBrush(QColor(0, 0, 0, 12));
        painter.drawRoundedRect(frame, 6, 6);
        return picture;
    }
    // Missing: a darker frame, crossed out.
    painter.setPen(QPen(QColor(150, 40, 40), 2));
    painter.setBrush(QColor(0, 0, 0, 40));
    painter.drawRoundedRect(frame, 6, 6);
    const QRectF cross(frame.center() - QPointF(18, 18), QSizeF(36, 36));
    painter.drawLine(cross.topLeft(), cross.bottomRight());
    painter.drawLine(cross.topRight(), cross.bottomLeft());
    return picture;
}

} // namespace

ThumbnailModel::ThumbnailModel(QObject *parent, qint64 cacheBytes)
    : QAbstractListModel(parent), m_loadingPicture(placeholder(false)), m_missingPicture(placeholder(true))
{
    m_cache.setMaxCost(cacheBytes);
    m_pool.setMaxThreadCount(std::clamp(QThread::idealThreadCount(), 1, kMaxDecodes));
}

ThumbnailModel::~ThumbnailModel()
{
    m_wanted.clear();
    m_pool.waitForDone();
}

bool ThumbnailModel::setPhotos(const QList<Photo> &photos)
{
    m_wanted.clear();
    const bool same = photos.size() == m_rows.size()
        && std::equal(photos.begin(), photos.end(), m_rows.begin(), [](const Photo &photo, const Row &row) {
               return photo.path == row.path && photo.name == row.name;
           });
    if (same) {
        for (Row &row : m_rows)
            row.checked = false;
        return false;
    }
    beginResetModel();
    m_rows.clear();
    m_rows.reserve(photos.size());
    for (const Photo &photo : photos) {
        m_rows.append(Row{photo.path, photo.name, {}, false, false});
    }
    endResetModel();
    return true;
}

int ThumbnailModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

QVariant ThumbnailModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_rows.size())
        return {};
    const Row &row = m_rows[index.row()];
    switch (role) {
    case Qt::DisplayRole:
        return row.name;
    case PathRole:
        return row.path;
    case Qt::DecorationRole:
        return pictureAt(index.row());
    case Qt::ToolTipRole:
        if (row.path.isEmpty())
            return tr("No image file: this photo gets no slide");
        return stateAt(index.row()) == State::Missing ? tr("%1 (missing or not a picture)").arg(row.path) : row.path;
    default:
        return {};
    }
}

ThumbnailModel::State ThumbnailModel::stateAt(int row) const
{
    if (row < 0 || row >= m_rows.size())
        return State::Missing;
    const Row &r = m_rows[row];
    if (r.missing)
        return State::Missing;
    if (r.key.isEmpty())
        return State::Loading;
    const QPixmap *picture = m_cache.object(r.key);
    if (!picture)
        return State::Loading;
    return picture->isNull() ? State::Missing : State::Ready;
}

QPixmap ThumbnailModel::pictureAt(int row) const
{
    switch (stateAt(row)) {
    case State::Ready:
        return *m_cache.object(m_rows[row].key);
    case State::Missing:
        return m_missingPicture;
    case State::Loading:
        break;
    }
    return m_loadingPicture;
}

bool ThumbnailModel::check(Row &row)
{
    if (row.checked)
        return false;
    row.checked = true;
    const QString oldKey = row.key;
    const bool wasMissing = row.missing;
    const QFileInfo info(row.path);
    row.missing = row.path.isEmpty() || !info.isFile();
    row.key = row.missing
        ? QString()
        : row.path + QChar(u'\n') + QString::number(info.lastModified().toMSecsSinceEpoch());
    return row.key != oldKey || row.missing != wasMissing;
}

void ThumbnailModel::prefetch(int first, int last)
{
    m_wanted.clear();
    first = std::max(first, 0);
    last = std::min(last, int(m_rows.size()) - 1);
    m_prefetched = {first, last};
    for (int row = first; row <= last; ++row) {
        Row &r = m_rows[row];
        if (check(r)) {
            const QModelIndex i = index(row);
            emit dataChanged(i, i, {Qt::DecorationRole, Qt::ToolTipRole});
        }
        if (!r.missing && !m_cache.contains(r.key) && !m_running.contains(r.key))
            m_wanted.append(row);
    }
    startDecodes();
}

void ThumbnailModel::startDecodes()
{
    while (m_running.size() < m_pool.maxThreadCount() && !m_wanted.isEmpty()) {
        const Row &row = m_rows[m_wanted.takeFirst()];
        if (m_cache.contains(row.key) || m_running.contains(row.key))
            continue; // another row shows the same file
        const QString key = row.key;
        const QString path = row.path;
        auto *watcher = new QFutureWatcher<QImage>(this);
        connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher, key] {
            m_running.remove(key);
            const QImage image = watcher->result();
            watcher->deleteLater();
            decoded(key, image);
            startDecodes();
        });
        m_running.insert(key, watcher);
        watcher->setFuture(QtConcurrent::run(&m_pool, &ThumbnailModel::decodeThumbnail, path, kThumbnailSize));
    }
}

void ThumbnailModel::decoded(const QString &key, const QImage &image)
{
    auto *picture = new QPixmap(image.isNull() ? QPixmap() : QPixmap::fromImage(image));
    m_cache.insert(key, picture, std::max<qsizetype>(1, image.sizeInBytes()));
    // The rows in sight (or about to be) showing this file now, whichever album
    // it was decoded for; any other row finds the picture in the cache when it
    // comes into sight.
    const int last = std::min(m_prefetched.second, int(m_rows.size()) - 1);
    for (int row = std::max(m_prefetched.first, 0); row <= last; ++row) {
        if (m_rows[row].key == key) {
            const QModelIndex i = index(row);
            emit dataChanged(i, i, {Qt::DecorationRole, Qt::ToolTipRole});
        }
    }
}

QImage ThumbnailModel::decodeThumbnail(const QString &path, QSize box)
{
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    const QSize stored = reader.size();
    if (!stored.isValid() || stored.isEmpty())
        return {};
    // A JPEG decodes at an eighth of its size at least; other formats decode
    // whole before they are scaled.
    const bool jpeg = reader.format() == "jpeg";
    const QSize decoded = jpeg ? QSize((stored.width() + 7) / 8, (stored.height() + 7) / 8) : stored;
    if (qint64(decoded.width()) * decoded.height() * 4 > kDecodeLimitBytes)
        return {};
    if (jpeg && !jpegHasEnd(path))
        return {};

    // The box is filled as the picture is shown, turned upright; the reader
    // scales before it turns.
    const bool turned = reader.transformation() & QImageIOHandler::TransformationRotate90;
    const QSize upright = turned ? stored.transposed() : stored;
    QSize target = upright;
    if (upright.width() > box.width() || upright.height() > box.height())
        target = upright.scaled(box, Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
    reader.setScaledSize(turned ? target.transposed() : target);

    QImage image = reader.read();
    if (image.isNull())
        return {};
    if (image.width() > box.width() || image.height() > box.height())
        image = image.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

} // namespace gui
