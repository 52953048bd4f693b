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
    // does not exist) proposing the file name with the required type. The
    // chosen name always ends in the chosen type (the required one unless
    // another is picked from the dialog's list of types): a name without it
    // gets it appended, and replacing an existing file is confirmed first.
    int runModalForDirectory(const QString &directory, const QString &file) override;
    QString filename() const override { return m_filename; }
    // Listed in the dialog after the required type. The scripted hook below
    // chooses one of them when its path carries its extension.
    void setOtherFileTypes(const std::vector<FileType> &types) override { m_otherTypes = types; }
    QString chosenFileType() const override { return m_chosenType; }

    // What the last panel of this process was asked to propose (for tests).
    struct Request {
        QString directory;
        QString file;
        QString requiredFileType;
        QStringList otherFileTypes; // extensions
        int count = 0; // panels run so far
    };
    static Request lastRequest();

    // The name with the required type: unchanged when it already ends in
    // ".type" (any letter case), else with ".type" appended. Unchanged when no
    // type is required or the name is empty.
    static QString nameWithFileType(const QString &name, const QString &type);
    // The proposed name as the dialog shows it: "/" cannot stand in a file
    // name, so it becomes "-"; the required type is added to a non-empty name.
    static QString proposedName(const QString &file, const QString &type);

private:
    QPointer<QWidget> m_parent;
    QString m_requiredType;
    std::vector<FileType> m_otherTypes;
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
