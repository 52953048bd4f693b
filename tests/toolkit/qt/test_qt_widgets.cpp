// The Qt backend off screen: the control adapters against what the window
// relies on, the save panel's dialog, and the window layout's wiring to
// rvWindow and rvController.
#include "MainWindowAssembly.h"
#include "QtBackend.h"
#include "SampleHome.h"
#include "TextNumber.h"

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
    const Case cases[] = {{{}, -1, false, {"A", "B"}, 0},    {{}, -1, true, {"A", "B"}, 0},
                          {{"X", "Y"}, -1, false, {"A"}, 0}, {{"X", "Y"}, 1, false, {"A"}, 1},
                          {{}, -1, true, {}, -1},            {{}, -1, false, {"A", "A", "B", "A"}, 0}};
    for (const Case &c : cases) {
        QComboBox combo;
        combo.setPlaceholderText(c.placeholder ? "No photo library found" : "");
        combo.addItems(c.before);
        combo.setCurrentIndex(c.selectedBefore);
        toolkit::QtPopUpButton(&combo).addItemsWithTitles(c.added);
        EXPECT_EQ(titlesOf(&combo), c.before + c.added); // in order, equal titles kept
        EXPECT_EQ(toolkit::QtPopUpButton(&combo).indexOfSelectedItem(), c.selected)
            << (c.before + c.added).join(',').toStdString();
    }

    QComboBox combo;
    toolkit::QtPopUpButton popup(&combo);
    popup.addItemsWithTitles({"Garden", "Trip", "Garden", "", "trip"});
    EXPECT_EQ(popup.numberOfItems(), 5);
    EXPECT_EQ(popup.indexOfItemWithTitle("Garden"), 0); // the first of equal titles
    EXPECT_EQ(popup.indexOfItemWithTitle("trip"), 4);   // exact: case counts
    EXPECT_EQ(popup.indexOfItemWithTitle(""), 3);
    EXPECT_EQ(popup.indexOfItemWithTitle(QString()), -1);
    EXPECT_TRUE(popup.itemTitleAtIndex(-1).isNull() && popup.itemTitleAtIndex(5).isNull());
    popup.selectItemAtIndex(3);
    EXPECT_FALSE(popup.titleOfSelectedItem().isNull()); // "" is a title, not no string
    popup.selectItemAtIndex(7);                          // names no item: ignored
    EXPECT_EQ(popup.indexOfSelectedItem(), 3);
    popup.selectItemAtIndex(-1);
    EXPECT_EQ(popup.indexOfSelectedItem(), -1);
    EXPECT_TRUE(popup.titleOfSelectedItem().isNull());

    QLineEdit edit;
    toolkit::QtTextField field(&edit);
    EXPECT_FALSE(field.stringValue().isNull()); // an empty field is "", not no string
    field.setStringValue(" 12 seconds");
    EXPECT_EQ(field.intValue(), 12);
    QCheckBox check;
    EXPECT_EQ(toolkit::QtButton(&check).state(), 0);
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
    template <typename T = QComboBox> T *widget(const char *name)
    {
        return assembly.mainWindow()->findChild<T *>(name);
    }

    toolkit::QtBackend qtBackend;
    SampleHome home;
    toolkit::MainWindowAssembly assembly;
    rvWindow &window = assembly.window();
};

TEST_F(Assembly, LayoutTitlesAndWiring)
{
    const QStringList rates = titlesOf(widget("frameRatePopup"));
    ASSERT_GE(rates.size(), 2);
    EXPECT_EQ(rates.first(), "29.97");
    for (const QString &rate : rates.mid(1))
        EXPECT_TRUE(rate.startsWith(QString::number(intValueOfText(rate))) && intValueOfText(rate) > 0);
    EXPECT_EQ(titlesOf(widget("transitionPopup")).indexOf("(random)"), widget("transitionPopup")->count() - 1);

    // Each text field and the check box reach their own widgets (the popups
    // show theirs in the start-up test).
    const std::pair<toolkit::TextField *, const char *> fields[] = {
        {window.gSlideshowTitleField, "titleField"}, {window.gCompWidth, "widthField"},
        {window.gCompHeight, "heightField"}, {window.gClipDurationField, "clipDurationField"},
        {window.gTransitionDurationField, "transitionDurationField"}};
    for (const auto &[field, name] : fields) {
        widget<QLineEdit>(name)->setText(name);
        EXPECT_EQ(field->stringValue(), name);
    }
    widget<QCheckBox>("newProjectCheckBox")->setChecked(false);
    EXPECT_EQ(window.gCreateNewProjectButton->state(), 0);
}

// Start-up loads the library; the user's choice of album, becoming active and
// "Reload Albums" each reach the window.
TEST_F(Assembly, StartUpChoiceAndReloads)
{
    assembly.awake();
    QComboBox *albums = widget("albumPopup");
    EXPECT_EQ(titlesOf(albums), kSampleAlbums);
    EXPECT_EQ(window.getSlideShowTitle(), kSampleAlbums[0]);
    albums->setFocus();
    QTest::keyClick(albums, Qt::Key_Down);
    EXPECT_EQ(window.getSlideShowTitle(), kSampleAlbums[1]);

    ASSERT_TRUE(home.renameAlbum(kSampleAlbums[0], "Seaside"));
    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(albums->itemText(0), "Seaside");
    EXPECT_EQ(albums->currentText(), kSampleAlbums[1]);
    ASSERT_TRUE(home.renameAlbum("Seaside", "Coast"));
    widget<QAction>("reloadAction")->trigger();
    EXPECT_EQ(albums->itemText(0), "Coast");
    EXPECT_FALSE(QApplication::overrideCursor()); // the wait cursor is gone again
}

// Button, menu item and shortcut each ask the panel on the Desktop with the
// title as the name, and write the document there.
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
        const auto request = toolkit::QtSavePanel::lastRequest();
        EXPECT_EQ(request.directory + "/" + request.file, home.desktop() + "/By " + way);
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
