// The window layout's wiring to rvWindow and rvController, off screen.
#include "AnswerDialog.h"
#include "MainWindowAssembly.h"
#include "QtBackend.h"
#include "SampleHome.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>

namespace {

// The window on the sample library, not yet started.
class Assembly : public ::testing::Test {
protected:
    Assembly() { toolkit::setBackend(&qtBackend); }
    ~Assembly() override { toolkit::setBackend(nullptr); }
    template <typename T = QComboBox> T *widget(const char *name) { return assembly.mainWindow()->findChild<T *>(name); }

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
    QComboBox *albums = widget("albumPopup");
    albums->setFocus();
    QTest::keyClick(albums, Qt::Key_Down);
    EXPECT_EQ(window.getSlideShowTitle(), kSampleAlbums[1]);

    ASSERT_TRUE(home.renameAlbum(kSampleAlbums[0], "Seaside"));
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(albums->itemText(0), "Seaside");
    EXPECT_EQ(albums->currentText(), kSampleAlbums[1]);
    EXPECT_FALSE(QApplication::overrideCursor()); // the wait cursor is gone again
}

// Button, menu item and shortcut each run the save panel and write the
// document where it says.
TEST_F(Assembly, SaveByButtonMenuItemAndShortcut)
{
    assembly.awake();
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
    widget<QLineEdit>("titleField")->setText("Typed title");
    answerDialog([&](QFileDialog *dialog) {
        home.renameAlbum(kSampleAlbums[0], "Seaside");
        emit qApp->applicationStateChanged(Qt::ApplicationActive);
        dialog->selectFile(home.desktop() + "/during.json");
    });
    widget<QPushButton>("saveButton")->click();
    EXPECT_EQ(documentAt(home.desktop() + "/during.json")["sequence"]["projectName"], "Typed title");
    EXPECT_EQ(window.getSlideShowTitle(), "Seaside");
}

} // namespace
