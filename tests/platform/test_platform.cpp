#include "Files.h"
#include "Paths.h"
#include "SaveLoop.h"
#include "SystemLog.h"
#include "TextNumber.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QUrl>

#include <chrono>
#include <thread>

#include <fcntl.h>
#include <pwd.h>
#include <unistd.h>

static QString qs(const char *text) { return QString::fromUtf8(text); }

TEST(Paths, HomeFolderFromHomeVariableElsePasswordDatabase)
{
    const QByteArray saved = qgetenv("HOME");
    qputenv("HOME", "/Users/example//");
    EXPECT_EQ(homeFolder(), qs("/Users/example"));
    qputenv("HOME", "");
    const QString fallback = homeFolder();
    qunsetenv("HOME");
    EXPECT_EQ(homeFolder(), fallback);
    // Only a path whose bytes come back from its text is exact.
    qputenv("HOME", "/home/caf\xc3\xa9/");
    EXPECT_EQ(exactHomeFolder(), qs("/home/caf\u00e9"));
    QString problem;
    qputenv("HOME", "/home/caf\xe9\\\n");
    EXPECT_FALSE(exactHomeFolder(&problem).has_value());
    EXPECT_EQ(problem, qs("The home folder's path /home/caf\\xE9\\x5C\\x0A cannot be represented"));
    qputenv("HOME", saved);
    EXPECT_EQ(fallback, QFile::decodeName(getpwuid(getuid())->pw_dir));
    EXPECT_EQ(appendingPathComponent(qs("/Users/example/"), qs("/Pictures")), qs("/Users/example/Pictures"));
}

// (Paths to URLs and back: the random paths below.)
TEST(Paths, FileURLsAreReadAsQUrlReadsThemAndNamesAreShown)
{
    EXPECT_EQ(pathForFileURLString(fileURLStringForPath(qs("/"))), qs("/"));
    for (const char *url : {"file:///a%41%c3%a9", "file:///a%2Fb", "file:///a%2fb", "file:///a%00b", "file:///a%zz",
                            "file:///a?b", "file:///a#b", "file:///a%2", "file:///a%C3b%E2%82", "file:///a b\xc3\xa9",
                            "file://localhost/a", "FILE:///a"})
        EXPECT_EQ(pathForFileURLString(qs(url)), QUrl(qs(url)).toLocalFile()) << url;
    EXPECT_EQ(fileURLStringForPath(qs("/a b.jpg")), qs("file:///a%20b.jpg"));
    EXPECT_EQ(pathForFileURLString(qs("file:///Users/example/Pictures/")), qs("/Users/example/Pictures"));
    EXPECT_TRUE(pathForFileURLString(qs("http://example.com/a.jpg")).isNull());
    EXPECT_EQ(displayNameAtPath(qs("/Users/example/Beach Day/")), qs("Beach Day"));
}

// Random absolute paths (delimiters, controls, non-ASCII, lone surrogates) get
// the text QUrl gives, and every well-formed one comes back from it.
TEST(Paths, RandomPathsGiveQUrlsFileURLText)
{
    const QString pool = qs("aZ09 /-._~%!$&'()*+,;=:@[]?#\"<>\\^`{|}\t\x7f\xc3\xa9\xe4\xb8\xad") + QChar(0xd800);
    QRandomGenerator random(7);
    for (int round = 0; round < 3000; ++round) {
        QString path = qs(random.bounded(4) ? "/x" : "/\xf0\x9f\x98\x80");
        for (int length = random.bounded(12); length > 0; --length)
            path += pool.at(random.bounded(pool.size()));
        const QString url = fileURLStringForPath(path);
        ASSERT_EQ(url, QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded)) << qPrintable(path);
        while (path.size() > 1 && path.endsWith(u'/'))
            path.chop(1);
        if (path.isValidUtf16()) {
            ASSERT_EQ(pathForFileURLString(url), path) << qPrintable(url);
        }
    }
}

