// The text scanner: token scans, the decimal scan, the end test and its
// character sets.
#include "TextScanner.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>

namespace {

// The code units sit in a heap block of exactly their size, so that
// AddressSanitizer reports any read past the end of the text.
class ExactScanner {
public:
    explicit ExactScanner(QStringView text)
        : m_units(std::make_unique<char16_t[]>(size_t(text.size() ? text.size() : 1)))
    {
        std::copy(text.utf16(), text.utf16() + text.size(), m_units.get());
        m_scanner.emplace(
            QString::fromRawData(reinterpret_cast<const QChar *>(m_units.get()), text.size()));
    }
    TextScanner &operator*() { return *m_scanner; }
    TextScanner *operator->() { return &*m_scanner; }

private:
    std::unique_ptr<char16_t[]> m_units;
    std::optional<TextScanner> m_scanner;
};

} // namespace

TEST(TextScannerTokens, SkipsWhitespaceThenMatchesOrRestoresThePosition)
{
    ExactScanner s(u" \n\t{  true");
    EXPECT_FALSE(s->scanString(u"["));
    EXPECT_EQ(s->scanLocation(), 0); // the skipped whitespace is given back
    EXPECT_TRUE(s->scanString(u"{"));
    EXPECT_EQ(s->scanLocation(), 4);
    EXPECT_FALSE(s->scanString(u"truer")); // longer than what remains
    EXPECT_EQ(s->scanLocation(), 4);
    EXPECT_TRUE(s->scanString(u"true"));
    EXPECT_EQ(s->scanLocation(), 10);
    EXPECT_TRUE(s->isAtEnd());
    EXPECT_FALSE(s->scanString(u"x"));
    EXPECT_EQ(s->scanLocation(), 10);
}

TEST(TextScannerTokens, PartialTokenAtTheEndOfTheText)
{
    ExactScanner s(u"  tr");
    EXPECT_FALSE(s->scanString(u"true"));
    EXPECT_EQ(s->scanLocation(), 0);
}

TEST(TextScannerEnd, TrueOnlyWhenNothingButWhitespaceRemains)
{
    ExactScanner s(u"a \u2028\u00a0\n");
    EXPECT_FALSE(s->isAtEnd());
    s->setScanLocation(1);
    EXPECT_TRUE(s->isAtEnd());
    EXPECT_EQ(s->scanLocation(), 1); // the test does not move
    s->setScanLocation(99);
    EXPECT_EQ(s->scanLocation(), 5);
    EXPECT_TRUE(s->isAtEnd());
    s->setScanLocation(-3);
    EXPECT_EQ(s->scanLocation(), 0);

    EXPECT_TRUE(TextScanner(QString()).isAtEnd());
    EXPECT_TRUE(TextScanner(QStringLiteral(" \t\r\n")).isAtEnd());
    EXPECT_FALSE(TextScanner(QStringLiteral(" \t\r\nx ")).isAtEnd());
}

TEST(TextScannerCharacterSets, WhitespaceAndNewlineIsCategoryZPlusControlsAndNextLine)
{
    for (char16_t unit : {u'\t', u'\n', u'\v', u'\f', u'\r', u' ', char16_t(0x85), char16_t(0xA0),
             char16_t(0x1680), char16_t(0x2000), char16_t(0x200A), char16_t(0x2028),
             char16_t(0x2029), char16_t(0x202F), char16_t(0x205F), char16_t(0x3000)})
        EXPECT_TRUE(TextScanner::isWhitespaceAndNewline(unit)) << int(unit);
    for (char16_t unit : {u'a', u'0', char16_t(0), char16_t(0x08), char16_t(0x1C), char16_t(0x1F),
             char16_t(0x7F), char16_t(0x200B), char16_t(0xFEFF), char16_t(0xD800), char16_t(0xDC00),
             char16_t(0x180E)})
        EXPECT_FALSE(TextScanner::isWhitespaceAndNewline(unit)) << int(unit);
}

TEST(TextScannerCharacterSets, DecimalDigitsAreCategoryNd)
{
    for (char16_t unit : {u'0', u'9', char16_t(0x0660), char16_t(0x0669), char16_t(0x0966),
             char16_t(0xFF10), char16_t(0xFF19)})
        EXPECT_TRUE(TextScanner::isDecimalDigit(unit)) << int(unit);
    for (char16_t unit : {u'a', u'-', u'.', char16_t(0xB2), char16_t(0xBD), char16_t(0x2160),
             char16_t(0x2460), char16_t(0xD835)})
        EXPECT_FALSE(TextScanner::isDecimalDigit(unit)) << int(unit);
}

