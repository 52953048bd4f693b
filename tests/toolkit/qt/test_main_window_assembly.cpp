// The window layout and its wiring to rvWindow and rvController, off screen.
#include "MainWindowAssembly.h"
#include "QtBackend.h"
#include "SampleHome.h"

#include "TextNumber.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using toolkit::MainWindowAssembly;

namespace {

QStringList titlesOf(const QComboBox *combo)
{
    QStringList titles;
    for (int i = 0; i < combo->count(); ++i)
        titles << combo->itemText(i);
    return titles;
}

QJsonObject readDocument(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QJsonDocument::fromJson(file.readAll()).object();
}

class ScopedScript {
public:
    explicit ScopedScript(const QString &path)
    {
        qputenv(toolkit::kSavePanelScriptVariable, QFile::encodeName(path));
    }
    ~ScopedScript() { qunsetenv(toolkit::kSavePanelScriptVariable); }
};

class Assembly : public ::testing::Test {
protected:
    void SetUp() override { toolkit::setBackend(&m_backend); }
    void TearDown() override { toolkit::setBackend(nullptr); }

    template <typename T> T *widget(MainWindowAssembly &assembly, const char *name)
    {
        T *found = assembly.mainWindow()->findChild<T *>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }

    toolkit::QtBackend m_backend;
};

TEST_F(Assembly, LayoutHoldsTheTitlesTheWindowNames)
{
    SampleHome home(false);
    MainWindowAssembly assembly;

    const QStringList rates = titlesOf(widget<QComboBox>(assembly, "frameRatePopup"));
    ASSERT_GE(rates.size(), 2);
    EXPECT_EQ(rates.first(), "29.97");
    for (qsizetype i = 1; i < rates.size(); ++i) {
        const int32_t rate = intValueOfText(rates[i]);
        EXPECT_GT(rate, 0) << rates[i].toStdString();
        EXPECT_TRUE(rates[i].startsWith(QString::number(rate))) << rates[i].toStdString();
    }

    const QStringList transitions = titlesOf(widget<QComboBox>(assembly, "transitionPopup"));
    ASSERT_GE(transitions.size(), 4);
    EXPECT_EQ(transitions.value(0), "Cross Dissolve");
    EXPECT_EQ(transitions.value(1), "Edge Wipe");
    EXPECT_EQ(transitions.last(), "(random)");
    EXPECT_EQ(transitions.count("(random)"), 1);
    EXPECT_FALSE(transitions.contains("random"));

    EXPECT_EQ(widget<QLineEdit>(assembly, "clipDurationField")->text(), "5");
    EXPECT_EQ(widget<QLineEdit>(assembly, "transitionDurationField")->text(), "1");
    EXPECT_EQ(widget<QLineEdit>(assembly, "widthField")->text(), "720");
    EXPECT_EQ(widget<QLineEdit>(assembly, "heightField")->text(), "480");
    EXPECT_TRUE(widget<QCheckBox>(assembly, "newProjectCheckBox")->isChecked());
    EXPECT_EQ(assembly.controller().gWindow, &assembly.window());
}

// Each control reference reaches its own widget: a value put into the widget
// comes out of the window's matching setting.
TEST_F(Assembly, EveryControlReachesItsWidget)
{
    SampleHome home(false);
    MainWindowAssembly assembly;
    rvWindow &window = assembly.window();

    widget<QLineEdit>(assembly, "titleField")->setText("My Slideshow");
    widget<QLineEdit>(assembly, "widthField")->setText("1280");
    widget<QLineEdit>(assembly, "heightField")->setText("720");
    widget<QLineEdit>(assembly, "clipDurationField")->setText("7");
    widget<QLineEdit>(assembly, "transitionDurationField")->setText("2");
    auto *rates = widget<QComboBox>(assembly, "frameRatePopup");
    rates->setCurrentIndex(rates->findText("25 (PAL)"));
    auto *transitions = widget<QComboBox>(assembly, "transitionPopup");
    transitions->setCurrentIndex(transitions->findText("Edge Wipe"));
    widget<QCheckBox>(assembly, "newProjectCheckBox")->setChecked(false);

    EXPECT_EQ(window.getSlideShowTitle(), "My Slideshow");
    EXPECT_EQ(window.getCompWidth(), "1280");
    EXPECT_EQ(window.getCompHeight(), "720");
    EXPECT_EQ(window.getFPS(), 25);
    EXPECT_EQ(window.getClipDuration(), 7 * 25);
    EXPECT_EQ(window.getTransitionDuration(), 2 * 25);
    QString shortName;
    EXPECT_EQ(window.getTransitionName(shortName), "Edge Wipe");
    EXPECT_EQ(shortName, "Wipe");
    EXPECT_FALSE(window.shouldCreateNewProject());
    ASSERT_NE(window.gAlbumPopup, nullptr);
    widget<QComboBox>(assembly, "albumPopup")->addItems({"One", "Two"});
    EXPECT_EQ(window.gAlbumPopup->numberOfItems(), 2);
}

TEST_F(Assembly, StartWithoutAPhotoLibrary)
{
    SampleHome home(false);
    MainWindowAssembly assembly;
    assembly.awake();

    auto *albums = widget<QComboBox>(assembly, "albumPopup");
    EXPECT_EQ(albums->count(), 0);
    EXPECT_EQ(albums->currentIndex(), -1);
    EXPECT_FALSE(albums->placeholderText().isEmpty());
    EXPECT_TRUE(widget<QLineEdit>(assembly, "titleField")->text().isEmpty());
    EXPECT_EQ(assembly.window().gIndexOfRandom,
              widget<QComboBox>(assembly, "transitionPopup")->count() - 1);
    EXPECT_FALSE(QApplication::overrideCursor()); // the wait cursor is gone again
}

TEST_F(Assembly, StartOnTheSampleLibraryAndChooseAnAlbum)
{
    SampleHome home(true);
    ASSERT_TRUE(home.ready()) << home.error().toStdString();
    MainWindowAssembly assembly;
    assembly.awake();

    auto *albums = widget<QComboBox>(assembly, "albumPopup");
    auto *title = widget<QLineEdit>(assembly, "titleField");
    EXPECT_EQ(titlesOf(albums), kSampleAlbums);
    EXPECT_EQ(albums->currentIndex(), 0);
    EXPECT_EQ(title->text(), kSampleAlbums[0]);
    EXPECT_EQ(assembly.window().getFilesCount(), 4);

    // The user picks the third album with the keyboard, as with the mouse.
    albums->setFocus();
    QTest::keyClick(albums, Qt::Key_Down);
    QTest::keyClick(albums, Qt::Key_Down);
    EXPECT_EQ(albums->currentIndex(), 2);
    EXPECT_EQ(assembly.window().gSelectedAlbumIndex, 2);
    EXPECT_EQ(title->text(), "Garden");
    EXPECT_EQ(assembly.window().getFilesCount(), 3);
}

TEST_F(Assembly, BecomingActiveReloadsTheAlbumFile)
{
    SampleHome home(true);
    ASSERT_TRUE(home.ready()) << home.error().toStdString();
    MainWindowAssembly assembly;
    assembly.awake();
    auto *albums = widget<QComboBox>(assembly, "albumPopup");
    auto *title = widget<QLineEdit>(assembly, "titleField");
    albums->setCurrentIndex(2);
    emit albums->activated(2); // "Garden"

    // "Summer by the Sea" is renamed: "Garden" moves nowhere but the list changes.
    ASSERT_TRUE(home.editAlbumFile("<string>Summer by the Sea</string>", "<string>Seaside</string>"));
    title->setText("Typed meanwhile");

    emit qApp->applicationStateChanged(Qt::ApplicationInactive);
    EXPECT_EQ(titlesOf(albums).value(0), kSampleAlbums[0]); // no reload on leaving

    emit qApp->applicationStateChanged(Qt::ApplicationActive);
    EXPECT_EQ(titlesOf(albums).value(0), "Seaside");
    EXPECT_EQ(albums->currentText(), "Garden");
    EXPECT_EQ(title->text(), "Garden");

    // "Reload Albums" in the File menu does the same.
    ASSERT_TRUE(home.editAlbumFile("<string>Seaside</string>", "<string>Coast</string>"));
    widget<QAction>(assembly, "reloadAction")->trigger();
    EXPECT_EQ(titlesOf(albums).value(0), "Coast");
    EXPECT_FALSE(QApplication::overrideCursor());
}

// Save by button, menu item and shortcut: each asks the panel on the Desktop
// with the title as the name, and writes the document there.
TEST_F(Assembly, SaveButtonMenuItemAndShortcutWriteTheSlideshow)
{
    SampleHome home(true);
    ASSERT_TRUE(home.ready()) << home.error().toStdString();
    MainWindowAssembly assembly;
    assembly.awake();
    QMainWindow *mainWindow = assembly.mainWindow();
    auto *title = widget<QLineEdit>(assembly, "titleField");

    const QString byButton = QDir(home.desktop()).filePath("button.json");
    {
        ScopedScript script(byButton);
        QTest::mouseClick(widget<QPushButton>(assembly, "saveButton"), Qt::LeftButton);
    }
    const auto request = toolkit::QtSavePanel::lastRequest();
    EXPECT_EQ(request.directory, home.desktop());
    EXPECT_EQ(request.file, kSampleAlbums[0]);
    EXPECT_EQ(request.requiredFileType, "json");
    const QJsonObject document = readDocument(byButton);
    EXPECT_EQ(document.value("sequence").toObject().value("projectName"), kSampleAlbums[0]);
    EXPECT_EQ(document.value("slides").toArray().size(), 4);

    title->setText("By menu");
    const QString byMenu = QDir(home.desktop()).filePath("menu");
    {
        ScopedScript script(byMenu);
        widget<QAction>(assembly, "saveAction")->trigger();
    }
    EXPECT_EQ(toolkit::QtSavePanel::lastRequest().file, "By menu");
    EXPECT_EQ(readDocument(byMenu + ".json").value("sequence").toObject().value("projectName"),
              "By menu");

    mainWindow->show();
    QApplication::setActiveWindow(mainWindow);
    ASSERT_TRUE(QTest::qWaitForWindowActive(mainWindow));
    title->setText("By shortcut"); // after the activation, which retitles
    const QString byShortcut = QDir(home.desktop()).filePath("shortcut.json");
    {
        ScopedScript script(byShortcut);
        QTest::keySequence(mainWindow, QKeySequence::Save);
    }
    EXPECT_EQ(readDocument(byShortcut).value("sequence").toObject().value("projectName"),
              "By shortcut");
}

// A save panel that lets the application become active again while it is
// open, as when the user visits another application meanwhile.
class ActivatingPanel final : public toolkit::SavePanel {
public:
    ActivatingPanel(QString path, std::function<void()> whileOpen)
        : m_path(std::move(path)), m_whileOpen(std::move(whileOpen))
    {
    }
    void setRequiredFileType(const QString &) override {}
    int runModalForDirectory(const QString &, const QString &) override
    {
        m_whileOpen();
        return kOK;
    }
    QString filename() const override { return m_path; }

private:
    QString m_path;
    std::function<void()> m_whileOpen;
};

class ActivatingBackend final : public toolkit::Backend {
public:
    std::function<std::unique_ptr<toolkit::SavePanel>()> make;
    std::unique_ptr<toolkit::SavePanel> makeSavePanel() override { return make(); }
    void beep() override {}
};

TEST_F(Assembly, ActivationDuringASaveReloadsAfterIt)
{
    SampleHome home(true);
    ASSERT_TRUE(home.ready()) << home.error().toStdString();
    ActivatingBackend backend;
    toolkit::setBackend(&backend);
    MainWindowAssembly assembly;
    assembly.awake();
    auto *albums = widget<QComboBox>(assembly, "albumPopup");
    auto *title = widget<QLineEdit>(assembly, "titleField");
    title->setText("Typed title");

    const QString path = QDir(home.desktop()).filePath("during.json");
    backend.make = [&] {
        return std::make_unique<ActivatingPanel>(path, [&] {
            home.editAlbumFile("<string>Summer by the Sea</string>", "<string>Seaside</string>");
            emit qApp->applicationStateChanged(Qt::ApplicationActive);
        });
    };
    QTest::mouseClick(widget<QPushButton>(assembly, "saveButton"), Qt::LeftButton);

    // The document has the title the user confirmed, not a reloaded one; the
    // reload that was held back runs once the save is over.
    EXPECT_EQ(readDocument(path).value("sequence").toObject().value("projectName"), "Typed title");
    EXPECT_EQ(albums->itemText(0), "Seaside");
    EXPECT_EQ(title->text(), "Seaside");
}

} // namespace
