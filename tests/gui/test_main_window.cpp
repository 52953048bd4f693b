// The window layout's wiring to rvWindow and rvController, off screen.
#include "AlbumFile.h"
#include "AnswerDialog.h"
#include "WindowRoad.h"
#include "LogCapture.h"
#include "MainWindowAssembly.h"
#include "PreviewPanel.h"
#include "QtApplication.h"
#include "QtBackend.h"
#include "SampleHome.h"
#include "ThumbnailGrid.h"
#include "VideoRender.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSemaphore>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QThreadPool>
#include <QTabWidget>
#include <QTimer>

namespace {

// The application's settings in a folder of the test's own, from before the
// window reads them.
struct TemporarySettings {
    TemporarySettings() { QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder.path()); }
    QTemporaryDir folder;
};

// The window on the sample library, not yet started.
class Assembly : public ::testing::Test {
protected:
    Assembly() { toolkit::setBackend(&qtBackend); }
    ~Assembly() override { toolkit::setBackend(nullptr); }
    template <typename T = QComboBox> T *widget(const char *name) { return assembly.mainWindow()->findChild<T *>(name); }
    QComboBox *albums() { return widget("albumPopup"); }
    bool shown(const char *name) { return widget<QWidget>(name)->isVisibleTo(assembly.mainWindow()); }
    // Waits for the album load in progress, if any, to be applied.
    bool loaded() { return QTest::qWaitFor([this] { return !assembly.albumLoader().isLoading(); }); }
    bool started() { return assembly.awake(), loaded(); }
    QString status() { return assembly.mainWindow()->statusBar()->findChild<QLabel *>()->text(); }
    // The user moves the album popup to the next album with the keyboard.
    void chooseNextAlbum() { albums()->setFocus(), QTest::keyClick(albums(), Qt::Key_Down); }
    bool counted() { return QTest::qWaitFor([&] { return !assembly.overviewPanel().counting() && !assembly.overviewPanel().pending(); }); }

    toolkit::QtBackend qtBackend;
    TemporarySettings settings;
    SampleHome home;
    gui::MainWindowAssembly assembly;
    rvWindow &window = assembly.window();
};

// Start-up loads the library; the user's choice of album reaches the window.
// Becoming active reloads the albums keeping that choice; while the save panel
// is open, only once the save is over: the document keeps the title the user
// confirmed.
TEST_F(Assembly, ChoiceKeptByReloadsOnActivationAfterASave)
{
    ASSERT_TRUE(started());
    chooseNextAlbum();
    EXPECT_EQ(window.getSlideShowTitle(), kSampleAlbums[1]);
    widget<QLineEdit>("titleField")->setText("Typed title");
    answerDialog([&](QFileDialog *dialog) {
        home.renameAlbum(kSampleAlbums[0], "Seaside");
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        EXPECT_TRUE(loaded()); // a load started now would end before the save
        typeFileName(dialog, home.desktop() + "/during.json");
    });
    widget<QPushButton>("saveButton")->click();
    EXPECT_EQ(documentAt(home.desktop() + "/during.json")["sequence"]["projectName"], "Typed title");
    ASSERT_TRUE(loaded());
    EXPECT_EQ(albums()->itemText(0), "Seaside");
    EXPECT_EQ(albums()->currentText(), kSampleAlbums[1]);
    EXPECT_EQ(window.getSlideShowTitle(), kSampleAlbums[1]);
    EXPECT_FALSE(QApplication::overrideCursor()); // the wait cursor is gone again
}

