#pragma once

// Helpers of the window tests: a throwaway home folder, empty or holding the
// sample photo library (HOME points at it while the object lives), and
// readers of what the window shows and writes.

#include <QComboBox>
#include <QFile>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

struct SampleHome {
    QTemporaryDir dir;
    QByteArray oldHome = qgetenv("HOME");

    explicit SampleHome(bool withLibrary = true)
    {
        EXPECT_EQ(withLibrary ? QProcess::execute(SAMPLE_HOME_SCRIPT, {dir.path()}) : 0, 0) << "no sample library";
        qputenv("HOME", QFile::encodeName(dir.path()));
    }
    ~SampleHome() { qputenv("HOME", oldHome); }
    QString desktop() const { return dir.filePath("Desktop"); }

    // Renames an album in the album file; true when it was there.
    bool renameAlbum(const QString &from, const QString &to) const
    {
        QFile file(dir.filePath("Pictures/iPhoto Library/AlbumData.xml"));
        const QByteArray old = "<string>" + from.toUtf8() + "</string>";
        QByteArray text = file.open(QIODevice::ReadWrite) ? file.readAll() : QByteArray();
        const QByteArray renamed = QByteArray(text).replace(old, "<string>" + to.toUtf8() + "</string>");
        return renamed != text && file.resize(0) && file.write(renamed) == renamed.size();
    }
};

// The sample library's albums, in file order.
inline const QStringList kSampleAlbums = {"Summer by the Sea", "Mountain Walk", "Garden", "Favourites"};

inline QStringList titlesOf(const QComboBox *combo)
{
    QStringList titles;
    for (int i = 0; combo && i < combo->count(); ++i)
        titles << combo->itemText(i);
    return titles;
}

inline QJsonDocument documentAt(const QString &path)
{
    QFile file(path);
    return QJsonDocument::fromJson(file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray());
}
