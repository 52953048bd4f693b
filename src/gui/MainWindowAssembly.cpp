#include "MainWindowAssembly.h"

#include "PreviewPanel.h"
#include "Settings.h"
#include "ThumbnailGrid.h"
#include "VideoRender.h"
#include "ui_MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFileDialog>
#include <QFormLayout>
#include <QGuiApplication>
#include <QKeySequence>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QPushButton>
#include <QRandomGenerator>
#include <QScreen>
#include <QSplitter>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTabBar>
#include <QTabWidget>

#include <algorithm>
#include <type_traits>

namespace gui {

namespace {

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

// The settings key of the soundtrack's path.
constexpr const char *kMusicSetting = "video/music";

// Room left around the window for the frame a window manager draws (title
// bar and borders), which is not known before the window is shown.
constexpr QSize kWindowFrame(16, 48);

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
            m_overviewPanel->albumDataGoing();
        }
        m_loading = loading;
        m_ui->albumPopup->setEnabled(!loading);
        updateSaveEnabled();
        if (!loading && m_popupHadFocus)
            m_ui->albumPopup->setFocus();
    });
    // Counted again once every load has ended (the album file's read may end
    // on another turn of the event loop).
    m_overviewPanel = std::make_unique<OverviewPanel>(m_window, m_ui->overviewLabel, m_ui->showPhotosButton,
                                                      m_ui->chooseLibraryButton, m_thumbnailGrid, m_mainWindow.get());
    connect(m_albumLoader.get(), &AlbumLoader::finished, m_overviewPanel.get(),
            [this] { m_overviewPanel->showSelectedAlbum(); });

    setUpKeyboard();
    setUpLibraryChoice();
    setUpVideo();
    setUpPreview();

    connect(m_ui->saveButton, &QPushButton::clicked, this, [this] { save(); });
    connect(m_ui->saveAction, &QAction::triggered, this, [this] { save(); });
    connect(m_ui->reloadAction, &QAction::triggered, this, [this] { reload(); });
    connect(m_ui->quitAction, &QAction::triggered, m_mainWindow.get(), &QMainWindow::close);
    // Only a choice the user makes: refilling the popup during a load changes
    // its selection too, and the load itself follows that up.
    connect(m_ui->albumPopup, &QComboBox::activated, this, [this] {
        m_window.setSelectedAlbum();
        m_overviewPanel->showSelectedAlbum();
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
    if (!m_toldOfMelt && VideoRender::meltProgram().isEmpty()) {
        m_mainWindow->statusBar()->showMessage(
            QStringLiteral("To save videos (MP4, WebM) as well, install melt: sudo apt install melt"), 20000);
        m_toldOfMelt = true;
    }
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

void MainWindowAssembly::updateSaveEnabled()
{
    const bool enabled = !m_loading && !m_renderStatus->rendering();
    m_ui->saveButton->setEnabled(enabled);
    m_ui->saveAction->setEnabled(enabled);
}

// ---------------------------------------------------------------------------
// Video

void MainWindowAssembly::setUpVideo()
{
    m_renderStatus = new RenderStatus(m_mainWindow->statusBar());
    connect(m_renderStatus, &RenderStatus::renderingChanged, this, [this] {
        updateSaveEnabled();
        m_previewPanel->holdBack(m_renderStatus->rendering()); // the render gets the cores
    });
    m_controller.videoRenderStarted = [this](VideoRender &render) {
        const rvWindow::FrameRate rate = m_window.frameRate();
        m_renderStatus->follow(render, double(rate.numerator) / rate.denominator);
    };

    // The Video group's labels line up with the settings' above it.
    int labelWidth = 0;
    for (int row = 0; row < m_ui->settingsLayout->rowCount(); ++row) {
        if (QLayoutItem *label = m_ui->settingsLayout->itemAt(row, QFormLayout::LabelRole))
            labelWidth = std::max(labelWidth, label->sizeHint().width());
    }
    for (int row = 0; row < m_ui->videoLayout->rowCount(); ++row) {
        QLayoutItem *item = m_ui->videoLayout->itemAt(row, QFormLayout::LabelRole);
        if (auto *label = item ? qobject_cast<QLabel *>(item->widget()) : nullptr) {
            label->setMinimumWidth(labelWidth);
            label->setAlignment(m_ui->videoLayout->labelAlignment());
        }
    }

    // Each popup lists its choices in their order, each choice is remembered
    // by its name ("video/quality" = "good") and the check boxes by their
    // state; what is not remembered (or no longer makes sense) is the default.
    VideoSettings &video = m_controller.videoSettings;
    const auto popup = [this](QComboBox *box, const char *key, auto &setting, auto named, auto name) {
        setting = named(applicationSettings().value(QLatin1String(key)).toString()).value_or(setting);
        box->setCurrentIndex(int(setting));
        connect(box, &QComboBox::currentIndexChanged, this, [&setting, key, name](int index) {
            setting = std::remove_reference_t<decltype(setting)>(index);
            applicationSettings().setValue(QLatin1String(key), name(setting));
        });
    };
    popup(m_ui->qualityPopup, "video/quality", video.quality, videoQualityNamed, [](VideoQuality q) { return nameOf(q); });
    popup(m_ui->motionPopup, "video/motion", video.motion, motionNamed, [](Motion m) { return nameOf(m); });
    popup(m_ui->framingPopup, "video/framing", video.framing, framingNamed, [](Framing f) { return nameOf(f); });
    const std::pair<QCheckBox *, std::pair<const char *, bool VideoSettings::*>> checks[] = {
        {m_ui->fitToMusicCheckBox, {"video/fitToMusic", &VideoSettings::fitToMusic}},
        {m_ui->shuffleCheckBox, {"video/shuffle", &VideoSettings::shuffle}},
        {m_ui->captionsCheckBox, {"video/captions", &VideoSettings::captions}},
        {m_ui->titleCardCheckBox, {"video/titleCard", &VideoSettings::titleCard}}};
    for (const auto &[box, setting] : checks) {
        const auto [key, member] = setting;
        video.*member = applicationSettings().value(QLatin1String(key), false).toBool();
        box->setChecked(video.*member);
        connect(box, &QCheckBox::toggled, this, [this, key, member](bool on) {
            m_controller.videoSettings.*member = on;
            applicationSettings().setValue(QLatin1String(key), on);
        });
    }
    // The soundtrack, typed or chosen; the clips can stretch to it only when
    // there is one. Each save shuffles anew (the log tells the seed).
    const auto setMusic = [this](const QString &path) {
        m_controller.videoSettings.music = path.trimmed();
        m_ui->fitToMusicCheckBox->setEnabled(!m_controller.videoSettings.music.isEmpty());
    };
    m_ui->musicField->setText(applicationSettings().value(QLatin1String(kMusicSetting)).toString());
    setMusic(m_ui->musicField->text());
    connect(m_ui->musicField, &QLineEdit::textChanged, this, [setMusic](const QString &path) {
        setMusic(path);
        applicationSettings().setValue(QLatin1String(kMusicSetting), path.trimmed());
    });
    connect(m_ui->musicBrowseButton, &QPushButton::clicked, this, [this] {
        const QString current = m_ui->musicField->text().trimmed();
        const QString start = current.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::MusicLocation) : current;
        const QString chosen = QFileDialog::getOpenFileName(
            m_mainWindow.get(), QStringLiteral("Choose a Soundtrack"), start,
            QStringLiteral("Audio files (*.mp3 *.ogg *.oga *.opus *.flac *.wav *.m4a *.aac);;All files (*)"));
        if (!chosen.isEmpty())
            m_ui->musicField->setText(chosen);
    });

    // Quitting while a video renders asks first.
    m_mainWindow->installEventFilter(this);
}

bool MainWindowAssembly::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_mainWindow.get() || event->type() != QEvent::Close || !m_renderStatus->rendering())
        return false;
    QMessageBox question(QMessageBox::Question, QStringLiteral("Stop Rendering?"),
                         QStringLiteral("A video is still being rendered. Stop it and quit?"), QMessageBox::NoButton,
                         m_mainWindow.get());
    QPushButton *stop = question.addButton(QStringLiteral("&Stop and Quit"), QMessageBox::DestructiveRole);
    question.addButton(QStringLiteral("&Keep Rendering"), QMessageBox::RejectRole);
    question.exec();
    if (question.clickedButton() != stop) {
        event->ignore();
        return true;
    }
    m_controller.videoRender()->cancel();
    return false;
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
    m_libraryChooser = std::make_unique<LibraryChooser>(m_window, m_mainWindow.get(), [this] {
        // The albums of the old library do not belong to the new one, even
        // when the new one cannot be read.
        m_ui->albumPopup->clear();
        reload();
    });
    m_ui->openLibraryAction->setShortcut(QKeySequence::Open);
    connect(m_ui->openLibraryAction, &QAction::triggered, this, [this] { m_libraryChooser->chooseLibrary(); });
    connect(m_ui->chooseLibraryButton, &QPushButton::clicked, this, [this] { m_libraryChooser->chooseLibrary(); });
    connect(m_ui->defaultLibraryAction, &QAction::triggered, this, [this] { m_libraryChooser->useDefaultLibrary(); });
}