// The line below the album popup follows every album choice and reload; the
// list behind "Show…" names each photo without an image file.
TEST_F(Assembly, OverviewOfTheChosenAlbum)
{
    ASSERT_TRUE(started());
    EXPECT_EQ(assembly.overviewPanel().text(), "5 photos · 1 without an image file\n1 has no image path");
    chooseNextAlbum();
    EXPECT_EQ(assembly.overviewPanel().text(), "4 photos · 1 without an image file\n1 file is missing");
    EXPECT_TRUE(shown("showPhotosButton"));

    widget<QPushButton>("showPhotosButton")->click();
    ASSERT_TRUE(assembly.overviewPanel().photosDialog());
    const QString listed = assembly.overviewPanel().photosDialog()->findChild<QPlainTextEdit *>()->toPlainText();
    EXPECT_TRUE(listed.endsWith("The glacier\t" + home.path() + "/Pictures/iPhoto Library/Originals/glacier.jpg"))
        << listed.toStdString();

    // The missing file appears: a reload counts it, the open list follows.
    QFile(home.path() + "/Pictures/iPhoto Library/Originals/glacier.jpg").open(QIODevice::WriteOnly);
    assembly.reload();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(assembly.overviewPanel().text(), "4 photos");
    EXPECT_FALSE(shown("showPhotosButton"));
    EXPECT_EQ(assembly.overviewPanel().photosDialog()->findChild<QPlainTextEdit *>()->toPlainText(), "");
}

// A big album's files are looked for on a worker; a newer choice wins over a
// lookup still running.
TEST_F(Assembly, BigAlbumFilesLookedForOffTheGuiThread)
{
    const QString library = home.filePath("Big Library");
    QStringList keys;
    fixtures::AlbumFile file;
    for (int i = 0; i < 300; ++i) {
        const QString path = library + "/" + QString::number(i) + ".jpg";
        file.image(keys.emplace_back(QString::number(i)), path);
        ASSERT_TRUE(i == 150 || fixtures::writeBytes(path, "")); // photo 150 is missing
    }
    ASSERT_TRUE(fixtures::writeBytes(library + "/AlbumData.xml", file.album("Big", keys).album("Small", {"1"}).xml()));

    // The workers are held busy until the pending overview has been seen.
    QSemaphore hold;
    const int workers = QThreadPool::globalInstance()->maxThreadCount();
    for (int i = 0; i < workers; ++i)
        QThreadPool::globalInstance()->start([&hold] { hold.acquire(); });
    assembly.libraryChooser().chooseStartLibrary(library);
    assembly.awake();
    const bool wasLoaded = loaded();
    EXPECT_TRUE(assembly.overviewPanel().pending());
    EXPECT_EQ(assembly.overviewPanel().text(), "300 photos\nLooking for the image files…");
    hold.release(workers);
    ASSERT_TRUE(wasLoaded);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !assembly.overviewPanel().pending(); }));
    EXPECT_EQ(assembly.overviewPanel().text(), "300 photos · 1 without an image file\n1 file is missing");

    assembly.reload();
    ASSERT_TRUE(loaded());
    chooseNextAlbum();
    QThreadPool::globalInstance()->waitForDone();
    QCoreApplication::processEvents(); // the old lookup's answer arrives, and is dropped
    EXPECT_EQ(assembly.overviewPanel().text(), "1 photo");
}

// An album too big to count in one turn of the event loop is counted a slice
// at a time; a choice made meanwhile stops the count in progress.
TEST_F(Assembly, HugeAlbumIsCountedASliceAtATime)
{
    QStringList keys;
    fixtures::AlbumFile file;
    for (int i = 0; i < 9000; ++i)
        file.image(keys.emplace_back(QString::number(i)), home.filePath("gone.jpg"));
    ASSERT_TRUE(fixtures::writeBytes(home.filePath("Huge.xml"), file.album("Huge", keys).album("One", {"1"}).xml()));
    assembly.libraryChooser().chooseStartLibrary(home.filePath("Huge.xml"));
    ASSERT_TRUE(started());
    EXPECT_TRUE(assembly.overviewPanel().counting());
    ASSERT_TRUE(counted());
    EXPECT_EQ(assembly.overviewPanel().text(), "9000 photos · 9000 without an image file\n9000 files are missing");
    EXPECT_EQ(assembly.thumbnailGrid()->model()->rowCount(), 9000);

    assembly.reload(); // the same file: shown again, and counted again
    ASSERT_TRUE(loaded() && assembly.overviewPanel().counting());
    chooseNextAlbum();
    ASSERT_TRUE(counted());
    QCoreApplication::processEvents();
    EXPECT_EQ(assembly.overviewPanel().text(), "1 photo · 1 without an image file\n1 file is missing");
    EXPECT_EQ(assembly.thumbnailGrid()->model()->rowCount(), 1);
}

