// The smoke test: the application on a real X server (run under xvfb-run),
// on the sample photo library in a throwaway home folder.
#include "MainWindowAssembly.h"
#include "QtBackend.h"
#include "SampleHome.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QMainWindow>
#include <QProcess>
#include <QPushButton>
#include <QSet>
#include <QTest>

#include <gtest/gtest.h>

namespace {

QStringList titlesOf(const QComboBox *combo)
{
    QStringList titles;
    for (int i = 0; i < combo->count(); ++i)
        titles << combo->itemText(i);
    return titles;
}

// The real executable starts, loads the sample library into its window, and
// (through its screenshot hook) draws that window and quits.
TEST(GuiSmoke, ApplicationStartsAndDrawsItsWindow)
{
    SampleHome home(true);
    ASSERT_TRUE(home.ready()) << home.error().toStdString();
    const QString shot = QDir(home.path()).filePath("window.png");

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("HOME", home.path());
    environment.insert("SLIDESHOW_SCREENSHOT", shot);
    QString lsan = environment.value("LSAN_OPTIONS");
    if (!lsan.isEmpty())
        lsan += QLatin1Char(':');
    environment.insert("LSAN_OPTIONS", lsan + "suppressions=" LSAN_SUPPRESSIONS);

    QProcess application;
    application.setProcessEnvironment(environment);
    application.setProcessChannelMode(QProcess::ForwardedChannels);
    application.start(QStringLiteral(APPLICATION_EXECUTABLE), {});
    ASSERT_TRUE(application.waitForStarted(10000));
    ASSERT_TRUE(application.waitForFinished(90000)) << "the application did not quit";
    EXPECT_EQ(application.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(application.exitCode(), 0);

    const QImage image(shot);
    ASSERT_FALSE(image.isNull()) << "no screenshot at " << shot.toStdString();
    EXPECT_GE(image.width(), 300);
    EXPECT_GE(image.height(), 250);
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4)
            colours.insert(image.pixel(x, y));
    EXPECT_GT(colours.size(), 8) << "the window looks blank";
}

// The window as the application assembles it, shown on the X server: the
// activation notice loads the library, and one save goes through the Save
// button and a scripted save panel into a file.
TEST(GuiSmoke, SampleLibraryLoadsAndOneSaveWritesTheFile)
{
    SampleHome home(true);
    ASSERT_TRUE(home.ready()) << home.error().toStdString();
    toolkit::QtBackend backend;
    toolkit::setBackend(&backend);

    {
        toolkit::MainWindowAssembly assembly;
        backend.setDialogParent(assembly.mainWindow());
        assembly.awake();
        auto *albums = assembly.mainWindow()->findChild<QComboBox *>("albumPopup");
        auto *title = assembly.mainWindow()->findChild<QLineEdit *>("titleField");
        auto *save = assembly.mainWindow()->findChild<QPushButton *>("saveButton");
        ASSERT_TRUE(albums && title && save);
        EXPECT_EQ(titlesOf(albums), kSampleAlbums);
        EXPECT_EQ(title->text(), kSampleAlbums[0]);

        // Changed on disk before the window comes up: the application's
        // becoming active must read the file again.
        ASSERT_TRUE(home.editAlbumFile("<string>Favourites</string>", "<string>Best of</string>"));
        assembly.mainWindow()->show();
        assembly.mainWindow()->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(assembly.mainWindow()));
        EXPECT_TRUE(QTest::qWaitFor([&] { return albums->itemText(3) == "Best of"; }, 5000))
            << "not reloaded on activation; album 4 is " << albums->itemText(3).toStdString();
        EXPECT_EQ(albums->currentIndex(), 0);
        EXPECT_EQ(title->text(), kSampleAlbums[0]);

        const QString path = QDir(home.desktop()).filePath("Summer by the Sea.json");
        qputenv(toolkit::kSavePanelScriptVariable, QFile::encodeName(path));
        QTest::mouseClick(save, Qt::LeftButton);
        qunsetenv(toolkit::kSavePanelScriptVariable);

        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << "nothing written at " << path.toStdString();
        const QByteArray bytes = file.readAll();
        ASSERT_FALSE(bytes.isEmpty());
        for (char byte : bytes)
            ASSERT_LT(static_cast<unsigned char>(byte), 0x80u) << "not ASCII";
        EXPECT_NE(bytes.back(), '\n'); // nothing after the text

        const QJsonObject document = QJsonDocument::fromJson(bytes).object();
        const QJsonObject sequence = document.value("sequence").toObject();
        EXPECT_EQ(sequence.value("projectName").toString(), kSampleAlbums[0]);
        EXPECT_EQ(sequence.value("timebase").toInt(), 30);
        EXPECT_EQ(sequence.value("compWidth").toInt(), 720);
        EXPECT_EQ(sequence.value("compHeight").toInt(), 480);
        EXPECT_EQ(sequence.value("photoDuration").toInt(), 5 * 30 + 4 * 30);
        EXPECT_EQ(sequence.value("showStyle").toString(), "Cross Dissolve");
        const QJsonArray slides = document.value("slides").toArray();
        ASSERT_EQ(slides.size(), 4);
        EXPECT_EQ(slides[0].toObject().value("name").toString(), "Morning on the beach");
        EXPECT_EQ(slides[1].toObject().value("path").toString(),
                  "~/Pictures/iPhoto Library/Originals/harbour at dusk.jpg");
    }
    toolkit::setBackend(nullptr);
}

} // namespace
