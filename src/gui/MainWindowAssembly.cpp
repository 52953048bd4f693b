#include "MainWindowAssembly.h"

#include "Files.h"
#include "ThumbnailGrid.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QtConcurrent/QtConcurrentRun>
#include <QSplitter>

#include <algorithm>
#include <utility>

namespace gui {

namespace {

// A file dialog that takes a folder or a file: a library folder, or the album
// file itself wherever it lies. (A folder dialog alone rejects a file.)
class LibraryDialog final : public QFileDialog {
public:
    explicit LibraryDialog(QWidget *parent) : QFileDialog(parent, QStringLiteral("Open Library"))
    {
        setOption(QFileDialog::DontUseNativeDialog); // a native one would not ask accept() below
        setFileMode(QFileDialog::Directory);
        setAcceptMode(QFileDialog::AcceptOpen);
        setLabelText(QFileDialog::Accept, QStringLiteral("&Open"));
    }

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (chosen.size() == 1 && QFileInfo(chosen.first()).isFile())
            QDialog::accept();
        else
            QFileDialog::accept();
    }
};

// Draws the focus as after a Tab once the window is shown (showing a window
// resets that; a mouse click turns it off again as usual).
class FocusShownAtStart final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show) {
            if (auto *window = qobject_cast<QWidget *>(watched))
                window->setAttribute(Qt::WA_KeyboardFocusChange);
            watched->removeEventFilter(this);
        }
        return false;
    }
};

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

QSettings librarySettings()
{
    return QSettings(QString::fromLatin1(MainWindowAssembly::kSettingsOrganization),
                     QString::fromLatin1(MainWindowAssembly::kSettingsApplication));
}

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

    // Album loads read off the GUI thread; the album popup and Save wait.
    m_albumLoader = std::make_unique<AlbumLoader>(m_window, m_mainWindow->statusBar());
    m_window.iPhotoDataLoader = [this] { m_albumLoader->load(); };
    connect(m_albumLoader.get(), &AlbumLoader::loadingChanged, this, [this](bool loading) {
        // Disabling the popup moves the focus away from it: it comes back
        // once the load is over.
        if (loading) {
            m_popupHadFocus = m_mainWindow->focusWidget() == m_ui->albumPopup;
            ++m_albumGeneration; // the album data goes: a count in progress stops
        }
        for (QWidget *widget : {static_cast<QWidget *>(m_ui->albumPopup), static_cast<QWidget *>(m_ui->saveButton)})
            widget->setEnabled(!loading);
        m_ui->saveAction->setEnabled(!loading);
        if (!loading && m_popupHadFocus)
            m_ui->albumPopup->setFocus();
    });
    // Counted again once every load has ended (the album file's read may end
    // on another turn of the event loop).
    connect(m_albumLoader.get(), &AlbumLoader::finished, this, [this] {
        showSelectedAlbum();
    });

    setUpKeyboard();
    setUpLibraryChoice();
    setUpOverview();

    connect(m_ui->saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(m_ui->saveAction, &QAction::triggered, this, [this] { save(); });
    connect(m_ui->reloadAction, &QAction::triggered, this, [this] { reload(); });
    connect(m_ui->quitAction, &QAction::triggered, m_mainWindow.get(), &QMainWindow::close);
    // Only a choice the user makes: refilling the popup during a load changes
    // its selection too, and the load itself follows that up.
    connect(m_ui->albumPopup, &QComboBox::activated, this, [this] {
        m_window.setSelectedAlbum();
        showSelectedAlbum();
    });
    // The window is the application's delegate: each time the application
    // becomes active (start-up included) the album data is read again.
    connect(qApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) { activationChanged(state); });
}

MainWindowAssembly::~MainWindowAssembly() = default;

