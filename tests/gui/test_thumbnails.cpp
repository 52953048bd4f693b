// The thumbnail grid: pictures decoded off the GUI thread, the "missing"
// picture for photos without a usable file, and the grid following the
// window's album choice.
#include "AlbumFile.h"
#include "MainWindowAssembly.h"
#include "Paths.h"
#include "QtBackend.h"
#include "WindowRoad.h"
#include "SampleHome.h"
#include "TemporaryHome.h"
#include "ThumbnailGrid.h"

#include <QImage>
#include <QMainWindow>
#include <QRandomGenerator>
#include <QTest>

#include <sys/resource.h>

namespace {

using gui::ThumbnailModel;
using State = ThumbnailModel::State;

// Writes a picture of one colour, with noise so a JPEG is not trivially small.
QString writeImage(const QTemporaryDir &dir, const QString &name, QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QRandomGenerator noise(7);
    for (int y = 0; y < size.height(); y += 2)
        for (int x = 0; x < size.width(); x += 3)
            image.setPixel(x, y, QColor(colour).lighter(100 + int(noise.bounded(20))).rgb());
    const QString path = dir.filePath(name);
    EXPECT_TRUE(image.save(path)) << qPrintable(path);
    return path;
}

// Writes the bytes into the folder; the file's path.
QString writeBytes(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
{
    EXPECT_TRUE(fixtures::writeBytes(dir.filePath(name), bytes));
    return dir.filePath(name);
}

long peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// Asks for every row and waits until no decode runs.
bool decodeAll(ThumbnailModel &model)
{
    model.prefetch(0, model.rowCount() - 1);
    return QTest::qWaitFor([&] { return model.decodesRunning() == 0; }, 20000);
}

QColor centreColour(const QPixmap &picture)
{
    const QImage image = picture.toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

TEST(Thumbnails, PicturesAndMissingPictures)
{
    QTemporaryDir dir;
    const QString jpeg = writeImage(dir, "wide.jpg", QSize(640, 480), Qt::red);
    const QByteArray jpegBytes = fixtures::readBytes(jpeg);
    const struct {
        QString path;
        State state;
        QSize size; // of a decoded picture
    } cases[] = {
        {jpeg, State::Ready, QSize(160, 120)},
        {writeImage(dir, "tall.png", QSize(300, 600), Qt::green), State::Ready, QSize(60, 120)},
        {writeImage(dir, "small.png", QSize(40, 30), Qt::blue), State::Ready, QSize(40, 30)}, // never enlarged
        {dir.filePath("gone.jpg"), State::Missing, {}},
        {QString(), State::Missing, {}}, // no image path in the record
        {writeBytes(dir, "notes.jpg", "just some text, no picture\n"), State::Missing, {}},
        {writeBytes(dir, "cut.jpg", jpegBytes.left(jpegBytes.size() / 2)), State::Missing, {}},
        {writeBytes(dir, "empty.png", {}), State::Missing, {}},
    };
    ThumbnailModel model;
    QList<ThumbnailModel::Photo> photos;
    for (const auto &c : cases)
        photos.append({c.path, QFileInfo(c.path).fileName()});
    model.setPhotos(photos);
    EXPECT_EQ(model.stateAt(0), State::Loading);
    EXPECT_EQ(model.pictureAt(0).cacheKey(), model.loadingPicture().cacheKey());
    ASSERT_TRUE(decodeAll(model)); // every row settles: ready or missing, below

    for (int row = 0; row < model.rowCount(); ++row) {
        SCOPED_TRACE(qPrintable(cases[row].path));
        EXPECT_EQ(model.stateAt(row), cases[row].state);
        const QPixmap picture = model.data(model.index(row), Qt::DecorationRole).value<QPixmap>();
        if (cases[row].state == State::Ready)
            EXPECT_EQ(picture.size(), cases[row].size);
        else
            EXPECT_EQ(picture.cacheKey(), model.missingPicture().cacheKey());
    }
    EXPECT_EQ(model.data(model.index(1)).toString(), "tall.png");
    EXPECT_NE(model.missingPicture().toImage(), model.loadingPicture().toImage());
}

// A picture too large to decode whole (a 20000x20000 PNG, 1.6 GB as 32-bit
// pixels, a 90 KB file) is refused or decoded small.
TEST(Thumbnails, HugePngIsRefusedOrScaled)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("huge.png");
    {
        QImage huge(20000, 20000, QImage::Format_Mono);
        huge.fill(1);
        ASSERT_TRUE(huge.save(path));
    }
    const long peakBefore = peakMegabytes();
    const QImage image = ThumbnailModel::decodeThumbnail(path, ThumbnailModel::kThumbnailSize);
    EXPECT_TRUE(image.isNull() || QRect(QPoint(), ThumbnailModel::kThumbnailSize).contains(image.rect()));
    EXPECT_LT(peakMegabytes() - peakBefore, 300);
}

// Pictures still decoding for one album land only on rows showing their own
// file once another album is shown; the cache stays within its bytes.
TEST(Thumbnails, AlbumChangeAndCacheBound)
{
    QTemporaryDir dir;
    QList<ThumbnailModel::Photo> first;
    QList<ThumbnailModel::Photo> second;
    for (int i = 0; i < 12; ++i) {
        first.append({writeImage(dir, QString("a%1.jpg").arg(i), QSize(800, 600), Qt::red), {}});
        second.append({writeImage(dir, QString("b%1.jpg").arg(i), QSize(800, 600), Qt::blue), {}});
    }
    second.insert(3, first[5]); // one file in both albums

    const qint64 fourPictures = 4 * 160 * 120 * 4;
    ThumbnailModel model(nullptr, fourPictures);
    model.setPhotos(first);
    model.prefetch(0, model.rowCount() - 1);
    model.setPhotos(second);
    ASSERT_TRUE(decodeAll(model));
    for (int row = 0; row < model.rowCount(); ++row) // the early ones were dropped from the cache again
        EXPECT_TRUE(model.stateAt(row) != State::Ready || (centreColour(model.pictureAt(row)).red() > 128) == (row == 3)) << row;
    EXPECT_LE(model.cacheBytes(), fourPictures);
    EXPECT_EQ(model.stateAt(model.rowCount() - 1), State::Ready);
}

// A reload of the same photos keeps the rows, and a file changed meanwhile
// gets a new picture.
TEST(Thumbnails, ReloadSeesChangedFiles)
{
    QTemporaryDir dir;
    const QList<ThumbnailModel::Photo> photos = {{writeImage(dir, "a.png", QSize(64, 48), Qt::red), "a"},
                                                 {writeImage(dir, "b.png", QSize(64, 48), Qt::red), "b"}};
    ThumbnailModel model;
    ASSERT_TRUE(model.setPhotos(photos));
    ASSERT_TRUE(decodeAll(model));
    writeImage(dir, "b.png", QSize(64, 48), Qt::blue);
    QFile changed(photos[1].path);
    ASSERT_TRUE(changed.open(QIODevice::ReadWrite)
                && changed.setFileTime(QDateTime::currentDateTime().addSecs(60), QFileDevice::FileModificationTime));

    EXPECT_FALSE(model.setPhotos(photos));
    ASSERT_TRUE(decodeAll(model));
    EXPECT_GT(centreColour(model.pictureAt(0)).red(), 128);
    EXPECT_GT(centreColour(model.pictureAt(1)).blue(), 128);
    EXPECT_TRUE(model.setPhotos(photos.mid(1)));
}

// The grid shows the selected album's photos, as a save would list them, at
// start-up and after each album choice.
TEST(Thumbnails, GridFollowsTheAlbumChoice)
{
    toolkit::QtBackend backend;
    toolkit::setBackend(&backend);
    SampleHome home;
    gui::MainWindowAssembly assembly;
    assembly.awake();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !assembly.albumLoader().isLoading(); }));
    assembly.mainWindow()->show();
    ThumbnailModel *model = assembly.thumbnailGrid()->thumbnailModel();
    QComboBox *albums = assembly.mainWindow()->findChild<QComboBox *>("albumPopup");
    for (int album = 0; album < 2; ++album) {
        albums->setCurrentIndex(album);
        emit albums->activated(album);
        rvWindow &window = assembly.window();
        ASSERT_EQ(model->rowCount(), window.getFilesCount());
        ASSERT_GT(model->rowCount(), 0);
        for (int row = 0; row < model->rowCount(); ++row)
            EXPECT_EQ(model->data(model->index(row)).toString(), window.photoAt(row).displayName);
        EXPECT_TRUE(QTest::qWaitFor([&] { return model->stateAt(0) != State::Loading && !model->decodesRunning(); }, 20000));
        EXPECT_EQ(model->stateAt(0), QFileInfo::exists(model->data(model->index(0), Qt::ToolTipRole).toString())
                                         ? State::Ready : State::Missing);
    }
    toolkit::setBackend(nullptr);
}