// Where the album file is looked for: the command line's library for one run,
// else the remembered choice (opened from the menu), else the default; and
// what the window says when there is none.
TEST_F(Assembly, LibraryLocation)
{
    const QString defaultFile = home.path() + "/Pictures/iPhoto Library/AlbumData.xml";
    // The sample library's album file moved to a folder of its own.
    const QString moved = home.filePath("Elsewhere/My Library");
    ASSERT_TRUE(QDir().mkpath(moved) && QFile::rename(defaultFile, moved + "/AlbumData.xml"));

    assembly.libraryChooser().chooseStartLibrary(QString());
    EXPECT_EQ(window.albumFilePath(), defaultFile);
    ASSERT_TRUE(started());
    EXPECT_EQ(assembly.overviewPanel().text(), "No photo library at " + home.path() + "/Pictures/iPhoto Library");
    EXPECT_TRUE(shown("chooseLibraryButton"));

    assembly.libraryChooser().openLibrary(moved); // remembered
    ASSERT_TRUE(loaded());
    EXPECT_EQ(titlesOf(albums()), kSampleAlbums);
    EXPECT_FALSE(shown("chooseLibraryButton"));

    // Options relative to the working folder; a path that is no folder is
    // taken as the album file.
    const QString elsewhere = home.filePath("Elsewhere");
    const QString notAlbum = home.filePath("Pictures/iPhoto Library/Originals/beach.jpg");
    const struct { const char *option; QString albumFile, notice; } starts[] = {
        {nullptr, moved + "/AlbumData.xml", ""}, // the remembered choice
        {"Elsewhere", elsewhere + "/AlbumData.xml", "No photo library at " + elsewhere},
        {"/nowhere", "/nowhere", "No photo library at /nowhere"},
        {"Pictures/iPhoto Library/Originals/beach.jpg", notAlbum, "The photo library at " + notAlbum + " could not be read"},
    };
    const QString oldWorkingFolder = QDir::currentPath();
    QDir::setCurrent(home.path());
    for (const auto &start : starts) {
        SCOPED_TRACE(start.option ? start.option : "no option");
        gui::MainWindowAssembly next;
        next.libraryChooser().chooseStartLibrary(start.option ? QString::fromUtf8(start.option) : QString());
        next.awake();
        ASSERT_TRUE(QTest::qWaitFor([&] { return !next.albumLoader().isLoading(); }));
        EXPECT_EQ(next.window().albumFilePath(), start.albumFile);
        EXPECT_EQ(next.overviewPanel().text(), start.notice.isEmpty() ? "5 photos · 1 without an image file\n1 has no image path"
                                                              : start.notice);
    }
    QDir::setCurrent(oldWorkingFolder);
    EXPECT_EQ(QSettings("slideshow-exporter", "slideshow-exporter").value("library"), moved);

    // File > Open Library… takes an album file itself or a library folder, as
    // a person opens them: with the file's name typed, or the folder as it is.
    ASSERT_TRUE(QFile::copy(moved + "/AlbumData.xml", moved + "/Copy.xml"));
    for (const QString &chosen : {moved + "/Copy.xml", moved}) {
        SCOPED_TRACE(chosen.toStdString());
        answerDialog([&](QFileDialog *dialog) {
            dialog->setDirectory(moved);
            if (chosen != moved)
                dialog->findChild<QLineEdit *>("fileNameEdit")->setText("Copy.xml");
        });
        widget<QAction>("openLibraryAction")->trigger();
        ASSERT_TRUE(loaded());
        EXPECT_EQ(window.libraryLocation().toStdString(), chosen.toStdString());
        EXPECT_EQ(titlesOf(albums()), kSampleAlbums);
    }

    // Back to the default library, which is gone: the old albums go too.
    widget<QAction>("defaultLibraryAction")->trigger();
    ASSERT_TRUE(loaded());
    EXPECT_EQ(window.albumFilePath(), defaultFile);
    EXPECT_EQ(albums()->count(), 0);
    EXPECT_FALSE(QSettings("slideshow-exporter", "slideshow-exporter").contains("library"));
}

