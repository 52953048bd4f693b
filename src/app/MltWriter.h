#pragma once

#include "MltXml.h"
#include "Timeline.h"
#include "Value.h"
#include "rvWindow.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

// The slideshow as an MLT XML project (UTF-8) in the structure Shotcut opens
// as its own project, which melt plays and renders the videos from:
//
// - a "background" playlist of one black colour producer as long as the
//   timeline, then the photos' playlist "photos", the two tracks of the main
//   tractor "slideshow" (the file's last element), which carries the property
//   "shotcut";
// - one still-image producer per photo, as long as its part of the timeline
//   (the transitions into and out of it included); without an mlt_service,
//   MLT's loader picks the image producer for the file;
// - the playlist holds each photo's own frames, and between two photos a
//   small tractor of the transition's length: the last frames of the outgoing
//   photo over the first of the incoming one, mixed by MLT's luma transition
//   (a dissolve, or the built-in maps "%luma01.pgm", a wipe from the left,
//   and "%luma16.pgm", a circle opening from the centre), marked with the
//   property "shotcut:transition" for Shotcut to show it as one.
//
// Paths are written as they are (UTF-8, escaped by the XML writer), with a
// leading "~" expanded to the home folder. Any document, however odd its
// values, gives a well-formed project melt can load.
QByteArray mltXmlFromDocument(const Value &document, const QString &homeFolder,
                              std::optional<rvWindow::FrameRate> rate = std::nullopt);
// Editor::Melt: the project a video is rendered from, the same but for the
// service that draws the pan and zoom.
QByteArray shotcutProjectXml(const Timeline &timeline, Editor reader = Editor::Shotcut);

// A project and the frames its timeline holds; or why there is none.
struct MltProject {
    QByteArray xml;
    int64_t frames = 0;
    QStringList notes; // what the video settings changed (Timeline::notes)
    QString failure;   // a one-line reason (music that cannot be read); null with a project
};
