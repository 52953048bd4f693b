#pragma once

#include "AlbumOverview.h"
#include "AlbumLoader.h"
#include "QtControls.h"
#include "ThumbnailModel.h"
#include "rvController.h"
#include "rvWindow.h"

#include <QDialog>
#include <QObject>
#include <QPointer>

#include <memory>

class QMainWindow;
namespace Ui {
class MainWindow;
}

namespace gui {

class ThumbnailGrid;

// The loaded window layout and the two objects it creates, wired together:
// one rvController and the one rvWindow, with every control reference of the
// window set to an adapter over the layout's widgets and the controller's
// gWindow set to the window. The window is the application's delegate (each
// return to the active state reloads the album data), Save (button, menu item
// and the standard save shortcut) reaches rvController::saveSlideshow, and an
// album chosen in the album popup reaches rvWindow::setSelectedAlbum.
//
// Below the album popup an overview counts what Save will export (photos,
// photos without an image path, photos whose file is missing), with the list
// of the latter one click away; when there is no album file it says so there
// and offers to choose a library. The library is the default one unless one
// is chosen (File > Open Library…, remembered for the next start) or given on
// the command line for one run. Return in any text field saves like the Save
// button.
//
// Construction only wires; awake() then runs the window's start-up. The
// application's main and the GUI tests build the window the same way.
class MainWindowAssembly : public QObject {
public:
    MainWindowAssembly();
    ~MainWindowAssembly() override;
    MainWindowAssembly(const MainWindowAssembly &) = delete;
    MainWindowAssembly &operator=(const MainWindowAssembly &) = delete;

    // The window's start-up (awakeFromNib); its album load runs on.
    void awake();

    QMainWindow *mainWindow() const { return m_mainWindow.get(); }
    rvWindow &window() { return m_window; }
    rvController &controller() { return m_controller; }
    // The grid of the selected album's photos, right of the settings.
    ThumbnailGrid *thumbnailGrid() const { return m_thumbnailGrid; }

    // The album data is read again: what an activation notice and the
    // "Reload Albums" menu item do. The read runs off the GUI thread (the
    // album popup and Save wait for it); during a save the reload waits until
    // the save is over.
    void reload();
    AlbumLoader &albumLoader() { return *m_albumLoader; }
    // The save command, as the Save button and menu item give it.
    void save();

    // Library choice. The settings key holding the remembered library (a
    // folder or an album file; absent for the default library).
    static constexpr const char *kSettingsOrganization = "slideshow-exporter";
    static constexpr const char *kSettingsApplication = "slideshow-exporter";
    static constexpr const char *kLibrarySetting = "library";
    // Before awake(): the library given on the command line for this run, or
    // with none (a null string) the remembered choice, else the default.
    void chooseStartLibrary(const QString &libraryOption);
    // Reads the albums of another library (a folder or its album file) and
    // remembers it for the next start.
    void openLibrary(const QString &folderOrFile);
    // Back to ~/Pictures/iPhoto Library, for this run and the next.
    void useDefaultLibrary();
    // File > Open Library…: a file dialog for a library folder or album file.
    void chooseLibrary();

    // Album overview: what the line below the album popup says, and the
    // dialog listing the photos without an image file (null until shown).
    const AlbumOverview &overview() const { return m_overview; }
    // What it says in full (the label may shorten a long path).
    QString overviewText() const { return m_overviewText; }
    // True while the files of a big album are being looked for.
    bool overviewPending() const { return !m_overview.filesLookedFor(); }
    // True while a big album is being counted, a slice of photos a turn.
    bool countingAlbum() const { return m_countingAlbum; }
    void showPhotosWithoutFile();
    QDialog *photosDialog() const { return m_photosDialog; }

private:
    void setUpKeyboard();
    void setUpLibraryChoice();
    void switchLibrary(const QString &folderOrFile);
    void setUpOverview();
    // Counts the selected album again, or tells that no library was found.
    // Counts the selected album for the overview and lists it for the grid,
    // or tells that no library was found.
    void showSelectedAlbum();
    void countSlice(quint64 generation, int32_t from);
    void showCountedOverview(AlbumOverview overview);
    void showOverview(const AlbumOverview &overview);
    void showLibraryNotice();
    void updatePhotosDialog();

    void activationChanged(Qt::ApplicationState state);
    // Runs one of the window's loads, or holds it back until the save in
    // progress is over.
    void load(void (rvWindow::*operation)());
    // Puts the settings and the thumbnail grid side by side.
    void addThumbnailGrid();
    // The grid follows the selected album: after each album choice and load.

    // Declared in destruction order's reverse: the widgets outlive the
    // adapters, the adapters outlive the window that points at them.
    std::unique_ptr<QMainWindow> m_mainWindow;
    std::unique_ptr<Ui::MainWindow> m_ui;

    toolkit::QtTextField m_titleField;
    toolkit::QtTextField m_clipDurationField;
    toolkit::QtTextField m_transitionDurationField;
    toolkit::QtTextField m_heightField;
    toolkit::QtTextField m_widthField;
    toolkit::QtPopUpButton m_transitionPopup;
    toolkit::QtPopUpButton m_frameRatePopup;
    toolkit::QtButton m_newProjectButton;
    toolkit::QtPopUpButton m_albumPopup;

    rvWindow m_window;
    rvController m_controller;
    std::unique_ptr<AlbumLoader> m_albumLoader; // goes first: its worker may still be reading

    AlbumOverview m_overview;
    QString m_overviewText;
    quint64 m_overviewGeneration = 0; // one more at each new count
    quint64 m_albumGeneration = 0;    // one more at each album shown and each load begun
    AlbumOverview m_counting;         // the album being counted, a slice at a time
    QList<ThumbnailModel::Photo> m_countedPhotos;
    bool m_countingAlbum = false; // true until the album's overview and grid are shown
    QString m_photosListing;
    QPointer<QDialog> m_photosDialog;

    ThumbnailGrid *m_thumbnailGrid = nullptr; // owned by the main window

    bool m_saving = false;
    bool m_reloadAfterSave = false;
    bool m_popupHadFocus = false; // when the load in progress began
};

} // namespace gui
