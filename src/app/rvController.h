#pragma once

#include "Value.h"

#include <QString>

class rvWindow;

// The save command and the slideshow document builder.
class rvController {
public:
    rvWindow *gWindow = nullptr; // set by the layout; not owned

    // The save command: asks for a file in a save panel and writes the
    // slideshow there. A cancel does nothing at all.
    void saveSlideshow();
    // Builds the document text and writes it to the path as ASCII, atomically.
    // True when the file was written.
    bool writeJSONTo(const QString &path);
    // The JSON text of a freshly built slideshow document; logs it.
    QString createJSONDocument();
    // The slideshow document itself, freshly built from the window's settings
    // and the selected album (one draw of a random transition): every output
    // renders this one document. No value without a window.
    Value createSlideshowDocument();
};
