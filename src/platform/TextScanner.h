#pragma once

#include "Decimal.h"

#include <QChar>
#include <QString>
#include <QStringView>

#include <string>

// A forward scanner over a text of UTF-16 code units.
//
// The scanner holds the text and a position (the scan location, 0 to the
// text's length). Its scans pass over the skip set (whitespace and newlines,
// tested on one code unit) before they match anything; a scan that fails
// leaves the position where it was before the call. Nothing ever reads past
// the end of the text.
class TextScanner {
public:
    explicit TextScanner(const QString &text);

    const QString &string() const { return m_text; }
    qsizetype length() const { return m_length; }

    qsizetype scanLocation() const { return m_location; }
    // Clamped to 0..length().
    void setScanLocation(qsizetype location);

    // Passes over the skip set, then consumes the token if the text continues
    // with it (exact code units) and gives true. Otherwise gives false with
    // the position unchanged. An empty token matches after the skip.
    bool scanString(QStringView token);

    // Passes over the skip set and reads a decimal number: an optional "-",
    // ASCII digits, optionally "." and further digits, optionally an exponent
    // ("e" or "E", an optional sign, digits). A "." or exponent marker that is
    // not followed by digits is not part of the number. More than 38
    // significant digits are rounded to 38. Fails, with the position
    // unchanged, when no digit starts the number (non-ASCII digits included)
    // or when the value's exponent leaves the range of Decimal.
    bool scanDecimal(Decimal &value);

    // True when nothing but skip-set characters remains from the position on.
    // Does not move the position.
    bool isAtEnd() const { return m_location >= m_contentEnd; }

    // Advances the position past a run of skip-set characters; true when it
    // moved.
    bool skipWhitespace()
    {
        const qsizetype start = m_location;
        while (m_location < m_length && isWhitespaceAndNewline(m_data[m_location]))
            ++m_location;
        return m_location != start;
    }

    // The skip set: Unicode category Z (space separators, U+2028, U+2029),
    // U+0009 to U+000D and U+0085. One code unit; a surrogate is never in it.
    static bool isWhitespaceAndNewline(char16_t unit) { return QChar::isSpace(char32_t(unit)); }
    // The decimal digits of every script (category Nd), one code unit.
    static bool isDecimalDigit(char16_t unit)
    {
        return (unit >= u'0' && unit <= u'9') || (unit > 0x7f && QChar::isDigit(char32_t(unit)));
    }

protected:
    QString m_text;
    const char16_t *m_data; // the text's code units, valid while m_text lives
    qsizetype m_length;
    qsizetype m_location = 0;
    qsizetype m_contentEnd; // one past the last code unit outside the skip set

private:
    std::string m_digits; // reused by scanDecimal
};
