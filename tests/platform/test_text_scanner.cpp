// The text scanner: token scans, the skip set, the decimal scan and the end
// test.
#include "../json/json_test_support.h"
#include "TextScanner.h"

#include <gtest/gtest.h>

using jsontest::ExactText;

TEST(TextScanner, TokenScanSkipsWhitespaceThenMatchesOrRestoresThePosition)
{
    const ExactText text(u" \u00a0{\u2028 tr");
    TextScanner s(text.text());
    EXPECT_FALSE(s.scanString(u"["));
    EXPECT_EQ(s.scanLocation(), 0); // the skipped whitespace is given back
    EXPECT_TRUE(s.scanString(u"{"));
    EXPECT_EQ(s.scanLocation(), 3);
    EXPECT_FALSE(s.scanString(u"true")); // longer than what remains
    EXPECT_FALSE(s.isAtEnd());
    EXPECT_EQ(s.scanLocation(), 3); // neither moved
    EXPECT_TRUE(s.scanString(u"tr"));
    EXPECT_TRUE(s.isAtEnd());
    EXPECT_FALSE(s.scanString(u"x"));
    EXPECT_EQ(s.scanLocation(), 7);
    EXPECT_TRUE(TextScanner(QStringLiteral(" \t\r\n\u2029\u0085\u3000")).isAtEnd());
    for (char16_t unit : {u'a', u'0', u'\0', u'\x1f', u'\u200b', u'\ufeff', u'\u180e'})
        EXPECT_FALSE(TextScanner::isWhitespaceAndNewline(unit)) << int(unit);
}

TEST(TextScanner, DecimalScanReadsTheNumberOrFailsInPlace)
{
    const struct {
        const char16_t *text;
        const char *value; // nullptr when the scan must fail
        qsizetype end; // position afterwards
    } cases[] = {
        {u" \n -12.25x", "-12.25", 9}, {u"007", "7", 3}, {u"1.5e3", "1500", 5},
        {u"1E-2,", "0.01", 4}, {u"2e+2]", "200", 4},
        // A "." or exponent marker without digits after it ends the number,
        // and so does a non-ASCII digit.
        {u"5.e3", "5", 1}, {u"1e+", "1", 1}, {u"12\u0663", "12", 2},
        {u"1234567890123456789012345678901234567890123",
            "1234567890123456789012345678901234567900000", 43},
        // Failures leave the position where it was, before the whitespace.
        {u"   ", nullptr, 0}, {u" -x", nullptr, 0}, {u".5", nullptr, 0}, {u"+5", nullptr, 0},
        {u"\u0663", nullptr, 0}, {u"1e128", nullptr, 0}, {u"  10e-130", nullptr, 0},
        {u"-1e-99999999999999999999", nullptr, 0},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        const ExactText text{QStringView(c.text)};
        TextScanner s(text.text());
        Decimal value = Decimal::fromInt(-777);
        EXPECT_EQ(s.scanDecimal(value), c.value != nullptr);
        EXPECT_EQ(value.toString().toStdString(), c.value ? c.value : "-777");
        EXPECT_EQ(s.scanLocation(), c.end);
    }
}
