#pragma once

#include "rvWindow.h"

#include <QList>
#include <QString>

#include <cstdint>

// What a save of the selected album would hold, counted from the window's
// album data without changing it: how many photos the album lists, how many
// of them get no slide because their record has no image path, and how many
// name an image file that is not on disk (their slides are written all the
// same, and whatever renders the slideshow later fails on them).
struct AlbumOverview {
    enum class Problem {
        NoImagePath, // no slide: the key has no image record, the record no path, or one no file URL holds
        FileMissing, // a slide whose image file does not exist
    };
    // A photo without an image file, or a slide whose file is yet to be
    // looked for.
    struct Photo {
        int32_t index = 0; // position in the album
        Problem problem = Problem::NoImagePath;
        QString name;      // the photo's display name (rvWindow::Photo)
        QString path;      // the image file; empty without a slide
    };

    int32_t photoCount = 0;
    int32_t withoutImagePath = 0;
    int32_t missingFiles = 0;       // counted by lookForFiles
    QList<Photo> photos;            // without an image file: no path first, then missing, each in album order
    QList<Photo> slidesToLookFor;   // slides whose file lookForFiles has yet to look for

    int32_t slideCount() const { return photoCount - withoutImagePath; }
    int32_t withoutImageFile() const { return withoutImagePath + missingFiles; }
    bool filesLookedFor() const { return slidesToLookFor.isEmpty(); }
};

// Whether albumOverview looks for the image files on disk at once, or leaves
// that to lookForFiles (one file-system query per slide: slow for a big album
// or a slow disk, so a caller may do it on another thread).
enum class FileLookup { Now, Later };

// Counts the selected album of the window (its gKeysForAlbum) through
// rvWindow::photoAt, so a photo counts as a slide exactly when a save would
// write one.
AlbumOverview albumOverview(rvWindow &window, FileLookup files = FileLookup::Now);
// The same for the photos from index from up to (not including) to, added to
// an overview whose photoCount is set: a big album may be counted a slice at
// a time. The files are left to lookForFiles.
void countPhotos(rvWindow &window, AlbumOverview &overview, int32_t from, int32_t to);
// Counts one photo, as photoAt gave it, into an overview.
void countPhoto(AlbumOverview &overview, int32_t index, const rvWindow::Photo &photo);
// Looks for the file of each slide still to look for and counts the missing
// ones. Reads nothing of the window, so it may run on any thread.
void lookForFiles(AlbumOverview &overview);

// One line for people: "12 photos", "312 photos · 4 without an image file"
// (before the files are looked for, only those without an image path count).
QString overviewSummary(const AlbumOverview &overview);
// Which is which: "2 have no image path · 2 files are missing"; empty when
// every photo has its file.
QString overviewDetails(const AlbumOverview &overview);
// The photos without an image file as plain text, one per line
// ("name<TAB>path"), under a heading for each kind; for copying.
QString overviewListing(const AlbumOverview &overview);
