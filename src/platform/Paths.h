#pragma once

#include <QString>

#include <optional>

// Paths, file URLs and display names.

// The user's home folder: $HOME when set and not empty, else the password
// database's entry for the current user; never with a trailing "/".
QString homeFolder();

// The home folder as above when its path, as text, names the folder exactly:
// file names are bytes, and bytes that are not valid in the file-name encoding
// (UTF-8) have no text form, so a path built on the text would name another
// file. Then gives nothing and, when asked, a one-line description for the
// log ("The home folder's path /home/caf\xE9 cannot be represented"), the
// path's bytes other than printable ASCII written as "\xNN".
std::optional<QString> exactHomeFolder(QString *problem = nullptr);

// Appends one path component with exactly one "/" between the two.
QString appendingPathComponent(const QString &path, const QString &component);

// The file URL of an absolute path in its textual form, with the characters a
// URL cannot hold percent-escaped ("/a b.jpg" gives "file:///a%20b.jpg").
QString fileURLStringForPath(const QString &path);

// The path of a file URL text, percent-escapes decoded, without a trailing "/"
// (the root stays "/"). A null string when the text is not a file URL.
QString pathForFileURLString(const QString &url);

// The path with "." and the file type (an extension, without the dot) added
// unless its last component already ends in them (any letter case) and is
// longer than that: "Trip" and "Trip.JSON" give "Trip.json" and "Trip.JSON",
// ".json" gives ".json.json". Unchanged when the type or the path is empty.
// Save panels name the chosen file this way.
QString pathWithFileType(const QString &path, const QString &fileType);

// The file name a title gives: "/" cannot stand in a file name, so it becomes
// "-"; then the file type is added as by pathWithFileType. Empty for an empty
// title.
QString fileNameForTitle(const QString &title, const QString &fileType);

// The name a person sees for a file: its last path component.
QString displayNameAtPath(const QString &path);

// Writes the home folder part of a path as "~": only for the home folder itself
// or a path below it (the home folder followed by "/"). Other paths unchanged.
QString abbreviatingWithTildeInPath(const QString &path, const QString &home);

// The counterpart: a leading "~" alone or followed by "/" stands for the home
// folder. Other paths ("~user/a.jpg" among them) unchanged.
QString expandingTildeInPath(const QString &path, const QString &home);
