#pragma once

#include "Value.h"

#include <QByteArray>
#include <QString>

#include <optional>

class rvWindow;

// One freshly built slideshow document rendered as JSON, for an output that
// writes it: the document itself (so that a caller can tell what kept the text
// from being written), its text, and that text as 7-bit ASCII bytes.
struct JSONRendering {
    Value document;                  // no value without a window
    QString text;                    // null without a window
    std::optional<QByteArray> bytes; // nothing when a character lies outside ASCII
};

// The save command and the slideshow document builder.
class rvController {
public:
    rvWindow *gWindow = nullptr; // set by the layout; not owned

    // The save command: asks for a file in a save panel and writes the
    // slideshow there, as JSON or, when that type is chosen, as an MLT
    // project. A cancel does nothing at all.
    void saveSlideshow();
    // Builds the document text and writes it to the path as ASCII, atomically.
    // True when the file was written.
    bool writeJSONTo(const QString &path);
    // The JSON text of a freshly built slideshow document; logs it.
    QString createJSONDocument();
    // Builds and renders a document as createJSONDocument does, then converts
    // the text to ASCII. The "jsonString =  " log line with the whole text is
    // written only when logText is true (the window's save always writes it).
    JSONRendering renderJSONDocument(bool logText);

    // Builds the document and writes it to the path as an MLT XML project,
    // atomically, with the same beep and log line as writeJSONTo on failure.
    // True when the file was written.
    bool writeMLTTo(const QString &path);
    // The MLT XML project of a freshly built slideshow document (UTF-8); not
    // logged. Empty without a window.
    QByteArray createMLTDocument();
    // The slideshow document itself, freshly built from the window's settings
    // and the selected album (one draw of a random transition): every output
    // renders this one document. No value without a window.
    Value createSlideshowDocument();
};
