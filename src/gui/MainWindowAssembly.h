#pragma once

#include "QtControls.h"
#include "rvController.h"
#include "rvWindow.h"

#include <QObject>

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
// Construction only wires; awake() then runs the window's start-up. The
// application's main and the GUI tests build the window the same way.
class MainWindowAssembly : public QObject {
public:
    MainWindowAssembly();
    ~MainWindowAssembly() override;
    MainWindowAssembly(const MainWindowAssembly &) = delete;
    MainWindowAssembly &operator=(const MainWindowAssembly &) = delete;

    // The window's start-up (awakeFromNib), under a wait cursor.
    void awake();

    QMainWindow *mainWindow() const { return m_mainWindow.get(); }
    rvWindow &window() { return m_window; }
    rvController &controller() { return m_controller; }
    // The grid of the selected album's photos, right of the settings.
    ThumbnailGrid *thumbnailGrid() const { return m_thumbnailGrid; }

    // The album data is read again: what an activation notice and the
    // "Reload Albums" menu item do. Under a wait cursor; during a save the
    // reload waits until the save is over.
    void reload();
    // The save command, as the Save button and menu item give it.
    void save();

private:
    void activationChanged(Qt::ApplicationState state);
    // Runs one of the window's loads under a wait cursor, or holds it back
    // until the save in progress is over.
    void load(void (rvWindow::*operation)());
    // Puts the settings and the thumbnail grid side by side.
    void addThumbnailGrid();
    // The grid follows the selected album: after each album choice and load.
    void refreshThumbnails();

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

    ThumbnailGrid *m_thumbnailGrid = nullptr; // owned by the main window

    bool m_saving = false;
    bool m_reloadAfterSave = false;
};

} // namespace gui
