#include "QtBackend.h"

#include "Paths.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace toolkit {

namespace {
QtSavePanel::Request gLastRequest;
}

void QtSavePanel::setRequiredFileType(const QString &type) { m_requiredType = type; }

QtSavePanel::Request QtSavePanel::lastRequest() { return gLastRequest; }

QString QtSavePanel::nameWithFileType(const QString &name, const QString &type)
{
    if (type.isEmpty() || name.isEmpty())
        return name;
    const QString suffix = QLatin1Char('.') + type;
    // Judged on the last path component: ".json" alone is a name without a
    // type, not a name of that type.
    const QString lastComponent = name.section(QLatin1Char('/'), -1);
    if (lastComponent.endsWith(suffix, Qt::CaseInsensitive) && lastComponent.size() > suffix.size())
        return name;
    return name + suffix;
}

QString QtSavePanel::proposedName(const QString &file, const QString &type)
{
    QString name = file;
    name.replace(QLatin1Char('/'), QLatin1Char('-'));
    return nameWithFileType(name, type);
}

int QtSavePanel::runModalForDirectory(const QString &directory, const QString &file)
{
    // The types in the order the dialog lists them: the required one first,
    // the others only beside it.
    QStringList types;
    if (!m_requiredType.isEmpty()) {
        types << m_requiredType;
        for (const FileType &type : m_otherTypes)
            types << type.extension;
    }

    gLastRequest.directory = directory;
    gLastRequest.file = file;
    gLastRequest.requiredFileType = m_requiredType;
    gLastRequest.otherFileTypes = types.mid(1);
    ++gLastRequest.count;
    m_filename.clear();
    m_chosenType.clear();

    const QString scripted = qEnvironmentVariable(kSavePanelScriptVariable);
    if (!scripted.isEmpty()) {
        const QString suffix = QFileInfo(scripted).suffix();
        m_chosenType = m_requiredType;
        for (qsizetype i = 1; i < types.size(); ++i) {
            if (suffix.compare(types[i], Qt::CaseInsensitive) == 0)
                m_chosenType = types[i];
        }
        m_filename = nameWithFileType(QFileInfo(scripted).absoluteFilePath(), m_chosenType);
        return kOK;
    }

    const QString startFolder = QFileInfo(directory).isDir() ? directory : homeFolder();
    QStringList filters; // the dialog's list of types, in the order of types
    QFileDialog dialog(m_parent, QApplication::translate("SavePanel", "Save Slideshow"));
    // Qt's own dialog: it adds the default suffix before it asks about
    // replacing an existing file, so the question is about the file that will
    // really be written. Native dialogs ask about the name as typed.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(startFolder);
    if (!m_requiredType.isEmpty()) {
        filters << QApplication::translate("SavePanel", "Slideshow files (*.%1)").arg(m_requiredType);
        for (const FileType &type : m_otherTypes)
            filters << QStringLiteral("%1 (*.%2)").arg(type.description, type.extension);
        dialog.setNameFilters(filters);
        dialog.setDefaultSuffix(m_requiredType);
        // The default suffix follows the type picked from the list, so that
        // the dialog's own question about an existing file is about the name
        // that will be written.
        QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog,
                         [&dialog, &filters, &types](const QString &filter) {
                             const qsizetype index = filters.indexOf(filter);
                             if (index >= 0)
                                 dialog.setDefaultSuffix(types[index]);
                         });
    }
    dialog.selectFile(proposedName(file, m_requiredType));

    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return 0;
        const QString chosen = dialog.selectedFiles().value(0);
        if (chosen.isEmpty())
            return 0;
        const qsizetype listed = filters.indexOf(dialog.selectedNameFilter());
        const QString type = listed >= 0 ? types[listed] : m_requiredType;
        const QString path = nameWithFileType(chosen, type);
        // A name with another extension ("trip.txt") was not checked by the
        // dialog in its final form ("trip.txt.json"): ask here.
        if (path != chosen && QFileInfo::exists(path)) {
            const auto answer = QMessageBox::warning(
                &dialog, dialog.windowTitle(),
                QApplication::translate("SavePanel", "%1 already exists.\nDo you want to replace it?")
                    .arg(QFileInfo(path).fileName()),
                QMessageBox::Yes | QMessageBox::No, QMessageBox::No);
            if (answer != QMessageBox::Yes) {
                dialog.selectFile(QFileInfo(path).fileName());
                continue;
            }
        }
        m_filename = path;
        m_chosenType = type;
        return kOK;
    }
}

std::unique_ptr<SavePanel> QtBackend::makeSavePanel()
{
    return std::make_unique<QtSavePanel>(m_dialogParent);
}

void QtBackend::beep() { QApplication::beep(); }

} // namespace toolkit
