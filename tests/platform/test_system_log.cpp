#include "SystemLog.h"

#include <gtest/gtest.h>

#include <QStringList>

TEST(SystemLog, SinkReceivesEachLineVerbatim)
{
    QStringList lines;
    setLogSink([&](const QString &line) { lines.append(line); }, false);
    systemLog(QStringLiteral("jsonString =  %@"));
    systemLog(QStringLiteral("100% sure %s %n %d"));
    systemLog(QString());
    setLogSink(nullptr);
    systemLog(QStringLiteral("after removal"));
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], QStringLiteral("jsonString =  %@"));
    EXPECT_EQ(lines[1], QStringLiteral("100% sure %s %n %d"));
    EXPECT_TRUE(lines[2].isEmpty());
}

TEST(SystemLog, EchoesLineItselfToStandardError)
{
    QStringList lines;
    setLogSink([&](const QString &line) { lines.append(line); }, true);
    testing::internal::CaptureStderr();
    systemLog(QStringLiteral("Could not write document out..."));
    systemLog(QStringLiteral("50% %@ caf\u00e9"));
    const std::string err = testing::internal::GetCapturedStderr();
    setLogSink(nullptr);
    EXPECT_EQ(err, "Could not write document out...\n50% %@ caf\xc3\xa9\n");
    EXPECT_EQ(lines.size(), 2);

    setLogSink([](const QString &) {}, false);
    testing::internal::CaptureStderr();
    systemLog(QStringLiteral("quiet"));
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
    setLogSink(nullptr);
}
