#pragma once

#include <QHash>
#include <QObject>
#include <QSet>
#include <QString>
#include <QTemporaryDir>

#include <memory>

template <typename T>
class QFutureWatcher;

namespace gui {

// The pictures the preview plays: for each photo a small upright JPEG copy
// (at most 768 pixels either way), made off the GUI thread and kept while the
// window is open. melt decodes every picture of a project when it starts, so
// a preview of big photos starts and seeks in a fraction of the time with
// these. A photo that cannot be read keeps its own path (melt shows it as the
// video would).
class PreviewPictures : public QObject {
    Q_OBJECT
public:
    explicit PreviewPictures(QObject *parent = nullptr);
    ~PreviewPictures() override;

    // The copy of the photo at the path when it is made; otherwise the path
    // itself, the copy asked for (made by the next makeAsked()).
    QString pictureFor(const QString &path);
    // Makes the copies asked for, off the GUI thread; ready() follows.
    // False when none was asked for.
    bool makeAsked();
    bool making() const { return m_watcher != nullptr; }
    // Copies made and to make in the run in progress.
    int made() const { return m_made; }
    int toMake() const { return m_toMake; }

signals:
    void ready();
    void progress(int made, int toMake);

private:
    static QString keyOf(const QString &path);

    QTemporaryDir m_folder;
    QHash<QString, QString> m_pictures; // key (path, size, time) -> the copy, or the path itself
    QSet<QString> m_asked;
    std::unique_ptr<QFutureWatcher<void>> m_watcher;
    int m_made = 0, m_toMake = 0;
    int m_copies = 0; // names the next copy
};

} // namespace gui
