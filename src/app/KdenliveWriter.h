#pragma once

#include "Timeline.h"

#include <QByteArray>
#include <QString>

// The slideshow as a Kdenlive project (UTF-8 MLT XML in the structure
// Kdenlive 22.12 opens as its own document), which melt renders with the
// same frames as the MLT export:
//
// - one still-image producer per photo, each with a Kdenlive clip id and the
//   slide's name, and the project bin ("main_bin") listing them;
// - one video track: a tractor of two playlists, the photos alternating
//   between them so that consecutive photos overlap, and between two photos
//   a luma transition, which Kdenlive shows as a mix; under it a black track,
//   both in the main tractor (the file's last element);
// - a wipe and an iris take their luma maps from the folder given (Kdenlive's
//   own, which Kdenlive lists in its mix panel), or with none from MLT's
//   built-in maps.
QByteArray kdenliveProjectXml(const Timeline &timeline, const QString &lumaFolder);

// Kdenlive's folder of luma maps (…/kdenlive/lumas/HD) when Kdenlive is
// installed; a null string otherwise.
QString kdenliveLumaFolder();
