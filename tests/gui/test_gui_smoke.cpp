// The smoke test: the application, started as its main starts it, on a real X
// server (run under xvfb-run) and on the sample photo library.
#include "QtApplication.h"
#include "QtBackend.h"
#include "SampleHome.h"

#include <QApplication>
#include <QJsonArray>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QTest>
#include <QTimer>

namespace {

QString gSavePath;

// Runs once the application is up: checks the window, saves through the Save
// button and the scripted save panel, and quits.
void driveTheWindow()
{
    QMainWindow *window = nullptr;
    for (QWidget *widget : QApplication::topLevelWidgets())
        window = window ? window : qobject_cast<QMainWindow *>(widget);
    ASSERT_TRUE(window && QTest::qWaitForWindowExposed(window));
    // The album load runs off the GUI thread; the album popup waits for it.
    ASSERT_TRUE(QTest::qWaitFor([window] { return window->findChild<QComboBox *>("albumPopup")->isEnabled(); }));
    EXPECT_EQ(titlesOf(window->findChild<QComboBox *>("albumPopup")), kSampleAlbums);
    EXPECT_EQ(window->findChild<QLineEdit *>("titleField")->text(), kSampleAlbums[0]);
    qputenv(toolkit::kSavePanelScriptVariable, QFile::encodeName(gSavePath));
    QTest::mouseClick(window->findChild<QPushButton *>("saveButton"), Qt::LeftButton);
}

TEST(GuiSmoke, SampleLibraryLoadsAndOneSaveWritesTheFile)
{
    SampleHome home;
    gSavePath = home.desktop() + "/Summer by the Sea.json";
    // Runs when the application object is made; the driver follows once the
    // event loop runs, and quits it.
    qAddPreRoutine([] { QTimer::singleShot(0, [] { driveTheWindow(), QApplication::exit(0); }); });
    char name[] = "slideshow-exporter";
    char *argv[] = {name, nullptr};
    ASSERT_EQ(gui::applicationMain(1, argv), 0);

    const QJsonDocument document = documentAt(gSavePath);
    EXPECT_EQ(document["sequence"]["projectName"], kSampleAlbums[0]);
    EXPECT_EQ(document["slides"].toArray().size(), 4);
}

} // namespace
