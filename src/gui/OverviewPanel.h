#pragma once

#include "AlbumOverview.h"
#include "ThumbnailModel.h"

#include <QDialog>
#include <QObject>
#include <QPointer>

class QLabel;
class QPushButton;
class rvWindow;

namespace gui {

class ThumbnailGrid;

// What Save will export of the selected album, below the album popup: a line
// counting the photos, the photos without an image path (no slide) and those
// whose file is missing, with the list of the latter one click away ("Show…");
// and the album's photos in the thumbnail grid. With no album file it says
// where it looked and offers to choose a library instead.
//
// A big album is counted a slice of photos a turn of the event loop, and its
// files are looked for on a worker, so the window keeps answering.
class OverviewPanel : public QObject {
public:
    OverviewPanel(rvWindow &window, QLabel *label, QPushButton *showPhotosButton, QPushButton *chooseLibraryButton,
                  ThumbnailGrid *grid, QWidget *dialogParent);

    // Counts and lists the selected album, or tells that no library was
    // found: after each album choice and load.
    void showSelectedAlbum();
    // The album data goes (a load begins): a count in progress stops.
    void albumDataGoing() { ++m_albumGeneration; }

    const AlbumOverview &overview() const { return m_overview; }
    // What the line says in full (the label may shorten a long path).
    QString text() const { return m_text; }
    // True while a big album is being counted, a slice of photos a turn.
    bool counting() const { return m_counting; }
    // True while the files of a big album are being looked for.
    bool pending() const { return !m_overview.filesLookedFor(); }
    // The dialog listing the photos without an image file (null until shown).
    void showPhotosWithoutFile();
    QDialog *photosDialog() const { return m_photosDialog; }

private:
    void countSlice(quint64 generation, int32_t from);
    void showCountedOverview(AlbumOverview overview);
    void show(const AlbumOverview &overview);
    void showLibraryNotice();
    void updatePhotosDialog();

    rvWindow &m_window;
    QLabel *m_label;
    QPushButton *m_showPhotosButton;
    QPushButton *m_chooseLibraryButton;
    ThumbnailGrid *m_grid;
    QWidget *m_dialogParent;

    AlbumOverview m_overview;
    QString m_text;
    quint64 m_overviewGeneration = 0; // one more at each new count
    quint64 m_albumGeneration = 0;    // one more at each album shown and each load begun
    AlbumOverview m_slices;           // the album being counted, a slice at a time
    QList<ThumbnailModel::Photo> m_slicePhotos;
    bool m_counting = false; // true until the album's overview and grid are shown
    QString m_photosListing;
    QPointer<QDialog> m_photosDialog;
};

} // namespace gui
