#include "Files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

void writeRaw(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readRaw(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class FilesTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const char *name) const { return m_dir.filePath(QString::fromUtf8(name)); }
    QTemporaryDir m_dir;
};

} // namespace

TEST_F(FilesTest, ReadsWholeFileIncludingNulBytes)
{
    QByteArray bytes("abc\0def", 7);
    bytes.append(QByteArray(200000, 'x'));
    writeRaw(path("data.bin"), bytes);
    EXPECT_TRUE(fileExistsAtPath(path("data.bin")));
    QString error;
    const auto read = readWholeFile(path("data.bin"), &error);
    ASSERT_TRUE(read.has_value()) << error.toStdString();
    EXPECT_EQ(*read, bytes);
    EXPECT_TRUE(error.isEmpty());
}

TEST_F(FilesTest, ReadFailuresGiveOneLineNamingPath)
{
    writeRaw(path("plain"), "x");
    const QString failing[] = {path("missing.xml"), m_dir.path(), path("plain") + QStringLiteral("/below.xml")};
    for (const QString &p : failing) {
        QString error;
        EXPECT_FALSE(readWholeFile(p, &error).has_value()) << p.toStdString();
        EXPECT_TRUE(error.contains(p)) << error.toStdString();
        EXPECT_GT(error.size(), p.size() + 2) << "no reason given: " << error.toStdString();
        EXPECT_FALSE(error.contains(QLatin1Char('\n')));
    }
    EXPECT_FALSE(fileExistsAtPath(path("missing.xml")));
    EXPECT_FALSE(readWholeFile(path("missing.xml")).has_value()); // no error pointer is fine
}

TEST(AsciiBytes, OneBytePerCharacterOrNothing)
{
    const auto ascii = asciiBytes(QStringLiteral("{\n\t\"a\" : \"/x y\"\x7f}"));
    ASSERT_TRUE(ascii.has_value());
    EXPECT_EQ(*ascii, QByteArray("{\n\t\"a\" : \"/x y\"\x7f}"));
    const auto empty = asciiBytes(QString());
    ASSERT_TRUE(empty.has_value());
    EXPECT_TRUE(empty->isEmpty());
    EXPECT_FALSE(asciiBytes(QStringLiteral("caf\u00e9")).has_value());
    EXPECT_FALSE(asciiBytes(QString(QChar(0x80))).has_value());
    EXPECT_FALSE(asciiBytes(QStringLiteral("smile \U0001F600")).has_value());
}

TEST_F(FilesTest, AtomicWriteReplacesWholeContent)
{
    const QString target = path("out.json");
    writeRaw(target, QByteArray(5000, 'o'));
    QString error;
    ASSERT_TRUE(writeFileAtomically(target, "{}", &error)) << error.toStdString();
    EXPECT_EQ(readRaw(target), QByteArray("{}"));
    ASSERT_TRUE(writeFileAtomically(path("new.json"), "fresh", &error));
    EXPECT_EQ(readRaw(path("new.json")), QByteArray("fresh"));
    // No temporary file is left beside the targets.
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
}

TEST_F(FilesTest, FailedWriteLeavesOldFileAndGivesReason)
{
    writeRaw(path("plain"), "old");
    const QString below = path("plain") + QStringLiteral("/out.json");
    QString error;
    EXPECT_FALSE(writeFileAtomically(below, "new", &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(error.contains(QLatin1Char('\n')));
    EXPECT_EQ(readRaw(path("plain")), QByteArray("old"));

    // A folder at the path cannot be replaced by a file.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder")));
    EXPECT_FALSE(writeFileAtomically(path("folder"), "new", &error));
    EXPECT_TRUE(QFileInfo(path("folder")).isDir());
}
