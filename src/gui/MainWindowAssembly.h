#pragma once

#include "AlbumLoader.h"
#include "LibraryChooser.h"
#include "OverviewPanel.h"
#include "RenderStatus.h"
#include "QtControls.h"
#include "rvController.h"
#include "rvWindow.h"

#include <QObject>

#include <memory>

class QMainWindow;
class QTabWidget;
namespace Ui {
class MainWindow;
}

namespace gui {

class PreviewPanel;
class ThumbnailGrid;

// The loaded window layout and the two objects it creates, wired together:
// one rvController and the one rvWindow, with every control reference of the
// window set to an adapter over the layout's widgets and the controller's
// gWindow set to the window. The window is the application's delegate (each
// return to the active state reloads the album data, off the GUI thread),
// Save (button, menu item, the standard save shortcut, Return in a text
// field) reaches rvController::saveSlideshow, and an album chosen in the
// album popup reaches rvWindow::setSelectedAlbum. Beside the settings stand
// the overview of what Save will export and the thumbnail grid
// (OverviewPanel); File > Open Library… and its kin are the LibraryChooser's.
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
    // The slideshow played, in the tab beside the grid's.
    PreviewPanel *previewPanel() const { return m_previewPanel; }
    // Shows the grid's tab or the preview's.
    void showPreview(bool preview);
    OverviewPanel &overviewPanel() { return *m_overviewPanel; }
    LibraryChooser &libraryChooser() { return *m_libraryChooser; }

    // The album data is read again: what an activation notice and the
    // "Reload Albums" menu item do. The read runs off the GUI thread (the
    // album popup and Save wait for it); during a save the reload waits until
    // the save is over.
    void reload();
    AlbumLoader &albumLoader() { return *m_albumLoader; }
    // The save command, as the Save button and menu item give it. A video
    // renders in the background (RenderStatus); Save waits for it.
    void save();
    RenderStatus &renderStatus() { return *m_renderStatus; }

private:
    void setUpKeyboard();
    void setUpVideo();
    // Save is there while no load and no render runs.
    void updateSaveEnabled();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void setUpLibraryChoice();
    void activationChanged(Qt::ApplicationState state);
    // Runs one of the window's loads, or holds it back until the save in
    // progress is over.
    void load(void (rvWindow::*operation)());
    // Puts the settings and the tabs of the thumbnail grid and the preview
    // side by side.
    void addThumbnailGrid();
    // The preview follows every setting it shows.
    void setUpPreview();

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
    ThumbnailGrid *m_thumbnailGrid = nullptr;   // owned by the main window
    PreviewPanel *m_previewPanel = nullptr;     // owned by the main window
    QTabWidget *m_viewTabs = nullptr;           // owned by the main window
    uint64_t m_previewSeed = 0;                 // the preview's shuffle while no seed is set
    std::unique_ptr<OverviewPanel> m_overviewPanel;
    std::unique_ptr<LibraryChooser> m_libraryChooser;
    RenderStatus *m_renderStatus = nullptr; // owned by the status bar

    bool m_saving = false;
    bool m_reloadAfterSave = false;
    bool m_popupHadFocus = false; // when the load in progress began
    bool m_loading = false;
    bool m_toldOfMelt = false; // that videos need melt, once a run
};

} // namespace gui
