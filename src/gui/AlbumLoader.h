#pragma once

#include "rvWindow.h"

#include <QObject>

#include <atomic>
#include <thread>

class QLabel;
class QProgressBar;
class QStatusBar;

namespace gui {

// Runs the window's album loads with the album file read on a worker thread,
// so the window never freezes for one. The window's cache is emptied when a
// load begins and the read's tree (or failure) is applied on the GUI thread
// through the window's own road, so the window sees the same calls in the same
// order as a load on one thread. An unchanged album file is not read again:
// that load ends at once.
//
// The status bar shows the bytes read against the file's size while a load
// runs, then "N albums, M photos" or the one-line reason of a failure.
// Destroying the loader stops a read in progress and waits for its thread.
class AlbumLoader : public QObject {
    Q_OBJECT
public:
    AlbumLoader(rvWindow &window, QStatusBar *statusBar);
    ~AlbumLoader() override;
    AlbumLoader(const AlbumLoader &) = delete;
    AlbumLoader &operator=(const AlbumLoader &) = delete;

    // Begins a load, unless one is running already; when that one ends and
    // the window's album file has changed meanwhile (another library was
    // chosen), the new one is loaded then.
    void load();
    bool isLoading() const { return m_thread.joinable(); }

signals:
    void loadingChanged(bool loading);
    // After every load, once its outcome is applied.
    void finished();

private:
    void readDone();
    void showProgress(qint64 bytesRead, qint64 totalBytes);
    void showOutcome();

    rvWindow &m_window;
    QProgressBar *m_progress;
    QLabel *m_status;
    std::thread m_thread;
    std::atomic<bool> m_cancel{false};
    rvWindow::AlbumFileRead m_read; // written by the worker, taken after joining it
    QString m_readPath;             // the album file the worker reads
};

} // namespace gui
