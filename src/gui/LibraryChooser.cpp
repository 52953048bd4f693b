#include "LibraryChooser.h"

#include "Settings.h"
#include "rvWindow.h"

#include <QFileDialog>
#include <QFileInfo>

namespace gui {

namespace {

// A file dialog that takes a folder or a file: a library folder, or the album
// file itself wherever it lies. (A folder dialog alone rejects a file.)
class LibraryDialog final : public QFileDialog {
public:
    explicit LibraryDialog(QWidget *parent) : QFileDialog(parent, QStringLiteral("Open Library"))
    {
        setOption(QFileDialog::DontUseNativeDialog); // a native one would not ask accept() below
        setFileMode(QFileDialog::Directory);
        setAcceptMode(QFileDialog::AcceptOpen);
        setLabelText(QFileDialog::Accept, QStringLiteral("&Open"));
    }

    void accept() override
    {
        const QStringList chosen = selectedFiles();
        if (chosen.size() == 1 && QFileInfo(chosen.first()).isFile())
            QDialog::accept();
        else
            QFileDialog::accept();
    }
};

} // namespace

LibraryChooser::LibraryChooser(rvWindow &window, QWidget *dialogParent, std::function<void()> switched)
    : m_window(window), m_dialogParent(dialogParent), m_switched(std::move(switched))
{
}

void LibraryChooser::chooseStartLibrary(const QString &libraryOption)
{
    if (!libraryOption.isNull())
        m_window.setLibraryLocation(QFileInfo(libraryOption).absoluteFilePath());
    else
        m_window.setLibraryLocation(applicationSettings().value(QString::fromLatin1(kLibrarySetting)).toString());
}

void LibraryChooser::chooseLibrary()
{
    LibraryDialog dialog(m_dialogParent);
    dialog.setDirectory(QFileInfo(m_window.albumFilePath()).absolutePath());
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        openLibrary(dialog.selectedFiles().first());
}

void LibraryChooser::openLibrary(const QString &folderOrFile)
{
    const QString location = QFileInfo(folderOrFile).absoluteFilePath();
    applicationSettings().setValue(QString::fromLatin1(kLibrarySetting), location);
    switchLibrary(location);
}

void LibraryChooser::useDefaultLibrary()
{
    applicationSettings().remove(QString::fromLatin1(kLibrarySetting));
    switchLibrary(QString());
}

void LibraryChooser::switchLibrary(const QString &folderOrFile)
{
    m_window.setLibraryLocation(folderOrFile);
    m_switched();
}

} // namespace gui
