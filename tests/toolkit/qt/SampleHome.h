#pragma once

// A throwaway home folder for the window tests: empty, or holding the sample
// photo library made by examples/make-sample-home.sh. HOME points at it while
// the object lives.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QTemporaryDir>

class SampleHome {
public:
    // withLibrary: run the sample-home script into the folder.
    explicit SampleHome(bool withLibrary)
        : m_hadHome(qEnvironmentVariableIsSet("HOME")), m_oldHome(qgetenv("HOME"))
    {
        if (!m_dir.isValid())
            return;
        if (withLibrary) {
            QProcess script;
            script.start(QStringLiteral(SAMPLE_HOME_SCRIPT), {m_dir.path()});
            m_ready = script.waitForFinished(60000) && script.exitStatus() == QProcess::NormalExit
                && script.exitCode() == 0;
            if (!m_ready)
                m_error = QString::fromLocal8Bit(script.readAllStandardError());
        } else {
            m_ready = true;
        }
        qputenv("HOME", QFile::encodeName(m_dir.path()));
    }
    ~SampleHome()
    {
        if (m_hadHome)
            qputenv("HOME", m_oldHome);
        else
            qunsetenv("HOME");
    }
    SampleHome(const SampleHome &) = delete;
    SampleHome &operator=(const SampleHome &) = delete;

    bool ready() const { return m_ready; }
    QString error() const { return m_error; }
    QString path() const { return m_dir.path(); }
    QString albumFile() const
    {
        return m_dir.filePath(QStringLiteral("Pictures/iPhoto Library/AlbumData.xml"));
    }
    QString desktop() const { return m_dir.filePath(QStringLiteral("Desktop")); }

    // Edits the album file in place (text replacement); true when it changed.
    bool editAlbumFile(const QString &from, const QString &to) const
    {
        QFile file(albumFile());
        if (!file.open(QIODevice::ReadOnly))
            return false;
        QString text = QString::fromUtf8(file.readAll());
        file.close();
        if (!text.contains(from))
            return false;
        text.replace(from, to);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return false;
        return file.write(text.toUtf8()) > 0;
    }

private:
    QTemporaryDir m_dir;
    bool m_hadHome;
    QByteArray m_oldHome;
    bool m_ready = false;
    QString m_error;
};

// The sample library's albums, in file order.
inline const QStringList kSampleAlbums = {
    QStringLiteral("Summer by the Sea"), QStringLiteral("Mountain Walk"),
    QStringLiteral("Garden"), QStringLiteral("Favourites")};