// A library chosen while another is being read: its albums are the ones shown.
TEST_F(Assembly, LibraryChosenDuringALoadIsLoadedAfterIt)
{
    const QString other = home.filePath("Other.xml");
    ASSERT_TRUE(fixtures::writeBytes(other, fixtures::AlbumFile().album("Elsewhere", {}).xml()));
    assembly.awake();
    ASSERT_TRUE(assembly.albumLoader().isLoading());
    assembly.libraryChooser().openLibrary(other);
    ASSERT_TRUE(loaded());
    EXPECT_EQ(titlesOf(albums()), QStringList{"Elsewhere"});
}

TEST(WindowOptions, LibraryOption)
{
    const struct { QStringList arguments; std::optional<QString> library; } cases[] = {
        {{"app"}, QString()},
        {{"app", "--library", "/media/Photos/iPhoto Library"}, "/media/Photos/iPhoto Library"},
        {{"app", "--library=lib.xml"}, "lib.xml"},
        {{"app", "--library"}, std::nullopt},
        {{"app", "--library="}, std::nullopt},
        {{"app", "--libary", "x"}, std::nullopt},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QString error;
        const std::optional<gui::WindowOptions> options = gui::parseWindowOptions(c.arguments, &error);
        EXPECT_EQ(options ? std::optional(options->library) : std::nullopt, c.library);
        EXPECT_EQ(error.isEmpty(), c.library.has_value());
    }
}

// The keyboard: the focus starts on the album popup and shows; Tab goes
// through the settings in order; button, menu item, shortcut, and Return or
// Enter in a field each run the save panel and write the document where it
// says; every label has a mnemonic of its own and a buddy.
TEST_F(Assembly, KeyboardAndWaysToSave)
{
    ASSERT_TRUE(started());
    assembly.mainWindow()->show();
    QApplication::setActiveWindow(assembly.mainWindow());
    ASSERT_TRUE(QTest::qWaitForWindowActive(assembly.mainWindow()));
    EXPECT_EQ(QApplication::focusWidget(), albums());
    EXPECT_TRUE(assembly.mainWindow()->testAttribute(Qt::WA_KeyboardFocusChange));

    widget<QLineEdit>("musicField")->setText("/music/tune.ogg"); // the clips can stretch to it
    QStringList order{QApplication::focusWidget()->objectName()};
    for (int i = 0; i < 18; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget()->objectName();
    }
    EXPECT_EQ(order, QStringList({"albumPopup", "titleField", "clipDurationField", "transitionDurationField",
                                  "transitionPopup", "frameRatePopup", "widthField", "heightField",
                                  "newProjectCheckBox", "qualityPopup", "motionPopup", "framingPopup", "musicField",
                                  "musicBrowseButton", "fitToMusicCheckBox", "shuffleCheckBox", "captionsCheckBox",
                                  "titleCardCheckBox", "saveButton"}));

    const std::pair<QString, std::function<void()>> ways[] = {
        {"button", [&] { QTest::mouseClick(widget<QPushButton>("saveButton"), Qt::LeftButton); }},
        {"menu", [&] { widget<QAction>("saveAction")->trigger(); }},
        {"shortcut", [&] { QTest::keySequence(assembly.mainWindow(), QKeySequence::Save); }},
        {"Return", [&] { QTest::keyClick(widget<QLineEdit>("titleField"), Qt::Key_Return); }},
        {"Enter", [&] { QTest::keyClick(widget<QLineEdit>("heightField"), Qt::Key_Enter); }}};
    for (const auto &[way, save] : ways) {
        widget<QLineEdit>("titleField")->setText("By " + way);
        qputenv(toolkit::kSavePanelScriptVariable, QFile::encodeName(home.desktop() + "/" + way));
        save();
        EXPECT_EQ(documentAt(home.desktop() + "/" + way + ".json")["sequence"]["projectName"], "By " + way);
    }
    qunsetenv(toolkit::kSavePanelScriptVariable);

    QMap<QChar, QString> mnemonics{{'F', "File menu"}};
    auto claim = [&](const QString &text, const QString &owner) {
        const qsizetype at = text.indexOf('&');
        ASSERT_GE(at, 0) << owner.toStdString() << " has no mnemonic";
        const QChar key = text.at(at + 1).toUpper();
        EXPECT_FALSE(mnemonics.contains(key)) << owner.toStdString() << " and " << mnemonics[key].toStdString();
        mnemonics[key] = owner;
    };
    for (QLabel *label : assembly.mainWindow()->findChildren<QLabel *>())
        if (label->buddy())
            claim(label->text(), label->objectName());
        else
            EXPECT_FALSE(label->text().contains('&')) << label->objectName().toStdString();
    for (QAbstractButton *button : assembly.mainWindow()->findChildren<QAbstractButton *>())
        if (!button->text().isEmpty())
            claim(button->text(), button->objectName());
    EXPECT_EQ(mnemonics.size(), 24);
}

