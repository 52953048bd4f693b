#include "ThumbnailGrid.h"

#include <QScrollBar>

namespace gui {

namespace {

// One cell: the picture's box, two lines of caption and a margin.
constexpr int kCellMargin = 12;
constexpr int kCaptionLines = 2;

} // namespace

ThumbnailGrid::ThumbnailGrid(QWidget *parent) : QListView(parent), m_model(new ThumbnailModel(this))
{
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setFlow(QListView::LeftToRight);
    setWrapping(true);
    // Every cell is alike, so laying out thousands of photos asks the model
    // for no picture.
    setUniformItemSizes(true);
    setWordWrap(true);
    setTextElideMode(Qt::ElideMiddle);
    setIconSize(ThumbnailModel::kThumbnailSize);
    const int captionHeight = fontMetrics().lineSpacing() * kCaptionLines;
    setGridSize(ThumbnailModel::kThumbnailSize + QSize(2 * kCellMargin, captionHeight + 2 * kCellMargin));
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    verticalScrollBar()->setSingleStep(gridSize().height() / 4);
    setModel(m_model);

    m_prefetchTimer.setSingleShot(true);
    m_prefetchTimer.setInterval(0);
    connect(&m_prefetchTimer, &QTimer::timeout, this, &ThumbnailGrid::prefetchInSight);
    connect(m_model, &QAbstractItemModel::modelReset, &m_prefetchTimer, qOverload<>(&QTimer::start));
}

void ThumbnailGrid::showPhotos(const QList<ThumbnailModel::Photo> &photos)
{
    // Other photos start at the top; the same ones (a reload) stay where
    // they were scrolled to.
    if (m_model->setPhotos(photos))
        scrollToTop();
    m_prefetchTimer.start();
}

std::pair<int, int> ThumbnailGrid::rowsInSight() const
{
    const int count = m_model->rowCount();
    const int height = viewport()->height();
    // Rows run top to bottom, so the first row below the top edge and the
    // first one beyond the bottom edge are found by halving.
    const auto firstWhere = [&](auto below) {
        int low = 0;
        int high = count;
        while (low < high) {
            const int middle = low + (high - low) / 2;
            if (below(visualRect(m_model->index(middle))))
                high = middle;
            else
                low = middle + 1;
        }
        return low;
    };
    const int first = firstWhere([](const QRect &cell) { return cell.bottom() >= 0; });
    const int end = firstWhere([height](const QRect &cell) { return cell.top() >= height; });
    if (first >= end)
        return {-1, -1};
    return {first, end - 1};
}

void ThumbnailGrid::prefetchInSight()
{
    const auto [first, last] = rowsInSight();
    if (first < 0)
        return;
    // The next screenful too, so a scroll by a page finds its pictures.
    m_model->prefetch(first, last + (last - first + 1));
}

void ThumbnailGrid::resizeEvent(QResizeEvent *event)
{
    QListView::resizeEvent(event);
    m_prefetchTimer.start();
}

void ThumbnailGrid::scrollContentsBy(int dx, int dy)
{
    QListView::scrollContentsBy(dx, dy);
    m_prefetchTimer.start();
}

} // namespace gui
