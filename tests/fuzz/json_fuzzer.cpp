// Fuzz target for the JSON reader and writer.
//
// The input is read twice: as UTF-8 text, and as raw UTF-16 code units (so
// that lone surrogates and every other code unit reach the reader). Whatever
// the text, reading it must end without a crash or a sanitizer report; when
// it gives a dictionary, writing that dictionary and reading the text back
// must give an equal dictionary, and writing that again the identical text.
#include "KyJSONAdditions.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

void exercise(const QString &text)
{
    const Value dictionary = KyJSONAdditions::dictionaryWithJSONString(text);
    if (dictionary.isNone())
        return;
    const QString written = KyJSONAdditions::jsonStringValue(dictionary);
    const Value back = KyJSONAdditions::dictionaryWithJSONString(written);
    if (!dictionary.isDictionary() || !back.isDictionary() || back != dictionary
        || KyJSONAdditions::jsonStringValue(back) != written)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    exercise(QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));

    std::vector<char16_t> units(size / 2);
    if (!units.empty())
        std::memcpy(units.data(), data, units.size() * sizeof(char16_t));
    exercise(QString(reinterpret_cast<const QChar *>(units.data()), qsizetype(units.size())));
    return 0;
}