// The layout's choices and defaults, which the command line offers too (its
// tests pin their order: 29.97 first, the random transition last). The window
// opens within the screen's free area (the off-screen screen is 1024x768, with
// the window manager's frame around it); shrunk as far as it goes, it still
// shows every setting whole and a column of photos.
TEST_F(Assembly, LayoutChoicesAndTooSmallAWindow)
{
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    ASSERT_LE(screen.width(), 1024);
    EXPECT_TRUE(screen.contains(QRect(screen.topLeft(), assembly.mainWindow()->size()))) << screen.width();
    EXPECT_EQ(titlesOf(widget("frameRatePopup")), cli::Layout::frameRateTitles());
    EXPECT_EQ(titlesOf(widget("transitionPopup")), cli::Layout::transitionTitles());
    const auto text = [&](const char *name) { return widget<QLineEdit>(name)->text(); };
    EXPECT_EQ(QStringList({text("clipDurationField"), text("transitionDurationField"), text("widthField"), text("heightField")}),
              QStringList({cli::Layout::clipDuration(), cli::Layout::transitionDuration(), cli::Layout::width(),
                           cli::Layout::height()}));
    ASSERT_TRUE(started());
    assembly.mainWindow()->show();
    assembly.mainWindow()->resize(1, 1);
    QApplication::processEvents();
    EXPECT_EQ(assembly.mainWindow()->size(), assembly.mainWindow()->minimumSizeHint());
    const QSize cell = assembly.thumbnailGrid()->gridSize();
    EXPECT_GE(assembly.thumbnailGrid()->viewport()->width(), cell.width());
    EXPECT_GE(assembly.thumbnailGrid()->viewport()->height(), cell.height());
    for (QWidget *control : assembly.mainWindow()->centralWidget()->findChildren<QWidget *>()) {
        if (!control->isVisibleTo(assembly.mainWindow()) || control->objectName().startsWith("qt_"))
            continue;
        SCOPED_TRACE(control->objectName().toStdString());
        const QRect shown = control->visibleRegion().boundingRect();
        EXPECT_EQ(shown.size(), control->size());
        EXPECT_GE(control->width(), std::min(control->sizeHint().width(), control->minimumSizeHint().width()));
    }
}