// ---------------------------------------------------------------------------
// Thumbnails

void MainWindowAssembly::addThumbnailGrid()
{
    // The settings keep their column and their least size (so a small window
    // still shows each of them); the grid takes whatever width is left, at
    // least one column and one row of photos.
    auto *splitter = new QSplitter(Qt::Horizontal);
    splitter->setObjectName(QStringLiteral("thumbnailSplitter"));
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(m_mainWindow->takeCentralWidget());
    m_thumbnailGrid = new ThumbnailGrid;
    m_thumbnailGrid->setObjectName(QStringLiteral("thumbnailGrid"));
    m_previewPanel = new PreviewPanel([this](QString *failure) {
        // As a save builds it; a shuffle without a seed keeps one order
        // while the window is open.
        const VideoSettings settings = m_controller.videoSettings;
        if (settings.shuffle && !settings.shuffleSeed)
            m_controller.videoSettings.shuffleSeed = m_previewSeed;
        MltProject project;
        std::optional<Timeline> timeline = m_controller.createTimeline(project);
        m_controller.videoSettings = settings;
        *failure = project.failure;
        return timeline;
    });
    m_previewPanel->setObjectName(QStringLiteral("previewPanel"));
    m_viewTabs = new QTabWidget;
    m_viewTabs->setObjectName(QStringLiteral("viewTabs"));
    m_viewTabs->setDocumentMode(true);
    m_viewTabs->addTab(m_thumbnailGrid, QStringLiteral("Photos"));
    m_viewTabs->addTab(m_previewPanel, QStringLiteral("Preview"));
    splitter->addWidget(m_viewTabs);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    const QSize settings = m_mainWindow->size();
    const QSize cell = m_thumbnailGrid->gridSize();
    const int gridFrame = 40 + m_viewTabs->tabBar()->sizeHint().height(); // the grid's frame, scroll bar and tab
    m_thumbnailGrid->setMinimumSize(cell + QSize(40, 40));
    m_mainWindow->setCentralWidget(splitter);

    // At first room for four columns and three rows of photos, as far as the
    // screen's free area allows with the window's frame around it.
    QSize size(settings.width() + 4 * cell.width() + gridFrame, std::max(settings.height(), 3 * cell.height() + gridFrame));
    if (const QScreen *screen = m_mainWindow->screen())
        size = size.boundedTo(screen->availableGeometry().size() - kWindowFrame);
    size = size.expandedTo(m_mainWindow->minimumSizeHint());
    splitter->setSizes({settings.width(), size.width() - settings.width()});
    m_mainWindow->resize(size);
    QWidget::setTabOrder(m_ui->saveButton, m_thumbnailGrid);
}

