#include "OverviewPanel.h"

#include "Files.h"
#include "ThumbnailGrid.h"
#include "rvWindow.h"

#include <QClipboard>
#include <QDialogButtonBox>
#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>

#include <algorithm>
#include <utility>

namespace gui {

namespace {

// How wide a library path may stand in the overview before its middle is
// left out (the whole path is in the tooltip): a path must not widen the window.
constexpr int kOverviewPathWidth = 220;
// Up to this many image files are looked for at once on the GUI thread (a few
// milliseconds); a bigger album's on a worker.
constexpr qsizetype kFilesLookedForAtOnce = 200;
// A big album is counted and listed for the grid a slice of photos at a time,
// a slice a turn of the event loop (a few tens of milliseconds), so the window
// keeps answering; nearly every album takes one slice.
constexpr int32_t kPhotosPerTurn = 4000;
constexpr const char *kOverviewToolTip = "What Save writes: a photo without an image path gets no slide; a photo "
                                         "whose file is missing gets its slide all the same";

} // namespace

OverviewPanel::OverviewPanel(rvWindow &window, QLabel *label, QPushButton *showPhotosButton,
                             QPushButton *chooseLibraryButton, ThumbnailGrid *grid, QWidget *dialogParent)
    : m_window(window), m_label(label), m_showPhotosButton(showPhotosButton),
      m_chooseLibraryButton(chooseLibraryButton), m_grid(grid), m_dialogParent(dialogParent)
{
    // Until the first load there is nothing to count.
    m_showPhotosButton->hide();
    m_chooseLibraryButton->hide();
    connect(m_showPhotosButton, &QPushButton::clicked, this, [this] { showPhotosWithoutFile(); });
}

void OverviewPanel::showSelectedAlbum()
{
    ++m_albumGeneration;
    if (m_window.gPlist.isNone()) {
        ++m_overviewGeneration;
        showLibraryNotice();
        m_grid->showPhotos({});
        return;
    }
    m_slices = AlbumOverview();
    m_slices.photoCount = m_window.getFilesCount();
    m_slicePhotos.clear();
    m_counting = true;
    countSlice(m_albumGeneration, 0);
}

void OverviewPanel::countSlice(quint64 generation, int32_t from)
{
    if (generation != m_albumGeneration)
        return; // another album, or a load, came meanwhile
    // One lookup a photo serves both the counts and the grid.
    const int32_t to = int32_t(std::min<int64_t>(int64_t(from) + kPhotosPerTurn, m_slices.photoCount));
    for (int32_t index = from; index < to; ++index) {
        const rvWindow::Photo photo = m_window.photoAt(index);
        countPhoto(m_slices, index, photo);
        m_slicePhotos.append(ThumbnailModel::Photo::of(photo));
    }
    if (to < m_slices.photoCount) {
        QTimer::singleShot(0, this, [this, generation, to] { countSlice(generation, to); });
        return;
    }
    m_counting = false;
    showCountedOverview(std::exchange(m_slices, AlbumOverview()));
    m_grid->showPhotos(std::exchange(m_slicePhotos, {}));
}

void OverviewPanel::showCountedOverview(AlbumOverview overview)
{
    ++m_overviewGeneration; // a file lookup still running counts an album no longer shown
    if (overview.slidesToLookFor.size() <= kFilesLookedForAtOnce) {
        lookForFiles(overview);
        show(overview);
        return;
    }
    // A big album: its files are looked for on a worker (the album data stays
    // here; the overview holds only its own strings), the counts so far shown
    // meanwhile.
    show(overview);
    QtConcurrent::run([overview]() mutable {
        lookForFiles(overview);
        return overview;
    }).then(this, [this, generation = m_overviewGeneration](const AlbumOverview &lookedFor) {
        if (generation == m_overviewGeneration)
            show(lookedFor);
    });
}

void OverviewPanel::show(const AlbumOverview &overview)
{
    m_overview = overview;
    m_text = overviewSummary(m_overview);
    if (const QString details = overviewDetails(m_overview); !details.isEmpty())
        m_text += '\n' + details;
    if (!m_overview.filesLookedFor())
        m_text += QStringLiteral("\nLooking for the image files…");
    m_label->setText(m_text);
    m_label->setToolTip(QString::fromLatin1(kOverviewToolTip));
    m_showPhotosButton->setVisible(m_overview.withoutImageFile() > 0);
    m_chooseLibraryButton->hide();
    updatePhotosDialog();
}

void OverviewPanel::showLibraryNotice()
{
    m_overview = AlbumOverview();
    // The library as the user knows it: a folder, or the album file chosen.
    const QString albumFile = m_window.albumFilePath();
    const QString library =
        QFileInfo(albumFile).fileName() == QLatin1String("AlbumData.xml") ? QFileInfo(albumFile).path() : albumFile;
    const QString notice = fileExistsAtPath(albumFile) ? QStringLiteral("The photo library at %1 could not be read")
                                                       : QStringLiteral("No photo library at %1");
    m_text = notice.arg(library);
    const QString elided = m_label->fontMetrics().elidedText(library, Qt::ElideMiddle, kOverviewPathWidth);
    m_label->setText(notice.arg(QLatin1Char('\n') + elided));
    m_label->setToolTip(m_text);
    m_showPhotosButton->hide();
    m_chooseLibraryButton->show();
    updatePhotosDialog();
}

void OverviewPanel::updatePhotosDialog()
{
    m_photosListing = overviewListing(m_overview);
    if (m_photosDialog)
        m_photosDialog->findChild<QPlainTextEdit *>()->setPlainText(m_photosListing);
}

void OverviewPanel::showPhotosWithoutFile()
{
    if (!m_photosDialog) {
        auto *dialog = new QDialog(m_dialogParent);
        dialog->setWindowTitle(QStringLiteral("Photos Without an Image File"));
        auto *list = new QPlainTextEdit(dialog);
        list->setReadOnly(true);
        list->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        list->setLineWrapMode(QPlainTextEdit::NoWrap);
        auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
        QPushButton *copy = buttons->addButton(QStringLiteral("&Copy All"), QDialogButtonBox::ActionRole);
        connect(copy, &QPushButton::clicked, list, [list] { QGuiApplication::clipboard()->setText(list->toPlainText()); });
        connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::reject);
        auto *layout = new QVBoxLayout(dialog);
        layout->addWidget(list);
        layout->addWidget(buttons);
        dialog->resize(640, 320);
        m_photosDialog = dialog;
    }
    m_photosDialog->findChild<QPlainTextEdit *>()->setPlainText(m_photosListing);
    m_photosDialog->show();
    m_photosDialog->raise();
    m_photosDialog->activateWindow();
}

} // namespace gui
