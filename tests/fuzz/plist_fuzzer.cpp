// Feeds arbitrary bytes to the property-list parser. Every input must give
// either a tree and no error description, or no tree and a one-line,
// non-empty description; nothing may crash, hang or trip a sanitizer.
#include "PropertyList.h"

#include <QByteArray>
#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QString error = QStringLiteral("untouched");
    const Value tree = propertyListFromData(bytes, &error);
    if (!tree.isNone()) {
        if (!error.isEmpty())
            std::abort(); // a tree comes with no error
        return 0;
    }
    if (error.isEmpty() || error == QLatin1String("untouched"))
        std::abort(); // a failure always says why
    for (const QChar c : error)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f || c.unicode() == 0x2028 || c.unicode() == 0x2029)
            std::abort(); // and on one line
    return 0;
}
