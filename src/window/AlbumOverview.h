#pragma once

#include <QList>
#include <QString>

#include <cstdint>

class rvWindow;

// What a save of the selected album would hold, counted from the window's
// album data without changing it: how many photos the album lists, how many
// of them get no slide because their record has no image path, and how many
// name an image file that is not on disk (their slides are written all the
// same, and whatever renders the slideshow later fails on them).
struct AlbumOverview {
    enum class Problem {
        NoImagePath, // no slide: the key has no image record, or the record no path
        FileMissing, // a slide whose image file does not exist
    };
    // One photo without an image file, in album order.
    struct Photo {
        int32_t index = 0; // position in the album
        Problem problem = Problem::NoImagePath;
        QString name;      // the caption, else the file name; the photo key without either
        QString path;      // the image path; empty without one
    };

    int32_t photoCount = 0;
    int32_t withoutImagePath = 0;
    int32_t missingFiles = 0;
    QList<Photo> photos; // the photos without an image file, both kinds

    int32_t slideCount() const { return photoCount - withoutImagePath; }
    int32_t withoutImageFile() const { return withoutImagePath + missingFiles; }
};

// Counts the selected album of the window (its gKeysForAlbum) through the
// same lookup a save uses, so a photo counts as a slide exactly when a save
// would write one. Each listed file is looked for on disk once.
AlbumOverview albumOverview(rvWindow &window);

// One line for people: "12 photos", "312 photos · 4 without an image file".
QString overviewSummary(const AlbumOverview &overview);
// Which is which: "2 have no image path · 2 files are missing"; empty when
// every photo has its file.
QString overviewDetails(const AlbumOverview &overview);
// The photos without an image file as plain text, one per line
// ("name<TAB>path"), under a heading for each kind; for copying.
QString overviewListing(const AlbumOverview &overview);
