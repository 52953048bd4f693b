#pragma once

#include "ThumbnailModel.h"

#include <QListView>
#include <QTimer>

#include <utility>

namespace gui {

// A scrollable grid of the selected album's photos, a picture with its
// caption under it, over its own ThumbnailModel. Whenever what it shows
// changes (other photos, a scroll, a resize) it asks the model for the
// pictures of the rows in sight and of the screenful after them.
class ThumbnailGrid : public QListView {
    Q_OBJECT
public:
    explicit ThumbnailGrid(QWidget *parent = nullptr);

    ThumbnailModel *thumbnailModel() const { return m_model; }
    void showPhotos(const QList<ThumbnailModel::Photo> &photos);
    // The first and last rows in sight, or (-1, -1) when none is.
    std::pair<int, int> rowsInSight() const;

protected:
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;

private:
    void prefetchInSight();

    ThumbnailModel *m_model;
    QTimer m_prefetchTimer; // gathers the changes of one event loop turn
};

} // namespace gui
