#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

// Whole-file reading and writing.

bool fileExistsAtPath(const QString &path);

// Reads the whole file. On failure gives nothing and, when asked, a one-line
// description that names the path and the system's reason.
std::optional<QByteArray> readWholeFile(const QString &path, QString *error = nullptr);

// One byte per character when every UTF-16 code unit is 0..127; nothing at all
// otherwise (no lossy conversion).
std::optional<QByteArray> asciiBytes(const QString &text);

// Writes the bytes to a temporary file in the same folder and renames it over
// the path, so the path holds either its old content or all of the new one.
// On failure gives false and, when asked, a one-line reason.
bool writeFileAtomically(const QString &path, const QByteArray &bytes, QString *error = nullptr);
