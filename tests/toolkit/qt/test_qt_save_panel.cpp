// The save panel over QFileDialog: its naming rules, the scripted testing
// hook, and what the dialog is opened with.
#include "QtBackend.h"

#include "Paths.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>

using toolkit::QtSavePanel;

namespace {

struct NameCase {
    const char *name;
    const char *type;
    const char *expected;
};

void PrintTo(const NameCase &c, std::ostream *os) { *os << '"' << c.name << "\" ." << c.type; }

class SavePanelName : public ::testing::TestWithParam<NameCase> {};

TEST_P(SavePanelName, CarriesTheRequiredType)
{
    const NameCase &c = GetParam();
    EXPECT_EQ(QtSavePanel::nameWithFileType(QString::fromUtf8(c.name), QString::fromUtf8(c.type)),
              QString::fromUtf8(c.expected));
}

INSTANTIATE_TEST_SUITE_P(
    QtSavePanel, SavePanelName,
    ::testing::Values(NameCase{"Garden", "json", "Garden.json"},
                      NameCase{"Garden.JSON", "json", "Garden.JSON"},
                      NameCase{"Garden.txt", "json", "Garden.txt.json"},
                      NameCase{"/home/me/My Album", "json", "/home/me/My Album.json"},
                      NameCase{"/home/me.json/album", "json", "/home/me.json/album.json"},
                      NameCase{".json", "json", ".json.json"},
                      NameCase{"Garden", "", "Garden"},
                      NameCase{"", "json", ""}),
    [](const auto &info) { return "Case" + std::to_string(info.index); });

TEST(QtSavePanel, ProposedNameIsAFileName)
{
    EXPECT_EQ(QtSavePanel::proposedName("Summer by the Sea", "json"), "Summer by the Sea.json");
    EXPECT_EQ(QtSavePanel::proposedName("Trip 2020/21", "json"), "Trip 2020-21.json");
    EXPECT_EQ(QtSavePanel::proposedName("", "json"), "");
}

// Sets an environment variable for one scope and restores it.
class ScopedEnv {
public:
    ScopedEnv(const char *name, const QByteArray &value)
        : m_name(name), m_had(qEnvironmentVariableIsSet(name)), m_old(qgetenv(name))
    {
        qputenv(name, value);
    }
    ~ScopedEnv()
    {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }

private:
    const char *m_name;
    bool m_had;
    QByteArray m_old;
};

TEST(QtSavePanel, ScriptedPanelConfirmsThePathWithoutADialog)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ScopedEnv script(toolkit::kSavePanelScriptVariable, QFile::encodeName(dir.filePath("out")));
    const int before = QtSavePanel::lastRequest().count;

    QtSavePanel panel;
    panel.setRequiredFileType("json");
    EXPECT_EQ(panel.runModalForDirectory("/nowhere/Desktop", "My Title"), toolkit::SavePanel::kOK);
    EXPECT_EQ(panel.filename(), dir.filePath("out.json"));

    const QtSavePanel::Request request = QtSavePanel::lastRequest();
    EXPECT_EQ(request.count, before + 1);
    EXPECT_EQ(request.directory, "/nowhere/Desktop");
    EXPECT_EQ(request.file, "My Title");
    EXPECT_EQ(request.requiredFileType, "json");
}

// Runs the real dialog, answers it from a timer once it is up, and reports
// what it showed.
struct DialogSeen {
    bool shown = false;
    QString directory;
    QString proposed;
    QStringList nameFilters;
    QString defaultSuffix;
    bool confirmsOverwrite = false;
};

DialogSeen runDialog(QtSavePanel &panel, const QString &directory, const QString &file,
                     bool accept, const QString &typedName, int *result)
{
    DialogSeen seen;
    auto answer = std::make_shared<std::function<void()>>();
    *answer = [&seen, accept, typedName, answer] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(10, *answer);
            return;
        }
        seen.shown = true;
        seen.directory = dialog->directory().absolutePath();
        seen.proposed = dialog->selectedFiles().value(0);
        seen.nameFilters = dialog->nameFilters();
        seen.defaultSuffix = dialog->defaultSuffix();
        seen.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
        if (accept) {
            dialog->selectFile(typedName);
            static_cast<QDialog *>(dialog)->accept(); // QFileDialog::accept, protected there
        } else {
            dialog->reject();
        }
    };
    QTimer::singleShot(0, *answer);
    *result = panel.runModalForDirectory(directory, file);
    *answer = nullptr; // breaks the cycle
    return seen;
}

TEST(QtSavePanel, DialogOpensInTheFolderWithTheProposedName)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtSavePanel panel;
    panel.setRequiredFileType("json");

    int result = 0;
    const DialogSeen seen = runDialog(panel, dir.path(), "Garden", false, {}, &result);
    ASSERT_TRUE(seen.shown);
    EXPECT_NE(result, toolkit::SavePanel::kOK);
    EXPECT_TRUE(panel.filename().isEmpty());
    EXPECT_EQ(seen.directory, QDir(dir.path()).absolutePath());
    EXPECT_EQ(seen.proposed, QDir(dir.path()).filePath("Garden.json"));
    EXPECT_EQ(seen.defaultSuffix, "json");
    ASSERT_EQ(seen.nameFilters.size(), 1);
    EXPECT_TRUE(seen.nameFilters.first().contains("*.json"));
    EXPECT_TRUE(seen.confirmsOverwrite);
}

TEST(QtSavePanel, DialogFallsBackToTheHomeFolder)
{
    QtSavePanel panel;
    panel.setRequiredFileType("json");
    int result = 0;
    const DialogSeen seen =
        runDialog(panel, "/no/such/folder/Desktop", "Garden", false, {}, &result);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(seen.directory, QDir(homeFolder()).absolutePath());
}

TEST(QtSavePanel, AcceptedNameGetsTheRequiredType)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QtSavePanel panel;
    panel.setRequiredFileType("json");

    int result = 0;
    const DialogSeen seen = runDialog(panel, dir.path(), "Garden", true, "notes.txt", &result);
    ASSERT_TRUE(seen.shown);
    EXPECT_EQ(result, toolkit::SavePanel::kOK);
    EXPECT_EQ(panel.filename(), QDir(dir.path()).filePath("notes.txt.json"));
}

} // namespace
