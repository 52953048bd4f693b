#include "Paths.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>

namespace {

// Sets HOME for the life of the object and restores it afterwards.
class HomeOverride {
public:
    explicit HomeOverride(const QByteArray &value)
        : m_had(qEnvironmentVariableIsSet("HOME")), m_old(qgetenv("HOME"))
    {
        qputenv("HOME", value);
    }
    ~HomeOverride()
    {
        if (m_had)
            qputenv("HOME", m_old);
        else
            qunsetenv("HOME");
    }

private:
    bool m_had;
    QByteArray m_old;
};

} // namespace

TEST(HomeFolder, FollowsHomeVariableAtEachCall)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    {
        HomeOverride home(dir.path().toUtf8() + "/");
        EXPECT_EQ(homeFolder(), dir.path());
    }
    {
        HomeOverride home("/");
        EXPECT_EQ(homeFolder(), QStringLiteral("/"));
    }
}

TEST(HomeFolder, EmptyOrUnsetHomeFallsBackToPasswordDatabase)
{
    QString fromEmpty;
    {
        HomeOverride home("");
        fromEmpty = homeFolder();
    }
    EXPECT_FALSE(fromEmpty.isEmpty());
    EXPECT_TRUE(fromEmpty.startsWith(QLatin1Char('/')));
    EXPECT_TRUE(fromEmpty == QLatin1String("/") || !fromEmpty.endsWith(QLatin1Char('/')));
    {
        HomeOverride home("");
        qunsetenv("HOME");
        EXPECT_EQ(homeFolder(), fromEmpty);
    }
}

TEST(PathComponents, AppendPutsExactlyOneSeparator)
{
    const struct { const char *path, *component, *expected; } cases[] = {
        {"/Users/example", "Pictures", "/Users/example/Pictures"},
        {"/Users/example/", "Pictures", "/Users/example/Pictures"},
        {"/", "Pictures", "/Pictures"},
        {"/Users/example", "/Pictures", "/Users/example/Pictures"},
        {"a", "iPhoto Library", "a/iPhoto Library"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(appendingPathComponent(QString::fromUtf8(c.path), QString::fromUtf8(c.component)),
                  QString::fromUtf8(c.expected))
            << c.path << " + " << c.component;
}

TEST(FileURLs, RoundTripKeepsEveryPathExactly)
{
    const char *paths[] = {
        "/Users/example/Pictures/Beach Day.jpg",
        "/tmp/100% real.jpg",
        "/tmp/track #1.jpg",
        "/tmp/what?.jpg",
        "/tmp/Ca\xc3\xb1\xc3\xb3n/\xe6\x97\xa5\xe6\x9c\xac.jpg",
        "/tmp/literal%20name.jpg",
        "/tmp/a+b&c=d;e.jpg",
        "/",
    };
    for (const char *raw : paths) {
        const QString path = QString::fromUtf8(raw);
        const QString url = fileURLStringForPath(path);
        EXPECT_TRUE(url.startsWith(QLatin1String("file:///"))) << url.toStdString();
        EXPECT_FALSE(url.contains(QLatin1Char(' '))) << url.toStdString();
        EXPECT_EQ(pathForFileURLString(url), path) << url.toStdString();
    }
}

TEST(FileURLs, SpacesAreEscapedAndDecoded)
{
    EXPECT_EQ(fileURLStringForPath(QStringLiteral("/a b.jpg")), QStringLiteral("file:///a%20b.jpg"));
    EXPECT_EQ(pathForFileURLString(QStringLiteral("file:///Users/example/Beach%20Day.jpg")),
              QStringLiteral("/Users/example/Beach Day.jpg"));
    EXPECT_EQ(pathForFileURLString(QStringLiteral("file:///Users/example/Pictures/")),
              QStringLiteral("/Users/example/Pictures"));
}

TEST(FileURLs, TextThatIsNoFileURLGivesNullPath)
{
    EXPECT_TRUE(pathForFileURLString(QStringLiteral("http://example.com/a.jpg")).isNull());
    EXPECT_TRUE(pathForFileURLString(QString()).isNull());
}

TEST(DisplayName, IsLastPathComponent)
{
    EXPECT_EQ(displayNameAtPath(QStringLiteral("/Users/example/Pictures/Beach Day.jpg")),
              QStringLiteral("Beach Day.jpg"));
    EXPECT_EQ(displayNameAtPath(QStringLiteral("/Users/example/Pictures/")), QStringLiteral("Pictures"));
    EXPECT_EQ(displayNameAtPath(QStringLiteral("name.jpg")), QStringLiteral("name.jpg"));
}

TEST(TildeAbbreviation, OnlyHomeItselfOrPathsBelowIt)
{
    const QString home = QStringLiteral("/Users/example");
    const struct { const char *path, *expected; } cases[] = {
        {"/Users/example/Pictures/Beach Day.jpg", "~/Pictures/Beach Day.jpg"},
        {"/Users/example", "~"},
        {"/Users/example/", "~/"},
        {"/Users/examplex/a.jpg", "/Users/examplex/a.jpg"},
        {"/Volumes/Photos/Beach.jpg", "/Volumes/Photos/Beach.jpg"},
        {"/Users", "/Users"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(abbreviatingWithTildeInPath(QString::fromUtf8(c.path), home), QString::fromUtf8(c.expected))
            << c.path;
    EXPECT_EQ(abbreviatingWithTildeInPath(QStringLiteral("/Users/example/a"), home + QLatin1Char('/')),
              QStringLiteral("~/a"));
}
