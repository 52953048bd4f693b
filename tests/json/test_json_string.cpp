// String literals: escapes, the out-parameter and where the position ends.
#include "KyJSONScanner.h"
#include "json_test_support.h"

#include <gtest/gtest.h>

#include <optional>

using PrivateKyJSONAdditions::KyJSONScanner;

namespace {

struct LiteralCase {
    const char16_t *text; // the scanner's whole text
    std::optional<std::u16string> decoded; // nothing when the scan must fail
    qsizetype endPosition; // where the position ends
};

void expectLiterals(std::initializer_list<LiteralCase> cases)
{
    for (const LiteralCase &c : cases) {
        SCOPED_TRACE(printable(QStringView(c.text)));
        const jsontest::ExactText text{QStringView(c.text)};
        KyJSONScanner scanner(text.text());
        const QString untouched = QStringLiteral("untouched");
        QString out = untouched;
        const bool ok = scanner.scanJSONString(out);
        EXPECT_EQ(ok, c.decoded.has_value());
        if (c.decoded)
            EXPECT_EQ(out.toStdU16String(), *c.decoded);
        else
            EXPECT_EQ(out, untouched); // a failed scan does not write its out-parameter
        EXPECT_EQ(scanner.scanLocation(), c.endPosition);
    }
}

} // namespace

TEST(JsonStringLiteral, EscapesAndPositions)
{
    expectLiterals({
        LiteralCase{u"\"\"", u"", 2},
        LiteralCase{u" \n\t\"x y\"z", u"x y", 8},
        LiteralCase{u"\"a\\/b\"", u"a\\/b", 6},
        LiteralCase{u"\"\\q\"", u"\\q", 4},
        LiteralCase{u"\"\\\"\\\\\\b\\f\\n\\r\\t\"", u"\"\\\b\f\n\r\t", 16},
        LiteralCase{u"\"\\u00E9\"", u"\u00e9", 8},
        LiteralCase{u"\"\\uD83D\\uDE00!\"", u"\U0001F600!", 15},
        LiteralCase{u"\"\\uDC00\"", std::u16string(1, char16_t(0xDC00)), 8},
        LiteralCase{u"\"\\u0000\"", std::u16string(1, char16_t(0)), 8},
        LiteralCase{u"\"tab\there\nnewline\"", u"tab\there\nnewline", 18},
        LiteralCase{u"\"a\\\"b\" rest", u"a\"b", 6},
        LiteralCase{u"\"  inner  \"", u"  inner  ", 11},
        LiteralCase{u"\"ab\\ \"", u"ab\\ ", 6},
    });
}

TEST(JsonStringLiteral, FailuresAndWhereTheyStop)
{
    expectLiterals({
        // No quotation mark: nothing is consumed, not even the whitespace.
        LiteralCase{u"  x", std::nullopt, 0},
        LiteralCase{u"", std::nullopt, 0},
        LiteralCase{u"   ", std::nullopt, 0},
        // Lower-case hex digits and other non-digits, position just after the u.
        LiteralCase{u"\"\\u00e9\"", std::nullopt, 3},
        LiteralCase{u"\"\\u00G9\"", std::nullopt, 3},
        LiteralCase{u"\"ab\\u12", std::nullopt, 5},
        LiteralCase{u"\"\\u", std::nullopt, 3},
        // A backslash that ends the text, position at the backslash.
        LiteralCase{u"\"ab\\", std::nullopt, 3},
        // Unterminated: position at the end or where trailing whitespace starts.
        LiteralCase{u"\"abc", std::nullopt, 4},
        LiteralCase{u"\"abc  \n", std::nullopt, 4},
        LiteralCase{u"\"a\\n  ", std::nullopt, 4},
        LiteralCase{u"\"ab\\ ", std::nullopt, 5},
    });
}

TEST(JsonStringLiteral, LongLiteralsWithManyEscapes)
{
    QString text = QStringLiteral("\"");
    QString expected;
    for (int i = 0; i < 20000; ++i) {
        text += QStringLiteral("ab\\n\\u0041\\/");
        expected += QStringLiteral("ab\nA\\/");
    }
    text += u'"';
    KyJSONScanner scanner(text);
    QString out;
    ASSERT_TRUE(scanner.scanJSONString(out));
    EXPECT_EQ(out, expected);
    EXPECT_EQ(scanner.scanLocation(), text.size());
    // The scanner's reused buffer does not leak into a second literal.
    KyJSONScanner second(QStringLiteral("\"x\\ty\" \"z\\\\\""));
    ASSERT_TRUE(second.scanJSONString(out));
    EXPECT_EQ(out, QStringLiteral("x\ty"));
    ASSERT_TRUE(second.scanJSONString(out));
    EXPECT_EQ(out, QStringLiteral("z\\"));
}
