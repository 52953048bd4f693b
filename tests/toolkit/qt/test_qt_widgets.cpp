// The Qt backend off screen: the control adapters against what the window
// relies on, the save panel's dialog, and the window layout's wiring to
// rvWindow and rvController.
#include "MainWindowAssembly.h"
#include "QtBackend.h"
#include "SampleHome.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

TEST(QtControls, PopUpTextFieldAndCheckBox)
{
    // Adding items selects the first whenever the popup then has items but no
    // selection, also where QComboBox alone would not (placeholder text, items
    // with the selection cleared), and keeps a selection there was.
    struct Case { QStringList before; int selectedBefore; bool placeholder; QStringList added; int selected; };
    const Case cases[] = {{{}, -1, true, {"A", "B"}, 0}, {{"X", "Y"}, -1, false, {"A"}, 0}, {{"X", "Y"}, 1, false, {"A"}, 1},
                          {{}, -1, true, {}, -1}, {{}, -1, false, {"A", "A", "B", "A"}, 0}};
    for (const Case &c : cases) {
        QComboBox combo;
        combo.setPlaceholderText(c.placeholder ? "No photo library found" : "");
        combo.addItems(c.before);
        combo.setCurrentIndex(c.selectedBefore);
        toolkit::QtPopUpButton(&combo).addItemsWithTitles(c.added);
        EXPECT_EQ(titlesOf(&combo), c.before + c.added); // in order, equal titles kept
        EXPECT_EQ(toolkit::QtPopUpButton(&combo).indexOfSelectedItem(), c.selected) << c.added.join(',').toStdString();
    }

    QComboBox combo;
    toolkit::QtPopUpButton popup(&combo);
    popup.addItemsWithTitles({"Garden", "Trip", "Garden"});
    EXPECT_EQ(popup.indexOfItemWithTitle("Garden"), 0); // the first of equal titles
    EXPECT_EQ(popup.indexOfItemWithTitle(QString()), -1);
    EXPECT_TRUE(popup.itemTitleAtIndex(-1).isNull() && popup.itemTitleAtIndex(3).isNull());
    popup.selectItemAtIndex(-1);
    EXPECT_TRUE(popup.indexOfSelectedItem() == -1 && popup.titleOfSelectedItem().isNull());

    QLineEdit edit;
    toolkit::QtTextField field(&edit);
    field.setStringValue(" 12 seconds");
    EXPECT_EQ(field.intValue(), 12);
    QCheckBox check;
    check.click();
    EXPECT_EQ(toolkit::QtButton(&check).state(), 1);
}

// Answers the next modal file dialog once it is up, and confirms it.
void answerDialog(const std::function<void(QFileDialog *)> &answer)
{
    QTimer::singleShot(10, [answer] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog)
            return answerDialog(answer);
        answer(dialog);
        static_cast<QDialog *>(dialog)->accept(); // protected in QFileDialog
    });
}

// The real dialog opens in the folder, or the home folder when the folder is
// missing, proposing the name as a file name with the type; a typed name gets
// the type too.
TEST(QtSavePanel, DialogOpensInTheFolderWithTheProposedName)
{
    SampleHome home(false);
    QTemporaryDir dir;
    for (const auto &[folder, expected] : {std::pair{dir.path(), dir.path()}, {"/no/such", home.dir.path()}}) {
        toolkit::QtSavePanel panel;
        panel.setRequiredFileType("json");
        answerDialog([&](QFileDialog *dialog) {
            EXPECT_EQ(dialog->directory().absolutePath(), expected);
            EXPECT_EQ(dialog->selectedFiles().value(0), expected + "/Trip 2020-21.json");
            dialog->selectFile("notes.txt");
        });
        ASSERT_EQ(panel.runModalForDirectory(folder, "Trip 2020/21"), toolkit::SavePanel::kOK);
        EXPECT_EQ(panel.filename(), expected + "/notes.txt.json");
    }
}

// The window on the sample library, not yet started.
class Assembly : public ::testing::Test {
protected:
    Assembly() { toolkit::setBackend(&qtBackend); }
    ~Assembly() override { toolkit::setBackend(nullptr); }
    template <typename T = QComboBox> T *widget(const char *name) { return assembly.mainWindow()->findChild<T *>(name); }

    toolkit::QtBackend qtBackend;
    SampleHome home;
    toolkit::MainWindowAssembly assembly;
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