void MainWindowAssembly::showPreview(bool preview)
{
    m_viewTabs->setCurrentWidget(preview ? static_cast<QWidget *>(m_previewPanel) : m_thumbnailGrid);
}

// ---------------------------------------------------------------------------
// Preview

void MainWindowAssembly::setUpPreview()
{
    m_previewSeed = QRandomGenerator::system()->generate64();
    const auto changed = [this] { m_previewPanel->settingsChanged(); };
    for (QLineEdit *field : {m_ui->titleField, m_ui->clipDurationField, m_ui->transitionDurationField,
                             m_ui->widthField, m_ui->heightField, m_ui->musicField})
        connect(field, &QLineEdit::textChanged, this, changed);
    for (QComboBox *popup : {m_ui->albumPopup, m_ui->transitionPopup, m_ui->frameRatePopup, m_ui->motionPopup,
                             m_ui->framingPopup})
        connect(popup, &QComboBox::currentIndexChanged, this, changed);
    for (QCheckBox *box : {m_ui->fitToMusicCheckBox, m_ui->shuffleCheckBox, m_ui->captionsCheckBox,
                           m_ui->titleCardCheckBox})
        connect(box, &QCheckBox::toggled, this, changed);
    connect(m_albumLoader.get(), &AlbumLoader::finished, this, changed);
}

} // namespace gui
