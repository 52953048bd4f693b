#pragma once

#include <cstdint>

class rvWindow;

// Read-only figures about the albums of the window's album data, for an
// overview of the library (the command line's long listing, the window's
// album overview).

// How many photos an album lists, and how many of them have no image file to
// show: those whose record names no image path (they get no slide) and those
// whose image path names no file on disk.
struct AlbumPhotoCounts {
    int32_t photos = 0;
    int32_t withoutImageFile = 0;
};

// The counts for the album at the index in the window's album list (the
// album popup's order); zero counts for an index that names no album. Looks at
// the disk once per photo with an image path.
AlbumPhotoCounts albumPhotoCounts(const rvWindow &window, int32_t albumIndex);