// The Video group fills the controller's video settings and is remembered:
// a window opened afterwards starts with the same choices. The clips stretch
// to the soundtrack only when there is one.
TEST_F(Assembly, VideoSettingsAreUsedAndRemembered)
{
    EXPECT_FALSE(widget<QCheckBox>("fitToMusicCheckBox")->isEnabled());
    widget("qualityPopup")->setCurrentIndex(2);
    widget("motionPopup")->setCurrentIndex(1);
    widget("framingPopup")->setCurrentIndex(1);
    widget<QLineEdit>("musicField")->setText(" /music/tune.ogg ");
    EXPECT_TRUE(widget<QCheckBox>("fitToMusicCheckBox")->isEnabled());
    for (const char *box : {"fitToMusicCheckBox", "shuffleCheckBox", "captionsCheckBox", "titleCardCheckBox"})
        widget<QCheckBox>(box)->setChecked(true);

    const auto chosen = [](const VideoSettings &v) {
        return QStringList{nameOf(v.quality), nameOf(v.motion), nameOf(v.framing), v.music,
                           QString("%1%2%3%4").arg(v.fitToMusic).arg(v.shuffle).arg(v.captions).arg(v.titleCard)};
    };
    const QStringList expected{"best", "pan-zoom", "fill", "/music/tune.ogg", "1111"};
    EXPECT_EQ(chosen(assembly.controller().videoSettings), expected);
    gui::MainWindowAssembly reopened;
    EXPECT_EQ(chosen(reopened.controller().videoSettings), expected);
    EXPECT_EQ(reopened.mainWindow()->findChild<QLineEdit *>("musicField")->text(), "/music/tune.ogg");
    EXPECT_FALSE(reopened.controller().videoSettings.shuffleSeed); // a new order at each save
}

// A video saved from the window renders in the background: Save waits, the
// status bar shows the progress and Cancel, then what was saved with its
// folder one click away. Quitting meanwhile asks first; Cancel leaves no file.
TEST_F(Assembly, VideoRendersInTheBackground)
{
    ASSERT_TRUE(started());
    widget<QLineEdit>("widthField")->setText("160");
    widget<QLineEdit>("heightField")->setText("120");
    const auto saveAs = [&](const QString &name) {
        qputenv(toolkit::kSavePanelScriptVariable, QFile::encodeName(home.desktop() + "/" + name));
        widget<QPushButton>("saveButton")->click();
        qunsetenv(toolkit::kSavePanelScriptVariable);
    };
    // Without melt: no video type, and a word on how to get it.
    const QByteArray searchPath = qgetenv("PATH");
    qputenv("PATH", "/nonexistent");
    saveAs("Plain.json");
    qputenv("PATH", searchPath);
    EXPECT_EQ(toolkit::QtSavePanel::lastRequest().otherFileTypes, QStringList({"mlt", "kdenlive"}));
    EXPECT_TRUE(assembly.mainWindow()->statusBar()->currentMessage().contains("sudo apt install melt"));
    if (VideoRender::meltProgram().isEmpty())
        GTEST_SKIP() << "melt is not installed";

    const auto renderShown = [&] {
        return QList<bool>({assembly.renderStatus().rendering(), widget<QPushButton>("saveButton")->isEnabled(),
                            shown("renderProgress"), shown("renderCancelButton"), shown("openFolderButton")});
    };
    saveAs("Trip.mp4");
    EXPECT_EQ(renderShown(), QList<bool>({true, false, true, true, false}));
    QString asked;
    QTimer::singleShot(10, [&asked] { // the question, answered: keep rendering
        if (auto *question = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            asked = question->text();
            question->reject();
        }
    });
    assembly.mainWindow()->show();
    EXPECT_FALSE(assembly.mainWindow()->close());
    EXPECT_EQ(asked, "A video is still being rendered. Stop it and quit?");
    ASSERT_TRUE(QTest::qWaitFor([&] { return !assembly.renderStatus().rendering(); }, 60000));
    EXPECT_EQ(renderShown(), QList<bool>({false, true, false, false, true}));
    EXPECT_TRUE(assembly.renderStatus().text().startsWith("Saved Trip.mp4 (0:")) << assembly.renderStatus().text().toStdString();
    EXPECT_TRUE(QFileInfo(home.desktop() + "/Trip.mp4").size() > 0);

    saveAs("Stopped.mp4");
    widget<QPushButton>("renderCancelButton")->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !assembly.renderStatus().rendering(); }, 60000));
    EXPECT_EQ(assembly.renderStatus().text(), "Stopped rendering Stopped.mp4");
    EXPECT_EQ(QDir(home.desktop()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
              QStringList({"Plain.json", "Trip.mp4"}));
}

