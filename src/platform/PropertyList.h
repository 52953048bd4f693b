#pragma once

#include "Value.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

// Parses an XML property list into a value tree: dict, array, string, key,
// integer (int32 when it fits), true and false as their kinds; real, date and
// data, and integers beyond int32, as opaque leaves. Keys are interned.
//
// On failure gives no value and writes a one-line description naming the line
// and column to errorDescription (when given), beginning with sourceName when
// one is given (else "The data"), for example "AlbumData.xml could not be
// read as a property list: mismatched tag at line 12, column 3".
//
// Entity declarations, internal DOCTYPE subsets, invalid UTF-8, truncated
// files, nesting deeper than kMaxPropertyListDepth and a single XML token (a
// comment, a tag with its attributes, a processing instruction...) longer than
// the token limit are failures; no input crashes or hangs the parser, and the
// time a parse takes grows linearly with the input, however long its tokens.
constexpr int kMaxPropertyListDepth = 512;

// The default limit on one XML token. An album file's tokens are short (its
// long texts come in many pieces); a longer one is taken for a broken or
// hostile file rather than held in memory.
constexpr qsizetype kMaxPropertyListTokenBytes = qsizetype(64) << 20;

// The options let a caller follow a file read (progress, called on the
// reading thread after each slice with the bytes read so far and the file's
// size) and stop it (cancel, polled between slices: a cancelled read gives no
// value and the description "cancelled"), and set how the input is handed to
// the parser (the slice size, 0 for up to a megabyte, less for a small input)
// and the token limit (at most a gigabyte).
//
// keepOnly, when not empty, names the key paths whose values the caller reads;
// the tree then holds only those values (each whole) and the containers on
// the way to them, with every other member and element left out. A path
// element "*" stands for every member of a dictionary and every element of an
// array. The whole input is checked just the same: what fails with the whole
// tree fails with the same description.
//   {{"List of Albums", "*", "AlbumName"}} keeps a root dictionary holding
//   only that array, whose dictionaries hold only their names.
struct PropertyListReadOptions {
    std::function<void(qint64 bytesRead, qint64 totalBytes)> progress;
    const std::atomic<bool> *cancel = nullptr;
    qsizetype sliceBytes = 0;
    qsizetype maxTokenBytes = kMaxPropertyListTokenBytes;
    std::vector<QStringList> keepOnly;
};

Value propertyListFromData(const QByteArray &data, QString *errorDescription = nullptr,
                           const QString &sourceName = QString(),
                           const PropertyListReadOptions &options = PropertyListReadOptions());

// The same for the file at the path, read and parsed a slice at a time, so the
// whole file is never in memory beside the tree (about 40% less peak memory
// for a big album file). Only a regular file is read, as long as it was when
// opened. A file that cannot be opened or read gives no value and a one-line
// description naming the path and the reason.
Value propertyListFromFile(const QString &path, QString *errorDescription = nullptr,
                           const QString &sourceName = QString(),
                           const PropertyListReadOptions &options = PropertyListReadOptions());
