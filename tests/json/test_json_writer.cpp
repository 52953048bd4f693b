// The writer's text byte for byte, and the round trip through the reader.
// (The slideshow document's text is checked byte for byte where it is saved.)
#include "KyJSONAdditions.h"
#include "json_test_support.h"

#include <gtest/gtest.h>

#include <string>

using namespace KyJSONAdditions;
using namespace PrivateKyJSONAdditions;
using namespace jsontest;

namespace {

void expectRoundTrip(const Value &original)
{
    const QString text = jsonStringValue(original);
    const Value back = dictionaryWithJSONString(text);
    EXPECT_TRUE(back == original) << text.toStdString();
    EXPECT_EQ(jsonStringValue(back).toStdU16String(), text.toStdU16String());
}

} // namespace

TEST(JsonWriter, LeavesStringsAndIndentation)
{
    // Strings have seven escapes and nothing else, in values and keys.
    const QString raw = QStringLiteral("/ caf\u00e9\u2028\U0001F600\x01\x1f\x7f\0\xD800");
    const QString quoted = QStringLiteral("\"\\\"\\\\\\b\\f\\n\\r\\t") + raw + u'"';
    const QString text = QStringLiteral("\"\\\b\f\n\r\t") + raw;
    Value keyed = Value::dictionary();
    keyed.insert(text, Value::null());
    const Value inner = dict({{"x", Value::integer(1)}, {"y", Value::integer(2)}});
    const Value middle = dict({{"list", array({array({inner})})}, {"e", Value::dictionary()}});
    const std::pair<Value, QString> cases[] = {
        {Value::string(text), quoted}, {keyed, "{\n " + quoted + " : null}"},
        {Value::integer(INT32_MIN), "-2147483648"}, {Value::boolean(true), "true"},
        {Value::boolean(false), "false"}, {Value::null(), "null"},
        // Leaves of the album file that nothing writes come out as null.
        {Value::opaque(QStringLiteral("2009-07-01T10:00:00Z")), "null"}, {Value(), "null"},
        // Each dictionary level adds one tab and arrays add none.
        {dict({{"outer", middle}, {"a", Value::array()}}),
            "{\n \"outer\" : {\n\t \"list\" : [[{\n\t\t \"x\" : 1,\n\t\t \"y\" : 2}]],\n"
            "\t \"e\" : {}},\n \"a\" : []}"},
    };
    for (const auto &[value, written] : cases) // a dictionary as the whole document
        EXPECT_EQ((value.isDictionary() ? jsonStringValue(value) : jsonStringForValue(value, 0)).toStdU16String(),
                  written.toStdU16String());
}

TEST(JsonRoundTrip, EveryKindEscapeNumberAndDepthUpTo512ComesBackEqual)
{
    const QString odd = QStringLiteral("\xD800\0\x1F\x7F\xDFFF \"\\/\b\f\n\r\t\u00e9\U0001F600");
    Value d = dict({{"", str("empty key")},
        {"ints", array({Value::integer(0), Value::integer(INT32_MIN), Value::integer(INT32_MAX)})},
        {"decimals",
            array({dec(u"0.1"), dec(u"-12.25"), dec(u"1e127"), dec(u"-1e-128"),
                dec(u"12345678901234567890123456789012345678e90"),
                dec(u"0.12345678901234567890123456789012345678")})},
        {"words", array({Value::boolean(true), Value::boolean(false), Value::null(), str("null")})},
        {"nested", array({Value::array(), array({Value::dictionary(), Value::array()})})}});
    d.insert(odd, Value::string(odd));
    expectRoundTrip(d);
    // At most 512 nested containers.
    expectRoundTrip(nested(512));
    EXPECT_TRUE(dictionaryWithJSONString(jsonStringValue(nested(513))).isNone());
    EXPECT_TRUE(dictionaryWithJSONString(u'{' + QString(1'000'000, u'[')).isNone());
    EXPECT_TRUE(dictionaryWithJSONString(QString(1'000'000, u'{')).isNone());
}
