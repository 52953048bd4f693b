// The counts of the selected album: photos, photos without an image path (no
// slide) and photos whose image file is gone from the disk (still a slide).

#include "AlbumFile.h"
#include "AlbumOverview.h"
#include "HeadlessWindow.h"
#include "TemporaryHome.h"

#include <gtest/gtest.h>

using fixtures::AlbumFile;

namespace {

using Problem = AlbumOverview::Problem;

TEST(AlbumOverview, CountsEachKindOfMissingPhoto)
{
    fixtures::TemporaryHome home;
    fixtures::HeadlessWindow ui;
    const QString photos = home.filePath("Photos");
    QDir().mkpath(photos + "/a folder.jpg");
    QFile(photos + "/here.jpg").open(QIODevice::WriteOnly);
    ASSERT_TRUE(home.writeAlbumFile(
        AlbumFile().album("Fine", {"here"})
            .album("Trip", {"here", "no record", "no path", "gone", "gone, no caption", "folder", "here"})
            .image("here", photos + "/here.jpg", "Here").image("no path", std::nullopt, "Lost on import")
            .image("gone", photos + "/gone.jpg", "Gone").image("gone, no caption", photos + "/gone 2.jpg")
            .image("folder", photos + "/a folder.jpg", "").xml()));
    ui.window.awakeFromNib();

    AlbumOverview overview = albumOverview(ui.window);
    EXPECT_EQ(overviewSummary(overview), "1 photo");
    EXPECT_EQ(overviewDetails(overview), "");
    EXPECT_TRUE(overview.photos.isEmpty());

    ui.albums.chooseItemAtIndex(1);
    overview = albumOverview(ui.window);
    EXPECT_EQ(QList<int>({overview.photoCount, overview.withoutImagePath, overview.missingFiles, overview.slideCount()}),
              QList<int>({7, 2, 3, 5}));
    EXPECT_EQ(overviewSummary(overview), "7 photos · 5 without an image file");
    EXPECT_EQ(overviewDetails(overview), "2 have no image path · 3 files are missing");

    QStringList listed; // index, problem, name and path of each
    for (const AlbumOverview::Photo &p : overview.photos)
        listed << QString("%1 %2 %3|%4").arg(p.index)
                      .arg(p.problem == Problem::NoImagePath ? "no path" : "missing", p.name, p.path);
    EXPECT_EQ(listed, QStringList({"1 no path photo no record|", "2 no path Lost on import|",
                                   "3 missing Gone|" + photos + "/gone.jpg", "4 missing gone 2.jpg|" + photos + "/gone 2.jpg",
                                   "5 missing a folder.jpg|" + photos + "/a folder.jpg"})); // a folder is no image file
    EXPECT_EQ(overviewListing(overview),
              "No image path (no slide is written):\nphoto no record\nLost on import\n\n"
              "Image file missing (the slide is written all the same):\nGone\t" + photos + "/gone.jpg\n"
              "gone 2.jpg\t" + photos + "/gone 2.jpg\na folder.jpg\t" + photos + "/a folder.jpg");

    // The files looked for later (on another thread, say) give the same.
    AlbumOverview later = albumOverview(ui.window, FileLookup::Later);
    EXPECT_EQ(later.slidesToLookFor.size(), 5);
    EXPECT_EQ(overviewSummary(later), "7 photos · 2 without an image file");
    lookForFiles(later);
    EXPECT_TRUE(later.filesLookedFor());
    EXPECT_EQ(overviewListing(later), overviewListing(overview));
    EXPECT_EQ(later.missingFiles, 3);

    // No album data at all: nothing counted, nothing listed.
    QFile::remove(home.albumFilePath());
    ui.window.applicationWillBecomeActive();
    overview = albumOverview(ui.window);
    EXPECT_EQ(overviewSummary(overview), "No photos");
    EXPECT_EQ(overview.withoutImageFile(), 0);
}

} // namespace
