#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

class rvWindow;

namespace gui {

// Which photo library the window reads: the default one
// (~/Pictures/iPhoto Library) unless one is chosen (File > Open Library…, a
// library folder or its album file anywhere, remembered with QSettings for
// the next start; File > Use Default Library goes back) or given on the
// command line for one run.
class LibraryChooser : public QObject {
public:
    // The settings key (applicationSettings) holding the remembered library
    // (a folder or an album file; absent for the default library).
    static constexpr const char *kLibrarySetting = "library";

    // switched runs when another library is to be read (the old albums go).
    LibraryChooser(rvWindow &window, QWidget *dialogParent, std::function<void()> switched);

    // Before the first load: the library given on the command line for this
    // run, or with none (a null string) the remembered choice, else the default.
    void chooseStartLibrary(const QString &libraryOption);
    // Reads the albums of another library (a folder or its album file) and
    // remembers it for the next start.
    void openLibrary(const QString &folderOrFile);
    // Back to the default library, for this run and the next.
    void useDefaultLibrary();
    // A file dialog for a library folder or album file, then openLibrary.
    void chooseLibrary();

private:
    void switchLibrary(const QString &folderOrFile);

    rvWindow &m_window;
    QPointer<QWidget> m_dialogParent;
    std::function<void()> m_switched;
};

} // namespace gui
