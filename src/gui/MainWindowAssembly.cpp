#include "MainWindowAssembly.h"

#include "ThumbnailGrid.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMainWindow>
#include <QPushButton>
#include <QSplitter>

#include <algorithm>

namespace gui {

namespace {

// Shows the wait cursor for as long as it lives.
class WaitCursor {
public:
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor &) = delete;
    WaitCursor &operator=(const WaitCursor &) = delete;
};

} // namespace

MainWindowAssembly::MainWindowAssembly()
    : m_mainWindow(std::make_unique<QMainWindow>()), m_ui(std::make_unique<Ui::MainWindow>())
{
    m_ui->setupUi(m_mainWindow.get());
    // As tall as the controls need, at least as wide as the layout says.
    m_mainWindow->resize(m_mainWindow->sizeHint().expandedTo(QSize(m_mainWindow->width(), 0)));
    m_ui->saveAction->setShortcut(QKeySequence::Save);
    m_ui->reloadAction->setShortcut(QKeySequence::Refresh);
    m_ui->quitAction->setShortcut(QKeySequence::Quit);
    m_ui->quitAction->setMenuRole(QAction::QuitRole);
    addThumbnailGrid();

    m_titleField.setWidget(m_ui->titleField);
    m_clipDurationField.setWidget(m_ui->clipDurationField);
    m_transitionDurationField.setWidget(m_ui->transitionDurationField);
    m_heightField.setWidget(m_ui->heightField);
    m_widthField.setWidget(m_ui->widthField);
    m_transitionPopup.setWidget(m_ui->transitionPopup);
    m_frameRatePopup.setWidget(m_ui->frameRatePopup);
    m_newProjectButton.setWidget(m_ui->newProjectCheckBox);
    m_albumPopup.setWidget(m_ui->albumPopup);

    m_window.gSlideshowTitleField = &m_titleField;
    m_window.gClipDurationField = &m_clipDurationField;
    m_window.gTransitionDurationField = &m_transitionDurationField;
    m_window.gCompHeight = &m_heightField;
    m_window.gCompWidth = &m_widthField;
    m_window.gTransitionSelectionField = &m_transitionPopup;
    m_window.gFramerateSelectionField = &m_frameRatePopup;
    m_window.gCreateNewProjectButton = &m_newProjectButton;
    m_window.gAlbumPopup = &m_albumPopup;
    m_controller.gWindow = &m_window;

    connect(m_ui->saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(m_ui->saveAction, &QAction::triggered, this, [this] { save(); });
    connect(m_ui->reloadAction, &QAction::triggered, this, [this] { reload(); });
    connect(m_ui->quitAction, &QAction::triggered, m_mainWindow.get(), &QMainWindow::close);
    // Only a choice the user makes: refilling the popup during a load changes
    // its selection too, and the load itself follows that up.
    connect(m_ui->albumPopup, &QComboBox::activated, this, [this] {
        m_window.setSelectedAlbum();
        refreshThumbnails();
    });
    // The window is the application's delegate: each time the application
    // becomes active (start-up included) the album data is read again.
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) { activationChanged(state); });
}

MainWindowAssembly::~MainWindowAssembly() = default;

void MainWindowAssembly::awake()
{
    WaitCursor waitCursor;
    m_window.awakeFromNib();
    refreshThumbnails();
}

void MainWindowAssembly::activationChanged(Qt::ApplicationState state)
{
    if (state == Qt::ApplicationActive)
        load(&rvWindow::applicationWillBecomeActive);
}

void MainWindowAssembly::reload()
{
    load(&rvWindow::refreshIPhotoData);
}

void MainWindowAssembly::load(void (rvWindow::*operation)())
{
    if (m_saving) {
        m_reloadAfterSave = true;
        return;
    }
    WaitCursor waitCursor;
    (m_window.*operation)();
    refreshThumbnails();
}

void MainWindowAssembly::save()
{
    // The save panel runs its own event loop: an activation notice arriving
    // meanwhile must not reload the album data (and retitle the slideshow)
    // under the save in progress. It is answered once the save is over.
    if (m_saving)
        return;
    m_saving = true;
    m_controller.saveSlideshow();
    m_saving = false;
    if (m_reloadAfterSave) {
        m_reloadAfterSave = false;
        reload();
    }
}

void MainWindowAssembly::addThumbnailGrid()
{
    // The settings keep their column and their least size (so a small window
    // still shows each of them); the grid takes whatever width is left.
    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName(QStringLiteral("thumbnailSplitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(m_mainWindow->takeCentralWidget());
    m_thumbnailGrid = new ThumbnailGrid;
    m_thumbnailGrid->setObjectName(QStringLiteral("thumbnailGrid"));
    splitter->addWidget(m_thumbnailGrid);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    // Room for four columns and three rows of photos at first.
    const QSize settings = m_mainWindow->size();
    const QSize cell = m_thumbnailGrid->gridSize();
    m_mainWindow->setCentralWidget(splitter);
    splitter->setSizes({settings.width(), 4 * cell.width() + 40});
    m_mainWindow->resize(settings.width() + 4 * cell.width() + 40, std::max(settings.height(), 3 * cell.height() + 40));
    QWidget::setTabOrder(m_ui->saveButton, m_thumbnailGrid);
}

void MainWindowAssembly::refreshThumbnails()
{
    m_thumbnailGrid->showAlbumOf(m_window);
}

} // namespace gui
