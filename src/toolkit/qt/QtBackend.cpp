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

int QtSavePanel::runModalForDirectory(const QString &directory, const QString &file)
{
    // The types in the order the dialog lists them, each with its entry in
    // the list; other types only beside a required one.
    QStringList types, filters;
    if (!m_requiredType.isEmpty()) {
        for (const FileType &type : m_types) {
            types << type.extension;
            filters << type.filter;
        }
        if (!types.contains(m_requiredType)) {
            types.prepend(m_requiredType);
            filters.prepend(QStringLiteral("*.") + m_requiredType);
        }
    }

    gLastRequest.directory = directory;
    gLastRequest.file = file;
    gLastRequest.requiredFileType = m_requiredType;
    gLastRequest.otherFileTypes = types;
    gLastRequest.otherFileTypes.removeAll(m_requiredType);
    ++gLastRequest.count;
    m_filename.clear();
    m_chosenType.clear();

    const QString scripted = qEnvironmentVariable(kSavePanelScriptVariable);
    if (!scripted.isEmpty()) {
        const QString suffix = QFileInfo(scripted).suffix();
        m_chosenType = m_requiredType;
        for (const QString &type : std::as_const(types)) {
            if (suffix.compare(type, Qt::CaseInsensitive) == 0)
                m_chosenType = type;
        }
        m_filename = pathWithFileType(QFileInfo(scripted).absoluteFilePath(), m_chosenType);
        return kOK;
    }

    const QString startFolder = QFileInfo(directory).isDir() ? directory : homeFolder();
    QFileDialog dialog(m_parent, QApplication::translate("SavePanel", "Save Slideshow"));
    // Qt's own dialog: it adds the default suffix before it asks about
    // replacing an existing file, so the question is about the file that will
    // really be written. Native dialogs ask about the name as typed.
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDirectory(startFolder);
    if (!m_requiredType.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters[types.indexOf(m_requiredType)]);
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
    dialog.selectFile(fileNameForTitle(file, m_requiredType));

    for (;;) {
        if (dialog.exec() != QDialog::Accepted)
            return 0;
        const QString chosen = dialog.selectedFiles().value(0);
        if (chosen.isEmpty())
            return 0;
        const qsizetype listed = filters.indexOf(dialog.selectedNameFilter());
        const QString type = listed >= 0 ? types[listed] : m_requiredType;
        const QString path = pathWithFileType(chosen, type);
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
