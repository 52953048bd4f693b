// Runs a fuzz target's entry over every saved input of its regressions folder:
// inputs that once crashed or tripped a sanitizer, and seeds worth keeping.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);

TEST(FuzzRegressions, EverySavedInputRunsCleanly)
{
    const QDir dir(QStringLiteral(REGRESSION_DIR));
    const QStringList names = dir.entryList(QDir::Files, QDir::Name);
    ASSERT_FALSE(names.isEmpty()) << "no saved inputs in " << REGRESSION_DIR;
    for (const QString &name : names) {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray bytes = file.readAll();
        SCOPED_TRACE(name.toStdString());
        EXPECT_EQ(LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                         size_t(bytes.size())),
                  0);
    }
}
