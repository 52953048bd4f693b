#pragma once

#include "rvWindow.h"

#include <QAbstractListModel>
#include <QCache>
#include <QHash>
#include <QImage>
#include <QList>
#include <QPixmap>
#include <QSize>
#include <QString>
#include <QThreadPool>

#include <utility>

#include <memory>

template <typename T> class QFutureWatcher;

namespace gui {

// The selected album's photos in slideshow order, each with its caption (or
// file name) and a small picture of its image file.
//
// A read-only view: the photos are collected from the window once per album
// choice or reload (rvWindow::photoAt, on the GUI thread, since the album data
// is not to be touched from another thread); from then on the model holds
// plain strings only.
//
// Pictures are decoded on worker threads, only for the rows a view asks for
// (prefetch), at most one decode per worker at a time, so a quick scroll
// leaves no backlog of stale work behind it. Decoded pictures go into a cache
// bounded in bytes and keyed by path and modification time, so a photo that
// reappears in another album or after a reload is not decoded again, and a
// result that arrives after the album changed lands only on rows showing that
// very file. Until its picture is there a row shows the "loading" picture; a
// photo without an image path, whose file is gone, or whose file cannot be
// decoded as an image shows the "missing" picture.
class ThumbnailModel : public QAbstractListModel {
    Q_OBJECT
public:
    struct Photo {
        QString path; // the image file; empty for a photo that gets no slide
        QString name; // the photo's display name
        static Photo of(const rvWindow::Photo &photo) { return {photo.path, photo.displayName}; }
    };
    enum class State { Loading, Ready, Missing };
    // The data role of a row's image file (empty for a photo without a slide).
    static constexpr int PathRole = Qt::UserRole;

    // Pictures fit in this box, keeping their proportions.
    static constexpr QSize kThumbnailSize{160, 120};
    static constexpr qint64 kDefaultCacheBytes = 64 * 1024 * 1024;

    explicit ThumbnailModel(QObject *parent = nullptr, qint64 cacheBytes = kDefaultCacheBytes);
    ~ThumbnailModel() override;

    // Shows other photos; pictures of earlier ones still decoding are kept
    // for the cache only. The same photos again (a reload) keep their rows
    // and pictures, but each file is looked at again when next asked for, so
    // a changed file gets a new picture. True when the rows were replaced.
    bool setPhotos(const QList<Photo> &photos);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;

    // Decodes the pictures of rows first to last (clamped, in that order)
    // that are not there yet. Replaces the wish of an earlier call: what it
    // asked for and no worker has started is dropped.
    void prefetch(int first, int last);

    State stateAt(int row) const;
    QPixmap pictureAt(int row) const;
    const QPixmap &loadingPicture() const { return m_loadingPicture; }
    const QPixmap &missingPicture() const { return m_missingPicture; }
    qint64 cacheBytes() const { return m_cache.totalCost(); }
    // Decodes still running on workers.
    int decodesRunning() const { return int(m_running.size()); }

    // The picture of an image file scaled into box, or a null image when the
    // file is not an image, is cut short or too large to decode safely.
    static QImage decodeThumbnail(const QString &path, QSize box);

private:
    struct Row {
        QString path;
        QString name;
        QString key;          // path and modification time, once looked at
        bool checked = false; // looked at since the photos were last set
        bool missing = false; // no path or no file
    };
    // Looks at the row's file; true when what the row shows changed.
    bool check(Row &row);
    void startDecodes();
    void decoded(const QString &key, const QImage &image);

    QList<Row> m_rows;
    std::pair<int, int> m_prefetched{0, -1}; // the rows the last prefetch covered
    QList<int> m_wanted;                 // rows still to decode, in order
    QCache<QString, QPixmap> m_cache;    // a null picture: the file is no image
    QHash<QString, QFutureWatcher<QImage> *> m_running; // by key
    QThreadPool m_pool;
    QPixmap m_loadingPicture;
    QPixmap m_missingPicture;
};

} // namespace gui