// The preview of a library of three colours (2 s each, cuts, 25 fps): each
// frame on screen shows its photo's colour, a seek shows the photo under it,
// pause stops the clock, a new frame rate restarts at the same moment, and
// melt is gone once the view hides and once the window closes.
TEST_F(Assembly, PreviewPlaysSeeksFollowsTheSettingsAndStops)
{
    const QColor colours[] = {Qt::red, Qt::green, Qt::blue};
    fixtures::AlbumFile library;
    QStringList keys;
    for (const QColor &colour : colours) {
        QImage image(64, 48, QImage::Format_RGB32);
        image.fill(colour);
        const QString path = home.filePath("Pictures/" + colour.name() + ".png");
        ASSERT_TRUE(QDir().mkpath(home.filePath("Pictures")) && image.save(path));
        library.image(keys.emplace_back(QString::number(keys.size())), path, colour.name());
    }
    ASSERT_TRUE(home.writeAlbumFile(library.album("Colours", keys).xml()));
    ASSERT_TRUE(started());
    if (VideoRender::meltProgram().isEmpty())
        GTEST_SKIP() << "melt is not installed";
    widget<QLineEdit>("clipDurationField")->setText("2");
    widget<QLineEdit>("transitionDurationField")->setText("0");
    widget<QLineEdit>("widthField")->setText("64");
    widget<QLineEdit>("heightField")->setText("48");
    widget("frameRatePopup")->setCurrentText("25 (PAL)");
    assembly.mainWindow()->show();
    assembly.showPreview(true);
    gui::PreviewPanel &preview = *assembly.previewPanel();

    // The colour on screen against the photo its frame belongs to.
    int wrong = 0;
    int64_t shown = -1; // the last frame put on screen
    const auto photoAt = [&](int64_t frame) { return colours[std::min<int64_t>(frame * 3 / preview.length(), 2)]; };
    QObject::connect(&preview, &gui::PreviewPanel::frameShown, &preview, [&](qint64 frame) {
        const QColor centre = preview.shownFrame().pixelColor(preview.shownFrame().rect().center());
        wrong += std::abs(centre.red() - photoAt(frame).red()) + std::abs(centre.green() - photoAt(frame).green()) > 60;
        shown = frame;
    });
    const auto at = [&](int64_t frame) { return QTest::qWaitFor([&] { return shown == frame; }, 10000); };
    ASSERT_TRUE(at(0));
    EXPECT_EQ(preview.length(), 150);

    preview.seek(110);
    ASSERT_TRUE(at(110));
    preview.seek(20);
    ASSERT_TRUE(at(20));
    // Space plays and pauses with the focus on the picture (where the tab
    // puts it), and presses a button elsewhere.
    QApplication::setActiveWindow(assembly.mainWindow());
    ASSERT_EQ(QApplication::focusWidget()->objectName(), "previewPicture");
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_TRUE(preview.isPlaying());
    ASSERT_TRUE(QTest::qWaitFor([&] { return preview.position() >= 60; }, 10000));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Space);
    EXPECT_FALSE(preview.isPlaying());
    const int64_t paused = preview.position();
    QTest::qWait(300);
    EXPECT_EQ(preview.position(), paused);
    widget<QCheckBox>("captionsCheckBox")->setFocus();
    QTest::keyClick(widget<QCheckBox>("captionsCheckBox"), Qt::Key_Space);
    EXPECT_FALSE(preview.isPlaying());
    EXPECT_TRUE(widget<QCheckBox>("captionsCheckBox")->isChecked());

    // 25 to 30 frames a second: the same second.
    preview.seek(70);
    ASSERT_TRUE(at(70));
    widget("frameRatePopup")->setCurrentText("30");
    ASSERT_TRUE(at(84));
    EXPECT_EQ(preview.length(), 180);
    EXPECT_EQ(wrong, 0);

    const qint64 melt = preview.stream().processId();
    ASSERT_NE(melt, 0);
    assembly.showPreview(false);
    EXPECT_FALSE(preview.stream().isRunning());
    EXPECT_FALSE(QFileInfo::exists(QString("/proc/%1").arg(melt)));
    assembly.showPreview(true);
    ASSERT_TRUE(at(84));
    const qint64 again = preview.stream().processId();
    ASSERT_NE(again, 0);
    assembly.mainWindow()->close();
    EXPECT_FALSE(QFileInfo::exists(QString("/proc/%1").arg(again)));
}

