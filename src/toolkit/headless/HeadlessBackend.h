#pragma once

#include "Application.h"

#include <QString>
#include <QStringList>

#include <cstddef>
#include <memory>
#include <vector>

// An in-memory toolkit backend for tests and non-GUI use: a save panel that
// answers from a script instead of asking a person, and a beep that is only
// counted.
namespace toolkit::headless {

// What one run of a save panel was shown.
struct SavePanelRun {
    QString directory;        // the folder the panel opened in
    QString proposedFile;     // the proposed file name
    QString requiredFileType; // the required type at the time of the run
    bool confirmed = false;   // the answer the run gave
    QString chosenPath;       // the path handed out after a confirm
    QStringList otherFileTypes; // the extensions offered beside the required type
    QString chosenFileType;     // the type handed out after a confirm
};

class Backend : public toolkit::Backend {
public:
    Backend();
    ~Backend() override;
    Backend(const Backend &) = delete;
    Backend &operator=(const Backend &) = delete;

    // Scripted answers, used one per panel run in the order given. A run with
    // no answer left counts as a cancel.
    //
    // A confirm hands out the full path; when the panel requires a file type,
    // it is added as pathWithFileType adds it, as an interactive panel does.
    void confirmNextRunWith(const QString &path);
    // The same, choosing the file type with that extension, as a person picks
    // it from the panel's list of types: the path then gets that type instead.
    // A type the panel does not offer leaves the required one chosen.
    void confirmNextRunWith(const QString &path, const QString &fileType);
    void cancelNextRun();
    std::size_t pendingAnswers() const;

    // Every panel run so far, oldest first.
    const std::vector<SavePanelRun> &savePanelRuns() const;
    int savePanelsMade() const;
    int beepCount() const;

    std::unique_ptr<toolkit::SavePanel> makeSavePanel() override;
    void beep() override;

    struct State;

private:
    std::shared_ptr<State> m_state; // shared with the panels it made
};

// Installs a backend for the lifetime of the object and puts back the one that
// was installed before.
class ScopedBackend {
public:
    explicit ScopedBackend(toolkit::Backend &backend);
    ~ScopedBackend();
    ScopedBackend(const ScopedBackend &) = delete;
    ScopedBackend &operator=(const ScopedBackend &) = delete;

private:
    toolkit::Backend *m_previous;
};

} // namespace toolkit::headless
