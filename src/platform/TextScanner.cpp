#include "TextScanner.h"

#include <algorithm>
#include <cstdint>

TextScanner::TextScanner(const QString &text)
    : m_text(text),
      m_data(reinterpret_cast<const char16_t *>(m_text.constData())),
      m_length(m_text.size())
{
    // The text never changes, so the start of its trailing skip-set run is
    // found once and the end test costs nothing.
    m_contentEnd = m_length;
    while (m_contentEnd > 0 && isWhitespaceAndNewline(m_data[m_contentEnd - 1]))
        --m_contentEnd;
}

void TextScanner::setScanLocation(qsizetype location)
{
    m_location = std::clamp<qsizetype>(location, 0, m_length);
}

bool TextScanner::scanString(QStringView token)
{
    const qsizetype start = m_location;
    skipWhitespace();
    const qsizetype n = token.size();
    if (m_length - m_location >= n
        && std::equal(token.utf16(), token.utf16() + n, m_data + m_location)) {
        m_location += n;
        return true;
    }
    m_location = start;
    return false;
}

namespace {
bool isAsciiDigit(char16_t unit) { return unit >= u'0' && unit <= u'9'; }
} // namespace

bool TextScanner::scanDecimal(Decimal &value)
{
    const qsizetype start = m_location;
    skipWhitespace();
    qsizetype i = m_location;
    bool negative = false;
    if (i < m_length && m_data[i] == u'-') {
        negative = true;
        ++i;
    }

    m_digits.clear();
    const qsizetype integerStart = i;
    while (i < m_length && isAsciiDigit(m_data[i]))
        m_digits.push_back(char(m_data[i++]));
    if (i == integerStart) {
        m_location = start;
        return false;
    }

    int64_t exponent = 0;
    if (i + 1 < m_length && m_data[i] == u'.' && isAsciiDigit(m_data[i + 1])) {
        ++i;
        const qsizetype fractionStart = i;
        while (i < m_length && isAsciiDigit(m_data[i]))
            m_digits.push_back(char(m_data[i++]));
        exponent -= int64_t(i - fractionStart);
    }

    if (i < m_length && (m_data[i] == u'e' || m_data[i] == u'E')) {
        qsizetype j = i + 1;
        bool exponentNegative = false;
        if (j < m_length && (m_data[j] == u'+' || m_data[j] == u'-'))
            exponentNegative = m_data[j++] == u'-';
        if (j < m_length && isAsciiDigit(m_data[j])) {
            // Any exponent beyond a billion is out of range however many
            // digits the mantissa has, so stop growing there.
            int64_t e = 0;
            while (j < m_length && isAsciiDigit(m_data[j]))
                e = std::min<int64_t>(e * 10 + (m_data[j++] - u'0'), 1'000'000'000);
            exponent += exponentNegative ? -e : e;
            i = j;
        }
    }

    const std::optional<Decimal> number = Decimal::fromDigits(negative, m_digits, exponent);
    if (!number) {
        m_location = start;
        return false;
    }
    value = *number;
    m_location = i;
    return true;
}