// The popup and title as a list of what happened to them, in order.
QStringList *recordEffects(QComboBox *albums, QLineEdit *title)
{
    auto *effects = new QStringList;
    QObject::connect(albums->model(), &QAbstractItemModel::rowsRemoved, albums, [=] { *effects << "cleared"; });
    QObject::connect(albums->model(), &QAbstractItemModel::rowsInserted, albums,
                     [=](const QModelIndex &, int first, int last) { *effects << QString("added %1").arg(last - first + 1); });
    QObject::connect(albums, &QComboBox::currentIndexChanged, albums, [=](int i) { *effects << QString("at %1").arg(i); });
    QObject::connect(title, &QLineEdit::textChanged, title, [=](const QString &t) { *effects << "title " + t; });
    QObject::connect(albums, &QObject::destroyed, [=] { delete effects; });
    return effects;
}

// Start-up reads off the GUI thread with the album popup and Save disabled,
// ignores an activation meanwhile, and applies the tree with the same effects
// on the controls, in the same order, as the load on one thread.
TEST_F(Assembly, BackgroundLoadAppliesLikeTheLoadOnOneThread)
{
    gui::MainWindowAssembly reference; // loads on the GUI thread
    reference.window().iPhotoDataLoader = nullptr;
    const QStringList *referenceEffects = recordEffects(reference.mainWindow()->findChild<QComboBox *>("albumPopup"),
                                                        reference.mainWindow()->findChild<QLineEdit *>("titleField"));
    reference.awake();
    const QString expected = referenceEffects->join(", ");
    ASSERT_TRUE(expected.endsWith("title " + kSampleAlbums[0])) << expected.toStdString();

    QStringList *effects = recordEffects(albums(), widget<QLineEdit>("titleField"));
    QSignalSpy started(&assembly.albumLoader(), &gui::AlbumLoader::loadingChanged);
    QSignalSpy finished(&assembly.albumLoader(), &gui::AlbumLoader::finished);
    assembly.awake();
    EXPECT_TRUE(effects->isEmpty());
    EXPECT_FALSE(albums()->isEnabled() || widget<QPushButton>("saveButton")->isEnabled()
                 || widget<QAction>("saveAction")->isEnabled());
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    ASSERT_TRUE(finished.wait());
    EXPECT_EQ(started.size(), 2); // on and off, once
    EXPECT_EQ(effects->join(", "), expected);
    EXPECT_TRUE(albums()->isEnabled() && widget<QPushButton>("saveButton")->isEnabled()
                && widget<QAction>("saveAction")->isEnabled());
    EXPECT_EQ(status(), QString("4 albums, %1 photos").arg(window.gMasterImageDictList.count()));
}

// A failed background load: the reason in the status bar and once in the log,
// popup and title as they were. Quitting during a load stops its worker.
TEST_F(Assembly, FailedAndAbandonedBackgroundLoads)
{
    ASSERT_TRUE(started());
    const QString albumFile = home.filePath("Pictures/iPhoto Library/AlbumData.xml");
    ASSERT_TRUE(fixtures::writeBytes(albumFile, "<plist><dict>"));
    fixtures::LogCapture log;
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    ASSERT_TRUE(loaded());
    ASSERT_EQ(log.count(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith("AlbumData.xml could not be read as a property list: "));
    EXPECT_EQ(status(), log.lines()[0]);
    EXPECT_EQ(titlesOf(albums()), kSampleAlbums);
    EXPECT_EQ(window.getSlideShowTitle(), kSampleAlbums[0]);

    // A file of some megabytes keeps the worker busy while the window goes.
    ASSERT_TRUE(fixtures::writeBytes(albumFile, "<plist><array>" + QByteArray("<string>photo</string>\n").repeated(200000)
                                                    + "</array></plist>"));
    auto other = std::make_unique<gui::MainWindowAssembly>();
    other->awake();
    EXPECT_TRUE(other->albumLoader().isLoading());
    other.reset(); // neither crashes nor hangs
}

} // namespace
