#pragma once

#include "Application.h"
#include "Controls.h"
#include "Value.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

// The application's one window: the album data of the photo library, the
// album popup and every slideshow setting.
//
// The control references are set by the layout and are not owned; any of them
// may be left null, and an unset control reads as 0 or no string. Settings are
// never cached: every accessor reads the controls afresh.
//
// rvWindow.cpp holds the controls, start-up and settings; rvWindowAlbumData.cpp
// the album cache and the album-data operations.
class rvWindow : public toolkit::Window, public toolkit::ApplicationDelegate {
public:
    rvWindow() = default;
    rvWindow(const rvWindow &) = delete;
    rvWindow &operator=(const rvWindow &) = delete;

    // Controls and album cache, in declared order.
    toolkit::TextField *gSlideshowTitleField = nullptr;
    toolkit::TextField *gClipDurationField = nullptr;       // seconds
    toolkit::TextField *gTransitionDurationField = nullptr; // seconds
    toolkit::TextField *gCompHeight = nullptr;
    toolkit::TextField *gCompWidth = nullptr;
    toolkit::PopUpButton *gTransitionSelectionField = nullptr;
    toolkit::PopUpButton *gFramerateSelectionField = nullptr;
    toolkit::Button *gCreateNewProjectButton = nullptr;
    int32_t gIndexOfRandom = 0; // index of "(random)" in the transition popup, -1 for none
    toolkit::PopUpButton *gAlbumPopup = nullptr;
    int32_t gSelectedAlbumIndex = 0; // -1 when the album popup has no selection
    Value gKeysForAlbum;             // photo keys of the selected album
    Value gAlbumsArray;              // "List of Albums"
    Value gMasterImageDictList;      // "Master Image List"
    Value gPlist;                    // the whole album file of the last successful load

    // Start-up and album selection.
    void awakeFromNib();
    void applicationWillBecomeActive() override;
    void refreshIPhotoData();
    void setAlbumNames(const std::optional<QStringList> &names);
    void setSelectedAlbum();

    // Album data loading.
    //
    // Where the album file is looked for: a chosen library folder (its
    // AlbumData.xml) or album file, or with none chosen (an empty path) the
    // default library, ~/Pictures/iPhoto Library/AlbumData.xml.
    void setLibraryLocation(const QString &folderOrFile);
    QString libraryLocation() const { return m_libraryLocation; }
    QString albumFilePath() const;
    void initIPhotoData();
    std::optional<QStringList> collectAlbumNames(const Value &tree);
    Value getMasterImageDict(const Value &tree);
    Value getItemKeysForAlbum(const Value &tree, int32_t index);

    // Slide source lookup.
    int32_t getFilesCount();
    // The photo's file URL text, or a null string when the photo has no file;
    // the slide name is written only with a URL.
    QString getClipFileURL(int32_t index, QString &name);

    // Timing and format settings.
    int32_t getFPS();
    QString getTimebase();
    QString getNTSCRate();
    QString getSeqPreset();
    int32_t getClipDuration();
    int32_t getTransitionDuration();
    QString getMediaDuration();
    QString getMediaIn(int32_t *out = nullptr);
    QString getTransitionDuration(int32_t *out);
    Value getTransDuration();
    bool shouldCreateNewProject();
    QString getSlideShowTitle();
    QString getCompHeight();
    QString getCompWidth();

    // Transition choice.
    QString getTransitionName(QString &shortName);
    QString getTransitionName(QString &shortName, int32_t index);

private:
    QString m_libraryLocation; // empty: the default library
};
