#pragma once

#include <QString>

#include <memory>
#include <vector>

// What the program needs of the running toolkit besides its controls: the
// window's base, the application-activation notice, the save panel and the
// beep. (The application's main is the application shell's:
// gui::applicationMain.)
namespace toolkit {

// The base of the application's windows.
class Window {
public:
    virtual ~Window() = default;
};

// Receives the application's notices; the layout makes the window the delegate.
class ApplicationDelegate {
public:
    virtual ~ApplicationDelegate() = default;
    // Each time the application is about to become active.
    virtual void applicationWillBecomeActive() = 0;
};

// A file type a save panel offers: the extension (without the dot) and its
// entry in the panel's list of types ("MLT project (*.mlt)").
struct FileType {
    QString extension;
    QString filter;
};

class SavePanel {
public:
    static constexpr int kOK = 1; // a confirmed choice; anything else is a cancel

    virtual ~SavePanel() = default;
    // The file type (extension, without the dot) the chosen name must carry.
    virtual void setRequiredFileType(const QString &type) = 0;
    // Opens in the folder with the proposed file name and blocks until the
    // user confirms (kOK) or cancels (any other value).
    virtual int runModalForDirectory(const QString &directory, const QString &file) = 0;
    // After a confirmed choice: the full path of the chosen file.
    virtual QString filename() const = 0;

    // The types the panel lists, in this order, the required one among them
    // (it stays the one proposed). Choosing another makes the chosen name
    // carry its extension instead. Without a list, or on a panel that cannot
    // offer one, the required type alone is offered.
    virtual void setFileTypes(const std::vector<FileType> &types) { static_cast<void>(types); }
    // After a confirmed choice: the extension of the type the chosen name
    // carries (the required type or one of the others). An empty string
    // stands for the required type.
    virtual QString chosenFileType() const { return QString(); }
};

// The services of one toolkit backend.
class Backend {
public:
    virtual ~Backend() = default;
    virtual std::unique_ptr<SavePanel> makeSavePanel() = 0;
    virtual void beep() = 0;
};

// The backend in use (not owned); null until a backend installs itself.
void setBackend(Backend *backend);
Backend *backend();

// A fresh save panel from the backend in use; null without a backend.
std::unique_ptr<SavePanel> savePanel();
// One audible alert; nothing without a backend.
void beep();

} // namespace toolkit
