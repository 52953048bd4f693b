#pragma once

#include "Application.h"

#include <QPointer>
#include <QString>
#include <QStringList>

#include <vector>

class QWidget;

// The toolkit services over Qt Widgets: the save panel over QFileDialog and
// the beep over QApplication::beep.
namespace toolkit {

// Testing hook: when the environment variable SLIDESHOW_SAVE_PANEL_SCRIPT
// holds a path, every save panel confirms that path (given the required file
// type like a typed name) at once, without showing a dialog. Tests and
// scripted runs use it; a person never needs it.
inline constexpr const char *kSavePanelScriptVariable = "SLIDESHOW_SAVE_PANEL_SCRIPT";

class QtSavePanel final : public SavePanel {
public:
    explicit QtSavePanel(QWidget *parent = nullptr) : m_parent(parent) {}

    void setRequiredFileType(const QString &type) override;
    // Opens a Qt file dialog in the folder (the home folder when the folder
    // does not exist) proposing the file name for the title (fileNameForTitle)
    // with the required type. The chosen name always ends in the chosen type
    // (the required one unless another is picked from the dialog's list of
    // types): a name without it gets it (pathWithFileType), and replacing an
    // existing file is confirmed first.
    int runModalForDirectory(const QString &directory, const QString &file) override;
    QString filename() const override { return m_filename; }
    // Listed in the dialog in this order. The scripted hook below chooses one
    // of them when its path carries its extension.
    void setFileTypes(const std::vector<FileType> &types) override { m_types = types; }
    QString chosenFileType() const override { return m_chosenType; }

    // What the last panel of this process was asked to propose (for tests).
    struct Request {
        QString directory;
        QString file;
        QString requiredFileType;
        QStringList otherFileTypes; // extensions listed beside the required one
        int count = 0; // panels run so far
    };
    static Request lastRequest();

private:
    QPointer<QWidget> m_parent;
    QString m_requiredType;
    std::vector<FileType> m_types;
    QString m_filename;
    QString m_chosenType;
};

class QtBackend final : public Backend {
public:
    std::unique_ptr<SavePanel> makeSavePanel() override;
    void beep() override;

    // The window the save panel opens over (not owned; may be null).
    void setDialogParent(QWidget *parent) { m_dialogParent = parent; }

private:
    QPointer<QWidget> m_dialogParent;
};

} // namespace toolkit
