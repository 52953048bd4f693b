// The reader: structure, the leniencies it keeps, the texts it refuses, and
// string literals.
#include "KyJSONAdditions.h"
#include "KyJSONScanner.h"
#include "json_test_support.h"

#include <gtest/gtest.h>

#include <optional>

using namespace KyJSONAdditions;
using PrivateKyJSONAdditions::KyJSONScanner;
using namespace jsontest;

TEST(JsonReader, StructureLeniencesAndRefusals)
{
    const Value one = dec(u"1"), none;
    const std::pair<const char16_t *, Value> cases[] = {
        {u" \t\r\n{ \n }", Value::dictionary()},
        {u"{\"a\":1,\"a\":-5, \"f\":0.1, \"e\":1.5E3}",
            dict({{"a", dec(u"-5")}, {"f", dec(u"0.1")}, {"e", dec(u"1500")}})},
        // Text after the top-level object is never looked at.
        {u"{\"a\":1}} [", dict({{"a", one}})},
        // No commas needed, a comma after the last member or element, and any
        // whitespace of the skip set between tokens.
        {u"{\"a\":1 \"b\":[1 1,],}", dict({{"a", one}, {"b", array({one, one})}})},
        {u"{\u00a0\"a\"\u2028:\u3000[\u0085]}", dict({{"a", Value::array()}})},
        // A failed member is dropped when "}" follows where its scan stopped.
        {u"{\"a\":1, \"b\"}", dict({{"a", one}})},
        {u"{\"x\":1, \"a\":[1,2}", dict({{"x", one}})},
        {u"{\"a\":[\"x\" nope]}", none}, {u"", none}, {u"[1]", none}, {u"x{}", none},
        {u"{,\"a\":1}", none}, {u"{\"a\":1,,\"b\":2}", none}, {u"{a:1}", none},
        {u"{\"a\":TRUE}", none}, {u"{\"a\":+5}", none}, {u"{\"a\":1e200}", none},
        {u"{\"a\":\"\\u00e9\"}", none},
    };
    for (const auto &[text, expected] : cases) {
        SCOPED_TRACE(QString::fromUtf16(text).toStdString());
        const Value got = dictionaryWithJSONString(QString::fromUtf16(text));
        EXPECT_TRUE(got == expected) << (got ? jsonStringValue(got).toStdString() : "none");
    }
    const Value numbers = dictionaryWithJSONString(QStringLiteral("{\"i\":30}"));
    EXPECT_TRUE(numbers.value(QStringLiteral("i")).isDecimal());
}

TEST(JsonReader, EveryTruncationGivesNoneAndReadsNothingBeyondTheText)
{
    const QString full = QStringLiteral("{ \"s\" : \"a\\\"b\\u00E9\\n\", \"a\" : [1, -2.5e1, true, "
                                        "false, null, [], {}], \"o\" : { \"k\" : \"v\" }}");
    ASSERT_TRUE(dictionaryWithJSONString(full).isDictionary());
    for (qsizetype cut = 0; cut < full.size(); ++cut)
        for (const QString &tail : {QString(), QStringLiteral("  \n\t")}) {
            const ExactText text(full.left(cut) + tail);
            EXPECT_TRUE(dictionaryWithJSONString(text.text()).isNone()) << cut;
        }
}

TEST(JsonStringLiteral, EscapesAndWhereTheScanStops)
{
    struct Case {
        const char16_t *text; // the scanner's whole text
        std::optional<std::u16string> decoded; // nothing when the scan must fail
        qsizetype end;
    };
    const Case cases[] = {
        {u" \n\t\"x y\"z", u"x y", 8}, {u"\"\"", u"", 2},
        // "\/" and unknown escapes are kept as both characters.
        {u"\"\\\"\\\\\\b\\f\\n\\r\\t\\/\\q\"", u"\"\\\b\f\n\r\t\\/\\q", 20},
        {u"\"\\u00E9\\uD83D\\uDE00\"", u"\u00e9\U0001F600", 20},
        // No quotation mark: nothing is consumed, not even the whitespace.
        {u"  x", std::nullopt, 0}, {u"", std::nullopt, 0},
        // A bad \u escape (lower-case hex included) stops just after the u.
        {u"\"\\u00e9\"", std::nullopt, 3}, {u"\"\\u00G9\"", std::nullopt, 3},
        // A backslash ending the text stops at it; an unterminated literal
        // where its trailing whitespace starts.
        {u"\"ab\\", std::nullopt, 3}, {u"\"abc  \n", std::nullopt, 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(QString::fromUtf16(c.text).toStdString());
        const ExactText text{QStringView(c.text)};
        KyJSONScanner scanner(text.text());
        QString out = QStringLiteral("untouched");
        EXPECT_EQ(scanner.scanJSONString(out), c.decoded.has_value());
        EXPECT_EQ(out.toStdU16String(), c.decoded.value_or(u"untouched"));
        EXPECT_EQ(scanner.scanLocation(), c.end);
    }
}