TEST(Paths, TildeOnlyForHomeOrPathsBelowIt)
{
    const struct { const char *path, *home, *expected; } cases[] = {
        {"/Users/example/Pictures/a.jpg", "/Users/example", "~/Pictures/a.jpg"}, {"/Users", "/Users/example", "/Users"},
        {"/Users/example", "/Users/example", "~"}, {"/Users/example/", "/Users/example", "~/"},
        {"/Users/example/a", "/Users/example/", "~/a"}, {"/Users/examplex/a", "/Users/example", "/Users/examplex/a"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(abbreviatingWithTildeInPath(qs(c.path), qs(c.home)), qs(c.expected)) << c.path << " " << c.home;
        // And back, as a reader of the saved path takes it.
        EXPECT_EQ(expandingTildeInPath(qs(c.expected), qs("/Users/example")), qs(c.path)) << c.path;
    }
    EXPECT_EQ(expandingTildeInPath(qs("~user/a.jpg"), qs("/h")), qs("~user/a.jpg"));
}

// How save panels and the command line name a file of a type.
TEST(Paths, FileNamesCarryTheirType)
{
    const struct { const char *title, *name; } cases[] = {
        {"Trip", "Trip.json"}, {"Road/Trip", "Road-Trip.json"}, {"a.json", "a.json"}, {"A.JSON", "A.JSON"},
        {".json", ".json.json"}, {"x.json/y", "x.json-y.json"}, {"", ""}, {" ", " .json"}, {"a.mlt", "a.mlt.json"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(fileNameForTitle(qs(c.title), qs("json")), qs(c.name)) << c.title;
    // A path's last component decides; no type, no change.
    EXPECT_EQ(pathWithFileType(qs("/d/a.json/b"), qs("json")), qs("/d/a.json/b.json"));
    EXPECT_EQ(pathWithFileType(qs("/d/.json"), qs("json")), qs("/d/.json.json"));
    EXPECT_EQ(pathWithFileType(qs("/d/b"), QString()), qs("/d/b"));
}

TEST(Files, ReadsWholeFileOrNamesPathAndReason)
{
    QTemporaryDir dir;
    const QString plain = dir.filePath(qs("plain"));
    const QByteArray bytes = QByteArray("a\0b", 3) + QByteArray(200000, 'x');
    ASSERT_TRUE(writeFileAtomically(plain, bytes));
    EXPECT_EQ(readWholeFile(plain), bytes);
    QStringList reasons; // each failure gives its own reason
    for (const QString &path : {dir.filePath(qs("missing")), dir.path(), plain + qs("/below")}) {
        QString error;
        EXPECT_FALSE(readWholeFile(path).has_value() || readWholeFile(path, &error).has_value()) << qPrintable(path);
        EXPECT_TRUE(error.contains(path) && !error.contains(u'\n')) << qPrintable(error);
        reasons << error.remove(path);
    }
    EXPECT_EQ(reasons.removeDuplicates(), 0) << qPrintable(reasons.join(u'|'));
}

TEST(Files, AsciiBytesOrNothing)
{
    EXPECT_EQ(asciiBytes(qs("{\"a\" : \"/x y\"}\x7f")), QByteArray("{\"a\" : \"/x y\"}\x7f"));
    for (const QString &text : {QString(QChar(0x80)), qs("caf\u00e9"), qs("\U0001F600"), QString(QChar(0xFFFF))})
        EXPECT_FALSE(asciiBytes(text).has_value()) << text.toStdString();
}

// On both roads (an unnamed temporary file, and the named one taken where the
// file system has none), for every name the file system takes, also names too
// long for a sibling "<name>.XXXXXX": a new file gets a new file's
// permissions; a replaced one is replaced whole (a reader from before keeps
// the old file), keeps its permissions, and is written through a symlink.
// Failures give a one-line reason. Nothing else is ever left in the folder.
TEST(Files, AtomicWriteReplacesAllOrNothing)
{
    const auto entries = [](const QString &path) {
        return QDir(path).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
    };
    const auto kept = QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser | QFile::ReadOther;
    for (const SaveTemporary road : {SaveTemporary::UnnamedWherePossible, SaveTemporary::Named}) {
        SCOPED_TRACE(road == SaveTemporary::Named ? "named" : "unnamed");
        const auto write = [road](const QString &path, const QByteArray &bytes, QString *error = nullptr) {
            return writeFileAtomically(path, bytes, error, road);
        };
        QTemporaryDir dir;
        const QString reference = dir.filePath(qs("short"));
        ASSERT_TRUE(write(reference, "x"));
        for (const QString &name : {qs("out.json"), QString(248, u'n'), QString(249, u'n'), QString(255, u'n'),
                                    QString(127, u'\u00e9') + u'n'}) {
            SCOPED_TRACE(name.size());
            QTemporaryDir folder;
            const QString target = folder.filePath(name), link = folder.filePath(qs("link"));
            ASSERT_TRUE(write(target, QByteArray(5000, 'o')));
            EXPECT_EQ(QFile::permissions(target), QFile::permissions(reference));
            QFile before(target);
            ASSERT_TRUE(before.open(QIODevice::ReadOnly) && QFile::setPermissions(target, kept)
                        && QFile::link(target, link));
            ASSERT_TRUE(write(target, "replaced") && write(link, "through the link"));
            EXPECT_EQ(before.readAll(), QByteArray(5000, 'o'));
            EXPECT_EQ(readWholeFile(target), QByteArray("through the link"));
            EXPECT_EQ(QFile::permissions(target), kept);
            EXPECT_EQ(entries(folder.path()), (QStringList{qs("link"), name}));
        }
        ASSERT_TRUE(QDir(dir.path()).mkdir(qs("folder")));
        for (const QString &path : {reference + qs("/below.json"), dir.filePath(qs("folder")),
                                    dir.filePath(QString(256, u'n')), dir.filePath(qs("missing/new.json")),
                                    dir.filePath(qs("missing/") + QString(255, u'n'))}) {
            QString error;
            EXPECT_FALSE(write(path, "new", &error)) << path.toStdString();
            EXPECT_TRUE(error.contains(path) && !error.contains(u'\n')) << error.toStdString();
        }
        EXPECT_EQ(readWholeFile(reference), QByteArray("x"));
        EXPECT_EQ(entries(dir.path()), (QStringList{qs("folder"), qs("short")}));
    }
}

// A process killed with SIGKILL at random moments while it saves over and
// over (the target removed before every other run) leaves the target whole,
// with one of its two contents, or no target if it had none; and nothing else,
// but for the new file under its short hidden name when killed between
// linking it there and renaming it over the target. In the temporary folders'
// file system and in tmpfs. (The named road, on a file system without unnamed
// files, leaves its partly written temporary file: it has no such test.)
TEST(Files, AtomicWriteKilledLeavesOldOrNewFile)
{
    QStringList roots{QDir::tempPath()};
    if (const int fd = ::open("/dev/shm", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600); fd >= 0) {
        ::close(fd);
        roots << qs("/dev/shm");
    }
    const QByteArray contents[] = {saveLoopContent(0), saveLoopContent(1)};
    const auto isContent = [&](const std::optional<QByteArray> &bytes) {
        return bytes == contents[0] || bytes == contents[1];
    };
    QRandomGenerator random(11);
    const int kills = 40;
    for (const QString &root : roots) {
        SCOPED_TRACE(root.toStdString());
        QTemporaryDir folder(root + qs("/kill-XXXXXX"));
        ASSERT_TRUE(folder.isValid());
        const QString name = qs("album.json"), target = folder.filePath(name);
        int betweenCalls = 0;
        for (int kill = 0; kill < kills; ++kill) {
            SCOPED_TRACE(kill);
            if (kill % 2 == 0)
                QFile::remove(target);
            const bool hadTarget = QFile::exists(target);
            QProcess saver;
            saver.start(qs(SAVE_LOOP), {target});
            ASSERT_TRUE(saver.waitForReadyRead(60000)) << saver.readAllStandardError().toStdString();
            std::this_thread::sleep_for(std::chrono::microseconds(random.bounded(20000)));
            saver.kill();
            ASSERT_TRUE(saver.waitForFinished(60000));
            ASSERT_EQ(saver.exitStatus(), QProcess::CrashExit) << saver.readAllStandardError().toStdString();
            QStringList others = QDir(folder.path())
                                     .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot | QDir::System);
            if (!others.removeOne(name)) {
                EXPECT_TRUE(!hadTarget && others.isEmpty()) << qPrintable(others.join(u' '));
                continue;
            }
            const auto bytes = readWholeFile(target);
            ASSERT_TRUE(isContent(bytes)) << (bytes ? bytes->size() : -1);
            if (others.isEmpty())
                continue;
            // Killed between the two calls: the new content, whole, under a
            // short hidden name.
            ++betweenCalls;
            ASSERT_EQ(others.size(), 1) << qPrintable(others.join(u' '));
            EXPECT_TRUE(others[0].startsWith(qs(".save-")) && others[0].size() == 12) << qPrintable(others[0]);
            const auto stray = readWholeFile(folder.filePath(others[0]));
            EXPECT_TRUE(isContent(stray));
            ASSERT_TRUE(QFile::remove(folder.filePath(others[0])));
        }
        EXPECT_LE(betweenCalls, kills / 10); // a brief moment: 1 kill in 800 on ext4, 1 in 130 on tmpfs here
    }
}

TEST(SystemLog, OneVerbatimLinePerCallToSinkAndStandardError)
{
    QStringList lines;
    const auto capture = [&](bool echo) {
        setLogSink([&](const QString &line) { lines.append(line); }, echo);
        testing::internal::CaptureStderr();
        systemLog(qs("100% %@ %s %n caf\u00e9"));
        systemLog(QString());
        setLogSink(nullptr); // removing the sink restores the echo
        systemLog(qs("gone"));
        return testing::internal::GetCapturedStderr();
    };
    EXPECT_EQ(capture(true), "100% %@ %s %n caf\xc3\xa9\n\ngone\n");
    EXPECT_EQ(capture(false), "gone\n");
    EXPECT_EQ(lines, QStringList({qs("100% %@ %s %n caf\u00e9"), {}, qs("100% %@ %s %n caf\u00e9"), {}}));
}

TEST(TextNumber, LeadingIntegerSaturatingToInt32)
{
    const struct { const char *text; int32_t expected; } cases[] = {
        {" 64", 64}, {"720 px", 720}, {"-5", -5}, {"", 0}, {"abc", 0}, {"+7", 7}, {"2.5", 2}, {"\xc2\xa0\t12", 12},
        {"- 5", 0}, {"+-5", 0}, {"\xd9\xa3", 0}, {"2147483647", INT32_MAX}, {"2147483648", INT32_MAX},
        {"-2147483648", INT32_MIN}, {"-2147483649", INT32_MIN}, {"-99999999999999999999", INT32_MIN},
        {"99999999999999999999", INT32_MAX},
    };
    for (const auto &c : cases)
        EXPECT_EQ(intValueOfText(qs(c.text)), c.expected) << '"' << c.text << '"';
}
