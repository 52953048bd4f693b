// Exact decimals: construction, rounding, range, printing and ordering.
#include "Decimal.h"

#include <gtest/gtest.h>

#include <string>

namespace {

Decimal parse(const char16_t *text)
{
    const auto d = Decimal::fromString(text);
    EXPECT_TRUE(d.has_value()) << QString::fromUtf16(text).toStdString();
    return d.value_or(Decimal());
}

} // namespace

TEST(DecimalPrinting, PlainNotationWithoutExponent)
{
    struct Case {
        const char16_t *in;
        const char *out;
    };
    const Case cases[] = {
        {u"0.1", "0.1"},
        {u"-12.25", "-12.25"},
        {u"300", "300"},
        {u"3e2", "300"},
        {u"0", "0"},
        {u"-0.000", "0"},
        {u"0.010", "0.01"},
        {u"-0.5", "-0.5"},
        {u"1.50", "1.5"},
        {u"12e-4", "0.0012"},
        {u"007.700", "7.7"},
        {u"99999999999999999999999999999999999999", "99999999999999999999999999999999999999"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(parse(c.in).toString().toStdString(), c.out)
            << QString::fromUtf16(c.in).toStdString();
    EXPECT_EQ(Decimal::fromInt(INT64_MIN).toString(), QStringLiteral("-9223372036854775808"));
    EXPECT_EQ(Decimal::fromInt(-30).toString(), QStringLiteral("-30"));
}

TEST(DecimalDigits, RoundsBeyond38DigitsHalfToEven)
{
    const std::string d38(38, '1');
    struct Case {
        std::string digits;
        std::string printed;
    };
    const Case cases[] = {
        {d38, d38}, {d38 + "4", d38 + "0"}, {d38 + "6", std::string(37, '1') + "20"},
        {d38 + "5", std::string(37, '1') + "20"}, // tie, odd: up
        {std::string(37, '1') + "25", std::string(37, '1') + "20"}, // tie, even: stays
        {std::string(37, '1') + "251", std::string(37, '1') + "300"},
        {std::string(39, '9'), "1" + std::string(39, '0')}, // carry into a new digit
    };
    for (const Case &c : cases) {
        const auto d = Decimal::fromDigits(false, c.digits, 0);
        ASSERT_TRUE(d.has_value());
        EXPECT_EQ(d->toString().toStdString(), c.printed) << c.digits;
    }
}

TEST(DecimalDigits, ExponentRangeLimits)
{
    EXPECT_TRUE(Decimal::fromDigits(false, "1", 127).has_value());
    EXPECT_FALSE(Decimal::fromDigits(false, "1", 128).has_value());
    EXPECT_TRUE(Decimal::fromDigits(false, "1000", 125).has_value()); // zeros move in
    EXPECT_TRUE(Decimal::fromDigits(true, "1", -128).has_value());
    EXPECT_FALSE(Decimal::fromDigits(true, "1", -129).has_value());
    EXPECT_TRUE(Decimal::fromDigits(false, "10", -129).has_value()); // equals 1e-128
    EXPECT_TRUE(Decimal::fromDigits(false, "0", 100000).has_value()); // zero fits anywhere
    // Extreme exponents from a caller, with digits that get rounded away.
    const std::string many(60, '7');
    EXPECT_FALSE(Decimal::fromDigits(false, many, INT64_MAX).has_value());
    EXPECT_FALSE(Decimal::fromDigits(false, many, INT64_MIN).has_value());
    EXPECT_TRUE(Decimal::fromDigits(false, "0", INT64_MIN).has_value());
    EXPECT_FALSE(Decimal::fromDigits(false, "12a", 0).has_value());
    EXPECT_FALSE(Decimal::fromDigits(false, "\xd9\xa3", 0).has_value()); // a non-ASCII digit
    EXPECT_FALSE(Decimal::fromString(u"1e128").has_value());
    EXPECT_FALSE(Decimal::fromString(u"1e-129").has_value());
    EXPECT_FALSE(Decimal::fromString(u"1e99999999999999999999999").has_value());
}

TEST(DecimalParsing, RejectsWhatIsNotTheGrammar)
{
    for (const char16_t *bad :
        {u"", u"-", u"+1", u".5", u"5.", u"1e", u"1e+", u"1 ", u" 1", u"1.2.3", u"0x10", u"\u0663"})
        EXPECT_FALSE(Decimal::fromString(bad).has_value()) << QString::fromUtf16(bad).toStdString();
}

TEST(DecimalOrdering, ComparesByValue)
{
    const char16_t *ascending[]
        = {u"-1e127", u"-300", u"-0.5", u"-1e-128", u"0", u"1e-128", u"0.1", u"0.25", u"1",
            u"1.0000001", u"99", u"100", u"12345678901234567890123456789012345678", u"1e127"};
    const int n = int(std::size(ascending));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const Decimal a = parse(ascending[i]), b = parse(ascending[j]);
            EXPECT_EQ(a <=> b, i <=> j) << i << " vs " << j;
            EXPECT_EQ(a == b, i == j);
        }
    EXPECT_EQ(parse(u"30"), Decimal::fromInt(30));
    EXPECT_EQ(parse(u"30.000"), Decimal::fromInt(30));
}

TEST(DecimalConversion, Int64AndDouble)
{
    EXPECT_EQ(parse(u"3e2").toInt64(), 300);
    EXPECT_EQ(parse(u"-9223372036854775808").toInt64(), INT64_MIN);
    EXPECT_FALSE(parse(u"9223372036854775808").toInt64().has_value());
    EXPECT_FALSE(parse(u"0.5").toInt64().has_value());
    EXPECT_FALSE(parse(u"1e100").toInt64().has_value());
    EXPECT_DOUBLE_EQ(parse(u"-12.25").toDouble(), -12.25);
}
