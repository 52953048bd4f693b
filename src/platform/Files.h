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

// Writes the bytes to a temporary file in the same folder and renames it over
// the path, so the path holds either its old content or all of the new one.
// On failure gives false and, when asked, a one-line reason.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);