// One lookup for a photo: the save, the overview below the album popup, the
// thumbnail grid and the command line agree on every kind of record.
TEST(Thumbnails, SaveOverviewGridAndCommandLineSeeEachPhotoAlike)
{
    toolkit::QtBackend backend;
    toolkit::setBackend(&backend);
    fixtures::TemporaryHome home;
    const QString pictures = home.filePath("Pictures");
    const QString zoe = QString::fromUtf8("/Zo\u00eb.jpg");
    for (const QString &name : {QString("/a b.jpg"), QString("/100% #1.jpg"), zoe})
        ASSERT_TRUE(fixtures::writeBytes(pictures + name, "\xff\xd8\xff\xd9"));
    const struct {
        std::optional<QString> imagePath, caption;
        bool slide;
        QString path, displayName;
    } rows[] = {
        {pictures + "/a b.jpg", "Beach", true, pictures + "/a b.jpg", "Beach"},
        {pictures + "/100% #1.jpg", {}, true, pictures + "/100% #1.jpg", "100% #1.jpg"},
        {pictures + zoe, "", true, pictures + zoe, zoe.mid(1)}, // an empty caption is the slide's name
        {pictures + "/gone.jpg", {}, true, pictures + "/gone.jpg", "gone.jpg"},
        {"//", "Root", false, {}, "Root"},
        {"", {}, false, {}, "photo 6"},
        {"a:b", {}, true, "/a:b", "a:b"}, // the file URL's round trip makes it absolute
        {"~", {}, true, home.path(), "~"}, // written as "~", which stands for the home folder
        {"~\n/x", "Two lines", true, "~\n/x", "Two lines"},
        {{}, "No path", false, {}, "No path"},
    };
    fixtures::AlbumFile file;
    QStringList keys;
    for (const auto &row : rows)
        file.image(keys.emplace_back(QString::number(keys.size() + 1)), row.imagePath, row.caption);
    file.record("11", "<key>ImagePath</key><integer>5</integer>"); // not a string
    keys << "11" << "12"; // 12 has no record
    ASSERT_TRUE(home.writeAlbumFile(file.album("Odd", keys).xml()));

    gui::MainWindowAssembly assembly;
    assembly.awake();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !assembly.albumLoader().isLoading() && !assembly.overviewPanel().counting()
                                             && !assembly.overviewPanel().pending(); }));
    rvWindow &window = assembly.window();
    const Value slides = assembly.controller().createSlideshowDocument().value("slides");
    const ThumbnailModel *grid = assembly.thumbnailGrid()->thumbnailModel();
    ASSERT_EQ(grid->rowCount(), keys.size());
    QStringList withoutSlide, missing;
    qsizetype slide = 0;
    for (int i = 0; i < keys.size(); ++i) {
        SCOPED_TRACE(i);
        const rvWindow::Photo photo = window.photoAt(i);
        if (i < int(std::size(rows))) {
            EXPECT_EQ(photo.hasSlide, rows[i].slide);
            EXPECT_EQ(photo.path, rows[i].path);
            EXPECT_EQ(photo.displayName, rows[i].displayName);
        } else {
            EXPECT_FALSE(photo.hasSlide);
            EXPECT_EQ(photo.displayName, "photo " + keys[i]);
        }
        if (photo.hasSlide) { // the save's slide names the same file by the same name
            const Value written = slides.at(slide++);
            EXPECT_EQ(expandingTildeInPath(written.value("path").toString(), home.path()), photo.path);
            EXPECT_EQ(written.value("name").toString(), photo.name);
            if (!QFileInfo(photo.path).isFile())
                missing << photo.displayName + "\t" + photo.path;
        } else {
            withoutSlide << photo.displayName;
        }
        EXPECT_EQ(grid->data(grid->index(i)).toString(), photo.displayName);
        EXPECT_EQ(grid->data(grid->index(i), ThumbnailModel::PathRole).toString(), photo.path);
    }
    EXPECT_EQ(slides.count(), slide);
    EXPECT_EQ(assembly.overviewPanel().overview().withoutImagePath, withoutSlide.size());
    EXPECT_EQ(assembly.overviewPanel().overview().missingFiles, missing.size());
    EXPECT_EQ(overviewListing(assembly.overviewPanel().overview()),
              "No image path (no slide is written):\n" + withoutSlide.join('\n') + "\n\n"
              "Image file missing (the slide is written all the same):\n" + missing.join('\n'));

    cli::WindowRoad road(false); // the command line's counts and project
    QString reason;
    ASSERT_TRUE(road.load(QString(), &reason)) << reason.toStdString();
    const AlbumOverview counted = road.overviewOf(0);
    EXPECT_EQ(QList<int>({counted.photoCount, counted.withoutImagePath, counted.missingFiles}),
              QList<int>({int(keys.size()), int(withoutSlide.size()), int(missing.size())}));
    road.chooseAlbum(0, cli::ExportSettings());
    EXPECT_EQ(road.render(OutputFormat::MLT, false, &reason), assembly.controller().createMLTDocument());
    toolkit::setBackend(nullptr);
}

} // namespace
