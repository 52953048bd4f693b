#include "TextNumber.h"

#include <limits>

int32_t saturatedInt32(int64_t value)
{
    if (value > std::numeric_limits<int32_t>::max())
        return std::numeric_limits<int32_t>::max();
    if (value < std::numeric_limits<int32_t>::min())
        return std::numeric_limits<int32_t>::min();
    return int32_t(value);
}

int32_t intValueOfText(QStringView text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    // Accumulate in 64 bits and stop growing once past the int32 range, so any
    // number of digits is read without overflow.
    constexpr int64_t kBeyond = int64_t(std::numeric_limits<int32_t>::max()) + 2;
    int64_t magnitude = 0;
    for (; i < n; ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < u'0' || unit > u'9')
            break;
        if (magnitude < kBeyond)
            magnitude = magnitude * 10 + (unit - u'0');
    }
    return saturatedInt32(negative ? -magnitude : magnitude);
}
