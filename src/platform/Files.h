#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

#include <optional>

// Whole-file reading and writing.

bool fileExistsAtPath(const QString &path);

// Opens the file at the path for reading when it is a regular file (symbolic
// links followed). The type is checked on the opened descriptor, which is
// opened without blocking, so a named pipe without a writer, a device or a
// socket never holds up the caller. On failure gives false and, when asked, a
// one-line description that names the path and the reason ("it is a folder",
// "it is not a regular file" or the system's reason).
bool openRegularFileForReading(QFile &file, const QString &path, QString *error = nullptr);

// Reads the whole of a regular file, as long as it was when opened: a file
// that keeps growing is not followed. On failure gives nothing and, when
// asked, a one-line description that names the path and the reason.
std::optional<QByteArray> readWholeFile(const QString &path, QString *error = nullptr);

// One byte per character when every UTF-16 code unit is 0..127; nothing at all
// otherwise (no lossy conversion).
std::optional<QByteArray> asciiBytes(const QString &text);

// How writeFileAtomically makes the file it writes before giving it the
// path's name.
enum class SaveTemporary {
    // An unnamed file where the file system has them (Linux's O_TMPFILE),
    // else a named one.
    UnnamedWherePossible,
    // Always a named file: the road taken where unnamed files are not
    // supported, chosen by the tests to exercise it anywhere.
    Named,
};

// Writes the bytes to a new file in the target's folder, syncs it and gives it
// the target's name, so the target holds either its old content or all of the
// new one. The target is the path with symbolic links followed; a replaced
// file's permissions are kept, a new file gets 0666 less the umask.
//
// The new file is unnamed while it is written: a new target is linked
// straight onto its name; a replaced one is linked under a short hidden name
// (".save-XXXXXX") and renamed over the target. A process killed at any moment
// thus leaves either the old file or the new one and nothing else, except
// when killed between those last two calls. Where the file system has no
// unnamed files, it is written under a temporary name instead (QSaveFile's
// "NAME.XXXXXX", or ".save-XXXXXX" where that would not fit), which a kill
// can leave behind.
//
// On failure gives false, leaves the old file and no temporary one, and, when
// asked, a one-line reason: "PATH could not be written: REASON".
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr,
                         SaveTemporary temporary = SaveTemporary::UnnamedWherePossible);
