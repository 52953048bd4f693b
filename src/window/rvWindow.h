#pragma once

#include "Application.h"
#include "Controls.h"
#include "Value.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>
#include <functional>
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
    // Where refreshIPhotoData sends its load: initIPhotoData when unset. The
    // application sets its own, which reads the album file off the GUI thread
    // through the steps of initIPhotoData below.
    std::function<void()> iPhotoDataLoader;
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

    // initIPhotoData in its steps, for a caller that reads the album file on
    // another thread (beginIPhotoDataLoad and finishIPhotoDataLoad on this
    // one, readAlbumFile anywhere):
    //
    //   if (const QString path = window.beginIPhotoDataLoad(); !path.isNull())
    //       window.finishIPhotoDataLoad(rvWindow::readAlbumFile(path));
    //
    // beginIPhotoDataLoad empties the cache and gives the path to read, or a
    // null string when there is nothing to read: no album file (nothing
    // happens), or the same file unchanged since the last read, whose tree or
    // failure is then applied again at once, exactly as a full reload would.
    QString beginIPhotoDataLoad();
    // A read of an album file, made without touching any window: the tree
    // (holding only what the window reads) or the one-line reason it failed,
    // and the identity the file had when the read began. The tree shares no
    // node with anything else, so it can be handed from thread to thread.
    struct AlbumFileIdentity {
        QString path;
        uint64_t device = 0, inode = 0;
        int64_t size = -1, modified = 0, changed = 0; // times in nanoseconds
        bool operator==(const AlbumFileIdentity &) const = default;
        bool isValid() const { return size >= 0; }
        static AlbumFileIdentity of(const QString &path); // invalid when stat() fails
    };
    struct AlbumFileRead {
        AlbumFileIdentity identity;
        Value tree;
        QString failure; // the log line of a failed read
        bool cancelled = false;
    };
    // progress gets the bytes read so far and the file's size; a read stopped
    // through cancel comes back cancelled, without tree or failure.
    static AlbumFileRead readAlbumFile(const QString &path,
                                       std::function<void(qint64, qint64)> progress = nullptr,
                                       const std::atomic<bool> *cancel = nullptr);
    // Applies a read (not a cancelled one) as initIPhotoData does, and keeps it
    // for reuse while the file stays unchanged.
    void finishIPhotoDataLoad(AlbumFileRead read);
    // The one-line reason the last load failed, or a null string.
    QString albumDataFailure() const { return m_lastRead.failure; }

    std::optional<QStringList> collectAlbumNames(const Value &tree);
    Value getMasterImageDict(const Value &tree);
    Value getItemKeysForAlbum(const Value &tree, int32_t index);

    // Slide source lookup.
    int32_t getFilesCount();
    // The photo's file URL text, or a null string when the photo has no file;
    // the slide name is written only with a URL.
    QString getClipFileURL(int32_t index, QString &name);

    // A photo of the selected album as a save sees it.
    struct Photo {
        bool hasSlide = false; // a save writes a slide for it
        QString path;          // the image file the slide names, "~" written out; empty without a slide
        QString name;          // the slide's name as a save writes it (an empty caption stays empty);
                               // without a slide, the record's caption if it has one
        QString displayName;   // what a person sees: the name, else the file's name, else "photo KEY"
    };
    // The photo at the index, found through the steps a save takes
    // (getClipFileURL, the URL back to a path, the home folder as "~"), so
    // that what the window shows of a photo is what Save writes of it.
    // Reads the album cache only; an index outside the album gives no slide.
    Photo photoAt(int32_t index);

    // Timing and format settings.
    //
    // The frame rate chosen, exactly, for the outputs that can hold it (the
    // document only has a whole timebase and a flag that both "29.97" and
    // "30" set): "29.97" (or no choice, as getFPS takes it) is 30000/1001,
    // every other title its whole number of frames a second.
    struct FrameRate {
        int32_t numerator = 30000;
        int32_t denominator = 1001;
        bool operator==(const FrameRate &) const = default;
    };
    FrameRate frameRate();
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
    // The image record of the photo at the index, or no value.
    Value imageRecordAt(int32_t index) const;
    void dropAlbumData();
    void applyAlbumFileRead();

    QString m_libraryLocation; // empty: the default library
    AlbumFileRead m_lastRead;  // of the file at its identity's path
};
