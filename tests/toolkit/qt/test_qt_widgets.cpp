// The Qt backend off screen: the control adapters against what the window
// relies on, and the save panel's dialog.
#include "AnswerDialog.h"
#include "QtBackend.h"
#include "QtControls.h"
#include "SampleHome.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <tuple>

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

// The real dialog opens in the folder, or the home folder when the folder is
// missing, proposing the name as a file name with the type; a typed name gets
// the type too.
TEST(QtSavePanel, DialogOpensInTheFolderWithTheProposedName)
{
    SampleHome home(false);
    QTemporaryDir dir;
    for (const auto &[folder, expected] : {std::pair{dir.path(), dir.path()}, {"/no/such", home.path()}}) {
        toolkit::QtSavePanel panel;
        panel.setRequiredFileType("json");
        answerDialog([&](QFileDialog *dialog) {
            EXPECT_EQ(dialog->directory().absolutePath(), expected);
            EXPECT_EQ(dialog->selectedFiles().value(0), expected + "/Trip 2020-21.json");
            typeFileName(dialog, "notes.txt");
        });
        ASSERT_EQ(panel.runModalForDirectory(folder, "Trip 2020/21"), toolkit::SavePanel::kOK);
        EXPECT_EQ(panel.filename(), expected + "/notes.txt.json");
    }
}

// The types are listed in their order, the required one selected; a type
// picked from the list makes the typed name carry its extension. The scripted
// hook picks the type its path's extension names.
TEST(QtSavePanel, TypesAreListedWithTheRequiredOneSelected)
{
    QTemporaryDir dir;
    toolkit::QtSavePanel panel;
    panel.setRequiredFileType("json");
    panel.setFileTypes({{"txt", "Notes (*.txt)"}, {"json", "JSON (*.json)"}, {"mlt", "MLT project (*.mlt)"}});
    answerDialog([&](QFileDialog *dialog) {
        EXPECT_EQ(dialog->nameFilters(), QStringList({"Notes (*.txt)", "JSON (*.json)", "MLT project (*.mlt)"}));
        EXPECT_EQ(dialog->selectedNameFilter(), "JSON (*.json)");
        EXPECT_EQ(dialog->selectedFiles().value(0), dir.path() + "/Trip.json");
        QTest::keyClick(dialog->findChild<QComboBox *>("fileTypeCombo"), Qt::Key_Down); // as a person picks it
        EXPECT_EQ(dialog->selectedNameFilter(), "MLT project (*.mlt)");
        dialog->selectFile("notes");
    });
    ASSERT_EQ(panel.runModalForDirectory(dir.path(), "Trip"), toolkit::SavePanel::kOK);
    EXPECT_EQ(QStringList({panel.filename(), panel.chosenFileType()}), QStringList({dir.path() + "/notes.mlt", "mlt"}));

    for (const auto &[scripted, chosen, type] : {std::tuple{"/s/a.MLT", "/s/a.MLT", "mlt"}, {"/s/b.doc", "/s/b.doc.json", "json"}}) {
        qputenv(toolkit::kSavePanelScriptVariable, scripted);
        EXPECT_EQ(panel.runModalForDirectory(dir.path(), "Trip"), toolkit::SavePanel::kOK);
        EXPECT_EQ(QStringList({panel.filename(), panel.chosenFileType()}), QStringList({chosen, type}));
    }
    qunsetenv(toolkit::kSavePanelScriptVariable);
    EXPECT_EQ(toolkit::QtSavePanel::lastRequest().otherFileTypes, QStringList({"txt", "mlt"}));
}

} // namespace