namespace {

struct DecimalCase {
    const char16_t *text;
    const char *value; // plain notation; nullptr when the scan must fail
    qsizetype end; // position afterwards (unchanged, 0, on failure)
};

} // namespace

TEST(TextScannerDecimal, ReadsTheNumberOrFailsInPlace)
{
    const DecimalCase cases[] = {
        DecimalCase{u"42", "42", 2},
        DecimalCase{u" \n -12.25x", "-12.25", 9},
        DecimalCase{u"0.1", "0.1", 3},
        DecimalCase{u"007", "7", 3},
        DecimalCase{u"-0", "0", 2},
        DecimalCase{u"0.000", "0", 5},
        DecimalCase{u"1.5e3", "1500", 5},
        DecimalCase{u"1E-2,", "0.01", 4},
        DecimalCase{u"2e+2]", "200", 4},
        DecimalCase{u"300", "300", 3},
        // A "." or exponent marker without digits after it ends the number.
        DecimalCase{u"5.", "5", 1},
        DecimalCase{u"5.e3", "5", 1},
        DecimalCase{u"1e", "1", 1},
        DecimalCase{u"1e+", "1", 1},
        DecimalCase{u"1ex", "1", 1},
        // ASCII digits only; a non-ASCII digit ends the number.
        DecimalCase{u"12\u0663", "12", 2},
        // Beyond 38 significant digits: rounded half to even.
        DecimalCase{u"1234567890123456789012345678901234567890123",
            "1234567890123456789012345678901234567900000", 43},
        DecimalCase{u"0.123456789012345678901234567890123456785",
            "0.12345678901234567890123456789012345678", 41},
        // Failures leave the position where it was, before the whitespace.
        DecimalCase{u"", nullptr, 0},
        DecimalCase{u"   ", nullptr, 0},
        DecimalCase{u"  -", nullptr, 0},
        DecimalCase{u" -x", nullptr, 0},
        DecimalCase{u".5", nullptr, 0},
        DecimalCase{u"+5", nullptr, 0},
        DecimalCase{u"\u0663", nullptr, 0},
        DecimalCase{u"\uFF11", nullptr, 0},
        DecimalCase{u"1e128", nullptr, 0},
        DecimalCase{u"1e-129", nullptr, 0},
        DecimalCase{u"  1e99999999999999999999", nullptr, 0},
        DecimalCase{u"-1e-99999999999999999999", nullptr, 0},
    };
    for (const DecimalCase &c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        ExactScanner s(c.text);
        Decimal value = Decimal::fromInt(-777);
        const bool ok = s->scanDecimal(value);
        EXPECT_EQ(ok, c.value != nullptr);
        if (c.value)
            EXPECT_EQ(value.toString().toStdString(), c.value);
        else
            EXPECT_EQ(value, Decimal::fromInt(-777)); // untouched
        EXPECT_EQ(s->scanLocation(), c.end);
    }
}

TEST(TextScannerDecimalRange, ExponentLimitsAreInclusive)
{
    Decimal value;
    ExactScanner big(u"1e127 9e-128 -25e126 1000e125");
    ASSERT_TRUE(big->scanDecimal(value));
    EXPECT_EQ(value.exponent(), 127);
    EXPECT_EQ(value.toString(), u'1' + QString(127, u'0'));
    ASSERT_TRUE(big->scanDecimal(value));
    EXPECT_EQ(value.exponent(), -128);
    EXPECT_EQ(value.toString(), QStringLiteral("0.") + QString(127, u'0') + u'9');
    ASSERT_TRUE(big->scanDecimal(value));
    EXPECT_EQ(value.toString(), QStringLiteral("-25") + QString(126, u'0'));
    ASSERT_TRUE(big->scanDecimal(value)); // trailing zeros move into the exponent
    EXPECT_EQ(value.toString(), u'1' + QString(128, u'0'));
    EXPECT_TRUE(big->isAtEnd());
}

TEST(TextScannerDecimalRange, VeryLongDigitRuns)
{
    Decimal value;
    // 100,000 digits of integer part cannot fit the exponent range.
    const QString huge = u'9' + QString(100000, u'0');
    TextScanner tooBig(huge);
    EXPECT_FALSE(tooBig.scanDecimal(value));
    EXPECT_EQ(tooBig.scanLocation(), 0);
    // A long fraction is rounded to 38 significant digits.
    const QString longFraction = QStringLiteral("0.") + QString(100000, u'3');
    TextScanner fraction(longFraction);
    ASSERT_TRUE(fraction.scanDecimal(value));
    EXPECT_EQ(value.toString(), QStringLiteral("0.") + QString(38, u'3'));
    EXPECT_EQ(fraction.scanLocation(), longFraction.size());
}
