// The window layout's wiring to rvWindow and rvController, off screen.
#include "AnswerDialog.h"
#include "LogCapture.h"
#include "MainWindowAssembly.h"
#include "QtBackend.h"
#include "SampleHome.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

namespace {

// The window on the sample library, not yet started.
class Assembly : public ::testing::Test {
protected:
    Assembly() { toolkit::setBackend(&qtBackend); }
    ~Assembly() override { toolkit::setBackend(nullptr); }
    template <typename T = QComboBox> T *widget(const char *name) { return assembly.mainWindow()->findChild<T *>(name); }
    // Waits for the album load in progress, if any, to be applied.
    bool loaded() { return QTest::qWaitFor([this] { return !assembly.albumLoader().isLoading(); }); }
    QString status() { return assembly.mainWindow()->statusBar()->findChild<QLabel *>()->text(); }

    toolkit::QtBackend qtBackend;
    SampleHome home;
    gui::MainWindowAssembly assembly;
    rvWindow &window = assembly.window();
};

TEST_F(Assembly, LayoutTitles)
{
    EXPECT_EQ(titlesOf(widget("frameRatePopup")).value(0), "29.97");
    EXPECT_EQ(titlesOf(widget("transitionPopup")).indexOf("(random)"), widget("transitionPopup")->count() - 1);
}

// Start-up loads the library; the user's choice of album reaches the window,
// and becoming active reloads the albums keeping that choice.
TEST_F(Assembly, StartUpChoiceAndReloads)
{
    assembly.awake();
    ASSERT_TRUE(loaded());
    QComboBox *albums = widget("albumPopup");
    albums->setFocus();
    QTest::keyClick(albums, Qt::Key_Down);
    EXPECT_EQ(window.getSlideShowTitle(), kSampleAlbums[1]);

    ASSERT_TRUE(home.renameAlbum(kSampleAlbums[0], "Seaside"));
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    ASSERT_TRUE(loaded());
    EXPECT_EQ(albums->itemText(0), "Seaside");
    EXPECT_EQ(albums->currentText(), kSampleAlbums[1]);
    EXPECT_FALSE(QApplication::overrideCursor()); // the wait cursor is gone again
}

// Button, menu item and shortcut each run the save panel and write the
// document where it says.
TEST_F(Assembly, SaveByButtonMenuItemAndShortcut)
{
    assembly.awake();
    ASSERT_TRUE(loaded());
    assembly.mainWindow()->show();
    QApplication::setActiveWindow(assembly.mainWindow());
    ASSERT_TRUE(QTest::qWaitForWindowActive(assembly.mainWindow()));
    const std::pair<QString, std::function<void()>> ways[] = {
        {"button", [&] { QTest::mouseClick(widget<QPushButton>("saveButton"), Qt::LeftButton); }},
        {"menu", [&] { widget<QAction>("saveAction")->trigger(); }},
        {"shortcut", [&] { QTest::keySequence(assembly.mainWindow(), QKeySequence::Save); }}};
    for (const auto &[way, save] : ways) {
        widget<QLineEdit>("titleField")->setText("By " + way);
        qputenv(toolkit::kSavePanelScriptVariable, QFile::encodeName(home.desktop() + "/" + way));
        save();
        qunsetenv(toolkit::kSavePanelScriptVariable);
        EXPECT_EQ(documentAt(home.desktop() + "/" + way + ".json")["sequence"]["projectName"], "By " + way);
    }
}

// An activation while the save panel is open reloads only once the save is
// over: the document keeps the title the user confirmed.
TEST_F(Assembly, ActivationDuringASaveReloadsAfterIt)
{
    assembly.awake();
    ASSERT_TRUE(loaded());
    widget<QLineEdit>("titleField")->setText("Typed title");
    answerDialog([&](QFileDialog *dialog) {
        home.renameAlbum(kSampleAlbums[0], "Seaside");
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        dialog->selectFile(home.desktop() + "/during.json");
    });
    widget<QPushButton>("saveButton")->click();
    EXPECT_EQ(documentAt(home.desktop() + "/during.json")["sequence"]["projectName"], "Typed title");
    ASSERT_TRUE(loaded());
    EXPECT_EQ(window.getSlideShowTitle(), "Seaside");
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

    QStringList *effects = recordEffects(widget("albumPopup"), widget<QLineEdit>("titleField"));
    QSignalSpy started(&assembly.albumLoader(), &gui::AlbumLoader::loadingChanged);
    QSignalSpy finished(&assembly.albumLoader(), &gui::AlbumLoader::finished);
    assembly.awake();
    EXPECT_TRUE(effects->isEmpty());
    EXPECT_FALSE(widget("albumPopup")->isEnabled() || widget<QPushButton>("saveButton")->isEnabled()
                 || widget<QAction>("saveAction")->isEnabled());
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    ASSERT_TRUE(finished.wait());
    EXPECT_EQ(started.size(), 2); // on and off, once
    EXPECT_EQ(effects->join(", "), expected);
    EXPECT_TRUE(widget("albumPopup")->isEnabled() && widget<QPushButton>("saveButton")->isEnabled()
                && widget<QAction>("saveAction")->isEnabled());
    EXPECT_EQ(status(), QString("4 albums, %1 photos").arg(window.gMasterImageDictList.count()));
}

// A failed background load: the reason in the status bar and once in the log,
// popup and title as they were. Quitting during a load stops its worker.
TEST_F(Assembly, FailedAndAbandonedBackgroundLoads)
{
    assembly.awake();
    ASSERT_TRUE(loaded());
    const QString albumFile = home.dir.filePath("Pictures/iPhoto Library/AlbumData.xml");
    QFile file(albumFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("<plist><dict>") > 0);
    file.close();
    fixtures::LogCapture log;
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    ASSERT_TRUE(loaded());
    ASSERT_EQ(log.count(), 1);
    EXPECT_TRUE(log.lines()[0].startsWith("AlbumData.xml could not be read as a property list: "));
    EXPECT_EQ(status(), log.lines()[0]);
    EXPECT_EQ(titlesOf(widget("albumPopup")), kSampleAlbums);
    EXPECT_EQ(window.getSlideShowTitle(), kSampleAlbums[0]);

    // A file of some megabytes keeps the worker busy while the window goes.
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("<plist><array>" + QByteArray("<string>photo</string>\n").repeated(200000) + "</array></plist>");
    file.close();
    auto other = std::make_unique<gui::MainWindowAssembly>();
    other->awake();
    EXPECT_TRUE(other->albumLoader().isLoading());
    other.reset(); // neither crashes nor hangs
}

} // namespace