void MainWindowAssembly::awake()
{
    m_window.awakeFromNib();
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
    (m_window.*operation)();
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

// ---------------------------------------------------------------------------
// Keyboard

void MainWindowAssembly::setUpKeyboard()
{
    // Save is drawn as the default button: Return or Enter in a field presses
    // it, as in a dialog.
    for (QLineEdit *field : {m_ui->titleField, m_ui->clipDurationField, m_ui->transitionDurationField,
                             m_ui->widthField, m_ui->heightField})
        connect(field, &QLineEdit::returnPressed, this, [this] { save(); });
    // The focus starts on the first control of the Tab order, drawn as after
    // a Tab, so the keyboard user sees where typing goes.
    m_ui->albumPopup->setFocus(Qt::TabFocusReason);
    m_mainWindow->installEventFilter(new FocusShownAtStart(m_mainWindow.get()));
}

// ---------------------------------------------------------------------------
// Library choice

void MainWindowAssembly::setUpLibraryChoice()
{
    m_ui->openLibraryAction->setShortcut(QKeySequence::Open);
    connect(m_ui->openLibraryAction, &QAction::triggered, this, [this] { chooseLibrary(); });
    connect(m_ui->chooseLibraryButton, &QPushButton::clicked, this, [this] { chooseLibrary(); });
    connect(m_ui->defaultLibraryAction, &QAction::triggered, this, [this] { useDefaultLibrary(); });
}

void MainWindowAssembly::chooseStartLibrary(const QString &libraryOption)
{
    if (!libraryOption.isNull())
        m_window.setLibraryLocation(QFileInfo(libraryOption).absoluteFilePath());
    else
        m_window.setLibraryLocation(librarySettings().value(QString::fromLatin1(kLibrarySetting)).toString());
}

void MainWindowAssembly::chooseLibrary()
{
    LibraryDialog dialog(m_mainWindow.get());
    const QString current = m_window.albumFilePath();
    dialog.setDirectory(QFileInfo(current).absolutePath());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        openLibrary(dialog.selectedFiles().first());
}

void MainWindowAssembly::openLibrary(const QString &folderOrFile)
{
    const QString location = QFileInfo(folderOrFile).absoluteFilePath();
    librarySettings().setValue(QString::fromLatin1(kLibrarySetting), location);
    switchLibrary(location);
}

void MainWindowAssembly::useDefaultLibrary()
{
    librarySettings().remove(QString::fromLatin1(kLibrarySetting));
    switchLibrary(QString());
}

void MainWindowAssembly::switchLibrary(const QString &folderOrFile)
{
    m_window.setLibraryLocation(folderOrFile);
    // The albums of the old library do not belong to the new one, even when
    // the new one cannot be read.
    m_ui->albumPopup->clear();
    reload();
}

// ---------------------------------------------------------------------------
// Album overview

void MainWindowAssembly::setUpOverview()
{
    // Until the first load there is nothing to count.
    m_ui->showPhotosButton->hide();
    m_ui->chooseLibraryButton->hide();
    connect(m_ui->showPhotosButton, &QPushButton::clicked, this, [this] { showPhotosWithoutFile(); });
}

void MainWindowAssembly::showSelectedAlbum()
{
    ++m_albumGeneration;
    if (m_window.gPlist.isNone()) {
        ++m_overviewGeneration;
        showLibraryNotice();
        m_thumbnailGrid->showPhotos({});
        return;
    }
    m_counting = AlbumOverview();
    m_counting.photoCount = m_window.getFilesCount();
    m_countedPhotos.clear();
    m_countingAlbum = true;
    countSlice(m_albumGeneration, 0);
}

void MainWindowAssembly::countSlice(quint64 generation, int32_t from)
{
    if (generation != m_albumGeneration)
        return; // another album, or a load, came meanwhile
    const int32_t to = int32_t(std::min<int64_t>(int64_t(from) + kPhotosPerTurn, m_counting.photoCount));
    for (int32_t index = from; index < to; ++index) {
        const rvWindow::Photo photo = m_window.photoAt(index);
        countPhoto(m_counting, index, photo);
        m_countedPhotos.append(ThumbnailModel::Photo::of(photo));
    }
    if (to < m_counting.photoCount) {
        QTimer::singleShot(0, this, [this, generation, to] { countSlice(generation, to); });
        return;
    }
    m_countingAlbum = false;
    showCountedOverview(std::exchange(m_counting, AlbumOverview()));
    m_thumbnailGrid->showPhotos(std::exchange(m_countedPhotos, {}));
}

void MainWindowAssembly::showCountedOverview(AlbumOverview overview)
{
    ++m_overviewGeneration; // a file lookup still running counts an album no longer shown
    if (overview.slidesToLookFor.size() <= kFilesLookedForAtOnce) {
        lookForFiles(overview);
        showOverview(overview);
        return;
    }
    // A big album: its files are looked for on a worker (the album data stays
    // here; the overview holds only its own strings), the counts so far shown
    // meanwhile.
    showOverview(overview);
    QtConcurrent::run([overview]() mutable {
        lookForFiles(overview);
        return overview;
    }).then(this, [this, generation = m_overviewGeneration](const AlbumOverview &lookedFor) {
        if (generation == m_overviewGeneration)
            showOverview(lookedFor);
    });
}

void MainWindowAssembly::showOverview(const AlbumOverview &overview)
{
    m_overview = overview;
    m_overviewText = overviewSummary(m_overview);
    if (const QString details = overviewDetails(m_overview); !details.isEmpty())
        m_overviewText += '\n' + details;
    if (!m_overview.filesLookedFor())
        m_overviewText += QStringLiteral("\nLooking for the image files…");
    m_ui->overviewLabel->setText(m_overviewText);
    m_ui->overviewLabel->setToolTip(QString::fromLatin1(kOverviewToolTip));
    m_ui->showPhotosButton->setVisible(m_overview.withoutImageFile() > 0);
    m_ui->chooseLibraryButton->hide();
    updatePhotosDialog();
}

void MainWindowAssembly::showLibraryNotice()
{
    m_overview = AlbumOverview();
    // The library as the user knows it: a folder, or the album file chosen.
    const QString albumFile = m_window.albumFilePath();
    const QString library =
        QFileInfo(albumFile).fileName() == QLatin1String("AlbumData.xml") ? QFileInfo(albumFile).path() : albumFile;
    const QString notice = fileExistsAtPath(albumFile) ? QStringLiteral("The photo library at %1 could not be read")
                                                       : QStringLiteral("No photo library at %1");
    m_overviewText = notice.arg(library);
    const QString elided = m_ui->overviewLabel->fontMetrics().elidedText(library, Qt::ElideMiddle, kOverviewPathWidth);
    m_ui->overviewLabel->setText(notice.arg(QLatin1Char('\n') + elided));
    m_ui->overviewLabel->setToolTip(m_overviewText);
    m_ui->showPhotosButton->hide();
    m_ui->chooseLibraryButton->show();
    updatePhotosDialog();
}

void MainWindowAssembly::updatePhotosDialog()
{
    m_photosListing = overviewListing(m_overview);
    if (m_photosDialog)
        m_photosDialog->findChild<QPlainTextEdit *>()->setPlainText(m_photosListing);
}

void MainWindowAssembly::showPhotosWithoutFile()
{
    if (!m_photosDialog) {
        auto *dialog = new QDialog(m_mainWindow.get());
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

// ---------------------------------------------------------------------------
// Thumbnails

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

} // namespace gui
